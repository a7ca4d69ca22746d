#include "DatabaseFile.h"

#include "DbError.h"

namespace kolvix {

QFileInfo existingDatabaseFile(const QString& file, bool readOnly)
{
    if (file.isEmpty())
        throw DbError(QStringLiteral("The connection string names no database file (Data Source)."));
    const QFileInfo info(file);
    if (!info.exists())
        throw DbError(QStringLiteral("The database file '%1' does not exist.").arg(file));
    if (info.isDir())
        throw DbError(QStringLiteral("The database file '%1' is a directory, not a file.").arg(file));
    if (!info.isFile())
        throw DbError(
            QStringLiteral("The database file '%1' is not a regular file (a device, a pipe or a socket).").arg(file));
    if (!info.isReadable())
        throw DbError(QStringLiteral("The database file '%1' cannot be read (permission denied).").arg(file));
    if (readOnly)
        return info;
    if (!info.isWritable())
        throw DbError(QStringLiteral("The database file '%1' is read-only.").arg(file));
    // A change writes a journal beside the file.
    if (!QFileInfo(info.absolutePath()).isWritable())
        throw DbError(QStringLiteral("The database file '%1' is in a read-only folder.").arg(file));
    return info;
}

QString unreadableDatabaseMessage(const QString& file, const QString& message, bool notADatabase)
{
    if (notADatabase)
        return QStringLiteral("The database file '%1' is not a database.").arg(file);
    return QStringLiteral("Cannot open the database file '%1': %2").arg(file, message);
}

} // namespace kolvix
