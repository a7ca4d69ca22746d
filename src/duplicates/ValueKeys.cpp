#include "duplicates/ValueKeys.h"

#include "db/Dataset.h"
#include "duplicates/Fnv1a.h"

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
constexpr std::pair<const char16_t*, const char16_t*> kStreetWords[]
    = {{u"STREET", u"ST"},     {u"ROAD", u"RD"},     {u"AVENUE", u"AVE"},  {u"AV", u"AVE"},         {u"DRIVE", u"DR"},
       {u"COURT", u"CT"},      {u"CRT", u"CT"},      {u"PLACE", u"PL"},    {u"LANE", u"LN"},        {u"PARADE", u"PDE"},
       {u"CRESCENT", u"CRES"}, {u"HIGHWAY", u"HWY"}, {u"TERRACE", u"TCE"}, {u"BOULEVARD", u"BLVD"}, {u"CLOSE", u"CL"},
       {u"SQUARE", u"SQ"},     {u"GROVE", u"GR"},    {u"CIRCUIT", u"CCT"}, {u"WAY", u"WY"},         {u"NORTH", u"N"},
       {u"SOUTH", u"S"},       {u"EAST", u"E"},      {u"WEST", u"W"},      {u"UNIT", u""},          {u"FLAT", u""},
       {u"APT", u""},          {u"SHOP", u""}};

QStringView streetWord(QStringView word)
{
    for (const auto& [full, shortWord] : kStreetWords)
        if (word == QStringView(full))
            return QStringView(shortWord);
    return word;
}

} // namespace

AddressKeys addressKeys(QStringView text)
{
    if (text.size() > 512)
        text = text.left(512);
    AddressKeys keys;
    Fnv1a full;
    bool any = false;
    QChar word[32];
    int length = 0;
    // The house number is the last number before the first word of letters.
    QChar number[8];
    int numberLength = 0;
    bool streetDone = false;
    const auto flush = [&] {
        if (length == 0)
            return;
        const QStringView w = streetWord(QStringView(word, length));
        length = 0;
        if (w.isEmpty())
            return;
        if (any)
            full.add(u' ');
        full.add(w);
        any = true;
        if (streetDone)
            return;
        if (w[0].isDigit() && w.size() <= 6) {
            numberLength = int(w.size());
            std::copy(w.begin(), w.end(), number);
            return;
        }
        if (numberLength > 0) {
            Fnv1a street;
            street.add(QStringView(number, numberLength));
            street.add(u' ');
            street.add(w);
            keys.street = street.key();
        }
        streetDone = true;
    };
    for (QChar c : text) {
        if (c.isLetterOrNumber()) {
            if (length < 32) // longer words are cut
                word[length++] = c.toUpper();
        } else {
            flush();
        }
    }
    flush();
    if (any)
        keys.full = full.key();
    return keys;
}

} // namespace kolvix
