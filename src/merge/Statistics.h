#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace kolvix {

class Dataset;
class TracePane;

// The rows of the statistics pane: (displayed caption, count), counts above zero only,
// in the fixed order of the 32 kinds.
using StatisticsList = std::vector<std::pair<QString, int>>;

// Counts the client's rows kind by kind into list, which is cleared first (a missing table is
// left out and noted in trace). A failing count passes on, and the rows counted before it
// stay in list.
void collectStatistics(Dataset& dsTemp, TracePane& trace, qint32 clientID, StatisticsList& list);
// The same, returning the rows.
StatisticsList collectStatistics(Dataset& dsTemp, TracePane& trace, qint32 clientID);
// The client's rows of every kind whose table exists, zeros too, as (the kind's caption, count) in
// the same order: what a comparison of two clients sets side by side.
StatisticsList countEveryKind(Dataset& dsTemp, TracePane& trace, qint32 clientID);
// The pane's lines: each count right-aligned to the widest, two blanks, the caption.
QStringList statisticsLines(const StatisticsList& list);

// The main window's count query of the From client: one row of twenty-one counts, the
// client id bound to the parameter ClientID.
QString clientCountStatement();

QString singularCaption(const QString& caption, int count);
QString formatCount(int count);

} // namespace kolvix
