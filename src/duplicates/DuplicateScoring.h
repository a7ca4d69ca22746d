#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace kolvix {

// Field comparisons of the duplicate finder: how two client records are normalised and
// compared, field by field, and how the agreements add up to a score.
//
// The score follows the record-linkage model of Fellegi and Sunter: every field contributes
// log2(m/u) bits when it agrees and log2((1-m)/(1-u)) when it disagrees, where m is how often
// the field agrees for two records of one person and u how often it agrees by chance. For an
// exact agreement u is the frequency of the value in the practice's own data (a common
// surname agreeing tells less than a rare one), smoothed towards a typical frequency so that
// a small practice still gets sensible weights. A value missing on either side counts
// neither for nor against.

// ---- Normalisation ----------------------------------------------------------------------------

// Letters only, upper case, accents removed ("O'Brien" > "OBRIEN", "José" > "JOSE", "Di Marco"
// > "DIMARCO"); letters outside the Latin alphabet are kept as they are. At most 64 letters.
QString normaliseName(QStringView text);
// The first word of a given name, normalised ("Mary-Jane Anne" > "MARY").
QString firstGivenName(QStringView text);

// A phonetic code of a normalised name: names that sound alike share it (Smith and Smyth,
// Catherine and Kathryn, Phillips and Filips). 0 for an empty name.
std::uint32_t phoneticCode(QStringView normalisedName);

// Jaro-Winkler similarity of two texts, 0 (nothing in common) to 1 (equal).
double jaroWinkler(QStringView a, QStringView b);

// True when one normalised given name is a known nickname or short form of the other (William
// and Bill, Margaret and Peggy, Samuel and Sam). Equal names are not nicknames of each other.
bool isNickname(QStringView a, QStringView b);
// The groups of known nicknames a normalised given name belongs to, as bits.
using NicknameGroups = std::array<std::uint64_t, 2>;
NicknameGroups nicknameGroups(QStringView name);

// A date as the day number since 1970-01-01, or kNoDate. Dates before 1880 or after 2100,
// and invalid ones, are missing.
constexpr int kNoDate = std::numeric_limits<int>::min();
int dayNumber(const QDate& date);
// The date of a column value as the database returns it: a date, a date-time, or ISO text.
QDate dateOfValue(const QVariant& value);

// Digits of a telephone number as a key: the last nine digits with "61" (country code)
// dropped; 0 when fewer than eight digits are left. The digit count is kept in the top bits,
// so that a number written without its area code still matches on its last eight digits.
std::uint64_t phoneKey(QStringView text);
bool samePhone(std::uint64_t a, std::uint64_t b);
// The last eight digits of a phone key: the key under which numbers are blocked.
std::uint64_t phoneBlock(std::uint64_t key);

// An e-mail address in lower case, trimmed, as a 64-bit key; 0 when it is not an address.
std::uint64_t emailKey(QStringView text);

// An address as keys: `full` the whole address (words in upper case, punctuation dropped, the
// usual street-type words abbreviated), `street` the house number and the street's first word;
// 0 for each part that cannot be made.
struct AddressKeys
{
    std::uint64_t full = 0;
    std::uint64_t street = 0;
};
AddressKeys addressKeys(QStringView text);

// ---- Graded comparisons --------------------------------------------------------------------

enum class NameAgreement {
    Missing, // blank on either side
    Exact,
    SoundsAlike, // the same phonetic code
    Similar, // Jaro-Winkler of at least 0.9 (typing slips, transposed letters)
    Nickname, // nickname or short form
    FirstWord, // the first word of a name of several words agrees
    Initial, // one side is a single letter, the other's first letter
    Different,
};
// Compares two normalised names (the given-name forms are compared as well when given).
NameAgreement compareNames(QStringView a, QStringView b, bool givenNames);

enum class DateAgreement {
    Missing,
    Same,
    DayMonthSwapped,
    OneDigit, // one digit of YYYYMMDD wrong, or two neighbouring digits swapped
    Different,
};
DateAgreement compareDates(int dayA, int dayB);

// ---- Records and their scoring -------------------------------------------------------------

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
    std::uint64_t addressStreet = 0;
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
    // How many clients hold a value, for frequency weights (1 at least).
    int surnameCount(int id) const;
    int givenCount(int id) const;
    int dateCount(int day) const;
    int phoneCount(std::uint64_t key) const;
    int emailCount(std::uint64_t key) const;
    int addressCount(std::uint64_t key) const;
    int streetCount(std::uint64_t key) const;

private:
    int internName(const QString& normalised);
    int internText(const QString& text);

    std::vector<DuplicateRecord> m_records;
    std::vector<QString> m_names;
    std::vector<std::uint32_t> m_codes;
    std::vector<NicknameGroups> m_groups;
    QHash<QString, int> m_nameIndex;
    std::vector<QString> m_texts; // as stored, trimmed
    std::vector<std::pair<int, int>> m_textNames; // of each text: the normalised name and its first word
    QHash<QString, int> m_textIndex;
    std::vector<int> m_surnameCounts;
    std::vector<int> m_givenCounts;
    // Sorted values with their counts; only values held more than once are kept.
    std::vector<std::pair<std::uint64_t, int>> m_dateCounts, m_phoneCounts, m_emailCounts, m_addressCounts,
        m_streetCounts;
};

// The verdict on one pair.
struct PairScore
{
    double weight = 0; // total bits of evidence
    int score = 0; // 0..100
    bool namesAgree = false; // some positive evidence from a name
    QStringList reasons;
};

// Scores pairs of records of one DuplicateRecords.
class DuplicateScorer
{
public:
    explicit DuplicateScorer(const DuplicateRecords& records);
    // With reasons false the reasons are not collected (faster, for the scan itself).
    PairScore score(int a, int b, bool reasons = true) const;

    // The score of a total weight: 50 at kThresholdWeight, 2 points a bit, 0 to 100.
    static int scoreOfWeight(double weight);

private:
    const DuplicateRecords& m_records;
};

// The default --min-score: pairs scoring at least this are listed.
constexpr int kDefaultMinScore = 50;

} // namespace kolvix
