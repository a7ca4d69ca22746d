#pragma once

#include <QChar>
#include <QStringView>

#include <cstdint>

namespace kolvix {

// The 64-bit FNV-1a hash of UTF-16 code units, as the duplicate finder turns values into keys.
// A key is never 0: 0 stands for no key.
class Fnv1a
{
public:
    void add(QChar c)
    {
        m_hash ^= c.unicode();
        m_hash *= kPrime;
    }
    void add(QStringView text)
    {
        for (QChar c : text)
            add(c);
    }
    std::uint64_t key() const { return m_hash ? m_hash : 1; }

private:
    static constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t m_hash = 14695981039346656037ull;
};

} // namespace kolvix
