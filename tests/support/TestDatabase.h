#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kolvix::test {

// A SQLite database file built from schema/sqlite/schema.sql in a temporary folder.
// Fixture rows are written with exec() straight through SQLite, bypassing the program.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    const QString& path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    // The connection string the program uses for this file.
    QString connectionString() const;

    // Runs SQL (several statements allowed); fails the test (throws) on error.
    void exec(const QString& sql) const;
    // The first column of the first row, as text (empty for no row / null).
    QString scalar(const QString& sql) const;
    qint64 count(const QString& sql) const { return scalar(sql).toLongLong(); }

    // Every row of every table, one text per table, sorted, for comparing whole states.
    QMap<QString, QStringList> snapshot(const QStringList& exceptTables = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// The tables a merge writes with its own time stamp: its Audit row and its ledger's row (which,
// like the Audit row, stays after a rollback and says so). Two runs of the same merge leave
// everything else the same, and a merge rolled back leaves everything else as it was.
inline const QStringList kStampedTables = {QStringLiteral("Audit"), QStringLiteral("KolvixMerge")};

// Forgets the check sums a merge's record keeps of its rows, for comparing the record of a merge
// with that of another that kept none (through the SQLite ODBC driver) or of rows it named otherwise.
inline const char* const kForgetRowChecks
    = "UPDATE KolvixMergeStep SET CheckColumns = NULL; UPDATE KolvixMergeRow SET RowCheck = NULL;";

// The tables that are not the practice's own: the Audit trail and the merge ledger. A merge and
// its undo leave every other table exactly as it was.
inline const QStringList kNotProductTables = {QStringLiteral("Audit"), QStringLiteral("KolvixMerge"),
                                              QStringLiteral("KolvixMergeStep"), QStringLiteral("KolvixMergeRow")};

// The path of a file of the source tree.
QString sourcePath(const QString& relative);

} // namespace kolvix::test
