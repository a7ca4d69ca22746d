#include "accounts/AccountInfo.h"

#include "core/Format.h"
#include "core/TextHelpers.h"
#include "core/TracePane.h"
#include "db/Dataset.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <limits>
#include <stdexcept>

namespace kolvix {

namespace {

// The collation of the user's locale, ignoring case. The C/POSIX locale has no collation of
// its own (it would compare code points, putting "10=" before "1="), so English stands in.
QCollator makeAccountCollator()
{
    QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

const QCollator& accountCollator()
{
    thread_local const QCollator collator = makeAccountCollator();
    return collator;
}

// The text before the first "=" and the text after it (the whole text and nothing when
// there is no "=").
std::pair<QStringView, QStringView> splitEntry(const QString& entry)
{
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {QStringView(entry), QStringView()};
    return {QStringView(entry).left(eq), QStringView(entry).mid(eq + 1)};
}

// A decimal integer: an optional minus sign and digits only, within 32 bits.
bool parseDecimal(QStringView text, qint32& value)
{
    if (text.isEmpty())
        return false;
    qsizetype i = 0;
    const bool negative = text[0] == QLatin1Char('-');
    if (negative)
        i = 1;
    if (i >= text.size())
        return false;
    qint64 result = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + (c - u'0');
        if (result > qint64(1) << 31)
            return false;
    }
    if (negative)
        result = -result;
    if (result < std::numeric_limits<qint32>::min() || result > std::numeric_limits<qint32>::max())
        return false;
    value = qint32(result);
    return true;
}

// Runs a COUNT(*) statement with its parameters bound by position and returns the count.
int countOf(Dataset& query, const QString& sql, std::initializer_list<qint32> params)
{
    query.close();
    query.setSql(sql);
    int position = 0;
    for (qint32 value : params)
        query.setParamAt(position++, QVariant(value));
    query.open();
    query.first();
    const int count = query.eof() ? 0 : query.field(0).asInteger();
    query.close();
    return count;
}

void loadClientInfo(Dataset& query, TaClientInfo& info, qint32 clientID, const QString& clientName)
{
    info.ClientID = clientID;
    info.ClientName = clientName;
    info.AccountList.clear();
    info.MaxAccountID = -1;
    query.close();
    query.setSql(QStringLiteral(
        "SELECT AccountID, ShortDescription FROM Account WHERE ClientID = :ClientID ORDER BY AccountID"));
    query.setParamAt(0, QVariant(clientID));
    query.open();
    for (query.first(); !query.eof(); query.next()) {
        const qint32 id = query.field(0).asInteger();
        const QString name = query.field(1).asString();
        insertSortedAccountEntry(info.AccountList, Format(QStringLiteral("%d=%s"), {qint64(id), name}));
        info.MaxAccountID = std::max(info.MaxAccountID, id);
    }
    query.close();
}

bool hasAccount(const TaClientInfo& info, qint32 accountID)
{
    for (int i = 0; i < info.AccountList.size(); ++i) {
        if (TaInfo::AccountIDAt(i, info) == accountID)
            return true;
    }
    return false;
}

const char* actionWord(TaAction action)
{
    switch (action) {
    case TaAction::UNUSED:
        return "UNUSED";
    case TaAction::UNASSIGNED:
        return "UNASSIGNED";
    case TaAction::MERGE:
        return "MERGE";
    case TaAction::APPEND:
        return "APPEND";
    }
    return "UNUSED";
}

bool inSet(QChar c, const QString& set)
{
    return set.contains(c);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Ordering

// Entries are compared on the text before the first "=" and then on the rest, each with the
// collator. This is the order of the whole texts with "=" before every other character, so
// that "1=..." precedes "10=..." whatever weight the locale gives to "=" (some collations
// ignore punctuation and symbols, which would otherwise let the names decide).
int compareAccountText(const QString& a, const QString& b)
{
    const auto [keyA, restA] = splitEntry(a);
    const auto [keyB, restB] = splitEntry(b);
    const QCollator& collator = accountCollator();
    if (const int c = collator.compare(keyA, keyB))
        return c;
    const bool eqA = a.size() > keyA.size();
    const bool eqB = b.size() > keyB.size();
    if (eqA != eqB)
        return eqA ? 1 : -1; // a text without "=" before the same text with one
    return collator.compare(restA, restB);
}

int insertSortedAccountEntry(QStringList& list, const QString& entry)
{
    const auto it = std::upper_bound(list.begin(), list.end(), entry, [](const QString& e, const QString& item) {
        return compareAccountText(e, item) < 0;
    });
    const int position = int(it - list.begin());
    list.insert(position, entry);
    return position;
}

int insertUniqueSortedEntry(QStringList& list, const QString& entry)
{
    const QStringView key = splitEntry(entry).first;
    const QCollator& collator = accountCollator();
    for (const QString& present : list) {
        if (collator.compare(splitEntry(present).first, key) == 0)
            throw std::logic_error("duplicate entry '" + entry.toStdString() + "' (present: '" + present.toStdString()
                                   + "')");
    }
    return insertSortedAccountEntry(list, entry);
}

// ---------------------------------------------------------------------------------------------
// Text helpers

QString TrimChars(const QString& text, const QString& set)
{
    QString s = trimControl(text);
    if (s.size() < 2)
        return s;
    while (s.size() >= 2 && inSet(s.back(), set))
        s.chop(1);
    // Each dropped first character keeps at most the 999 characters that follow it.
    while (s.size() >= 2 && inSet(s.front(), set))
        s = s.mid(1, 999);
    if (s.size() == 1 && inSet(s.front(), set))
        return QString();
    return s;
}

QString RemoveChars(const QString& text, const QString& set)
{
    QString result;
    result.reserve(text.size());
    for (QChar c : text) {
        if (!inSet(c, set))
            result += c;
    }
    return result;
}

QString EscapeQuotes(const QString& text)
{
    if (!text.contains(QLatin1Char('\'')))
        return text;
    QString result = text;
    result.replace(QLatin1Char('\''), QStringLiteral("''"));
    return result;
}

// ---------------------------------------------------------------------------------------------
// TaInfo

TaInfo::TaInfo()
{
    AddAliasGroup(
        QStringLiteral("3RDPARTY"),
        {QStringLiteral("CTP"), QStringLiteral("3RD PARTY"), QStringLiteral("THIRD PTY"), QStringLiteral("3RD PTY")});
    AddAliasGroup(QStringLiteral("ALLIANZ"),
                  {QStringLiteral("ALLNZ"), QStringLiteral("ALNZ"), QStringLiteral("Allianz Australi"),
                   QStringLiteral("Allianz Aus"), QStringLiteral("Allianz wc")});
    AddAliasGroup(QStringLiteral("AUnity"),
                  {QStringLiteral("Aus Unity"), QStringLiteral("AusUnity"), QStringLiteral("AU"),
                   QStringLiteral("AustUnity"), QStringLiteral("Aust Unity")});
    AddAliasGroup(QStringLiteral("AUSPOST"), {QStringLiteral("AUS POST"), QStringLiteral("AUST POST")});
    AddAliasGroup(QStringLiteral("catholic"), {QStringLiteral("catholic care"), QStringLiteral("ccare")});
    AddAliasGroup(QStringLiteral("CGU"),
                  {QStringLiteral("CGU Claims"), QStringLiteral("CGU WC"), QStringLiteral("CGU WORKCOVER"),
                   QStringLiteral("CGU WCOVER")});
    AddAliasGroup(QStringLiteral("children"),
                  {QStringLiteral("son"), QStringLiteral("daughter"), QStringLiteral("kids"), QStringLiteral("child")});
    AddAliasGroup(QStringLiteral("coles"), {QStringLiteral("coles myer"), QStringLiteral("coles wc")});
    AddAliasGroup(QStringLiteral("docs"), {QStringLiteral("dept of com"), QStringLiteral("dept of comm")});
    AddAliasGroup(QStringLiteral("facs"), {QStringLiteral("dept of fam"), QStringLiteral("dept of family")});
    AddAliasGroup(QStringLiteral("dva"),
                  {QStringLiteral("Veterans"), QStringLiteral("Veteran's"), QStringLiteral("VET"),
                   QStringLiteral("vet affairs"), QStringLiteral("vet aff"), QStringLiteral("Dept of Vet"),
                   QStringLiteral("DVA AIDS"), QStringLiteral("DVA MED")});
    AddAliasGroup(QStringLiteral("epc"),
                  {QStringLiteral("Medicare"), QStringLiteral("Medicare EPC"), QStringLiteral("Medicare ACC")});
    AddAliasGroup(QStringLiteral("epc bb"),
                  {QStringLiteral("Medicare BB"), QStringLiteral("BB"), QStringLiteral("Bulk"),
                   QStringLiteral("Bulkbill"), QStringLiteral("bbill")});
    AddAliasGroup(QStringLiteral("epc pci"), {QStringLiteral("Medicare PCI"), QStringLiteral("PCI")});
    AddAliasGroup(QStringLiteral("GIO"),
                  {QStringLiteral("GIO Claims"), QStringLiteral("GIO WC"), QStringLiteral("GIO WORKCOVER"),
                   QStringLiteral("GIO WCOVER"), QStringLiteral("gio aus"), QStringLiteral("gio aust")});
    AddAliasGroup(QStringLiteral("medibank"),
                  {QStringLiteral("mbp"), QStringLiteral("medibank private"), QStringLiteral("medibank priv"),
                   QStringLiteral("medibank pvt")});
    AddAliasGroup(QStringLiteral("MLC"),
                  {QStringLiteral("MLC Claims"), QStringLiteral("MLC WC"), QStringLiteral("MLC WORKCOVER"),
                   QStringLiteral("MLC WCOVER")});
    AddAliasGroup(QStringLiteral("nrma"), {QStringLiteral("nrma wc"), QStringLiteral("nrma ctp")});
    AddAliasGroup(QStringLiteral("raa"), {QStringLiteral("raa wc"), QStringLiteral("raa ctp")});
    AddAliasGroup(QStringLiteral("parent"),
                  {QStringLiteral("dad"), QStringLiteral("mom"), QStringLiteral("mum"), QStringLiteral("mother"),
                   QStringLiteral("father"), QStringLiteral("parents")});
    AddAliasGroup(QStringLiteral("Primary"), {QStringLiteral("prim"), QStringLiteral("1st")});
    AddAliasGroup(QStringLiteral("PRIVATE"),
                  {QStringLiteral("Priv"), QStringLiteral("Prv"), QStringLiteral("Pri"), QStringLiteral("pvte"),
                   QStringLiteral("personal")});
    AddAliasGroup(QStringLiteral("QBE"),
                  {QStringLiteral("QBE Claims"), QStringLiteral("QBE WC"), QStringLiteral("QBE WORKCOVER"),
                   QStringLiteral("QBE WCOVER"), QStringLiteral("qbe insurance")});
    AddAliasGroup(QStringLiteral("Secondary"), {QStringLiteral("sec"), QStringLiteral("2nd"), QStringLiteral("2ndry")});
    AddAliasGroup(QStringLiteral("Standard"), {QStringLiteral("std")});
    AddAliasGroup(QStringLiteral("telstra"), {QStringLiteral("telstra wc")});
    AddAliasGroup(QStringLiteral("WC"),
                  {QStringLiteral("W^Cover"), QStringLiteral("WCover"), QStringLiteral("WC Claims")});
    AddAliasGroup(QStringLiteral("woolworths"),
                  {QStringLiteral("woollies"), QStringLiteral("woolies"), QStringLiteral("ww"),
                   QStringLiteral("woolies wc"), QStringLiteral("woolworth wc"), QStringLiteral("woolworths wc")});
}

void TaInfo::AddAliasGroup(const QString& canonical, const QStringList& aliases)
{
    const QString value = TrimChars(canonical, QStringLiteral(".,^"));
    insertUniqueSortedEntry(m_aliases, Format(QStringLiteral("%s=%s"), {canonical.toLower(), canonical}));
    for (const QString& alias : aliases)
        insertUniqueSortedEntry(m_aliases, Format(QStringLiteral("%s=%s"), {alias, value}));
}

QString TaInfo::LookupAlias(const QString& key) const
{
    const QCollator& collator = accountCollator();
    for (const QString& entry : m_aliases) {
        const auto [alias, canonical] = splitEntry(entry);
        if (collator.compare(alias, key) == 0)
            return canonical.toString();
    }
    return QString();
}

QString TaInfo::CanonicalAccountName(const QString& name) const
{
    QString canonical = LookupAlias(trimControl(TrimChars(name, QStringLiteral(",."))));
    if (!canonical.isEmpty())
        return canonical;
    canonical = LookupAlias(trimControl(RemoveChars(name, QStringLiteral(",./'\\"))));
    if (!canonical.isEmpty())
        return canonical;
    return name;
}

void TaInfo::Load(Dataset& query, qint32 toClientID, const QString& toClientName, qint32 fromClientID,
                  const QString& fromClientName, TracePane* trace)
{
    Accounts.clear();

    BadGroupIDMerge
        = countOf(
              query,
              QStringLiteral("SELECT COUNT(*) FROM Account WHERE ClientID = :ClientIDTo AND GroupID = :ClientIDFrom"),
              {toClientID, fromClientID})
        > 0;
    HasGroupedAccounts
        = countOf(query, QStringLiteral("SELECT COUNT(*) FROM Account WHERE GroupID = :ClientIDFrom"), {fromClientID})
        > 0;

    loadClientInfo(query, ToInfo, toClientID, toClientName);
    loadClientInfo(query, FromInfo, fromClientID, fromClientName);

    // One slot per AccountID up to the highest: refuse ids that would need an absurd table.
    if (FromInfo.MaxAccountID > kMaxAccountSlots) {
        throw AccountIdTooLarge(
            Format(QStringLiteral(
                       "The client to be moved has an account id of %d; account ids above %d cannot be merged."),
                   {qint64(FromInfo.MaxAccountID), qint64(kMaxAccountSlots)})
                .toStdString());
    }

    Accounts.assign(size_t(FromInfo.MaxAccountID + 1), TaAccount {});

    for (int position = 0; position < FromInfo.AccountList.size(); ++position) {
        const qint32 id = AccountIDAt(position, FromInfo);
        if (id < 0) {
            // No slot can hold it: the account stays with the From client.
            if (trace) {
                trace->add(Format(QStringLiteral("Account %d of client %d has a negative id (not merged)"),
                                  {qint64(id), qint64(FromInfo.ClientID)}));
            }
            continue;
        }
        TaAccount& slot = Accounts[size_t(id)];
        slot.Action = TaAction::UNASSIGNED;
        slot.FromID = id;
        slot.FromName = AccountNameAt(position, FromInfo);
        slot.ToID = -1;
        slot.ToName.clear();
    }

    MatchAccounts();
}

void TaInfo::MatchAccounts()
{
    const int toCount = int(ToInfo.AccountList.size());

    // Pass 1, same name; pass 2, same canonical name. A later match overwrites an earlier one.
    for (int pass = 1; pass <= 2; ++pass) {
        QStringList toKeys;
        for (int position = 0; position < toCount; ++position) {
            const QString name = AccountNameAt(position, ToInfo);
            toKeys << (pass == 1 ? TrimChars(name, QStringLiteral(".,")) : CanonicalAccountName(name));
        }
        for (TaAccount& slot : Accounts) {
            if (slot.Action != TaAction::UNASSIGNED)
                continue;
            const QString fromKey
                = pass == 1 ? TrimChars(slot.FromName, QStringLiteral(".,")) : CanonicalAccountName(slot.FromName);
            for (int position = 0; position < toCount; ++position) {
                if (!sameText(fromKey, toKeys[position]))
                    continue;
                slot.Action = TaAction::MERGE;
                slot.ToID = AccountIDAt(position, ToInfo);
                slot.ToName = AccountNameAt(position, ToInfo);
            }
        }
    }

    // The primary-account rule. With non-negative ids, "has account 0" is "account 0 at
    // position 0"; asking for account 0 itself keeps the rule right when the To client
    // carries a negative AccountID, which sorts ahead of account 0.
    if (!HasGroupedAccounts || Accounts.empty())
        return;
    const bool fromPrimary = Accounts[0].Action != TaAction::UNUSED;
    if (!fromPrimary || ToInfo.AccountList.isEmpty())
        return;
    TaAccount& slot = Accounts[0];
    if (hasAccount(ToInfo, 0)) {
        slot.Action = TaAction::MERGE;
        slot.FromID = 0;
        slot.ToID = 0;
        for (int position = 0; position < toCount; ++position) {
            if (AccountIDAt(position, ToInfo) == 0) {
                slot.ToName = AccountNameAt(position, ToInfo);
                break;
            }
        }
    } else {
        slot.Action = TaAction::APPEND;
        slot.FromID = 0;
        slot.ToID = 0;
        slot.ToName = QStringLiteral("Primary");
        for (int position = 0; position < toCount; ++position) {
            if (sameText(AccountNameAt(position, ToInfo), QStringLiteral("primary"))) {
                slot.ToName = QStringLiteral("Grouped");
                break;
            }
        }
    }
}

qint32 TaInfo::AccountIDAt(int position, const TaClientInfo& clientInfo)
{
    if (position < 0 || position >= clientInfo.AccountList.size())
        return -1;
    qint32 id = -1;
    if (!parseDecimal(splitEntry(clientInfo.AccountList.at(position)).first, id))
        return -1;
    return id;
}

QString TaInfo::AccountNameAt(int position, const TaClientInfo& clientInfo)
{
    if (position < 0 || position >= clientInfo.AccountList.size())
        return QString();
    return splitEntry(clientInfo.AccountList.at(position)).second.toString();
}

void TaInfo::DumpToMemo(TracePane* pane) const
{
    if (!pane)
        return;
    const auto flag = [](bool value) { return value ? QStringLiteral("T") : QStringLiteral("F"); };
    pane->add(QStringLiteral("BadGroupIDMerge ") + flag(BadGroupIDMerge));
    pane->add(QStringLiteral("HasGroupedAccounts ") + flag(HasGroupedAccounts));

    const auto block = [pane](const QString& title, const TaClientInfo& info) {
        pane->add(title);
        pane->add(QStringLiteral("  ClientID     ") + QString::number(info.ClientID));
        pane->add(QStringLiteral("  ClientName   ") + info.ClientName);
        pane->add(QStringLiteral("  MaxAccountID ") + QString::number(info.MaxAccountID));
        pane->add(QStringLiteral("  Accounts (List)"));
        for (int j = 0; j < info.AccountList.size(); ++j)
            pane->add(QStringLiteral("    [") + QString::number(j) + QStringLiteral("] ") + info.AccountList.at(j));
    };
    block(QStringLiteral("FromInfo"), FromInfo);
    block(QStringLiteral("ToInfo"), ToInfo);

    pane->add(QStringLiteral("Accounts (Actions)"));
    for (size_t i = 0; i < Accounts.size(); ++i) {
        const TaAccount& slot = Accounts[i];
        pane->add(QStringLiteral("  [") + QString::number(i) + QStringLiteral("] ")
                  + QLatin1String(actionWord(slot.Action)));
        if (slot.Action == TaAction::UNUSED)
            continue;
        pane->add(QStringLiteral("    FromID   ") + QString::number(slot.FromID));
        pane->add(QStringLiteral("    FromName ") + slot.FromName);
        pane->add(QStringLiteral("    ToID     ") + QString::number(slot.ToID));
        pane->add(QStringLiteral("    ToName   ") + slot.ToName);
    }
    pane->add(QString());
}

void TaInfo::DescribeMerge(QStringList& list) const
{
    list.clear();
    list << Format(QStringLiteral("Merge %d > %d (%s > %s)"),
                   {qint64(FromInfo.ClientID), qint64(ToInfo.ClientID), FromInfo.ClientName, ToInfo.ClientName});
    for (const TaAccount& slot : Accounts) {
        QString templ;
        if (slot.Action == TaAction::MERGE)
            templ = QStringLiteral("MRG[%d:%s|%d:%s]");
        else if (slot.Action == TaAction::APPEND)
            templ = QStringLiteral("ADD[%d:%s|%d:%s]");
        else
            continue;
        list << Format(templ, {qint64(slot.FromID), slot.FromName, qint64(slot.ToID), slot.ToName});
    }
}

} // namespace kolvix
