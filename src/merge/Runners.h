#pragma once

#include <QString>

namespace kolvix {

class Command;
class Dataset;
class TracePane;
class UserInterface;

// The engine's statement runners. Their boxes go to ui, the interface of the merge's session.

// Runs sql once on the command. On failure: log line "doADOCommand() EXCEPTION %s", plain
// box "doADOCommand: <message>", then the failure passes on.
void doADOCommand(UserInterface& ui, Command& command, const QString& sql);
// doADOCommand that also gives the number of rows the statement changed.
int doADOCommandRows(UserInterface& ui, Command& command, const QString& sql);
// Opens sql on the dataset; the number of rows (0 for none). The dataset stays open on its
// first row. On failure: log line, plain box "doADOQuery: <message>", the failure passes on.
int doADOQuery(UserInterface& ui, Dataset& dataset, const QString& sql);
// The first column of the first row as an integer / boolean, or the default for no row or
// null. On failure: log line and plain box, then the default.
int doADOQuery(UserInterface& ui, Dataset& dataset, const QString& sql, int defaultValue);
bool doADOQuery(UserInterface& ui, Dataset& dataset, const QString& sql, bool defaultValue);

// Whether a user table of that name exists (through SYS.TABLES on dataset). A missing table
// with noteMissing adds "Table '%s' does not exist (not merged)" to the trace; a failing
// catalogue query notes and logs the failure and answers true.
bool tableExists(Dataset& dataset, TracePane& trace, const QString& name, bool noteMissing);

} // namespace kolvix
