#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <string_view>

namespace kolvix {

// Name matching of the duplicate finder: names reduced to their letters, a phonetic code, the
// Jaro-Winkler similarity, nicknames and short forms, and the grades in which two names agree.

// ---- Normalisation ----------------------------------------------------------------------------

// Letters only, upper case, accents removed ("O'Brien" > "OBRIEN", "José" > "JOSE", "Di Marco"
// > "DIMARCO"); letters outside the Latin alphabet are kept as they are. At most 64 letters.
QString normaliseName(QStringView text);
// The first word of a given name, normalised ("Mary-Jane Anne" > "MARY").
QString firstGivenName(QStringView text);

// ---- Phonetic code and similarity ----------------------------------------------------------

// A phonetic code of a normalised name: names that sound alike share it (Smith and Smyth,
// Catherine and Kathryn, Phillips and Filips). 0 for an empty name.
std::uint32_t phoneticCode(QStringView normalisedName);

// Jaro-Winkler similarity of two texts, 0 (nothing in common) to 1 (equal).
double jaroWinkler(QStringView a, QStringView b);
double jaroWinkler(std::string_view a, std::string_view b);
// The edit distance of two names: letters inserted, deleted, substituted and neighbouring letters
// transposed (Damerau-Levenshtein, each edit counting once). Names over 64 letters count as
// wholly different.
int editDistance(QStringView a, QStringView b);
int editDistance(std::string_view a, std::string_view b);

// ---- Nicknames and short forms -------------------------------------------------------------

// True when one normalised given name is a known nickname or short form of the other (William
// and Bill, Margaret and Peggy, Samuel and Sam). Equal names are not nicknames of each other.
bool isNickname(QStringView a, QStringView b);
// The groups of known nicknames a normalised given name belongs to, as bits.
using NicknameGroups = std::array<std::uint64_t, 2>;
NicknameGroups nicknameGroups(QStringView name);

// ---- Graded comparison ---------------------------------------------------------------------

enum class NameAgreement {
    Missing, // blank on either side
    Exact,
    SoundsAlike, // the same phonetic code
    Similar, // Jaro-Winkler of at least kSimilarSpelling, or an edit apart in names of four letters
             // or more (given names that begin alike), two in names of seven (typing slips,
             // transposed letters)
    Nickname, // nickname or short form
    FirstWord, // the first word of a name of several words agrees
    Initial, // one side is a single letter, the other's first letter
    Different,
};
constexpr double kSimilarSpelling = 0.9;
// Compares two normalised names (the given-name forms are compared as well when given).
NameAgreement compareNames(QStringView a, QStringView b, bool givenNames);
// The same, with each name's phonetic code and nickname groups worked out beforehand (as
// DuplicateRecords holds them).
NameAgreement compareCodedNames(QStringView a, std::uint32_t codeA, const NicknameGroups& groupsA, QStringView b,
                                std::uint32_t codeB, const NicknameGroups& groupsB, bool givenNames);

} // namespace kolvix
