#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <variant>

namespace kolvix::cli {

enum ExitCode { ExitMerged = 0, ExitRefused = 1, ExitFailed = 2, ExitNoConnection = 3, ExitUsage = 64 };

extern const char* const kUsage;

// What --map says of one From account.
struct AccountMapping
{
    bool merge = true;
    qint32 toID = -1;
    QString name;
};

// Each verb's options, as its own parser (Options.cpp) declares and checks them.

// --from ID --to ID: the merge.
struct MergeVerbOptions
{
    std::optional<qint32> from;
    std::optional<qint32> to;
    std::map<qint32, AccountMapping> maps;
    bool dryRun = false;
    bool yes = false;
    bool progress = false;
    bool irreversible = false; // merge without a ledger: the merge cannot be undone
};

// --diagnose: takes no options of its own.
struct DiagnoseVerbOptions
{
};

// --find TEXT: the patient search of the desktop program.
struct FindVerbOptions
{
    QString text;
    int field = 0; // the index of the caption given to --field; Surname without one
    bool soundsLike = false;
    bool all = false;
    bool archived = false;
    bool showSql = false;
};

// --duplicates: the clients that are probably registered twice.
struct DuplicatesVerbOptions
{
    std::optional<int> minScore;
    std::optional<int> limit;
    bool archived = false;
};

// --history: the merges of the Audit trail, newest first.
struct HistoryVerbOptions
{
    std::optional<int> limit;
};

// --undo AUDIT: undoes the merge of that Audit row from its ledger.
struct UndoVerbOptions
{
    std::optional<qint32> auditId;
    bool dryRun = false;
    bool yes = false;
};

// --merge-pairs FILE: the reviewed pairs of a --duplicates listing, merged one by one.
struct MergePairsVerbOptions
{
    QString file;
    bool dryRun = false;
    bool yes = false;
    bool stopOnSkip = false; // the run ends at the first pair skipped or failed
};

// --compare A B: two clients side by side.
struct CompareVerbOptions
{
    qint32 a = -1;
    qint32 b = -1;
};

// --mark-different A B [--note TEXT]: the two clients are different people.
struct MarkDifferentVerbOptions
{
    qint32 a = -1;
    qint32 b = -1;
    QString note;
};

// --unmark-different A B: removes that mark.
struct UnmarkDifferentVerbOptions
{
    qint32 a = -1;
    qint32 b = -1;
};

// --list-different: the pairs marked as different people.
struct ListDifferentVerbOptions
{
};

// The command line of kolvix-merge: the settings, and the verb with its options.
struct Options
{
    QStringList settings; // KEY=VALUE
    std::variant<MergeVerbOptions, DiagnoseVerbOptions, FindVerbOptions, DuplicatesVerbOptions, HistoryVerbOptions,
                 UndoVerbOptions, MergePairsVerbOptions, CompareVerbOptions, MarkDifferentVerbOptions,
                 UnmarkDifferentVerbOptions, ListDifferentVerbOptions>
        verb;
};

// Parses the arguments (without the program name); nothing, and a one-line message in
// error, for anything malformed.
std::optional<Options> parseArguments(const QStringList& args, QString& error);

} // namespace kolvix::cli
