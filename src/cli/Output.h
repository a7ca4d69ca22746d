#pragma once

#include <QString>
#include <QStringList>

namespace kolvix::cli {

// What standard error says while a statement waits for another connection's lock.
inline const char* const kLockWaitLine = "kolvix-merge: waiting for a lock held by another connection ...";

// A value as it is printed within a line: the characters a terminal or a reader of lines would
// act on instead of showing (control characters, DEL, the Unicode line and paragraph
// separators) are written as escapes: \0, \t, \n, \r, \xHH or \uHHHH. Everything else,
// a backslash too, is printed as it is.
QString printable(const QString& value);
// One line of a listing on standard output: the cells, each printable, separated by tabs.
QString tabSeparated(const QStringList& cells);

// One line on standard output, written whole (a NUL in the text cuts nothing).
void out(const QString& text);
// One line on standard error in one write, flushed at once, so that a process reading the
// pipe sees each line as soon as it is written.
void err(const QString& text);

// Whether standard input / standard error is a terminal.
bool stdinIsTerminal();
bool stderrIsTerminal();

} // namespace kolvix::cli
