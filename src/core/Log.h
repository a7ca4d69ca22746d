#pragma once

#include "core/Format.h"

#include <QDateTime>
#include <QString>
#include <functional>

namespace kolvix {

class UserInterface;

// The daily merge log "Kolvix_yyyy.mm.dd.log" beside the executable. Off until start-up
// switches it on from the setting "Log"; then every line is appended as
// "hh:mm:ss.zzz: message" CR LF, the file opened and closed for each line. Outside Windows the
// file is readable and writable by its owner only (it holds patient names).
void setLogEnabled(bool enabled);
bool logEnabled();

void writeLog(const QString& message);
// With an empty argument list the template is logged literally.
void writeLogFmt(const QString& templ, const FormatArgs& args);

// The path of the log file for a moment (the folder is the executable's).
QString logFilePath(const QDateTime& when);

// Tests replace the clock and the folder.
void setLogClock(std::function<QDateTime()> clock);
void setLogFolder(const QString& folder); // empty: the executable's folder

// The server the program is connected to; start-up sets it after connecting. A failure to
// write the log is shown only when the server name begins with kDeveloperWorkstation.
void setLogServerName(const QString& serverName);
// Where that failure is shown: the interface of the front end that connected (null: nowhere).
void setLogFailureInterface(UserInterface* ui);
UserInterface* logFailureInterface();

// A failure to write the log is shown only when the server name begins with this name.
inline const char* const kDeveloperWorkstation = "kolvix-dev";

} // namespace kolvix
