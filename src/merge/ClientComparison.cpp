#include "merge/ClientComparison.h"

#include "core/TextHelpers.h"
#include "core/TracePane.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/Statement.h"
#include "ledger/MergeHistory.h"
#include "merge/Statistics.h"

#include <iterator>

namespace kolvix {

const char* const kClientDetailsStatement
    = "SELECT ClientID, Title, Surname, Name, PreferredName, Sex, DateOfBirth, Address, Suburb, State, PostCode, "
      "HomePhone, WorkPhone, Mobile, Email, Occupation, MedicareNo, FileNo, CreatedDate, Active\r\n"
      "FROM Client\r\n"
      "WHERE ClientID = :ClientID";

namespace {

enum class Kind {
    Text, // compared without regard to case
    Digits, // compared by its digits where it has any (telephone and Medicare numbers)
    Birth, // a date, shown with the age
    Stamp, // a date and time
    Archived, // the Active column, shown as whether the client is archived
};

struct FieldSpec
{
    const char* caption;
    Kind kind;
};

// The columns of kClientDetailsStatement, in order.
constexpr FieldSpec kFields[] = {
    {"Client ID", Kind::Text},
    {"Title", Kind::Text},
    {"Surname", Kind::Text},
    {"Given name", Kind::Text},
    {"Preferred name", Kind::Text},
    {"Sex", Kind::Text},
    {"Date of birth", Kind::Birth},
    {"Address", Kind::Text},
    {"Suburb", Kind::Text},
    {"State", Kind::Text},
    {"Post code", Kind::Text},
    {"Home phone", Kind::Digits},
    {"Work phone", Kind::Digits},
    {"Mobile", Kind::Digits},
    {"E-mail", Kind::Text},
    {"Occupation", Kind::Text},
    {"Medicare number", Kind::Digits},
    {"File number", Kind::Text},
    {"Created", Kind::Stamp},
    {"Archived", Kind::Archived},
};
constexpr int kSurname = 2;
constexpr int kName = 3;

QString digitsOf(const QString& text)
{
    QString digits;
    for (const QChar c : text)
        if (c.isDigit())
            digits += c;
    return digits;
}

// A value as both front ends show it, and what the comparison compares of it.
struct Shown
{
    QString text;
    QString key;
};

Shown shown(const QVariant& value, Kind kind, const QDate& today)
{
    const QString text = value.isNull() ? QString() : trimControl(value.toString());
    switch (kind) {
    case Kind::Text:
        return {text, text.toCaseFolded()};
    case Kind::Digits: {
        const QString digits = digitsOf(text);
        return {text, digits.isEmpty() ? text.toCaseFolded() : digits};
    }
    case Kind::Birth:
    case Kind::Stamp: {
        const QDateTime when = value.isNull() ? QDateTime() : dateTimeOf(value);
        if (!when.isValid())
            return {text, text};
        const QString date = when.date().toString(QStringLiteral("yyyy-MM-dd"));
        if (kind == Kind::Birth)
            return {date + QStringLiteral(" (age %1)").arg(ageOn(when.date(), today)), date};
        const QString stamp = when.time() == QTime(0, 0) ? date : date + when.toString(QStringLiteral(" HH:mm"));
        return {stamp, stamp};
    }
    case Kind::Archived: {
        const QString archived = isActiveFlag(text) ? QStringLiteral("no") : QStringLiteral("yes");
        return {archived, archived};
    }
    }
    return {text, text};
}

} // namespace

QString ClientDetails::displayName() const
{
    if (values.size() <= std::size_t(kName))
        return QString();
    return kolvix::displayName(values[kSurname].toString(), values[kName].toString());
}

std::optional<ClientDetails> readClientDetails(Connection& connection, qint32 id)
{
    Statement query(connection, QString::fromLatin1(kClientDetailsStatement), connection.commandTimeout());
    query.addValue(id);
    query.execute();
    if (!query.next()) {
        query.throwIfReadFailed();
        return std::nullopt;
    }
    ClientDetails details;
    details.id = id;
    details.values = query.row();
    return details;
}

int ageOn(const QDate& dateOfBirth, const QDate& today)
{
    int age = today.year() - dateOfBirth.year();
    if (today.month() < dateOfBirth.month()
        || (today.month() == dateOfBirth.month() && today.day() < dateOfBirth.day()))
        --age;
    return age;
}

ClientComparison compareClients(Connection& connection, const ClientDetails& a, const ClientDetails& b,
                                const QDate& today)
{
    ClientComparison comparison;
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        const QVariant none;
        const Shown left = shown(i < a.values.size() ? a.values[i] : none, kFields[i].kind, today);
        const Shown right = shown(i < b.values.size() ? b.values[i] : none, kFields[i].kind, today);
        comparison.fields.push_back(
            {QString::fromLatin1(kFields[i].caption), left.text, right.text, left.key == right.key});
    }
    // Counted as the "Data to be moved" pane counts them; the same kinds for both clients.
    Dataset dsTemp(connection, 30);
    TracePane trace;
    const StatisticsList countsA = countEveryKind(dsTemp, trace, a.id);
    const StatisticsList countsB = countEveryKind(dsTemp, trace, b.id);
    for (std::size_t i = 0; i < countsA.size() && i < countsB.size(); ++i) {
        if (countsA[i].second > 0 || countsB[i].second > 0)
            comparison.counts.push_back({countsA[i].first, countsA[i].second, countsB[i].second});
    }
    return comparison;
}

} // namespace kolvix
