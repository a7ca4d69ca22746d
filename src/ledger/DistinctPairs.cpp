#include "ledger/DistinctPairs.h"

#include "core/Log.h"
#include "core/TextHelpers.h"
#include "db/Connection.h"
#include "db/SqlConditions.h"
#include "db/Statement.h"
#include "ledger/MergeHistory.h"
#include "platform/Platform.h"

#include <utility>

namespace kolvix {

namespace {

const char* const kTable = "KolvixDistinctPair";

// As the program creates it when it is missing; schema/*/schema.sql hold the same.
const char* const kCreateTable = "CREATE TABLE KolvixDistinctPair (\r\n"
                                 "    FirstClientID INT NOT NULL,\r\n"
                                 "    SecondClientID INT NOT NULL,\r\n"
                                 "    MarkedAt DATETIME NULL,\r\n"
                                 "    Workstation NVARCHAR(64) NULL,\r\n"
                                 "    UserName NVARCHAR(128) NULL,\r\n"
                                 "    Note NVARCHAR(255) NULL,\r\n"
                                 "    CONSTRAINT PK_KolvixDistinctPair PRIMARY KEY (FirstClientID, SecondClientID),\r\n"
                                 "    CONSTRAINT CK_KolvixDistinctPair CHECK (FirstClientID < SecondClientID)\r\n"
                                 ")";

bool tableThere(Connection& connection)
{
    return tableExists(connection, QString::fromLatin1(kTable), connection.commandTimeout());
}

// The pair's ids, the smaller first.
std::pair<qint32, qint32> ordered(qint32 a, qint32 b)
{
    return a < b ? std::pair {a, b} : std::pair {b, a};
}

// The columns MarkedAt, Workstation, UserName and Note from column `at` on.
void readMark(const Statement& query, int at, DistinctPair& pair)
{
    if (!query.isNull(at))
        pair.when = dateTimeOf(query.value(at));
    pair.workstation = query.value(at + 1).toString();
    pair.userName = query.value(at + 2).toString();
    pair.note = query.value(at + 3).toString();
}

} // namespace

QString DistinctPair::description() const
{
    QString text = QStringLiteral("marked as different people");
    if (when.isValid())
        text += QStringLiteral(" on ") + when.toString(QStringLiteral("dd/MM/yyyy"));
    const QString who = userName.isEmpty() ? workstation
        : workstation.isEmpty()            ? userName
                                           : userName + QStringLiteral(" at ") + workstation;
    if (!who.isEmpty())
        text += QStringLiteral(" by ") + who;
    if (!note.isEmpty())
        text += QStringLiteral(" (note: %1)").arg(note);
    return text.simplified();
}

std::optional<DistinctPair> findDistinctPair(Connection& connection, qint32 a, qint32 b)
{
    if (a == b || !tableThere(connection))
        return std::nullopt;
    const auto [first, second] = ordered(a, b);
    Statement query(connection,
                    QStringLiteral("SELECT MarkedAt, Workstation, UserName, Note FROM KolvixDistinctPair WHERE "
                                   "FirstClientID = :First AND SecondClientID = :Second"),
                    connection.commandTimeout());
    query.addValue(first);
    query.addValue(second);
    query.execute();
    if (!query.next()) {
        query.throwIfReadFailed();
        return std::nullopt;
    }
    DistinctPair pair;
    pair.first = first;
    pair.second = second;
    readMark(query, 0, pair);
    return pair;
}

std::vector<DistinctPair> readDistinctPairs(Connection& connection)
{
    std::vector<DistinctPair> pairs;
    if (!tableThere(connection))
        return pairs;
    Statement query(connection,
                    QStringLiteral("SELECT d.FirstClientID, d.SecondClientID, d.MarkedAt, d.Workstation, d.UserName, "
                                   "d.Note, a.Surname, a.Name, b.Surname, b.Name\r\n"
                                   "FROM KolvixDistinctPair d\r\n"
                                   "LEFT JOIN Client a ON a.ClientID = d.FirstClientID\r\n"
                                   "LEFT JOIN Client b ON b.ClientID = d.SecondClientID\r\n"
                                   "ORDER BY d.FirstClientID, d.SecondClientID"),
                    connection.commandTimeout());
    query.execute();
    while (query.next()) {
        DistinctPair pair;
        pair.first = query.value(0).toInt();
        pair.second = query.value(1).toInt();
        readMark(query, 2, pair);
        if (!query.isNull(6) || !query.isNull(7))
            pair.firstName = displayName(query.value(6).toString(), query.value(7).toString());
        if (!query.isNull(8) || !query.isNull(9))
            pair.secondName = displayName(query.value(8).toString(), query.value(9).toString());
        pairs.push_back(std::move(pair));
    }
    query.throwIfReadFailed();
    return pairs;
}

void markDistinctPair(Connection& connection, qint32 a, qint32 b, const QString& note)
{
    const int timeout = connection.commandTimeout();
    if (!tableThere(connection)) {
        Statement create(connection, QString::fromLatin1(kCreateTable), timeout);
        create.execute();
        writeLogFmt(QStringLiteral("ledger: created table %s"), {QString::fromLatin1(kTable)});
    }
    const auto [first, second] = ordered(a, b);
    const QString kept = trimControl(note).left(kDistinctPairNoteLength);
    Statement insert(connection,
                     QStringLiteral("INSERT INTO KolvixDistinctPair (FirstClientID, SecondClientID, MarkedAt, "
                                    "Workstation, UserName, Note)\r\n"
                                    "VALUES (:First, :Second, :MarkedAt, :Workstation, :UserName, :Note)"),
                     timeout);
    insert.addValue(first);
    insert.addValue(second);
    insert.addValue(QDateTime::currentDateTime());
    insert.addValue(platform().computerName().left(64));
    insert.addValue(platform().userName().left(128));
    insert.addValue(kept.isEmpty() ? QVariant() : QVariant(kept));
    insert.execute();
    writeLogFmt(QStringLiteral("marked as different people: %d and %d"), {first, second});
}

bool unmarkDistinctPair(Connection& connection, qint32 a, qint32 b)
{
    if (!tableThere(connection))
        return false;
    const auto [first, second] = ordered(a, b);
    Statement remove(connection,
                     QStringLiteral("DELETE FROM KolvixDistinctPair WHERE FirstClientID = :First AND SecondClientID "
                                    "= :Second"),
                     connection.commandTimeout());
    remove.addValue(first);
    remove.addValue(second);
    remove.execute();
    if (remove.rowsAffected() == 0)
        return false;
    writeLogFmt(QStringLiteral("mark as different people removed: %d and %d"), {first, second});
    return true;
}

} // namespace kolvix
