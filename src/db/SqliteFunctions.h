#pragma once

#include <QString>

struct sqlite3;

namespace kolvix {

// SQL Server's SOUNDEX: the first character in upper case, then the codes of the following
// consonants (BFPV 1, CGJKQSXZ 2, DT 3, L 4, MN 5, R 6), zero-padded to four characters.
// A code equal to the one before it is written once, also when H or W stand between them
// (Ashcraft A261) and when the first letter has it (Pfister P236); a vowel or Y between them
// separates them (Tymczak T522). The code ends at the first character that is not a letter.
// A text that does not begin with a letter gives "0000"; the empty text gives the empty text,
// as SQL Server does.
QString sqlServerSoundex(const QString& text);

// Registers SOUNDEX, onlyNumericChars (the digits of its text argument, null for null) and
// BINARY_CHECKSUM (a 32-bit check sum of any number of values, as SQL Server's) on an embedded
// database; false when the engine refused them.
bool registerSqliteFunctions(sqlite3* db);

} // namespace kolvix
