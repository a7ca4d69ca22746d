#pragma once

#include <QDate>
#include <QStringView>
#include <QVariant>

#include <cstdint>
#include <limits>

namespace kolvix {

// Value keys of the duplicate finder: dates of birth as day numbers, telephone numbers, e-mail
// addresses and addresses as 64-bit keys that two records holding the same value share, and
// the keys under which telephone numbers are blocked. 0 (kNoDate for a date) is no value.

// ---- Dates of birth ----------------------------------------------------------------------------

// A date as the day number since 1970-01-01, or kNoDate. Dates before 1880 or after 2100,
// and invalid ones, are missing.
constexpr int kNoDate = std::numeric_limits<int>::min();
int dayNumber(const QDate& date);
// The date of a day number (not kNoDate).
QDate dateOfDay(int day);
// The date of a column value as the database returns it (a date, a date-time, or the embedded
// engine's ISO text), read as every date-time of the program is read (Field::asDateTime).
QDate dateOfValue(const QVariant& value);

enum class DateAgreement {
    Missing,
    Same,
    DayMonthSwapped,
    OneDigit, // one digit of YYYYMMDD wrong, or two neighbouring digits swapped
    Different,
};
DateAgreement compareDates(int dayA, int dayB);

// ---- Telephone numbers -----------------------------------------------------------------------

// Digits of a telephone number as a key: the last nine digits with "61" (country code)
// dropped; 0 when fewer than eight digits are left. The digit count is kept in the top bits,
// so that a number written without its area code still matches on its last eight digits.
std::uint64_t phoneKey(QStringView text);
bool samePhone(std::uint64_t a, std::uint64_t b);
// The last eight digits of a phone key: the key under which numbers are blocked.
std::uint64_t phoneBlock(std::uint64_t key);

// ---- E-mail addresses and addresses ----------------------------------------------------------

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

} // namespace kolvix
