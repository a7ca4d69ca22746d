#pragma once

#include <QString>
#include <QStringList>
#include <exception>

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

// What standard error says while a statement waits for another connection's lock.
inline const char* const kLockWaitLine = "kolvix-merge: waiting for a lock held by another connection ...";

// One line of a listing on standard output: the cells, each written by escapeText (core/TextHelpers),
// separated by tabs, so that every cell stays in its column and reads back as it was.
QString tabSeparated(const QStringList& cells);

// One line on standard output, written whole (a NUL in the text cuts nothing).
void out(const QString& text);
// One line on standard error in one write, flushed at once, so that a process reading the
// pipe sees each line as soon as it is written.
void err(const QString& text);

// Connects as the verbs that do not merge do: with the fallbacks, without the merge's warning.
// False, with "Error: <message>" on standard error, when no connection opens.
bool connectOrSayWhy(Connection& connection);
// The failure of a verb that lists or only reads: "Error: <message>" on standard error, so that
// standard output keeps its form; gives ExitFailed. (The verbs that merge print their failures
// as the desktop program's boxes, on standard output.)
int readFailed(const std::exception& failure);

// Whether standard input / standard error is a terminal.
bool stdinIsTerminal();
bool stderrIsTerminal();

} // namespace kolvix::cli
