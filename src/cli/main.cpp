// kolvix-merge: the command-line front end of the merge.
//
//   kolvix-merge [KEY=VALUE ...] --diagnose
//   kolvix-merge [KEY=VALUE ...] --from ID --to ID [--map FROMID=merge:TOID]... [--map FROMID=add:NAME]...
//                [--dry-run] [--yes] [--progress] [--irreversible]
//   kolvix-merge [KEY=VALUE ...] --history [--limit N]
//   kolvix-merge [KEY=VALUE ...] --undo AUDIT [--dry-run] [--yes]
//
// Exit codes: 0 merged (or undone, dry run done, or connected), 1 refused, cancelled or mapping issues,
// 2 the merge failed, 3 could not connect, 64 bad usage.

#include "cli/KolvixMerge.h"

#include <QByteArray>
#include <QCoreApplication>
#include <vector>

int main(int argc, char** argv)
{
    // The arguments as bytes, before Qt decodes them (and before it takes its own options
    // out of them); on Windows the command line is UTF-16 text and cannot hold bad bytes.
    std::vector<QByteArray> rawArgs;
#ifndef _WIN32
    for (int i = 1; i < argc; ++i)
        rawArgs.emplace_back(argv[i]);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvix-merge"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return kolvix::cli::runKolvixMerge(args, rawArgs);
}
