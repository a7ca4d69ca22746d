#pragma once

#include "duplicates/NameMatching.h"
#include "duplicates/ValueKeys.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kolvix {

// The records of one scan of the duplicate finder: every client read, kept compact (names as
// numbers into tables of names, values as keys), and how often each value occurs in the
// practice, for the weights of the scorer.

// One client as the duplicate finder reads it from the search view.
struct DuplicateInput
{
    int clientId = 0;
    QString surname;
    QString name;
    QString preferredName;
    QVariant dateOfBirth;
    QString address;
    QString homePhone;
    QString workPhone;
    QString mobile;
    QString email;
    bool active = true;
};

// A client in memory, compact: names are numbers into the tables of DuplicateRecords.
struct DuplicateRecord
{
    int clientId = 0;
    int dateOfBirth = kNoDate;
    int surname = 0; // normalised names; 0 is the empty name
    int given = 0;
    int givenFirst = 0;
    int preferred = 0;
    int displaySurname = 0; // the texts as stored
    int displayName = 0;
    std::uint64_t mobile = 0;
    std::uint64_t homePhone = 0;
    std::uint64_t workPhone = 0;
    std::uint64_t email = 0;
    std::uint64_t addressFull = 0;
    std::uint32_t addressNumber = 0; // the parts of the address (AddressKeys)
    std::uint32_t postCode = 0;
    std::uint32_t streetCode = 0;
    std::uint32_t localityCode = 0;
    std::uint32_t addressWords = 0; // where its words begin in DuplicateRecords' text of words
    std::uint16_t addressLength = 0;
    bool active = true;
};

// The clients of one scan, with the name tables and the frequencies of values.
class DuplicateRecords
{
public:
    DuplicateRecords();

    void add(const DuplicateInput& input);
    // Call once after the last add: drops repeated client ids (the first row wins), orders the
    // records by client id and counts the frequencies of values.
    void finish();

    int size() const { return int(m_records.size()); }
    const DuplicateRecord& operator[](int index) const { return m_records[std::size_t(index)]; }
    const std::vector<DuplicateRecord>& records() const { return m_records; }

    const QString& name(int id) const { return m_names[std::size_t(id)]; }
    std::uint32_t nameCode(int id) const { return m_codes[std::size_t(id)]; }
    const NicknameGroups& nicknames(int id) const { return m_groups[std::size_t(id)]; }
    const QString& text(int id) const { return m_texts[std::size_t(id)]; }
    // The address of a record as addressSimilarity compares it.
    AddressView address(const DuplicateRecord& r) const
    {
        return {std::string_view(m_addressWords).substr(r.addressWords, r.addressLength), r.addressNumber, r.postCode};
    }
    // How many clients hold a value, for frequency weights (1 at least).
    int surnameCount(int id) const;
    int givenCount(int id) const;
    int dateCount(int day) const;
    int phoneCount(std::uint64_t key) const;
    int emailCount(std::uint64_t key) const;
    int addressCount(std::uint64_t key) const;
    // How many clients live in the record's street (its name by sound, in its post code or
    // locality); 1 when the address names no street.
    int streetCount(const DuplicateRecord& r) const;

private:
    int internName(const QString& normalised);
    int internText(const QString& text);
    int dayOfBirth(const QVariant& value);

    std::vector<DuplicateRecord> m_records;
    std::vector<QString> m_names;
    std::vector<std::uint32_t> m_codes;
    std::vector<NicknameGroups> m_groups;
    QHash<QString, int> m_nameIndex;
    std::vector<QString> m_texts; // as stored, trimmed
    std::vector<std::pair<int, int>> m_textNames; // of each text: the normalised name and its first word
    QHash<QString, int> m_textIndex;
    QHash<QString, int> m_dayIndex; // the day number of each date of birth read as text
    std::vector<int> m_surnameCounts;
    std::vector<int> m_givenCounts;
    // Sorted values with their counts; only values held more than once are kept.
    std::vector<std::pair<std::uint64_t, int>> m_dateCounts, m_phoneCounts, m_emailCounts, m_addressCounts,
        m_streetCounts;
    std::string m_addressWords; // the words of every address, one after the other
};

} // namespace kolvix
