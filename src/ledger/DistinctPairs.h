#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace kolvix {

class Connection;

// Pairs of clients that a person marked as two different people (twins, a parent and a child of
// one name), so that the duplicate finder leaves them out and a merge of the two is refused until
// the mark is removed. They are kept in a table of the program's own, KolvixDistinctPair
// (schema/*/schema.sql hold it too), created the first time a pair is marked; a database without
// it has no marks. The smaller client id comes first, so that a pair is one row whichever way
// round it is named.
struct DistinctPair
{
    qint32 first = -1; // the smaller client id
    qint32 second = -1;
    QDateTime when;
    QString workstation;
    QString userName; // the operating-system user who marked it
    QString note; // empty when none was given
    // "Surname, Name" of each client as it is now (readDistinctPairs only); empty when the client
    // is gone.
    QString firstName;
    QString secondName;

    // "marked as different people on 11/12/2026 by jane at reception-2 (note: twins)", on one
    // line; the parts not recorded are left out.
    QString description() const;
};

// The longest note a mark keeps (the column's width).
constexpr int kDistinctPairNoteLength = 255;

// The mark of the pair, whichever way round its ids are given; nothing when it is not marked.
// Throws DbError with the client's message.
std::optional<DistinctPair> findDistinctPair(Connection& connection, qint32 a, qint32 b);
// Every mark, by the smaller client id and then the other, with the clients' names.
std::vector<DistinctPair> readDistinctPairs(Connection& connection);

// Marks the pair as two different people, with the time, this workstation, the operating-system
// user and the note (trimmed; cut to kDistinctPairNoteLength). Creates the table when it is
// missing. The pair must not be marked already (findDistinctPair) and the ids must differ. Throws
// DbError with the client's message when the table cannot be created or the row not written.
void markDistinctPair(Connection& connection, qint32 a, qint32 b, const QString& note);
// Removes the mark of the pair; false when it was not marked.
bool unmarkDistinctPair(Connection& connection, qint32 a, qint32 b);

} // namespace kolvix
