#pragma once

#include "accounts/AccountMergeModel.h"
#include "core/UserInterface.h"
#include "merge/MergeProcedure.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace kolvix::test {

// A user interface that records every box as "<Caption>: <text>" (the plain box's caption
// is the application title) and answers from a script, and a front end that settles a
// merge's plan as scripted.
class ScriptedUi : public UserInterface
{
public:
    QStringList shown; // every box, in order
    QStringList questions; // every confirmation text
    bool answerYes = true; // the answer to confirmations
    // The answer to a merge of a pair marked as different people (whose refusal is recorded
    // among the questions): true removes the mark and lets the merge go on.
    bool removeMark = false;
    // Called for the account dialog; the default presses OK on the rows as loaded
    // (model.accept(); an issues message is shown as an information box and the dialog
    // counts as cancelled).
    std::function<bool(AccountMergeModel&)> onEditAccounts;
    int accountDialogs = 0;
    QStringList cursor; // "wait" / "arrow", in order
    QStringList steps; // "step table rows"
    std::function<void(int step)> onStep; // called after each catalogue step
    std::atomic<int> lockWaits {0}; // waitingForLock() calls
    QStringList lockWaitFailures;
    QStringList notMoved; // the "Not moved" lines of rows on missing accounts, as settle() met them
    QStringList notices; // the plan's notices, as settle() met them

    void showInfo(const QString& text) override { shown << QStringLiteral("Information: ") + text; }
    void showWarning(const QString& text) override { shown << QStringLiteral("Warning: ") + text; }
    void showError(const QString& text) override { shown << QStringLiteral("Error: ") + text; }
    void showPlain(const QString& text) override
    {
        shown << QString::fromLatin1(kApplicationTitle) + QStringLiteral(": ") + text;
    }
    bool confirm(const QString& text) override
    {
        questions << text;
        return answerYes;
    }
    bool removeDistinctMark(const QString& refusal, qint32, qint32) override
    {
        questions << refusal;
        return removeMark;
    }
    // The account dialog, scripted: onEditAccounts, or OK on the rows as loaded.
    bool editAccounts(AccountMergeModel& model);
    // The front end's part of a merge: the rows that stay are noted, the dialog and the
    // final question as scripted; true when the merge is to go on.
    bool settle(MergePlan& plan);
    void setWaitCursor(bool wait) override { cursor << (wait ? "wait" : "arrow"); }
    void catalogueStepDone(int step, const QString& table, int rows) override
    {
        steps << QStringLiteral("%1 %2 %3").arg(step).arg(table).arg(rows);
        if (onStep)
            onStep(step);
    }
    void waitingForLock() override { ++lockWaits; }
    void lockWaitFailed(const QString& what) override { lockWaitFailures << what; }
};

// A whole merge as the Merge button runs it, with the session's interface (a ScriptedUi) as
// its front end.
MergeOutcome mergeClients(MergeSession& session, const MergeClient& from, const MergeClient& to,
                          const MergeOptions& options = {});

} // namespace kolvix::test
