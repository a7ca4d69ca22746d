#pragma once

#include <QString>

namespace kolvix {

// The text of a connection string "key=value;key=value;...": how a value is read, how it is
// written so that it reads back as itself, and how passwords are kept out of everything the
// program shows or logs. The one reader and writer of the grammar; the connection and
// everything else go through it.
//
// Grammar: pairs end with ";"; keys are compared in any case; an unquoted value ends at the
// next ";" and is trimmed of blanks; a value enclosed in double or single quotes (only spaces
// before the opening one) holds anything, the enclosing quote doubled inside. A part without
// "=" is no pair.

// The value of a key: of the first pair whose key, trimmed, is `key` in any case; an unquoted
// value trimmed, a quoted one without its quotes and each doubled quote read as one; empty
// when the key is missing.
QString connectionStringValue(const QString& connectionString, const QString& key);

// The value as a connection string carries it: unchanged when it holds no ";" and no quote,
// does not begin with "{" and neither begins nor ends with a blank, else enclosed in double
// quotes (single quotes when it holds a double quote and no single one), the enclosing quote
// doubled inside.
QString quoteConnectionValue(const QString& value);

// True for the key of a password: "Password" or "PWD" in any case, blanks around it ignored
// (also as the last word of a longer key).
bool isPasswordKey(const QString& key);

// The text that stands for a hidden password.
inline const char* const kMaskedPassword = "***";

// The connection string with the whole value of every password key replaced by *** (an empty
// value stays empty): quoted or braced values as a whole, and the parts without "=" that follow
// an unquoted password (a password that held ";"). A password key inside another key's value
// ("Initial Catalog=x;Password=...") hides the rest of that value. The rest is unchanged.
QString maskPasswordsInConnectionString(const QString& connectionString);

// One value (a server or database name, a file name): whatever follows a password key and "="
// inside it is replaced by ***.
QString maskPasswordsInValue(const QString& value);

// Free text (a message): on each line, whatever follows a password key and "=" is replaced by
// *** up to the end of the line.
QString maskPasswordsInText(const QString& text);

} // namespace kolvix
