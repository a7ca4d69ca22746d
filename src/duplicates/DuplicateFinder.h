#pragma once

#include "duplicates/DuplicateRecords.h"
#include "duplicates/DuplicateScorer.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace kolvix {

class Connection;

struct DuplicateOptions
{
    int minScore = kDefaultMinScore;
    bool includeArchived = false;
    int limit = 0; // at most this many pairs; 0 for all
};

// A client of a pair, as the list shows it.
struct DuplicateClient
{
    int clientId = 0;
    QString surname;
    QString name;
    QDate dateOfBirth;
    bool active = true;
    // "Surname, Name", or whichever part is not blank, as the program writes every client's name
    // (core's displayName).
    QString displayName() const;
};

// One candidate pair: the suggested Move To client (`keep`) and Move From client (`merge`). The
// record kept is never the one whose names look swapped or whose date of birth is missing; then
// the active one over an archived one, the one with more history (rows of appointments,
// transactions, clinical notes, documents and attachments), the one with more details (date of
// birth, address, phones, e-mail), the older record (the lower client id). The last reason says
// which of these decided ("keep: more history (12 rows against 3)").
struct DuplicatePair
{
    int score = 0;
    double weight = 0;
    int group = 0; // pairs of one connected group of records share it; groups count from 1
    DuplicateClient keep;
    DuplicateClient merge;
    QStringList reasons;
    QString reasonText() const { return reasons.join(QStringLiteral(", ")); }
};

// The keys under which the finder blocks the records, in the order it goes through them.
enum class BlockKey {
    SurnameAndBirth, // a phonetic surname code and the date of birth
    GivenNameAndBirth, // a phonetic given-name code and the date of birth
    NamesAndBirth, // both name codes in either order and the date of birth
    NamesAndYearMonth, // both name codes and two parts of the date of birth ...
    NamesAndYearDay,
    NamesAndDayMonth,
    NamesAndYearDayMonthEitherOrder, // ... or the year with day and month in either order
    SurnameAndAddress, // a phonetic surname code and the address
    // Without the date of birth (one side lacks it, or it is wrong): both name codes in either
    // order with two parts of the house (post code, house number, the street's name by sound) ...
    NamesAndPostCodeNumber,
    NamesAndNumberStreet,
    NamesAndPostCodeStreet,
    NamesAndStreetLocality, // ... or the street and the locality, by sound
    // ... or one name's code, the given name's or the surname's, with the whole house (post
    // code, house number and street, or house number, street and locality).
    NameAndHouse,
    NameAndStreetAddress,
    NameAndNumberStreet, // ... or with the house number and street
    // One name's code with the date of birth, day and month in either order (the names swapped
    // and one of them mistyped, or a name mistyped and day and month swapped).
    NameAndBirthEitherOrder,
    // One name's code with two parts of the date of birth and the post code (a name and a
    // digit of the date mistyped).
    NameAndYearMonth,
    NameAndYearDay,
    NameAndDayMonth,
    // Names written quite differently: the date of birth with the post code and house number, or
    // with the house number and street.
    BirthAndPostCodeNumber,
    BirthAndHouse,
    BirthAndStreet, // the date of birth and the street's name by sound
    // The year with the month or the day of birth, with the street and the suburb by sound
    // (names and a digit of the date mistyped).
    YearMonthAndStreet,
    YearDayAndStreet,
    Email,
    Phone, // the last eight digits of a number in any of the three fields
};
// What the clients of a block share, in words: "the surname (by sound) and date of birth".
QString blockKeyText(BlockKey key);

// A block the scan left out: more clients share the key than it compares pairwise
// (DuplicateFinder::kMaxBlock), so no pair among them was found through this key.
struct LeftOutBlock
{
    BlockKey key = BlockKey::SurnameAndBirth;
    // The shared value as the first of the clients holds it ("Smith, 1980-01-01"); empty when
    // it is not known (the address and the e-mail address are read again by scan() only).
    QString value;
    int clients = 0; // how many clients share it
    int exampleClientId = 0; // the first of them, the lowest client id
    // "101 clients who share the surname (by sound) and date of birth "Smith, 1980-01-01"".
    QString description() const;
};

struct DuplicateScanResult
{
    std::vector<DuplicatePair> pairs; // highest score first
    // Blocks too large to compare, by key (in the order above), the largest first. A block of
    // exactly the clients of one listed before it is not listed again.
    std::vector<LeftOutBlock> leftOut;
    int clients = 0; // clients compared (groups and, unless asked, archived left out)
    int mergedAway = 0; // clients left out as the From client of an earlier merge (MergedAway)
    int markedDistinct = 0; // pairs that would be listed, left out as marked as different people
    std::int64_t candidates = 0; // distinct pairs compared
    int groups = 0;
    bool cancelled = false; // the scan stopped early; no pairs then
};

// What the choice of the record to keep weighs, of one record.
struct KeepFacts
{
    bool namesSwapped = false; // in a listed pair, its given name and surname look swapped
    int historyRows = 0;
    int details = 0;
};

// Pairs of clients marked as different people (DistinctPairs), by client id, the smaller first:
// the finder never lists them.
using DistinctClientPairs = QSet<std::pair<int, int>>;

struct DuplicateProgress
{
    QString stage;
    int percent = -1; // -1 while the end is not known (reading)
};

// Finds the clients that are probably registered twice. One read of the view PatientSearch,
// then everything in memory: candidate pairs come from blocks of records that share a key
// (BlockKey: the names by sound with the date of birth or parts of it, with the address or
// parts of the house; the date of birth or parts of it with the house or the street; the e-mail
// address; a telephone number in any of the three fields), so the work grows with the number of
// clients, not its square; each distinct pair is scored once (DuplicateScorer). The clients of
// the pairs listed are read once more for their history, for the record to keep. It only reads.
class DuplicateFinder
{
public:
    using ProgressCallback = std::function<void(const DuplicateProgress&)>;

    explicit DuplicateFinder(Connection& connection);

    void setProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }
    // The scan checks the flag now and then and stops when it is set.
    void setCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    // Leaves out the clients that earlier merges emptied (readMergedAwayClients) and the pairs
    // marked as different people (readDistinctPairs). Throws DbError with the client's message
    // when the view, the Audit rows or the marks cannot be read.
    DuplicateScanResult scan(const DuplicateOptions& options);

    // The statement of the one read.
    static QString statement(bool includeArchived);

    // The steps of a scan on records in memory (finished DuplicateRecords).
    // Distinct candidate pairs (index pairs, first < second), sorted; the blocks too large to
    // compare go to leftOut when it is given (as DuplicateScanResult::leftOut).
    static std::vector<std::pair<int, int>> candidatePairs(const DuplicateRecords& records,
                                                           const std::atomic<bool>* cancel = nullptr,
                                                           std::vector<LeftOutBlock>* leftOut = nullptr);
    // A pair of distinct is left out before the pairs are grouped, so that it links no group.
    DuplicateScanResult findPairs(const DuplicateRecords& records, const DuplicateOptions& options,
                                  const DistinctClientPairs& distinct = {});

    // The tables whose rows make up a client's history, for the record to keep; the statement
    // that counts them for some clients (rows of ClientID and count, per table).
    static QStringList historyTables();
    static QString historyStatement(const QStringList& tables, const std::vector<int>& clientIds);

    // Blocks larger than this are left out: a key that many clients share (a practice's
    // placeholder e-mail, a clinic's phone) says nothing about any two of them.
    static constexpr int kMaxBlock = 100;

private:
    void report(const QString& stage, int percent) const;
    // Adds the history rows of the listed records (indices into records) to their facts.
    void readHistory(const DuplicateRecords& records, const std::vector<int>& listed, std::vector<KeepFacts>& facts);
    // Reads the values the records keep only as keys (address, e-mail) for the blocks left out.
    void readLeftOutValues(std::vector<LeftOutBlock>& blocks);
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

    Connection& m_connection;
    ProgressCallback m_progress;
    const std::atomic<bool>* m_cancel = nullptr;
};

} // namespace kolvix
