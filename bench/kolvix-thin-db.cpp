// kolvix-thin-db: builds a practice whose clients hold only names, a date of birth and an
// address, with duplicates corrupted the way record-linkage test data usually is, as a second
// test practice for the duplicate finder beside kolvix-demo-db's.
//
//   kolvix-thin-db [--clients N] [--duplicates D] [--seed S] [--force] OUTPUT.db
//
// N original clients (default 10,000): given name and surname drawn by rank from pools of a few
// hundred (a common surname is held by about 1 % of the clients), sex, a date of birth (missing
// for 4 %), an address of street number, street and type, now and then a unit before it or a
// locality, estate or building after it, and a suburb, state and post code. None of them has a
// telephone number or an e-mail address.
//
// D duplicates (default N/5), each of a different original, each with one to four modifications
// (one 40 % of the time, two 30 %, three 20 %, four 10 %) spread over the fields:
//
//   given name, surname, street, address part, suburb   a letter inserted, deleted, substituted
//                                                       (a neighbouring key) or two transposed,
//                                                       an OCR-like confusion (m/rn, cl/d, o/0,
//                                                       ...), a phonetic respelling (ph/f, ee/ea,
//                                                       a doubled letter, ...), a blank inserted
//                                                       into a word or removed between two words,
//                                                       the value left empty (surname excepted),
//                                                       a suburb replaced by another one
//   street number                                       replaced, left empty
//   post code                                           one digit replaced
//   date of birth                                       left empty, one digit replaced, day and
//                                                       month swapped
//   the record                                          given name and surname swapped
//
// and relatives, who are different people: N/200 household members of other clients (the
// surname and the whole address, another given name and date of birth), N/200 parents and
// children of one name (one address and home phone, born 20 to 45 years apart), N/200 siblings
// of alike names (Francis and Frances; one address and home phone, born 1 to 12 years apart on
// other birthdays) and N/200 adult twins of alike names (one address and date of birth, each with
// a mobile and an e-mail address of their own). Only these families hold a telephone number or
// an e-mail address.
//
// Written beside the database: OUTPUT.db.duplicates.tsv, a header line and one line per true
// pair "client<TAB>duplicate<TAB>modifications<TAB>alike", the modifications as "field: kind"
// joined by ", ", alike 1 when both names are still alike (Jaro-Winkler 0.8 or more on each,
// also with given name and surname swapped) and the dates of birth are equal, one digit apart,
// day and month swapped or missing on a side, else 0; and OUTPUT.db.relatives.tsv, one line
// "client<TAB>relative<TAB>kind" per pair of relatives, the kind "household", "parent and
// child", "siblings" or "twins".
//
// Client numbers are shuffled, so that an original and its duplicate are not told apart by
// their order. The generator knows nothing of how the duplicate finder works.

#include "ThinPracticePools.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace kolvix::thin {
namespace {

constexpr const char* kUsage = "usage: kolvix-thin-db [--clients N] [--duplicates D] [--seed S] [--force] OUTPUT.db\n";

// ---- Random source (splitmix64: the same seed draws the same practice on every platform) ----

class Random
{
public:
    // The seed is mixed first: seeds next to each other must not give streams shifted by a draw.
    explicit Random(std::uint64_t seed)
        : m_state(seed ^ 0x2545F4914F6CDD1Dull)
    {
        m_state = next();
    }
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A whole number from lo to hi, both included.
    int between(int lo, int hi) { return lo + int(next() % std::uint64_t(hi - lo + 1)); }
    double unit() { return double(next() >> 11) / double(1ull << 53); }
    bool chance(double p) { return unit() < p; }
    // An index drawn by rank: the value of rank r is drawn with a weight of 1 / (r + 10).
    std::size_t byRank(std::size_t size)
    {
        double total = 0;
        for (std::size_t r = 0; r < size; ++r)
            total += 1.0 / double(r + 10);
        double x = unit() * total;
        for (std::size_t r = 0; r < size; ++r) {
            x -= 1.0 / double(r + 10);
            if (x < 0)
                return r;
        }
        return size - 1;
    }

private:
    std::uint64_t m_state;
};

// ---- Dates ------------------------------------------------------------------------------------

struct Date
{
    int y = 0, m = 0, d = 0;
    bool operator==(const Date&) const = default;
};

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool isValid(const Date& date)
{
    return date.y >= 1920 && date.y <= 2024 && date.m >= 1 && date.m <= 12 && date.d >= 1
        && date.d <= daysInMonth(date.y, date.m);
}

std::string digitsOf(const Date& date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", date.y, date.m, date.d);
    return text;
}

Date fromDigits(const std::string& digits)
{
    return {std::atoi(digits.substr(0, 4).c_str()), std::atoi(digits.substr(4, 2).c_str()),
            std::atoi(digits.substr(6, 2).c_str())};
}

std::string dateTimeText(const Date& date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d 00:00:00", date.y, date.m, date.d);
    return text;
}

// A valid date of birth in the years from `from` to `to`.
Date randomDate(Random& r, int from, int to)
{
    Date date;
    do
        date = {r.between(from, to), r.between(1, 12), r.between(1, 31)};
    while (!isValid(date));
    return date;
}

// ---- Telephone numbers ------------------------------------------------------------------------

std::string digits(Random& r, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += char('0' + r.between(0, 9));
    return text;
}

std::string landLine(Random& r)
{
    return "(0" + std::to_string(r.between(2, 8)) + ") " + digits(r, 4) + " " + digits(r, 4);
}

std::string mobileNumber(Random& r)
{
    return "04" + digits(r, 2) + " " + digits(r, 3) + " " + digits(r, 3);
}

// ---- A person as the practice holds them ----------------------------------------------------

struct Person
{
    std::string given, surname;
    char sex = 'F';
    std::optional<Date> dob;
    std::string unit; // "Unit 4", before the street
    std::string number; // street number
    std::string street; // street name and type
    std::string part; // a locality, estate or building after the street
    std::string suburb, state, postCode;
    std::string homePhone, mobile, email; // only relatives planted with them hold any

    std::string address() const
    {
        std::string line = unit;
        const std::string numbered = number.empty() ? street : street.empty() ? number : number + " " + street;
        if (!numbered.empty())
            line += (line.empty() ? "" : ", ") + numbered;
        if (!part.empty())
            line += (line.empty() ? "" : ", ") + part;
        return line;
    }
};

template <typename Pool> const char* pick(Random& r, const Pool& pool)
{
    return pool[std::size_t(r.between(0, int(pool.size()) - 1))];
}

Person randomPerson(Random& r)
{
    Person p;
    p.sex = r.chance(0.5) ? 'F' : 'M';
    p.given = p.sex == 'F' ? kThinFemaleNames[r.byRank(kThinFemaleNames.size())]
                           : kThinMaleNames[r.byRank(kThinMaleNames.size())];
    p.surname = kThinSurnames[r.byRank(kThinSurnames.size())];
    if (!r.chance(0.04))
        p.dob = randomDate(r, 1925, 2023);
    if (r.chance(0.06))
        p.unit = "Unit " + std::to_string(r.between(1, 40));
    if (!r.chance(0.05))
        p.number = std::to_string(r.chance(0.8) ? r.between(1, 120) : r.between(121, 999));
    p.street = std::string(pick(r, kThinStreetNames)) + " " + pick(r, kThinStreetTypes);
    if (r.chance(0.12))
        p.part = pick(r, kThinAddressParts);
    const Place& place = kThinPlaces[std::size_t(r.between(0, int(kThinPlaces.size()) - 1))];
    p.suburb = place.suburb;
    p.state = place.state;
    p.postCode = place.postCode;
    return p;
}

// ---- Modifications ----------------------------------------------------------------------------

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Positions of the letters of a text.
std::vector<std::size_t> letterPositions(const std::string& text)
{
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (isLetter(text[i]))
            positions.push_back(i);
    return positions;
}

// The keys beside each letter on a keyboard.
const char* neighbours(char c)
{
    static const char* const rows[26]
        = {"qwsz",   "vghn",  "xdfv", "serfcx", "wsdr", "drtgvc", "ftyhbv", "gyujnb", "ujko",
           "huikmn", "jiolm", "kop",  "njk",    "bhjm", "iklp",   "ol",     "wa",     "edft",
           "awedxz", "rfgy",  "yhji", "cfgb",   "qase", "zsdc",   "tghu",   "asx"};
    const char l = lower(c);
    return l >= 'a' && l <= 'z' ? rows[l - 'a'] : "e";
}

char withCaseOf(char model, char c)
{
    return model >= 'A' && model <= 'Z' && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

std::optional<std::string> insertLetter(Random& r, const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    const std::size_t at = std::size_t(r.between(1, int(text.size())));
    return text.substr(0, at) + char('a' + r.between(0, 25)) + text.substr(at);
}

std::optional<std::string> deleteLetter(Random& r, const std::string& text)
{
    const auto letters = letterPositions(text);
    if (letters.size() < 3)
        return std::nullopt;
    const std::size_t at = letters[std::size_t(r.between(0, int(letters.size()) - 1))];
    return text.substr(0, at) + text.substr(at + 1);
}

std::optional<std::string> substituteLetter(Random& r, const std::string& text)
{
    const auto letters = letterPositions(text);
    if (letters.empty())
        return std::nullopt;
    const std::size_t at = letters[std::size_t(r.between(0, int(letters.size()) - 1))];
    const std::string keys = neighbours(text[at]);
    std::string changed = text;
    changed[at] = withCaseOf(text[at], keys[std::size_t(r.between(0, int(keys.size()) - 1))]);
    return changed;
}

std::optional<std::string> transposeLetters(Random& r, const std::string& text)
{
    std::vector<std::size_t> pairs;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (isLetter(text[i]) && isLetter(text[i + 1]) && lower(text[i]) != lower(text[i + 1]))
            pairs.push_back(i);
    if (pairs.empty())
        return std::nullopt;
    const std::size_t at = pairs[std::size_t(r.between(0, int(pairs.size()) - 1))];
    std::string changed = text;
    changed[at] = withCaseOf(text[at], lower(text[at + 1]));
    changed[at + 1] = lower(text[at]);
    return changed;
}

// Replaces one occurrence, drawn at random, of one of the patterns found in the text (compared
// without case; the first letter of a replacement takes the case of what it replaces).
std::optional<std::string> replaceOne(Random& r, const std::string& text,
                                      const std::vector<std::pair<std::string_view, std::string_view>>& rules,
                                      bool wordEndOnly = false)
{
    struct Hit
    {
        std::size_t at;
        std::size_t rule;
    };
    std::vector<Hit> hits;
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), lower);
    for (std::size_t k = 0; k < rules.size(); ++k) {
        const std::string_view from = rules[k].first;
        for (std::size_t at = folded.find(from); at != std::string::npos; at = folded.find(from, at + 1)) {
            const bool atEnd = at + from.size() == folded.size() || !isLetter(folded[at + from.size()]);
            if (!wordEndOnly || atEnd)
                hits.push_back({at, k});
        }
    }
    if (hits.empty())
        return std::nullopt;
    const Hit hit = hits[std::size_t(r.between(0, int(hits.size()) - 1))];
    std::string to(rules[hit.rule].second);
    if (!to.empty())
        to[0] = withCaseOf(text[hit.at], to[0]);
    return text.substr(0, hit.at) + to + text.substr(hit.at + rules[hit.rule].first.size());
}

std::optional<std::string> ocrConfusion(Random& r, const std::string& text)
{
    static const std::vector<std::pair<std::string_view, std::string_view>> rules
        = {{"m", "rn"}, {"rn", "m"}, {"d", "cl"}, {"cl", "d"}, {"w", "vv"}, {"h", "b"}, {"b", "h"},  {"e", "c"},
           {"c", "e"},  {"o", "0"},  {"l", "1"},  {"i", "l"},  {"l", "i"},  {"s", "5"}, {"g", "q"},  {"u", "v"},
           {"v", "u"},  {"n", "ri"}, {"a", "o"},  {"p", "i"},  {"f", "t"},  {"t", "f"}, {"k", "lc"}, {"y", "v"}};
    return replaceOne(r, text, rules);
}

std::optional<std::string> phoneticRespelling(Random& r, const std::string& text)
{
    static const std::vector<std::pair<std::string_view, std::string_view>> rules
        = {{"ph", "f"},  {"f", "ph"},   {"ck", "k"},    {"ee", "ea"},   {"ea", "ee"},   {"ie", "y"}, {"ey", "y"},
           {"y", "ie"},  {"ou", "ow"},  {"ai", "ay"},   {"ay", "ai"},   {"s", "z"},     {"z", "s"},  {"x", "ks"},
           {"qu", "kw"}, {"tch", "ch"}, {"gh", "g"},    {"wr", "r"},    {"kn", "n"},    {"c", "k"},  {"k", "c"},
           {"ll", "l"},  {"tt", "t"},   {"nn", "n"},    {"ss", "s"},    {"rr", "r"},    {"mm", "m"}, {"l", "ll"},
           {"n", "nn"},  {"t", "tt"},   {"son", "sen"}, {"sen", "son"}, {"ine", "ene"}, {"th", "t"}, {"i", "y"},
           {"er", "a"},  {"ah", "a"},   {"oo", "u"}};
    return replaceOne(r, text, rules);
}

std::optional<std::string> insertBlank(Random& r, const std::string& text)
{
    std::vector<std::size_t> inside;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (isLetter(text[i - 1]) && isLetter(text[i]))
            inside.push_back(i);
    if (inside.empty())
        return std::nullopt;
    const std::size_t at = inside[std::size_t(r.between(0, int(inside.size()) - 1))];
    std::string after = text.substr(at);
    after[0] = withCaseOf('A', after[0]);
    return text.substr(0, at) + " " + after;
}

std::optional<std::string> removeBlank(Random& r, const std::string& text)
{
    std::vector<std::size_t> blanks;
    for (std::size_t i = 1; i + 1 < text.size(); ++i)
        if (text[i] == ' ' && isLetter(text[i - 1]) && isLetter(text[i + 1]))
            blanks.push_back(i);
    if (blanks.empty())
        return std::nullopt;
    const std::size_t at = blanks[std::size_t(r.between(0, int(blanks.size()) - 1))];
    std::string after = text.substr(at + 1);
    if (r.chance(0.5))
        after[0] = lower(after[0]);
    return text.substr(0, at) + after;
}

// One kind of change to a text field, by name and weight.
struct TextChange
{
    const char* name;
    double weight;
    std::optional<std::string> (*apply)(Random&, const std::string&);
};

constexpr TextChange kTextChanges[] = {
    {"letter inserted", 1.0, insertLetter},        {"letter deleted", 1.0, deleteLetter},
    {"letter substituted", 1.0, substituteLetter}, {"letters transposed", 1.0, transposeLetters},
    {"OCR confusion", 0.8, ocrConfusion},          {"phonetic respelling", 1.0, phoneticRespelling},
    {"blank inserted", 0.5, insertBlank},          {"blank removed", 0.5, removeBlank},
};

// The fields of a record that a modification may touch, with how often each is chosen.
enum Field { Given, Surname, StreetNumber, Street, AddressPart, Suburb, PostCode, DateOfBirth, Names, kFields };
constexpr const char* kFieldNames[kFields] = {"given name", "surname",   "street number", "street", "address part",
                                              "suburb",     "post code", "date of birth", "record"};
constexpr double kFieldWeights[kFields] = {0.17, 0.17, 0.07, 0.14, 0.05, 0.12, 0.08, 0.16, 0.04};

std::string* textOf(Person& p, Field field)
{
    switch (field) {
    case Given:
        return &p.given;
    case Surname:
        return &p.surname;
    case Street:
        return &p.street;
    case AddressPart:
        return &p.part;
    case Suburb:
        return &p.suburb;
    default:
        return nullptr;
    }
}

Field drawField(Random& r)
{
    double total = 0;
    for (double w : kFieldWeights)
        total += w;
    double x = r.unit() * total;
    for (int f = 0; f < kFields; ++f) {
        x -= kFieldWeights[f];
        if (x < 0)
            return Field(f);
    }
    return Given;
}

// Applies one modification to `field` of `p`; gives its kind, or nothing when none applies.
std::optional<std::string> modify(Random& r, Person& p, Field field)
{
    if (field == Names) {
        if (p.given.empty())
            return std::nullopt;
        std::swap(p.given, p.surname);
        return "given name and surname swapped";
    }
    if (field == DateOfBirth) {
        if (!p.dob)
            return std::nullopt;
        const double x = r.unit();
        if (x < 0.35) {
            p.dob.reset();
            return "left empty";
        }
        if (x < 0.5) {
            const Date swapped {p.dob->y, p.dob->d, p.dob->m};
            if (swapped == *p.dob || !isValid(swapped))
                return std::nullopt;
            p.dob = swapped;
            return "day and month swapped";
        }
        for (int attempt = 0; attempt < 20; ++attempt) {
            std::string digits = digitsOf(*p.dob);
            const std::size_t at = std::size_t(r.between(2, 7));
            const char old = digits[at];
            digits[at] = char('0' + r.between(0, 9));
            const Date changed = fromDigits(digits);
            if (digits[at] != old && isValid(changed)) {
                p.dob = changed;
                return "digit replaced";
            }
        }
        return std::nullopt;
    }
    if (field == StreetNumber) {
        if (p.number.empty())
            return std::nullopt;
        if (r.chance(0.3)) {
            p.number.clear();
            return "left empty";
        }
        const std::string old = p.number;
        while (p.number == old)
            p.number = std::to_string(r.between(1, 150));
        return "replaced";
    }
    if (field == PostCode) {
        const std::size_t at = std::size_t(r.between(0, int(p.postCode.size()) - 1));
        const char old = p.postCode[at];
        while (p.postCode[at] == old)
            p.postCode[at] = char('0' + r.between(0, 9));
        return "digit replaced";
    }
    std::string& text = *textOf(p, field);
    if (field == AddressPart && text.empty()) {
        text = pick(r, kThinAddressParts);
        return "added";
    }
    if (text.empty())
        return std::nullopt;
    const double x = r.unit();
    if (field != Surname && x < 0.12) {
        text.clear();
        return "left empty";
    }
    if (field == Suburb && x < 0.25) {
        const std::string old = text;
        while (text == old)
            text = kThinPlaces[std::size_t(r.between(0, int(kThinPlaces.size()) - 1))].suburb;
        return "replaced";
    }
    double total = 0;
    for (const TextChange& c : kTextChanges)
        total += c.weight;
    for (int attempt = 0; attempt < 10; ++attempt) {
        double y = r.unit() * total;
        const TextChange* change = &kTextChanges[0];
        for (const TextChange& c : kTextChanges) {
            change = &c;
            y -= c.weight;
            if (y < 0)
                break;
        }
        if (const auto changed = change->apply(r, text); changed && *changed != text) {
            text = *changed;
            return change->name;
        }
    }
    return std::nullopt;
}

// ---- Are the two records' names and dates still alike? -----------------------------------

std::string folded(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (isLetter(c))
            out += lower(c);
    return out;
}

double jaroWinkler(const std::string& a, const std::string& b)
{
    if (a.empty() || b.empty())
        return 0;
    if (a == b)
        return 1;
    const int window = std::max(0, int(std::max(a.size(), b.size())) / 2 - 1);
    std::vector<char> usedA(a.size()), usedB(b.size());
    int matches = 0;
    for (int i = 0; i < int(a.size()); ++i)
        for (int j = std::max(0, i - window); j < std::min(int(b.size()), i + window + 1); ++j)
            if (!usedB[std::size_t(j)] && a[std::size_t(i)] == b[std::size_t(j)]) {
                usedA[std::size_t(i)] = usedB[std::size_t(j)] = 1;
                ++matches;
                break;
            }
    if (matches == 0)
        return 0;
    int transpositions = 0;
    for (std::size_t i = 0, j = 0; i < a.size(); ++i) {
        if (!usedA[i])
            continue;
        while (!usedB[j])
            ++j;
        transpositions += a[i] != b[j];
        ++j;
    }
    const double m = matches;
    const double jaro = (m / double(a.size()) + m / double(b.size()) + (m - transpositions / 2.0) / m) / 3;
    int prefix = 0;
    while (prefix < 4 && prefix < int(std::min(a.size(), b.size())) && a[std::size_t(prefix)] == b[std::size_t(prefix)])
        ++prefix;
    return jaro + prefix * 0.1 * (1 - jaro);
}

bool namesAlike(const Person& a, const Person& b)
{
    const auto alike
        = [](const std::string& x, const std::string& y) { return jaroWinkler(folded(x), folded(y)) >= 0.8; };
    return (alike(a.given, b.given) && alike(a.surname, b.surname))
        || (alike(a.given, b.surname) && alike(a.surname, b.given));
}

bool datesAlike(const std::optional<Date>& a, const std::optional<Date>& b)
{
    if (!a || !b || *a == *b)
        return true;
    if (a->y == b->y && a->m == b->d && a->d == b->m)
        return true;
    const std::string x = digitsOf(*a), y = digitsOf(*b);
    int differ = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
        differ += x[i] != y[i];
    return differ == 1;
}

// ---- The database -----------------------------------------------------------------------------

class Database
{
public:
    explicit Database(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            throw std::runtime_error("cannot create " + path + ": " + message);
        }
    }
    ~Database()
    {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errmsg(m_db);
            sqlite3_free(error);
            throw std::runtime_error(message);
        }
    }

    void insert(int id, const Person& p)
    {
        if (!m_insert
            && sqlite3_prepare_v2(m_db,
                                  "INSERT INTO Client (ClientID, Title, Name, Surname, Active, Sex, DateOfBirth, "
                                  "Address, Suburb, State, PostCode, FileNo, HomePhone, Mobile, Email, IsAGroup, "
                                  "CreatedDate) VALUES (?,?,?,?,'T',?,?,?,?,?,?,?,?,?,?,0,'2024-06-30 09:00:00')",
                                  -1, &m_insert, nullptr)
                != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        const auto text = [this](int i, const std::string& value) {
            if (value.empty())
                sqlite3_bind_null(m_insert, i);
            else
                sqlite3_bind_text(m_insert, i, value.c_str(), int(value.size()), SQLITE_TRANSIENT);
        };
        sqlite3_bind_int(m_insert, 1, id);
        text(2, p.sex == 'F' ? "Ms" : "Mr");
        text(3, p.given);
        text(4, p.surname);
        text(5, std::string(1, p.sex));
        text(6, p.dob ? dateTimeText(*p.dob) : "");
        text(7, p.address());
        text(8, p.suburb);
        text(9, p.state);
        text(10, p.postCode);
        text(11, "T" + std::to_string(id));
        text(12, p.homePhone);
        text(13, p.mobile);
        text(14, p.email);
        if (sqlite3_step(m_insert) != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(m_db);
            sqlite3_reset(m_insert);
            throw std::runtime_error(message);
        }
        sqlite3_reset(m_insert);
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
};

// ---- The practice -----------------------------------------------------------------------------

struct Options
{
    int clients = 10000;
    std::optional<int> duplicates;
    std::uint64_t seed = 1;
    bool force = false;
    std::string output;
};

struct Practice
{
    std::vector<Person> people; // indexed by client number - 1
    std::vector<std::string> truth, relatives; // the lines of the two files
};

Practice buildPractice(const Options& options)
{
    Random r(options.seed);
    const int originals = options.clients;
    const int duplicates = std::min(options.duplicates.value_or(originals / 5), originals);
    const int perKind = originals / 200;
    const int total = originals + duplicates + perKind * 7; // a household member, and three kinds of pair

    // Client numbers in a random order.
    std::vector<int> ids(static_cast<std::size_t>(total));
    std::iota(ids.begin(), ids.end(), 1);
    for (std::size_t i = ids.size(); i > 1; --i)
        std::swap(ids[i - 1], ids[std::size_t(r.next() % i)]);

    Practice practice;
    practice.people.resize(std::size_t(total));
    std::size_t next = 0;
    std::vector<int> originalIds;
    for (int i = 0; i < originals; ++i) {
        const int id = ids[next++];
        practice.people[std::size_t(id - 1)] = randomPerson(r);
        originalIds.push_back(id);
    }

    // Duplicates, each of another original.
    std::vector<int> sources = originalIds;
    for (std::size_t i = sources.size(); i > 1; --i)
        std::swap(sources[i - 1], sources[std::size_t(r.next() % i)]);
    for (int i = 0; i < duplicates; ++i) {
        const int source = sources[std::size_t(i)];
        const Person& original = practice.people[std::size_t(source - 1)];
        Person copy = original;
        const double x = r.unit();
        const int wanted = x < 0.4 ? 1 : x < 0.7 ? 2 : x < 0.9 ? 3 : 4;
        std::vector<std::string> kinds;
        std::vector<int> perField(kFields);
        for (int attempt = 0; int(kinds.size()) < wanted && attempt < 50; ++attempt) {
            const Field field = drawField(r);
            if (perField[field] >= 2 || (field == Names && perField[field] >= 1))
                continue;
            if (const auto kind = modify(r, copy, field)) {
                kinds.push_back(std::string(kFieldNames[field]) + ": " + *kind);
                ++perField[field];
            }
        }
        const int id = ids[next++];
        std::string what;
        for (const std::string& k : kinds)
            what += (what.empty() ? "" : ", ") + k;
        const bool alike = namesAlike(original, copy) && datesAlike(original.dob, copy.dob);
        practice.truth.push_back(std::to_string(source) + "\t" + std::to_string(id) + "\t" + what + "\t"
                                 + (alike ? "1" : "0"));
        practice.people[std::size_t(id - 1)] = std::move(copy);
    }

    // Relatives: different people who share a household. N/200 of each kind: a household member
    // of an original (its surname and address, another given name and date of birth); a parent
    // and a child of one name, born 20 to 45 years apart, at one address with one home phone;
    // siblings of alike names, born 1 to 12 years apart on other birthdays, at one address with
    // one home phone; adult twins of alike names, born on one day, at one address, each with a
    // mobile and an e-mail address of their own.
    for (int i = 0; i < perKind; ++i) {
        const int source = originalIds[std::size_t(r.between(0, originals - 1))];
        const Person& other = practice.people[std::size_t(source - 1)];
        Person relative = randomPerson(r);
        while (folded(relative.given) == folded(other.given))
            relative = randomPerson(r);
        relative.surname = other.surname;
        relative.unit = other.unit;
        relative.number = other.number;
        relative.street = other.street;
        relative.part = other.part;
        relative.suburb = other.suburb;
        relative.state = other.state;
        relative.postCode = other.postCode;
        while (relative.dob && other.dob && relative.dob == other.dob)
            relative.dob->y = r.between(1925, 2023) / 4 * 4; // stays valid on 29 February too
        const int id = ids[next++];
        practice.relatives.push_back(std::to_string(source) + "\t" + std::to_string(id) + "\thousehold");
        practice.people[std::size_t(id - 1)] = std::move(relative);
    }
    const auto plantPair = [&](Person first, Person second, const char* kind) {
        const int a = ids[next++], b = ids[next++];
        practice.people[std::size_t(a - 1)] = std::move(first);
        practice.people[std::size_t(b - 1)] = std::move(second);
        practice.relatives.push_back(std::to_string(a) + "\t" + std::to_string(b) + "\t" + kind);
    };
    const auto alikeNames = [&r](char sexOfFirst) {
        const auto& names = kThinAlikeNames[std::size_t(r.between(0, int(kThinAlikeNames.size()) - 1))];
        return sexOfFirst == 'F' ? std::pair(std::string(names[1]), std::string(names[0]))
                                 : std::pair(std::string(names[0]), std::string(names[1]));
    };
    for (int i = 0; i < perKind; ++i) {
        Person parent = randomPerson(r);
        parent.dob = randomDate(r, 1930, 1985);
        parent.homePhone = landLine(r);
        Person child = parent;
        child.dob = randomDate(r, parent.dob->y + 20, std::min(2023, parent.dob->y + 45));
        plantPair(std::move(parent), std::move(child), "parent and child");
    }
    for (int i = 0; i < perKind; ++i) {
        Person elder = randomPerson(r);
        elder.dob = randomDate(r, 1940, 2010);
        elder.homePhone = landLine(r);
        Person younger = elder;
        std::tie(elder.given, younger.given) = alikeNames(elder.sex);
        younger.sex = elder.sex == 'F' ? 'M' : 'F';
        do
            younger.dob = randomDate(r, elder.dob->y + 1, std::min(2023, elder.dob->y + 12));
        while (younger.dob->m == elder.dob->m || younger.dob->d == elder.dob->d);
        plantPair(std::move(elder), std::move(younger), "siblings");
    }
    for (int i = 0; i < perKind; ++i) {
        Person first = randomPerson(r);
        first.dob = randomDate(r, 1940, 2005);
        Person second = first;
        std::tie(first.given, second.given) = alikeNames(first.sex);
        second.sex = first.sex == 'F' ? 'M' : 'F';
        for (Person* twin : {&first, &second}) {
            twin->mobile = mobileNumber(r);
            twin->email = folded(twin->given) + "." + folded(twin->surname) + std::to_string(r.between(1, 999))
                + "@example.net";
        }
        plantPair(std::move(first), std::move(second), "twins");
    }
    return practice;
}

// ---- Command line -------------------------------------------------------------------------------

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

long long parseNumber(const std::string& option, const std::string& text, long long lo, long long hi)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError(option + " needs a whole number, not '" + text + "'");
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < static_cast<unsigned long long>(lo) || value > static_cast<unsigned long long>(hi))
        throw UsageError(option + " must be from " + std::to_string(lo) + " to " + std::to_string(hi));
    return static_cast<long long>(value);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() {
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value");
            return std::string(argv[++i]);
        };
        if (arg == "--clients")
            options.clients = int(parseNumber(arg, value(), 100, 5000000));
        else if (arg == "--duplicates")
            options.duplicates = int(parseNumber(arg, value(), 0, 5000000));
        else if (arg == "--seed")
            options.seed = std::uint64_t(parseNumber(arg, value(), 0, 999999999999999999LL));
        else if (arg == "--force")
            options.force = true;
        else if (arg.rfind("-", 0) == 0)
            throw UsageError("unknown option " + arg);
        else if (!options.output.empty())
            throw UsageError("only one output file, please");
        else
            options.output = arg;
    }
    if (options.output.empty())
        throw UsageError("no output file given");
    return options;
}

void writeLines(const std::filesystem::path& path, const char* header, const std::vector<std::string>& lines)
{
    std::FILE* file = std::fopen(path.string().c_str(), "w");
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
    std::fprintf(file, "%s\n", header);
    for (const std::string& line : lines)
        std::fprintf(file, "%s\n", line.c_str());
    if (std::fclose(file) != 0)
        throw std::runtime_error("cannot write " + path.string());
}

int run(int argc, char** argv)
{
    Options options;
    try {
        for (int i = 1; i < argc; ++i)
            if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
                std::fputs(kUsage, stdout);
                return 0;
            }
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kolvix-thin-db: %s\n%s", e.what(), kUsage);
        return 2;
    }
    const std::filesystem::path output(options.output);
    std::error_code error;
    if (std::filesystem::exists(output, error) && !options.force) {
        std::fprintf(stderr, "kolvix-thin-db: %s exists; use --force to replace it\n", options.output.c_str());
        return 1;
    }
    const std::filesystem::path partial(options.output + ".part");
    const std::filesystem::path truth(options.output + ".duplicates.tsv");
    const std::filesystem::path relatives(options.output + ".relatives.tsv");
    std::filesystem::remove(partial, error);
    try {
        QFile schema(QStringLiteral(":/schema/sqlite/schema.sql"));
        if (!schema.open(QIODevice::ReadOnly))
            throw std::runtime_error("the SQLite schema is missing from this program");
        const Practice practice = buildPractice(options);
        {
            Database db(partial.string());
            db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
            db.exec(schema.readAll().toStdString());
            for (std::size_t i = 0; i < practice.people.size(); ++i)
                db.insert(int(i) + 1, practice.people[i]);
            db.exec("COMMIT; ANALYZE; PRAGMA journal_mode = DELETE");
        }
        writeLines(truth, "Client\tDuplicate\tErrors\tAlike", practice.truth);
        writeLines(relatives, "Client\tRelative\tKind", practice.relatives);
        std::filesystem::remove(output, error);
        std::filesystem::rename(partial, output);
        std::printf("created %s: %zu clients, %zu duplicates, %zu pairs of relatives\n", options.output.c_str(),
                    practice.people.size(), practice.truth.size(), practice.relatives.size());
    } catch (const std::exception& e) {
        std::filesystem::remove(partial, error);
        std::fprintf(stderr, "kolvix-thin-db: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace
} // namespace kolvix::thin

int main(int argc, char** argv)
{
    return kolvix::thin::run(argc, argv);
}
