#pragma once

#include "duplicates/DuplicateRecords.h"

#include <QStringList>

namespace kolvix {

// The score of a pair of records: how the field comparisons add up.
//
// The score follows the record-linkage model of Fellegi and Sunter: every field contributes
// log2(m/u) bits when it agrees and log2((1-m)/(1-u)) when it disagrees, where m is how often
// the field agrees for two records of one person and u how often it agrees by chance. For an
// exact agreement u is the frequency of the value in the practice's own data (a common
// surname agreeing tells less than a rare one), smoothed towards a typical frequency so that
// a small practice still gets sensible weights. A value missing on either side counts
// neither for nor against. The weights and the threshold are those of a practice of a million
// clients; a smaller practice adds log2(1,000,000 / clients) bits to every pair (at most as
// many as for 5,000 clients), as fewer other people could be taken for a client.

// The verdict on one pair.
struct PairScore
{
    double weight = 0; // total bits of evidence
    int score = 0; // 0..100
    bool namesAgree = false; // some positive evidence from a name
    // Given name and surname swapped: the record whose names look swapped (the rarer surname
    // and given name), -1 when the two cannot be told apart or nothing is swapped.
    int swappedRecord = -1;
    QStringList reasons;
};

// Scores pairs of records of one DuplicateRecords.
class DuplicateScorer
{
public:
    explicit DuplicateScorer(const DuplicateRecords& records);
    // With reasons false the reasons are not collected (faster, for the scan itself).
    PairScore score(int a, int b, bool reasons = true) const;

    // The score of a total weight: 50 at kThresholdWeight, 2 points a bit up to 90, then nearing
    // 100 ever more slowly; 0 to 100. A pair where anything disagrees scores at most 99.
    static int scoreOfWeight(double weight);

private:
    const DuplicateRecords& m_records;
    double m_sizeWeight; // what the size of the practice adds to every pair
};

// The default --min-score: pairs scoring at least this are listed.
constexpr int kDefaultMinScore = 50;

} // namespace kolvix
