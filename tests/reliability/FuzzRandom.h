#pragma once

// What the fuzz tests of this folder draw their input from: a seeded random stream per test and
// the noise that settings files, command lines and connection strings are made of.
//
// The seed is printed; KOLVIX_FUZZ_SEED=<n> repeats a run with another one.

#include <QString>
#include <iostream>
#include <random>
#include <vector>

namespace kolvix::test {

inline unsigned fuzzSeed()
{
    static const unsigned seed = [] {
        const QByteArray text = qgetenv("KOLVIX_FUZZ_SEED");
        const unsigned value = text.isEmpty() ? 20240611u : text.toUInt();
        std::cout << "FuzzTest seed: " << value << " (set KOLVIX_FUZZ_SEED to run with another)\n";
        return value;
    }();
    return seed;
}

class Random
{
public:
    // Each test draws from its own stream, so that a filtered run repeats the same inputs.
    explicit Random(unsigned stream)
        : m_engine(fuzzSeed() * 7919u + stream)
    {
    }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <typename T> const T& pick(const std::vector<T>& items)
    {
        return items[size_t(between(0, int(items.size()) - 1))];
    }
    // Up to `length` pieces of the alphabet.
    QString text(const std::vector<QString>& alphabet, int length)
    {
        QString result;
        for (int i = between(0, length); i > 0; --i)
            result += pick(alphabet);
        return result;
    }

private:
    std::mt19937 m_engine;
};

// Pieces that settings files, command lines and connection strings are made of: blanks and
// control characters, the characters their syntax gives meaning to, letters beyond ASCII
// (a surrogate pair among them).
inline const std::vector<QString> kNoise = {"a",
                                            "Z",
                                            "k",
                                            "0",
                                            "7",
                                            " ",
                                            " ",
                                            "\t",
                                            "\r",
                                            "\x01",
                                            "\x1f",
                                            "=",
                                            "==",
                                            ";",
                                            "[",
                                            "]",
                                            "'",
                                            "\"",
                                            "#",
                                            "{",
                                            "}",
                                            "\\",
                                            ".",
                                            ",",
                                            "-",
                                            "+",
                                            "$",
                                            "0x",
                                            "é",
                                            QStringLiteral("日"),
                                            QStringLiteral("🙂"),
                                            "Ĳ",
                                            "%",
                                            "_"};

// Text for values: the noise without line feeds; never begins or ends with a blank.
inline QString valueCore(Random& random, int length)
{
    QString core = random.text(kNoise, length);
    while (!core.isEmpty() && core.front().unicode() <= 32)
        core.remove(0, 1);
    while (!core.isEmpty() && core.back().unicode() <= 32)
        core.chop(1);
    return core;
}

// The text without the blanks the command line trims from a value.
inline QString trimBlanksOf(QString text)
{
    while (!text.isEmpty() && text.front().unicode() <= 32)
        text.remove(0, 1);
    while (!text.isEmpty() && text.back().unicode() <= 32)
        text.chop(1);
    return text;
}

inline QString blanks(Random& random)
{
    return random.text({" ", "\t", "\r", "\x01"}, 3);
}

// An ASCII name with its letters in random case.
inline QString randomCase(Random& random, const QString& name)
{
    QString result = name;
    for (QChar& c : result)
        if (c.unicode() < 128 && random.chance(50))
            c = c.isUpper() ? c.toLower() : c.toUpper();
    return result;
}

} // namespace kolvix::test
