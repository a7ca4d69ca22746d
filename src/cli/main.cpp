// kolvix-merge: the command-line front end of the merge.
//
//   kolvix-merge [KEY=VALUE ...] --diagnose
//   kolvix-merge [KEY=VALUE ...] --from ID --to ID [--map FROMID=merge:TOID]... [--map FROMID=add:NAME]...
//                [--dry-run] [--yes] [--progress]
//
// Exit codes: 0 merged (or dry run done, or connected), 1 refused, cancelled or mapping issues,
// 2 the merge failed, 3 could not connect, 64 bad usage.

#include "cli/KolvixMerge.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvix-merge"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return kolvix::cli::runKolvixMerge(args);
}
