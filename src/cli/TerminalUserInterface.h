#pragma once

#include <QStringList>

#include "cli/Options.h"
#include "core/UserInterface.h"

#include <stdexcept>

namespace kolvix {
class AccountMergeModel;
class MergePlan;
} // namespace kolvix

namespace kolvix::cli {

// Bad usage found after the merge has started (a --map that does not fit the client's
// accounts); nothing has been changed at that point.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The terminal's side of the merge and of its undo: boxes on standard output as
// "Caption: text", the account mapping driven by --map, the confirmation by --yes or the
// terminal.
class TerminalUserInterface : public UserInterface
{
public:
    explicit TerminalUserInterface(const MergeVerbOptions& options);

    void showInfo(const QString& text) override;
    void showWarning(const QString& text) override;
    void showError(const QString& text) override;
    void showPlain(const QString& text) override;
    bool confirm(const QString& text) override;
    // Printed like confirm(); --irreversible answers Yes, --yes alone answers No (an unattended
    // merge is made without its record only on request), the terminal otherwise.
    bool confirmIrreversible(const QString& text) override;
    // Printed as an information box with how to remove the mark (--unmark-different); No.
    bool removeDistinctMark(const QString& refusal, qint32 from, qint32 to) override;
    void setWaitCursor(bool) override { }
    void catalogueStepDone(int step, const QString& table, int rows) override;
    void waitingForLock() override;
    void lockWaitFailed(const QString& what) override;

    // The plan's accounts with --map applied and checked, what moves and what stays printed,
    // and the final question: true when the merge is to go on. A --map that does not fit the
    // accounts throws UsageError.
    bool settle(MergePlan& plan);

private:
    void applyMaps(AccountMergeModel& model);
    void printStatistics(const MergePlan& plan);
    void printMapping(const AccountMergeModel& model);

    const MergeVerbOptions& m_options;
    // An error box (or a runner's plain box, which reports a failed statement) was shown.
    bool m_errorShown = false;
};

} // namespace kolvix::cli
