#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>

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

// The command line of kolvix-merge.
struct Options
{
    QStringList settings; // KEY=VALUE
    bool diagnose = false;
    std::optional<qint32> from;
    std::optional<qint32> to;
    std::map<qint32, AccountMapping> maps;
    bool dryRun = false;
    bool yes = false;
    bool progress = false;
    // --duplicates and its options.
    bool duplicates = false;
    std::optional<int> minScore;
    bool archived = false;
    std::optional<int> limit;
};

// Parses the arguments (without the program name); nothing, and a one-line message in
// error, for anything malformed.
std::optional<Options> parseArguments(const QStringList& args, QString& error);

} // namespace kolvix::cli
