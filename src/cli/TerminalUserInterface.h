#pragma once

#include <QStringList>

#include "cli/Options.h"
#include "core/UserInterface.h"

#include <stdexcept>

namespace kolvix {
class MergeSession;
}

namespace kolvix::cli {

// Bad usage found after the merge has started (a --map that does not fit the client's
// accounts); nothing has been changed at that point.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The terminal's side of the merge: boxes on standard output as "Caption: text", the
// account dialog driven by --map, the confirmation by --yes or the terminal.
class TerminalUserInterface : public UserInterface
{
public:
    TerminalUserInterface(const MergeVerbOptions& options, MergeSession& session);

    void showInfo(const QString& text) override;
    void showWarning(const QString& text) override;
    void showError(const QString& text) override;
    void showPlain(const QString& text) override;
    bool confirm(const QString& text) override;
    bool editAccounts(AccountMergeModel& model) override;
    void setWaitCursor(bool) override { }
    void catalogueStepDone(int step, const QString& table, int rows) override;
    void waitingForLock() override;
    void lockWaitFailed(const QString& what) override;
    void rowsNotMoved(const QStringList& lines) override;

    bool mappingIssues() const { return m_mappingIssues; }

private:
    void applyMaps(AccountMergeModel& model);
    void printStatistics(qint32 fromClient);
    void printMapping(const AccountMergeModel& model);

    const MergeVerbOptions& m_options;
    MergeSession& m_session;
    QStringList m_rowsNotMoved;
    bool m_mappingIssues = false;
    // An error box (or a runner's plain box, which reports a failed statement) was shown.
    bool m_errorShown = false;
};

} // namespace kolvix::cli
