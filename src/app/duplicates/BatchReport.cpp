#include "app/duplicates/BatchReport.h"

#include "app/DisplayFonts.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace kolvix {

namespace {

QString clientText(qint32 id, const std::optional<QString>& name)
{
    return name ? QStringLiteral("%1: %2").arg(id).arg(escapeText(*name)) : QString::number(id);
}

QString counted(std::size_t count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

} // namespace

QString batchPairText(const BatchPair& pair)
{
    return clientText(pair.merge, pair.mergeName) + QStringLiteral(" > ") + clientText(pair.keep, pair.keepName);
}

QStringList batchReportLines(const std::vector<BatchPair>& pairs, const std::vector<BatchResult>& results)
{
    QStringList lines;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        QString line = batchPairText(pairs[i]) + QStringLiteral(" - ");
        if (i >= results.size()) {
            line += QStringLiteral("not run (stopped)");
        } else {
            const BatchResult& result = results[i];
            if (result.outcome == BatchResult::Outcome::Merged)
                line += result.auditId > 0 ? QStringLiteral("merged (Audit %1)").arg(result.auditId)
                                           : QStringLiteral("merged");
            else
                line += result.outcomeText() + QStringLiteral(": ") + escapeText(result.reason);
        }
        lines << line;
    }
    return lines;
}

QString batchReportSummary(const std::vector<BatchPair>& pairs, const std::vector<BatchResult>& results)
{
    std::size_t merged = 0, skipped = 0, failed = 0;
    for (const BatchResult& result : results) {
        if (result.outcome == BatchResult::Outcome::Merged)
            ++merged;
        else if (result.outcome == BatchResult::Outcome::Skipped)
            ++skipped;
        else
            ++failed;
    }
    const std::size_t notRun = pairs.size() > results.size() ? pairs.size() - results.size() : 0;
    QStringList parts {QStringLiteral("%1 merged").arg(merged)};
    if (skipped)
        parts << QStringLiteral("%1 skipped").arg(skipped);
    if (failed)
        parts << QStringLiteral("%1 failed").arg(failed);
    if (notRun)
        parts << QStringLiteral("%1 not run (stopped)").arg(notRun);
    return counted(pairs.size(), "pair", "pairs") + QStringLiteral(": ") + parts.join(QStringLiteral(", "))
        + QLatin1Char('.');
}

TfrmBatchReport::TfrmBatchReport(const std::vector<BatchPair>& pairs, const std::vector<BatchResult>& results,
                                 UserInterface& ui, ReportFileChooser chooseFile, QWidget* parent)
    : QDialog(parent)
    , m_userInterface(ui)
    , m_chooseFile(std::move(chooseFile))
    , m_when(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
{
    setObjectName(QStringLiteral("frmBatchReport"));
    setWindowTitle(QStringLiteral("Merge Ticked Pairs"));
    // The font of the program's designed forms, shown as they show it.
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setSizeGripEnabled(true);

    m_text = batchReportLines(pairs, results).join(QLatin1Char('\n')) + QStringLiteral("\n\n")
        + batchReportSummary(pairs, results);

    m_report = new QPlainTextEdit(this);
    m_report->setObjectName(QStringLiteral("memReport"));
    m_report->setReadOnly(true);
    m_report->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_report->setPlainText(m_text);

    m_save = new QPushButton(QStringLiteral("&Save..."), this);
    m_save->setObjectName(QStringLiteral("btnSaveReport"));
    m_save->setToolTip(QStringLiteral("Save the report as a text file"));
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("btnCloseReport"));
    m_close->setDefault(true);
    auto* hint = new QLabel(QStringLiteral("Each merge can be undone on its own from the History."), this);
    hint->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(hint, 1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_report, 1);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this, [this] { btnSaveReportClick(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    ApplyDisplayFonts(this);
    resize(720, 300);
}

bool TfrmBatchReport::btnSaveReportClick()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested
        = QDir(folder).filePath(QStringLiteral("merge-report-%1.txt")
                                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm"))));
    const QString path = m_chooseFile
        ? m_chooseFile(this, suggested)
        : QFileDialog::getSaveFileName(this, QStringLiteral("Save Report"), suggested,
                                       QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        const QString text = QStringLiteral("Merge of ticked pairs, %1\n\n%2\n").arg(m_when, m_text);
        file.write(text.toUtf8());
        if (file.commit())
            return true;
    }
    m_userInterface.showError(QStringLiteral("The report could not be saved to %1: %2")
                                  .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

} // namespace kolvix
