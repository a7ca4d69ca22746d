#include "SearchQuery.h"

#include "core/TextHelpers.h"

namespace kolvix {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The text read as a decimal integer; 0 when it is not one.
int integerOrZero(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

const QStringList& searchFieldCaptions()
{
    static const QStringList captions {
        QStringLiteral("Surname"),    QStringLiteral("Name"),      QStringLiteral("Home Phone"),
        QStringLiteral("File No"),    QStringLiteral("Client ID"), QStringLiteral("Occupation"),
        QStringLiteral("Address"),    QStringLiteral("Email"),     QStringLiteral("Mobile"),
        QStringLiteral("Work Phone"), QStringLiteral("Claim No"),  QStringLiteral("BPAY Ref No"),
    };
    return captions;
}

int searchFieldIndex(const QString& caption)
{
    const QStringList& captions = searchFieldCaptions();
    for (int i = 0; i < captions.size(); ++i)
        if (captions[i].compare(caption, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString SearchQuery::sql() const
{
    QString text;
    for (const QString& line : lines)
        text += line + kCrLf;
    return text;
}

const SearchParameter* SearchQuery::parameter(const QString& name) const
{
    for (const SearchParameter& p : parameters)
        if (p.name == name)
            return &p;
    return nullptr;
}

SearchQuery buildSearchQuery(const SearchRequest& request)
{
    SearchQuery query;
    const int index = request.field >= 0 && request.field < kSearchFieldCount ? request.field : 0;
    const auto field = SearchField(index);
    query.field = field;

    // Column and view: the caption without blanks and full stops, with three substitutions.
    QString column = searchFieldCaptions()[index];
    column.remove(u' ').remove(u'.');
    if (column.compare(QLatin1StringView("FileNo"), Qt::CaseInsensitive) == 0) {
        if (!request.useFileNo)
            column = QStringLiteral("ClientID");
    } else if (column.compare(QLatin1StringView("Mobile"), Qt::CaseInsensitive) == 0) {
        column = QStringLiteral("RawMobile");
        query.mobileMode = true;
    }
    if (field == SearchField::ClaimNo)
        column = QStringLiteral("ClaimNumber");
    query.column = column;
    query.view = field == SearchField::ClaimNo || field == SearchField::BPAYRefNo ? QStringLiteral("PatientSearchBPAY")
                                                                                  : QStringLiteral("PatientSearch");

    // The name pair: the parts before and after the first comma, each trimmed.
    const bool names = field == SearchField::Surname || field == SearchField::Name;
    const qsizetype comma = request.text.indexOf(u',');
    const bool namePair = names && comma >= 0;
    const QString firstPart = namePair ? trimControl(request.text.left(comma)) : QString();
    const QString secondPart = namePair ? trimControl(request.text.mid(comma + 1)) : QString();
    // The part after the comma is matched against the other name.
    const QString pairColumn = field == SearchField::Surname ? QStringLiteral("Name") : QStringLiteral("Surname");

    // Mobile numbers are searched by their digits: the blanks typed among them go.
    QString text = request.text;
    if (query.mobileMode)
        text.remove(u' ');

    // Selection: decided on the text as typed. An empty search (but by Client ID) without Show All
    // and a BPAY reference of fewer than five characters select no rows.
    const bool emptySearch = field != SearchField::ClientID && !request.showAll && request.text.isEmpty();
    const bool shortBpay = field == SearchField::BPAYRefNo && request.text.size() < 5;
    QString selection;
    if (emptySearch || shortBpay) {
        selection = QStringLiteral("SELECT TOP 0 * FROM ");
        query.top = 0;
    } else if (request.showAll) {
        selection = QStringLiteral("SELECT * FROM ");
    } else {
        selection = QStringLiteral("SELECT TOP 50 * FROM ");
        query.top = 50;
    }
    if (query.mobileMode) {
        query.lines << selection + QLatin1Char('(')
                    << QStringLiteral("SELECT *, dbo.onlyNumericChars(Mobile) AS RawMobile FROM ") + query.view
                + QStringLiteral(") SubDetails");
    } else {
        query.lines << selection + query.view;
    }

    // Condition. With an empty text the template's last parenthesis stays open and the line
    // also takes the rows where the column is null. A sounds-like search needs a text: without
    // one it searches as a normal one.
    const bool empty = text.isEmpty();
    const bool soundsLike = request.soundsLike && names && !empty;
    const QString like = text + QLatin1Char('%');
    QString condition;
    auto textParameter = [&](const char* name, const QString& value) {
        query.parameters.push_back({QString::fromLatin1(name), QVariant(value)});
    };
    if (field == SearchField::ClientID) {
        condition = empty ? QStringLiteral("WHERE ((%1 = :asLike1 )").arg(column)
                          : QStringLiteral("WHERE %1 = :asLike1").arg(column);
        query.parameters.push_back({QStringLiteral("asLike1"), QVariant(integerOrZero(text))});
    } else if (namePair && soundsLike) {
        condition = QStringLiteral("WHERE (Soundex( :asSounds ) = Soundex(%1)) AND (%2 LIKE :asLike2 )")
                        .arg(column, pairColumn);
        textParameter("asSounds", firstPart);
        textParameter("asLike2", secondPart + QLatin1Char('%'));
    } else if (namePair) {
        condition = QStringLiteral("WHERE (%1 LIKE :asLike1 ) AND (%2 LIKE :asLike2 )").arg(column, pairColumn);
        textParameter("asLike1", firstPart + QLatin1Char('%'));
        textParameter("asLike2", secondPart + QLatin1Char('%'));
    } else if (soundsLike) {
        condition = QStringLiteral("WHERE Soundex(:asSounds) = Soundex(%1)").arg(column);
        textParameter("asSounds", text);
    } else if (field == SearchField::Name) {
        condition = empty ? QStringLiteral("WHERE ((%1 LIKE :asLike1 ) OR (%2 LIKE :asLike3 )")
                          : QStringLiteral("WHERE (( %1 LIKE :asLike1 ) OR ( %2 LIKE :asLike3 ))");
        condition = condition.arg(column, QStringLiteral("PreferredName"));
        textParameter("asLike1", like);
        textParameter("asLike3", like);
    } else {
        condition = empty ? QStringLiteral("WHERE ((%1 LIKE :asLike1 )").arg(column)
                          : QStringLiteral("WHERE %1 LIKE :asLike1").arg(column);
        textParameter("asLike1", like);
    }
    if (empty && !namePair && !soundsLike)
        condition += QStringLiteral(" OR (%1 IS Null))").arg(column);
    query.lines << condition;

    // Filters.
    if (!request.showArchived)
        query.lines << QStringLiteral("AND Active = 'T'");
    if (request.onlyWithEmail)
        query.lines << QStringLiteral("AND LTRIM(RTRIM(ISNULL(Email,''))) <> ''");
    if (request.onlyWithMobile)
        query.lines << QStringLiteral("AND LTRIM(RTRIM(ISNULL(Mobile,''))) <> ''");
    if (emptySearch)
        query.lines << QStringLiteral("AND Clientid = -1 ");

    query.listsEveryClient = request.showAll && empty && field != SearchField::ClientID
        && query.view == QLatin1String("PatientSearch") && !request.onlyWithEmail && !request.onlyWithMobile;

    // Sort: the column first, then the other name where the column is one.
    query.lines << QStringLiteral("ORDER BY %1").arg(column);
    if (column == QLatin1StringView("Name"))
        query.lines << QStringLiteral(", Surname");
    else if (column == QLatin1StringView("Surname"))
        query.lines << QStringLiteral(", Name");
    else if (column == QLatin1StringView("Occupation"))
        query.lines << QStringLiteral(", Surname, Name");
    return query;
}

namespace {

// The lines of the search without its ORDER BY lines, which end it.
QStringList linesWithoutOrder(const SearchQuery& query, QStringList* order = nullptr)
{
    QStringList lines = query.lines;
    const qsizetype orderBy = lines.indexOf(QStringLiteral("ORDER BY %1").arg(query.column));
    if (orderBy >= 0) {
        if (order)
            *order = lines.mid(orderBy);
        lines = lines.mid(0, orderBy);
    }
    return lines;
}

// The search's first line with another selection than "SELECT * FROM ".
QStringList withSelection(QStringList lines, const QString& selection)
{
    if (!lines.isEmpty() && lines.first().startsWith(QLatin1String("SELECT * FROM ")))
        lines.first().replace(0, int(qstrlen("SELECT * FROM ")), selection);
    return lines;
}

} // namespace

SearchQuery searchPageQuery(const SearchQuery& query, int first, int count)
{
    SearchQuery page = query;
    QStringList order;
    page.lines = linesWithoutOrder(query, &order);
    page.lines << order << QStringLiteral(", ClientID");
    if (query.view == QLatin1String("PatientSearchBPAY"))
        page.lines << QStringLiteral(", AccountID");
    page.lines
        << QStringLiteral("OFFSET %1 ROWS FETCH NEXT %2 ROWS ONLY").arg(std::max(0, first)).arg(std::max(1, count));
    page.top = -1;
    return page;
}

SearchQuery searchCountQuery(const SearchQuery& query)
{
    SearchQuery counted = query;
    counted.lines = withSelection(linesWithoutOrder(query), QStringLiteral("SELECT COUNT(*) AS Total FROM "));
    counted.top = -1;
    return counted;
}

QStringList clientCountLines(bool showArchived)
{
    QStringList lines {QStringLiteral("SELECT Count(*) AS Total FROM Client")};
    if (!showArchived)
        lines << QStringLiteral("WHERE Active = 'T'");
    return lines;
}

} // namespace kolvix
