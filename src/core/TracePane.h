#pragma once

#include <QStringList>

namespace kolvix {

// The hidden trace pane of the main window: an in-memory trace of the last merge attempt
// (account dump, missing tables, the movers' failure lines). Nothing reads it back but the
// tests and the command-line front end.
class TracePane
{
public:
    void clear() { m_lines.clear(); }
    void add(const QString& line) { m_lines.append(line); }
    const QStringList& lines() const { return m_lines; }

private:
    QStringList m_lines;
};

} // namespace kolvix
