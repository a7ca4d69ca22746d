#include "accounts/AccountMergeModel.h"

#include "accounts/AccountInfo.h"
#include "core/Format.h"
#include "core/TextHelpers.h"

#include <algorithm>
#include <stdexcept>

namespace kolvix {

namespace {

// Names in the dialog are compared as the drop-down list compares its items: ignoring case.
bool sameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// LoadAccount: fills a row from the slot at the given index.
AccountMergeModel::Row loadAccount(const TaInfo& info, size_t index)
{
    const TaAccount& slot = info.Accounts[index];
    AccountMergeModel::Row row;
    row.tag = slot.FromID;
    row.source = slot.FromName;

    const TaClientInfo& to = info.ToInfo;
    for (int position = 0; position < to.AccountList.size(); ++position)
        row.destinations.emplace_back(TaInfo::AccountNameAt(position, to), TaInfo::AccountIDAt(position, to));

    row.destinationIndex = row.destinations.empty() ? -1 : 0;
    for (size_t i = 0; i < row.destinations.size(); ++i) {
        if (sameName(row.destinations[i].first, slot.ToName)) {
            row.destinationIndex = int(i);
            break;
        }
    }

    if (slot.Action == TaAction::MERGE) {
        row.action = AccountMergeModel::Merge;
        row.newName = slot.ToName;
    } else {
        row.action = AccountMergeModel::Add;
        row.newName = slot.FromName;
    }
    return row;
}

} // namespace

AccountMergeModel::AccountMergeModel(TaInfo& info)
    : m_info(info)
{
    int r = 0;
    for (size_t i = 0; i < info.Accounts.size(); ++i) {
        if (info.Accounts[i].Action == TaAction::UNUSED)
            continue;
        Row row = loadAccount(info, i);
        row.name = Format(QStringLiteral("fraAction%.02d"), {qint64(r)});
        row.locked = i == 0 && info.HasGroupedAccounts;
        m_rows.push_back(std::move(row));
        ++r;
    }
}

const QString& AccountMergeModel::fromName() const
{
    return m_info.FromInfo.ClientName;
}

const QString& AccountMergeModel::toName() const
{
    return m_info.ToInfo.ClientName;
}

AccountMergeModel::Row* AccountMergeModel::rowForAccount(qint32 fromAccountID)
{
    for (Row& row : m_rows) {
        if (row.tag == fromAccountID)
            return &row;
    }
    return nullptr;
}

QString AccountMergeModel::validate() const
{
    QString issues;
    for (const Row& row : m_rows) {
        if (row.action != Add)
            continue;
        const QString name = trimControl(row.newName);
        if (name.isEmpty()) {
            issues
                = Format(QStringLiteral("%s\nYou have not entered a new name for account '%s'."), {issues, row.source});
            continue;
        }
        const bool inUse = std::any_of(row.destinations.begin(), row.destinations.end(),
                                       [&name](const auto& item) { return sameName(item.first, name); });
        if (inUse)
            issues = Format(QStringLiteral("%s\nThe new name you entered for account '%s' is already in use."),
                            {issues, row.source});
        // The name is stored as typed; the account-name column holds no more than this.
        if (row.newName.size() > kMaxNameLength)
            issues = Format(QStringLiteral("%s\nThe new name you entered for account '%s' is longer than %d "
                                           "characters."),
                            {issues, row.source, qint64(kMaxNameLength)});
    }
    if (issues.isEmpty())
        return QString();
    return QStringLiteral("The following issues were encountered with the proposed merge:\n") + issues
        + QStringLiteral("\n\n")
        + QStringLiteral("You will need to resolve these issues before continuing with the merge.");
}

void AccountMergeModel::writeBack()
{
    const auto skipped = [this](const Row& row) { return row.tag == 0 && m_info.HasGroupedAccounts; };

    // Every row is checked before any slot changes, so that a refused OK leaves Accounts
    // as they were.
    for (const Row& row : m_rows) {
        if (skipped(row))
            continue;
        if (row.tag < 0 || size_t(row.tag) >= m_info.Accounts.size())
            throw std::out_of_range(
                Format(QStringLiteral("Account '%s' has no slot (account id %d)."), {row.source, qint64(row.tag)})
                    .toStdString());
        if (row.action == Merge
            && (row.destinationIndex < 0 || size_t(row.destinationIndex) >= row.destinations.size()))
            throw std::out_of_range(Format(QStringLiteral("No existing account is selected to merge account '%s' into; "
                                                          "the client to merge with has no accounts. "
                                                          "Choose to add it as a new account instead."),
                                           {row.source})
                                        .toStdString());
    }

    qint32 nextID = std::max<qint32>(0, m_info.ToInfo.MaxAccountID) + 1;
    for (const Row& row : m_rows) {
        if (skipped(row))
            continue;
        TaAccount& slot = m_info.Accounts[size_t(row.tag)];
        if (row.action == Merge) {
            const auto& destination = row.destinations[size_t(row.destinationIndex)];
            slot.Action = TaAction::MERGE;
            slot.ToID = destination.second;
            slot.ToName = destination.first;
        } else {
            slot.Action = TaAction::APPEND;
            slot.ToID = nextID++;
            slot.ToName = row.newName;
        }
    }
}

QString AccountMergeModel::accept()
{
    QString issues = validate();
    if (issues.isEmpty())
        writeBack();
    return issues;
}

QString AccountMergeModel::confirmationText() const
{
    return Format(
        QStringLiteral(
            "Are you sure you want to merge the details of '%s' with '%s'?\n\nThis operation cannot be reversed."),
        {fromName(), toName()});
}

} // namespace kolvix
