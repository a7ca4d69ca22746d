#pragma once

#include <QFileInfo>
#include <QString>

namespace kolvix {

// The checks on a database file (the SQLite providers) before and as it opens.

// The existing database file that "Data Source" names (`file`, as the connection string gives
// it); a SQLite database is never created. Whatever keeps the file from serving as the
// database is said here, before anything opens it: no name, a missing file, a directory, a
// device or pipe, a file this user cannot read, and unless `readOnly` a file it cannot write
// or one in a folder it cannot write. Throws DbError with that message.
QFileInfo existingDatabaseFile(const QString& file, bool readOnly);

// The message for a file that opened but cannot be read as a database: that it is no database,
// or the engine's own message.
QString unreadableDatabaseMessage(const QString& file, const QString& message, bool notADatabase);

} // namespace kolvix
