#pragma once

#include <QByteArray>
#include <QStringList>
#include <vector>

namespace kolvix::cli {

// kolvix-merge with its arguments (without the program name): parses them, hands the
// settings to the utility's command-line reader and runs the verb. Returns the exit code.
// rawArgs, where given, are the same arguments as the command line's bytes (on a platform
// whose command line is bytes); one that is not valid UTF-8 is bad usage.
int runKolvixMerge(const QStringList& args, const std::vector<QByteArray>& rawArgs = {});

} // namespace kolvix::cli
