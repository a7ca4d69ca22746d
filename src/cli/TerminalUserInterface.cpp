#include "cli/TerminalUserInterface.h"

#include "accounts/AccountInfo.h"
#include "accounts/AccountMergeModel.h"
#include "cli/Output.h"
#include "merge/LeftBehind.h"
#include "merge/MergeProcedure.h"
#include "merge/Statistics.h"

#include <iostream>
#include <string>

namespace kolvix::cli {

TerminalUserInterface::TerminalUserInterface(const MergeVerbOptions& options)
    : m_options(options)
{
}

void TerminalUserInterface::showInfo(const QString& text)
{
    out(QStringLiteral("Information: ") + text);
}
void TerminalUserInterface::showWarning(const QString& text)
{
    out(QStringLiteral("Warning: ") + text);
}
void TerminalUserInterface::showError(const QString& text)
{
    m_errorShown = true;
    out(QStringLiteral("Error: ") + text);
}
void TerminalUserInterface::showPlain(const QString& text)
{
    // The engine's plain boxes report failures: a statement of a runner, the log file.
    m_errorShown = true;
    out(QString::fromLatin1(kApplicationTitle) + QStringLiteral(": ") + text);
}

bool TerminalUserInterface::confirm(const QString& text)
{
    out(text);
    if (m_options.yes && m_errorShown) {
        // At the desktop a person reads the error box before answering; unattended, a merge
        // never goes on past a database error.
        out(QStringLiteral("(--yes) No: an error was reported before this question, so the merge does not go on "
                           "unattended"));
        return false;
    }
    if (m_options.yes) {
        out(QStringLiteral("(--yes) Yes"));
        return true;
    }
    if (!stdinIsTerminal()) {
        out(QStringLiteral("(no terminal input) No"));
        return false;
    }
    std::cout << "Yes/No? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    const QString a = QString::fromLocal8Bit(answer).trimmed().toLower();
    return a == QLatin1String("y") || a == QLatin1String("yes");
}

bool TerminalUserInterface::removeDistinctMark(const QString& refusal, qint32 from, qint32 to)
{
    showInfo(refusal
             + QStringLiteral("\nTo merge them, remove the mark with --unmark-different %1 %2, then merge again.")
                   .arg(from)
                   .arg(to));
    return false;
}

bool TerminalUserInterface::confirmIrreversible(const QString& text)
{
    if (m_options.irreversible) {
        out(text);
        out(QStringLiteral("(--irreversible) Yes"));
        return true;
    }
    if (m_options.yes) {
        out(text);
        out(QStringLiteral("(--yes) No: this merge would not be reversible; give --irreversible to merge without a "
                           "record"));
        return false;
    }
    return confirm(text);
}

bool TerminalUserInterface::settle(MergePlan& plan)
{
    AccountMergeModel model(plan.accounts);
    applyMaps(model);
    const QString issues = model.accept();
    if (!issues.isEmpty()) {
        showInfo(issues);
        return false;
    }
    printStatistics(plan);
    printMapping(model);
    return confirm(model.confirmationText());
}

void TerminalUserInterface::catalogueStepDone(int step, const QString& table, int rows)
{
    const QString line
        = QStringLiteral("step %1 %2: %3 %4")
              .arg(step, 2)
              .arg(table)
              .arg(rows)
              .arg(m_options.dryRun ? QStringLiteral("rows would change") : QStringLiteral("rows changed"));
    if (m_options.dryRun)
        out(line);
    if (m_options.progress || (!m_options.dryRun && stderrIsTerminal()))
        err(line);
}

void TerminalUserInterface::waitingForLock()
{
    err(QString::fromLatin1(kLockWaitLine));
}

void TerminalUserInterface::lockWaitFailed(const QString& what)
{
    err(QStringLiteral("kolvix-merge: gave up waiting for a lock held by another connection: ") + what);
}

void TerminalUserInterface::applyMaps(AccountMergeModel& model)
{
    for (const auto& [fromId, mapping] : m_options.maps) {
        AccountMergeModel::Row* row = model.rowForAccount(fromId);
        if (!row)
            throw UsageError(QStringLiteral("--map: client %1 has no account %2")
                                 .arg(model.info().FromInfo.ClientID)
                                 .arg(fromId)
                                 .toStdString());
        if (row->locked)
            throw UsageError(QStringLiteral("--map: account %1 is the primary account of a client with linked "
                                            "clients; its mapping is fixed")
                                 .arg(fromId)
                                 .toStdString());
        if (mapping.merge) {
            int index = -1;
            for (size_t i = 0; i < row->destinations.size(); ++i) {
                if (row->destinations[i].second == mapping.toID) {
                    index = int(i);
                    break;
                }
            }
            if (index < 0)
                throw UsageError(QStringLiteral("--map: client %1 has no account %2 to merge into")
                                     .arg(model.info().ToInfo.ClientID)
                                     .arg(mapping.toID)
                                     .toStdString());
            row->action = AccountMergeModel::Merge;
            row->destinationIndex = index;
        } else {
            row->action = AccountMergeModel::Add;
            row->newName = mapping.name;
        }
    }
}

void TerminalUserInterface::printStatistics(const MergePlan& plan)
{
    out(QStringLiteral("Data to be moved:"));
    for (const QString& line : statisticsLines(plan.statistics))
        out(line);
    for (const auto& [table, rows] : plan.tablesNotMoved)
        out(QStringLiteral("Not moved: %1 (%2 rows)").arg(table).arg(rows));
    for (const QString& line : notMovedLines(plan.rowsOnMissingAccounts))
        out(line);
    for (const QString& notice : plan.notices)
        out(QStringLiteral("Note: ") + notice);
}

void TerminalUserInterface::printMapping(const AccountMergeModel& model)
{
    out(QStringLiteral("Account mapping:"));
    for (const AccountMergeModel::Row& row : model.rows()) {
        const TaAccount& entry = model.info().Accounts.at(size_t(row.tag));
        QString what;
        switch (entry.Action) {
        case TaAction::MERGE:
            what = QStringLiteral("merge into account %1 (%2)").arg(entry.ToID).arg(entry.ToName);
            break;
        case TaAction::APPEND:
            what = QStringLiteral("add as new account %1 (%2)").arg(entry.ToID).arg(entry.ToName);
            break;
        default:
            what = QStringLiteral("not moved");
            break;
        }
        out(QStringLiteral("  account %1 (%2): %3%4")
                .arg(entry.FromID)
                .arg(entry.FromName, what, row.locked ? QStringLiteral(" [locked]") : QString()));
    }
}

} // namespace kolvix::cli
