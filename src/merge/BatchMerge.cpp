#include "merge/BatchMerge.h"

#include "accounts/AccountMergeModel.h"
#include "core/Log.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "db/DbError.h"
#include "ledger/DistinctPairs.h"
#include "merge/MergeProcedure.h"
#include "merge/MergeSession.h"

#include <QHash>

namespace kolvix {

namespace {

// The user interface of one pair's merge: its boxes are kept as the pair's reason, every
// question the single merge would put to the user is answered No, and the progress of the
// statements goes on to the front end.
class PairInterface : public UserInterface
{
public:
    explicit PairInterface(UserInterface& frontEnd)
        : m_frontEnd(frontEnd)
    {
    }

    QStringList shown;
    QString question;

    void showInfo(const QString& text) override { shown << text; }
    void showWarning(const QString& text) override { shown << text; }
    void showError(const QString& text) override { shown << text; }
    void showPlain(const QString& text) override { shown << text; }
    bool confirm(const QString& text) override
    {
        question = text;
        return false;
    }
    void setWaitCursor(bool) override { }
    void catalogueStepDone(int step, const QString& table, int rows) override
    {
        m_frontEnd.catalogueStepDone(step, table, rows);
    }
    void waitingForLock() override { m_frontEnd.waitingForLock(); }
    void lockWaitFailed(const QString& what) override { m_frontEnd.lockWaitFailed(what); }

private:
    UserInterface& m_frontEnd;
};

// A text on one line: its lines joined, blanks squeezed.
QString oneLine(const QString& text)
{
    return text.simplified();
}

QString reasonOf(const PairInterface& ui, const QString& otherwise)
{
    if (!ui.question.isEmpty())
        return QStringLiteral("the merge would ask: ") + oneLine(ui.question);
    if (!ui.shown.isEmpty())
        return oneLine(ui.shown.join(QLatin1Char(' ')));
    return otherwise;
}

} // namespace

QString BatchResult::outcomeText() const
{
    switch (outcome) {
    case Outcome::Merged:
        return QStringLiteral("merged");
    case Outcome::Skipped:
        return QStringLiteral("skipped");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

std::vector<BatchResult> mergePairs(MergeSession& session, const std::vector<BatchPair>& pairs,
                                    const BatchOptions& options)
{
    std::vector<BatchResult> results;
    QHash<qint32, int> mergedAwayBy; // client -> the pair (1-based) that merged it away
    writeLogFmt(QStringLiteral("merging %d pairs"), {qint64(pairs.size())});
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (options.stopRequested && options.stopRequested()) {
            writeLogFmt(QStringLiteral("stopped before pair %d"), {qint64(i + 1)});
            break;
        }
        const BatchPair& pair = pairs[i];
        BatchResult result;
        result.merge = pair.merge;
        result.keep = pair.keep;
        const auto skip = [&](const QString& reason) {
            result.outcome = BatchResult::Outcome::Skipped;
            result.reason = reason;
        };

        PairInterface ui(session.ui);
        MergeSession pairSession(session.conZelvan, ui);
        pairSession.UseRollback = session.UseRollback;
        try {
            const auto from = loadClient(session.conZelvan, pair.merge);
            const auto to = loadClient(session.conZelvan, pair.keep);
            if (pair.merge == pair.keep) {
                skip(QStringLiteral("a client cannot be merged into itself"));
            } else if (mergedAwayBy.contains(pair.merge) || mergedAwayBy.contains(pair.keep)) {
                const qint32 gone = mergedAwayBy.contains(pair.merge) ? pair.merge : pair.keep;
                skip(QStringLiteral("client %1 was merged away by pair %2").arg(gone).arg(mergedAwayBy.value(gone)));
            } else if (!from || !to) {
                skip(QStringLiteral("client %1 does not exist").arg(!from ? pair.merge : pair.keep));
            } else if (const MergedAwayFinding mergedAway = findMergedAway(pairSession, {pair.merge, pair.keep});
                       !mergedAway.refusal.isEmpty()) {
                skip(mergedAway.batchReason);
            } else if (const std::optional<DistinctPair> mark
                       = findDistinctPair(session.conZelvan, pair.merge, pair.keep)) {
                skip(mark->description());
            } else if (pair.mergeName && displayName(from->surname, from->name) != *pair.mergeName) {
                skip(QStringLiteral("client %1 changed since the scan (now '%2')")
                         .arg(pair.merge)
                         .arg(displayName(from->surname, from->name)));
            } else if (pair.keepName && displayName(to->surname, to->name) != *pair.keepName) {
                skip(QStringLiteral("client %1 changed since the scan (now '%2')")
                         .arg(pair.keep)
                         .arg(displayName(to->surname, to->name)));
            } else {
                MergeOptions mergeOptions;
                mergeOptions.dryRun = options.dryRun;
                const std::unique_ptr<MergePlan> plan = planMerge(pairSession, *from, *to, mergeOptions);
                if (!plan) {
                    skip(reasonOf(ui, QStringLiteral("the merge was refused")));
                } else {
                    // The account dialog as it opens: a row it would stop on is a decision for a person.
                    AccountMergeModel model(plan->accounts);
                    const QString issues = model.accept();
                    if (!issues.isEmpty()) {
                        cancelMerge(*plan);
                        skip(QStringLiteral("the accounts need a decision: ") + oneLine(issues));
                    } else {
                        const MergeOutcome outcome = executeMerge(pairSession, *plan);
                        if (outcome == MergeOutcome::Merged) {
                            result.outcome = BatchResult::Outcome::Merged;
                            result.auditId = plan->auditId();
                            // Also in a dry run, so that it skips the pairs the run itself would.
                            mergedAwayBy.insert(pair.merge, int(i + 1));
                        } else if (outcome == MergeOutcome::Failed) {
                            result.outcome = BatchResult::Outcome::Failed;
                            result.reason = reasonOf(ui, QStringLiteral("the merge failed"));
                        } else {
                            skip(reasonOf(ui, QStringLiteral("the merge was refused")));
                        }
                    }
                }
            }
        } catch (const std::exception& e) {
            result.outcome = BatchResult::Outcome::Failed;
            result.reason = oneLine(exceptionMessage(e));
        }
        writeLogFmt(QStringLiteral("pair %d: %d into %d %s %s"),
                    {qint64(i + 1), pair.merge, pair.keep, result.outcomeText(), result.reason});
        results.push_back(result);
        if (options.pairDone)
            options.pairDone(int(i), result);
        if (options.stopOnSkip && result.outcome != BatchResult::Outcome::Merged)
            break;
    }
    return results;
}

} // namespace kolvix
