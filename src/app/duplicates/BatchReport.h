#pragma once

#include "merge/BatchMerge.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kolvix {

class UserInterface;

// Asks where to save a report: the file chosen, or an empty string when none was.
using ReportFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

// A pair as the window's question, progress and report name it: "401: Robinon, Ruby > 301:
// Robinson, Ruby" (the Merge client, then the one kept), each name written by escapeText so that
// the pair stays one line whatever its names hold; an id alone for a client without a name.
QString batchPairText(const BatchPair& pair);

// One line per pair of a run, in the order the pairs were given: "401: Robinon, Ruby > 301:
// Robinson, Ruby - merged (Audit 17)", "... - skipped: <reason>", "... - failed: <reason>", and
// "... - not run (stopped)" for each pair after the last result (the run was stopped); the
// reasons escaped as the names are.
QStringList batchReportLines(const std::vector<BatchPair>& pairs, const std::vector<BatchResult>& results);

// The run in one line: "4 pairs: 2 merged, 1 skipped, 1 not run (stopped)." (merged always
// named, the others where there are some).
QString batchReportSummary(const std::vector<BatchPair>& pairs, const std::vector<BatchResult>& results);

// The report at the end of a run of ticked pairs: each pair with what became of it, the summary
// line, and "Save..." to keep it as a text file.
class TfrmBatchReport : public QDialog
{
    Q_OBJECT

public:
    TfrmBatchReport(const std::vector<BatchPair>& pairs, const std::vector<BatchResult>& results, UserInterface& ui,
                    ReportFileChooser chooseFile, QWidget* parent = nullptr);

    // The report as shown and saved: the pair lines, a blank line, the summary.
    QString text() const { return m_text; }

    // Asks for a file and writes the report to it (with the time of the run on its first line);
    // a file that cannot be written is shown as an error. True when it was saved.
    bool btnSaveReportClick();

private:
    UserInterface& m_userInterface;
    ReportFileChooser m_chooseFile;
    QString m_text;
    QString m_when;
    QPlainTextEdit* m_report = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace kolvix
