#pragma once

#include <QString>
#include <QStringList>

namespace kolvix::test {

// What a run of kolvix-merge as a process printed, and how it ended.
struct ProcessRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// What the program printed, in the system's encoding, with Windows' CR LF line ends as LF.
QString printedText(const QByteArray& bytes);

// The arguments that point kolvix-merge at a settings file of its own (so that nothing is looked
// up in the user's folders) and at a database file on the embedded engine, then the options.
QStringList kolvixMergeArguments(const QString& settingsFile, const QString& database, const QStringList& options);

// Runs the built kolvix-merge with the arguments, no standard input, and waits for it.
ProcessRun runKolvixMerge(const QStringList& arguments);

} // namespace kolvix::test
