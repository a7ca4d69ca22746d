#pragma once

// What the benchmark programs share: timing, the median of repeated runs, and their common
// command line ([--repeat N] [--help] and positional arguments).

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace kolvix::bench {

inline double millisecondsOf(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Reads --repeat N (0 to 1000) and --help; everything else goes to positional. Returns the exit
// code when the program must end here (help printed: 0; bad usage: 64, the usage printed).
inline std::optional<int> parseBenchArguments(const QStringList& arguments, const char* usage, int& repeat,
                                              QStringList& positional)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--repeat") && i + 1 < arguments.size()) {
            bool ok = false;
            repeat = arguments[++i].toInt(&ok);
            if (!ok || repeat < 0 || repeat > 1000) {
                std::fputs(usage, stderr);
                return 64;
            }
        } else if (arguments[i] == QLatin1String("--help")) {
            std::fputs(usage, stdout);
            return 0;
        } else {
            positional << arguments[i];
        }
    }
    return std::nullopt;
}

} // namespace kolvix::bench
