#pragma once

#include <stdexcept>

#include <QString>
#include <QStringList>
#include <vector>

namespace kolvix {

class Dataset;
class TracePane;

// What happens to one account of the Move From client.
// The From client has an account id above TaInfo::kMaxAccountSlots: the merge is refused.
class AccountIdTooLarge : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class TaAction : quint8 { UNUSED = 0, UNASSIGNED = 1, MERGE = 2, APPEND = 3 };

struct TaAccount
{
    TaAction Action = TaAction::UNUSED;
    qint32 FromID = -1;
    QString FromName;
    qint32 ToID = -1;
    QString ToName;
};

struct TaClientInfo
{
    qint32 ClientID = -1;
    QString ClientName;
    // "<AccountID>=<name>", kept in the order of the user's locale ignoring case, "=" before
    // every digit: 0, 1, 10, 11, 2, ... (see AccountListOrder in AccountInfo.cpp).
    QStringList AccountList;
    qint32 MaxAccountID = -1;
};

// The accounts of the two clients of a merge and the mapping of each From account.
class TaInfo
{
public:
    TaInfo();

    TaClientInfo FromInfo;
    TaClientInfo ToInfo;
    bool BadGroupIDMerge = false;
    bool HasGroupedAccounts = false;
    // Indexed by From AccountID; length FromInfo.MaxAccountID + 1 after Load.
    std::vector<TaAccount> Accounts;

    // Loads both clients' accounts and the two flags on the given query object, then
    // proposes the mapping. Throws DbError on a failing query, and AccountIdTooLarge when
    // the From client's highest account id would need more than kMaxAccountSlots slots.
    // A From account with a negative id is skipped (a line in trace, when given).
    void Load(Dataset& query, qint32 toClientID, const QString& toClientName, qint32 fromClientID,
              const QString& fromClientName, TracePane* trace = nullptr);

    static qint32 AccountIDAt(int position, const TaClientInfo& clientInfo);
    static QString AccountNameAt(int position, const TaClientInfo& clientInfo);

    void DumpToMemo(TracePane* pane) const;
    void DescribeMerge(QStringList& list) const;

    // The alias table: sorted "alias=canonical" entries.
    const QStringList& Aliases() const { return m_aliases; }
    QString CanonicalAccountName(const QString& name) const;

    static constexpr qint32 kMaxAccountSlots = 100000;

private:
    void AddAliasGroup(const QString& canonical, const QStringList& aliases);
    QString LookupAlias(const QString& key) const;
    void MatchAccounts();

    QStringList m_aliases;
};

// Inserts an entry into a list kept in AccountList order (after any equal entries);
// returns its position.
int insertSortedAccountEntry(QStringList& list, const QString& entry);
// The same for a list that refuses duplicates (the alias table): throws std::logic_error,
// leaving the list unchanged, when the entry's text before its first "=" equals, ignoring
// case, that of an entry present (and so for an entry equal to one present).
int insertUniqueSortedEntry(QStringList& list, const QString& entry);
// The comparison behind AccountList and the alias table: the user's locale ignoring case,
// with a real language collation when the locale is C/POSIX.
int compareAccountText(const QString& a, const QString& b);

QString TrimChars(const QString& text, const QString& set);
QString RemoveChars(const QString& text, const QString& set);
QString EscapeQuotes(const QString& text);

} // namespace kolvix
