#include "duplicates/ValueKeys.h"

#include "db/Dataset.h"
#include "duplicates/Fnv1a.h"
#include "duplicates/NameMatching.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kolvix {

// ---- Dates of birth ----------------------------------------------------------------------------

namespace {

// The Julian day of 1970-01-01, day number 0.
constexpr qint64 kJulianDayOfDayZero = 2440588;

std::array<int, 8> dateDigits(int day)
{
    const QDate date = dateOfDay(day);
    const int y = date.year(), m = date.month(), d = date.day();
    return {y / 1000, y / 100 % 10, y / 10 % 10, y % 10, m / 10, m % 10, d / 10, d % 10};
}

} // namespace

int dayNumber(const QDate& date)
{
    if (!date.isValid() || date.year() < 1880 || date.year() > 2100)
        return kNoDate;
    return int(date.toJulianDay() - kJulianDayOfDayZero);
}

QDate dateOfDay(int day)
{
    return QDate::fromJulianDay(qint64(day) + kJulianDayOfDayZero);
}

QDate dateOfValue(const QVariant& value)
{
    return Field(value).asDateTime().date();
}

DateAgreement compareDates(int dayA, int dayB)
{
    if (dayA == kNoDate || dayB == kNoDate)
        return DateAgreement::Missing;
    if (dayA == dayB)
        return DateAgreement::Same;
    const QDate a = dateOfDay(dayA);
    const QDate b = dateOfDay(dayB);
    if (a.year() == b.year() && a.day() == b.month() && a.month() == b.day())
        return DateAgreement::DayMonthSwapped;
    const auto da = dateDigits(dayA);
    const auto db = dateDigits(dayB);
    int first = -1, differing = 0;
    for (int i = 0; i < 8; ++i)
        if (da[std::size_t(i)] != db[std::size_t(i)]) {
            if (first < 0)
                first = i;
            ++differing;
        }
    if (differing == 1)
        return DateAgreement::OneDigit;
    if (differing == 2 && first < 7 && da[std::size_t(first)] == db[std::size_t(first + 1)]
        && da[std::size_t(first + 1)] == db[std::size_t(first)])
        return DateAgreement::OneDigit;
    return DateAgreement::Different;
}

// ---- Telephone numbers -----------------------------------------------------------------------

std::uint64_t phoneKey(QStringView text)
{
    char digits[24];
    int n = 0;
    for (QChar c : text)
        if (c >= u'0' && c <= u'9') {
            if (n == int(sizeof digits))
                return 0; // not a phone number
            digits[n++] = char(c.unicode());
        }
    int start = 0;
    if (n >= 11 && digits[0] == '6' && digits[1] == '1')
        start = 2; // +61 4xx xxx xxx
    const int count = n - start;
    if (count < 8)
        return 0;
    const int used = std::min(count, 9);
    std::uint64_t value = 0;
    for (int i = n - used; i < n; ++i)
        value = value * 10 + std::uint64_t(digits[i] - '0');
    return (std::uint64_t(used) << 60) | value;
}

namespace {
constexpr std::uint64_t kValueMask = (std::uint64_t(1) << 60) - 1;
std::uint64_t power10(int n)
{
    std::uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}
} // namespace

bool samePhone(std::uint64_t a, std::uint64_t b)
{
    if (!a || !b)
        return false;
    const int digits = int(std::min(a >> 60, b >> 60));
    const std::uint64_t mod = power10(digits);
    return (a & kValueMask) % mod == (b & kValueMask) % mod;
}

std::uint64_t phoneBlock(std::uint64_t key)
{
    return key ? (key & kValueMask) % 100000000ull + 1 : 0;
}

// ---- E-mail addresses and addresses ----------------------------------------------------------

std::uint64_t emailKey(QStringView text)
{
    const QStringView email = text.trimmed();
    const qsizetype at = email.indexOf(u'@');
    if (at <= 0 || at == email.size() - 1 || email.size() > 254)
        return 0;
    Fnv1a hash;
    for (QChar c : email)
        hash.add(c.toLower());
    return hash.key();
}

namespace {

// The usual street-type words and their abbreviations; words to leave out have an empty one.
constexpr std::pair<QStringView, QStringView> kStreetWords[]
    = {{u"STREET", u"ST"},     {u"ROAD", u"RD"},     {u"AVENUE", u"AVE"},  {u"AV", u"AVE"},         {u"DRIVE", u"DR"},
       {u"COURT", u"CT"},      {u"CRT", u"CT"},      {u"PLACE", u"PL"},    {u"LANE", u"LN"},        {u"PARADE", u"PDE"},
       {u"CRESCENT", u"CRES"}, {u"HIGHWAY", u"HWY"}, {u"TERRACE", u"TCE"}, {u"BOULEVARD", u"BLVD"}, {u"CLOSE", u"CL"},
       {u"SQUARE", u"SQ"},     {u"GROVE", u"GR"},    {u"CIRCUIT", u"CCT"}, {u"WAY", u"WY"},         {u"NORTH", u"N"},
       {u"SOUTH", u"S"},       {u"EAST", u"E"},      {u"WEST", u"W"},      {u"UNIT", u""},          {u"FLAT", u""},
       {u"APT", u""},          {u"SHOP", u""}};

QStringView streetWord(QStringView word)
{
    for (const auto& [full, shortWord] : kStreetWords)
        if (word == full)
            return shortWord;
    return word;
}

bool isStreetType(QStringView word)
{
    for (const auto& [full, shortWord] : kStreetWords)
        if (!shortWord.isEmpty() && word == shortWord)
            return true;
    return false;
}

bool isStreetType(std::string_view word)
{
    for (const auto& [full, abbreviation] : kStreetWords) {
        if (!abbreviation.isEmpty() && qsizetype(word.size()) == abbreviation.size()
            && std::equal(word.begin(), word.end(), abbreviation.begin(),
                          [](char x, QChar y) { return char16_t(x) == y.unicode(); }))
            return true;
    }
    return false;
}

bool isState(QStringView word)
{
    static constexpr QStringView kStates[] = {u"VIC", u"NSW", u"QLD", u"SA", u"WA", u"TAS", u"NT", u"ACT"};
    return std::find(std::begin(kStates), std::end(kStates), word) != std::end(kStates);
}

bool isDigits(QStringView word)
{
    return !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

AddressKeys addressKeys(QStringView text)
{
    if (text.size() > 512)
        text = text.left(512);
    AddressKeys keys;

    // The words: upper case, letters and digits, at most 32 letters each, street types
    // abbreviated, unit words left out.
    constexpr int kMaxWords = 48;
    QString letters; // the words one after the other
    letters.reserve(text.size());
    std::array<std::pair<qsizetype, qsizetype>, kMaxWords> spans;
    int count = 0;
    QChar current[32];
    int length = 0;
    const auto flush = [&] {
        const QStringView w = streetWord(QStringView(current, length));
        length = 0;
        if (w.isEmpty() || count == kMaxWords)
            return;
        spans[std::size_t(count++)] = {letters.size(), w.size()};
        letters.append(w);
    };
    for (QChar c : text) {
        if (c.isLetterOrNumber()) {
            if (length < 32) // longer words are cut
                current[length++] = c.toUpper();
        } else if (length > 0) {
            flush();
        }
    }
    if (length > 0)
        flush();
    const auto word
        = [&](int i) { return QStringView(letters).mid(spans[std::size_t(i)].first, spans[std::size_t(i)].second); };
    if (count == 0)
        return keys;

    Fnv1a full;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            full.add(u' ');
        full.add(word(i));
    }
    keys.full = full.key();

    // The house number is the last number before the first word of letters; that word is the
    // street's name.
    int numberAt = -1, streetAt = -1;
    for (int i = 0; i < count; ++i) {
        const QStringView w = word(i);
        if (w[0].isDigit() && w.size() <= 6) {
            numberAt = i;
            continue;
        }
        streetAt = i;
        break;
    }
    if (numberAt >= 0) {
        Fnv1a number;
        number.add(word(numberAt));
        keys.number = std::uint32_t(number.key() | 1u);
        if (streetAt >= 0) {
            Fnv1a street;
            street.add(word(numberAt));
            street.add(u' ');
            street.add(word(streetAt));
            keys.street = street.key();
        }
    }
    int last = count;
    if (count > 1 && word(count - 1).size() == 4 && isDigits(word(count - 1))) {
        keys.postCode = std::uint32_t(word(count - 1).toUInt()) + 1;
        --last;
    }
    // The street's name: its first word of letters that is not a street type; the locality's:
    // the last word before the state and post code, when it is another word.
    int nameAt = -1;
    for (int i = std::max(0, streetAt); streetAt >= 0 && i < last; ++i)
        if (!isStreetType(word(i)) && !isDigits(word(i))) {
            keys.streetCode = phoneticCode(word(i));
            nameAt = i;
            break;
        }
    int localityAt = last - 1;
    while (localityAt > nameAt && (isState(word(localityAt)) || isStreetType(word(localityAt))))
        --localityAt;
    if (nameAt >= 0 && localityAt > nameAt && !isDigits(word(localityAt)))
        keys.localityCode = phoneticCode(word(localityAt));
    for (int i = std::max(0, numberAt + 1); i < last; ++i) {
        if (isState(word(i)))
            continue;
        if (!keys.words.empty())
            keys.words += ' ';
        keys.words += word(i).toUtf8().toStdString();
    }
    return keys;
}

namespace {

// The words of an address as addressSimilarity sees them, each with its weight.
struct AddressWords
{
    static constexpr int kMax = 24;
    std::array<std::string_view, kMax> words;
    std::array<double, kMax> weights {};
    int count = 0;

    // The first word is the street's name, weighing two, when a house number or a street type
    // shows that there is a street (not for a suburb alone).
    AddressWords(std::string_view text, bool numbered)
    {
        while (!text.empty() && count < kMax) {
            const std::size_t blank = text.find(' ');
            const std::string_view w = text.substr(0, blank);
            text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
            if (w.empty())
                continue;
            words[std::size_t(count)] = w;
            weights[std::size_t(count++)] = isStreetType(w) ? 0.5 : 1;
        }
        for (int i = 0; i < count; ++i)
            if (weights[std::size_t(i)] == 1) {
                if (numbered || (i + 1 < count && weights[std::size_t(i + 1)] == 0.5))
                    weights[std::size_t(i)] = 2;
                break;
            }
    }
};

bool wordsAlike(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    const std::size_t shorter = std::min(a.size(), b.size()), longer = std::max(a.size(), b.size());
    // Jaro-Winkler 0.88 needs most letters of both words in common.
    if (shorter < 3 || longer > 2 * shorter)
        return false;
    return jaroWinkler(a, b) >= 0.88 || (shorter >= 4 && longer - shorter <= 1 && editDistance(a, b) == 1);
}

// How well word i of `own` is found among `other`: 1 spelt the same, 0.8 spelt nearly the same
// or split or joined at a blank, 0 not at all.
double wordFound(const AddressWords& own, int i, const AddressWords& other)
{
    const std::string_view w = own.words[std::size_t(i)];
    for (int j = 0; j < other.count; ++j)
        if (other.words[std::size_t(j)] == w)
            return 1;
    for (int j = 0; j < other.count; ++j)
        if (wordsAlike(w, other.words[std::size_t(j)]))
            return 0.8;
    // Split or joined at a blank: this word with a neighbour against a word of the other, or
    // this word against two neighbouring words of the other.
    char joined[72];
    const auto join = [&joined](std::string_view x, std::string_view y) {
        const std::size_t nx = std::min<std::size_t>(x.size(), 32), ny = std::min<std::size_t>(y.size(), 32);
        std::copy_n(x.data(), nx, joined);
        std::copy_n(y.data(), ny, joined + nx);
        return std::string_view(joined, nx + ny);
    };
    for (int k : {i - 1, i + 1}) {
        if (k < 0 || k >= own.count)
            continue;
        const std::string_view both = k < i ? join(own.words[std::size_t(k)], w) : join(w, own.words[std::size_t(k)]);
        for (int j = 0; j < other.count; ++j)
            if (wordsAlike(both, other.words[std::size_t(j)]))
                return 0.8;
    }
    for (int j = 0; j + 1 < other.count; ++j)
        if (wordsAlike(w, join(other.words[std::size_t(j)], other.words[std::size_t(j + 1)])))
            return 0.8;
    return 0;
}

// One digit of two post codes wrong, or two neighbouring digits swapped.
bool postCodesNear(std::uint32_t a, std::uint32_t b)
{
    std::array<std::uint32_t, 4> x {}, y {};
    int differing = 0, first = -1;
    for (std::uint32_t i = 0, va = a - 1, vb = b - 1; i < 4; ++i, va /= 10, vb /= 10) {
        x[i] = va % 10;
        y[i] = vb % 10;
        if (x[i] != y[i]) {
            differing += 1;
            first = first < 0 ? int(i) : first;
        }
    }
    return differing == 1
        || (differing == 2 && first < 3 && x[std::size_t(first)] == y[std::size_t(first + 1)]
            && x[std::size_t(first + 1)] == y[std::size_t(first)]);
}

} // namespace

double addressSimilarity(const AddressView& a, const AddressView& b, double atLeast)
{
    const AddressWords wa(a.words, a.number != 0), wb(b.words, b.number != 0);
    double creditA = 0, totalA = 0, creditB = 0, totalB = 0;
    // The house number and the post code weigh as the street's name: two words each.
    const auto part = [&](std::uint32_t x, std::uint32_t y, double agreement) {
        if (x) {
            totalA += 2;
            creditA += 2 * agreement;
        }
        if (y) {
            totalB += 2;
            creditB += 2 * agreement;
        }
    };
    part(a.number, b.number, a.number && a.number == b.number ? 1.0 : 0.0);
    part(a.postCode, b.postCode,
         !a.postCode || !b.postCode                  ? 0.0
             : a.postCode == b.postCode              ? 1.0
             : postCodesNear(a.postCode, b.postCode) ? 0.5
                                                     : 0.0);
    // The side found better in the other: a part that one address lacks does not count against.
    // An address of little (a suburb and post code) agrees at most in proportion.
    const auto similarity = [&] {
        constexpr double kFullAddress = 6; // a house number, a street's name and a post code
        if (totalA <= 0 || totalB <= 0)
            return 0.0;
        return std::max(creditA / totalA * std::min(1.0, totalA / kFullAddress),
                        creditB / totalB * std::min(1.0, totalB / kFullAddress));
    };
    // What the words could add at most: when even that falls short of `atLeast`, the words are
    // not compared one by one.
    for (int i = 0; i < wa.count; ++i)
        totalA += wa.weights[std::size_t(i)];
    for (int i = 0; i < wb.count; ++i)
        totalB += wb.weights[std::size_t(i)];
    const double lettersA = creditA, lettersB = creditB;
    creditA = totalA - (a.number ? 2 : 0) - (a.postCode ? 2 : 0) + lettersA;
    creditB = totalB - (b.number ? 2 : 0) - (b.postCode ? 2 : 0) + lettersB;
    const double most = similarity();
    if (most < atLeast)
        return most;
    creditA = lettersA;
    creditB = lettersB;
    for (int i = 0; i < wa.count; ++i)
        creditA += wa.weights[std::size_t(i)] * wordFound(wa, i, wb);
    for (int i = 0; i < wb.count; ++i)
        creditB += wb.weights[std::size_t(i)] * wordFound(wb, i, wa);
    return similarity();
}

} // namespace kolvix
