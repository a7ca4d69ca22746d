#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

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
    // --find TEXT and its options: the patient search of the desktop program.
    std::optional<QString> find;
    int field = 0; // the index of the caption given to --field; Surname without one
    bool soundsLike = false;
    bool all = false;
    bool archived = false;
    bool showSql = false;
    // --duplicates and its options (--archived is shared with --find).
    bool duplicates = false;
    std::optional<int> minScore;
    std::optional<int> limit;
};

// Parses the arguments (without the program name); nothing, and a one-line message in
// error, for anything malformed.
std::optional<Options> parseArguments(const QStringList& args, QString& error);

// The position (0 = the first argument after the program name) of the first argument that is
// not valid UTF-8 text; nothing when all are. Where the command line is bytes, such an
// argument would reach the program with replacement characters in place of what was meant.
std::optional<qsizetype> firstNonUtf8Argument(const std::vector<QByteArray>& args);

} // namespace kolvix::cli
