#pragma once

#include <QDate>
#include <QStringView>
#include <QVariant>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

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
// 0 for each part that cannot be made. Besides the keys, the parts that addressSimilarity
// compares: the house number, the post code (a last word of four digits), phonetic codes of
// the street's name (its first word of letters) and of the locality (the last word before the
// state and post code), and the other words.
struct AddressKeys
{
    std::uint64_t full = 0;
    std::uint64_t street = 0;
    std::uint32_t number = 0; // the house number as a key; 0 for none
    std::uint32_t postCode = 0; // the post code's value + 1; 0 for none
    std::uint32_t streetCode = 0; // phoneticCode of the street's name; 0 for none
    std::uint32_t localityCode = 0; // phoneticCode of the suburb's last word; 0 for none
    // The words besides the house number, the post code and the state, blank-separated, in
    // UTF-8: the street's name first, then the street type, a locality or building, the suburb.
    std::string words;
};
AddressKeys addressKeys(QStringView text);

// An address as addressSimilarity compares it.
struct AddressView
{
    std::string_view words;
    std::uint32_t number = 0;
    std::uint32_t postCode = 0;
};

// How much of two addresses agrees, 0 (nothing) to 1 (everything of the one found better in
// the other): the house number, the post code (one wrong digit or two swapped count half), the street's name
// and the other words, each word alike when spelt nearly the same (Jaro-Winkler, or one edit
// apart), also split or joined at a blank ("Hollan D" and "Holland"). The house number, the
// post code and the street's name weigh most; a part one address has and the other lacks (a
// unit, a locality, the suburb) does not count against. An address of few parts agrees at most
// in proportion (a suburb and post code alone, half). A result below `atLeast` may be any value
// below it (the words are then not all compared).
double addressSimilarity(const AddressView& a, const AddressView& b, double atLeast = 0);

} // namespace kolvix
