#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace kolvix {

class MergeSession;

// One reviewed pair of a run: the client whose rows move (as --from) into the client kept (--to).
// Where the pair comes from a scan, the names it showed then: a client whose name has changed
// since is not merged.
struct BatchPair
{
    qint32 merge = -1;
    qint32 keep = -1;
    std::optional<QString> mergeName; // "Surname, Name" as the scan showed it
    std::optional<QString> keepName;
};

struct BatchResult
{
    enum class Outcome { Merged, Skipped, Failed };
    qint32 merge = -1;
    qint32 keep = -1;
    Outcome outcome = Outcome::Skipped;
    int auditId = -1; // the merge's Audit row (none in a dry run)
    QString reason; // why the pair was skipped or failed, on one line; empty when merged
    // "merged", "skipped", "failed".
    QString outcomeText() const;
};

struct BatchOptions
{
    bool dryRun = false; // every pair in a transaction that is rolled back
    bool stopOnSkip = false; // the run ends at the first pair skipped or failed
    // Asked before each pair: true ends the run there (the pairs before it stay as they ended).
    std::function<bool()> stopRequested;
    // After each pair: its index in the run and what became of it.
    std::function<void(int index, const BatchResult& result)> pairDone;
};

// Merges the pairs one after the other, each exactly as a single merge with the automatic
// account mapping and Yes to its confirmation: under the merge lock, with every check, its own
// Audit row and ledger (so each can be undone on its own). A pair is skipped, never merged, when
// a check refuses it, when its two clients are marked as different people (DistinctPairs; the
// reason names the mark), when its accounts need a decision the automatic mapping cannot make, when
// the merge could not be made reversible, when a client does not exist or changed its name
// since the scan, or when one of its clients was merged away earlier in the run. Nothing of a
// pair's merge is shown: its boxes become the pair's reason. Returns one result per pair run.
std::vector<BatchResult> mergePairs(MergeSession& session, const std::vector<BatchPair>& pairs,
                                    const BatchOptions& options = {});

} // namespace kolvix
