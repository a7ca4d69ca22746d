#pragma once

#include <QStringList>

namespace kolvix::cli {

// kolvix-merge with its arguments (without the program name): parses them, hands the
// settings to the utility's command-line reader and runs the verb. Returns the exit code.
int runKolvixMerge(const QStringList& args);

} // namespace kolvix::cli
