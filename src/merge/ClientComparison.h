#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

namespace kolvix {

class Connection;

// Two clients side by side, for a person to decide whether they are one patient: their details
// field by field and how many rows of each kind they hold. The desktop's Compare window and
// `kolvix-merge --compare` show it. It only reads.

// A client's details as the comparison reads them (kClientDetailsStatement's columns, in order).
struct ClientDetails
{
    qint32 id = -1;
    std::vector<QVariant> values;
    // "Surname, Name" (core's displayName).
    QString displayName() const;
};

// The statement that reads a client's details, the client id bound to :ClientID.
extern const char* const kClientDetailsStatement;

// Reads a client's details; nothing when it does not exist. Throws DbError.
std::optional<ClientDetails> readClientDetails(Connection& connection, qint32 id);

// One field of both clients, as both front ends show it: text trimmed, dates as yyyy-MM-dd (the
// date of birth with the age: "1975-04-09 (age 50)"), the archived flag as "yes" or "no". Same:
// the values agree, text without regard to case, telephone numbers by their digits, dates by
// date; a value empty on both sides agrees.
struct ComparedField
{
    QString field; // "Client ID", "Surname", "Date of birth", ...
    QString a;
    QString b;
    bool same = true;
};

// The rows of one kind of both clients, as the "Data to be moved" pane counts them
// (collectStatistics), under the kind's caption.
struct ComparedCount
{
    QString caption;
    int a = 0;
    int b = 0;
};

struct ClientComparison
{
    std::vector<ComparedField> fields; // every field, in a fixed order
    std::vector<ComparedCount> counts; // the kinds of which either client holds rows, in the pane's order
};

// The comparison of two clients read by readClientDetails; the counts are read now. today
// gives the ages. Throws DbError.
ClientComparison compareClients(Connection& connection, const ClientDetails& a, const ClientDetails& b,
                                const QDate& today = QDate::currentDate());

// The whole years from a date of birth to today.
int ageOn(const QDate& dateOfBirth, const QDate& today);

} // namespace kolvix
