// The folders of src/ form layers: a folder includes only from itself and the folders below
// it (docs/ARCHITECTURE.md). A new include that points up or sideways fails here, with the
// file and the line. The folders of tests/ share code through tests/support alone.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

const std::map<QString, QSet<QString>>& allowedIncludes()
{
    static const std::map<QString, QSet<QString>> allowed = {
        {"db", {}},
        {"platform", {}},
        {"core", {"db", "platform"}},
        {"settings", {"core", "db", "platform"}},
        {"accounts", {"core", "db", "platform"}},
        {"ledger", {"core", "db", "platform"}},
        {"merge", {"settings", "accounts", "ledger", "core", "db", "platform"}},
        {"search", {"ledger", "core", "db", "platform"}},
        {"duplicates", {"ledger", "core", "db", "platform"}},
        {"app", {"merge", "search", "duplicates", "settings", "accounts", "ledger", "core", "db", "platform"}},
        {"cli", {"merge", "search", "duplicates", "settings", "accounts", "ledger", "core", "db", "platform"}},
        {"tools", {"merge", "search", "duplicates", "settings", "accounts", "ledger", "core", "db", "platform"}},
    };
    return allowed;
}

QString sourceDir()
{
    return QStringLiteral(KOLVIX_SOURCE_DIR);
}

// For every header and source file below root: visit(path relative to root, 0, "") once, then
// visit(path relative to root, line number, included name) for each of its quoted includes.
void forEachInclude(const QDir& root, const std::function<void(const QString&, int, const QString&)>& visit)
{
    const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s+"([^"]+)")re"));
    QDirIterator it(root.path(), {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        visit(root.relativeFilePath(path), 0, QString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text)) << path.toStdString();
        int lineNumber = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine());
            ++lineNumber;
            const auto match = include.match(line);
            if (match.hasMatch())
                visit(root.relativeFilePath(path), lineNumber, match.captured(1));
        }
    }
}

TEST(Layers, EveryFolderIncludesOnlyItselfAndTheFoldersBelowIt)
{
    const QDir src(sourceDir() + QStringLiteral("/src"));
    QStringList violations;
    forEachInclude(src, [&](const QString& relative, int lineNumber, const QString& name) {
        const QString folder = relative.section(QLatin1Char('/'), 0, 0);
        const auto rule = allowedIncludes().find(folder);
        if (rule == allowedIncludes().end()) {
            if (name.isEmpty())
                violations << relative + QStringLiteral(": folder not in the layer table");
            return;
        }
        if (!name.contains(QLatin1Char('/')))
            return;
        const QString target = name.section(QLatin1Char('/'), 0, 0);
        if (target != folder && !rule->second.contains(target) && allowedIncludes().count(target))
            violations << QStringLiteral("%1:%2: %3 includes %4").arg(relative).arg(lineNumber).arg(folder, target);
    });
    EXPECT_TRUE(violations.isEmpty()) << violations.join(QLatin1Char('\n')).toStdString();
}

// Tests share code only through tests/support: a test file includes headers of its own folder
// of tests/ (with its subfolders) and of tests/support, never another test folder's.
TEST(Layers, TestsIncludeOnlyTheirOwnFolderAndSupport)
{
    const QDir tests(sourceDir() + QStringLiteral("/tests"));
    QStringList violations;
    int checked = 0;
    forEachInclude(tests, [&](const QString& relative, int lineNumber, const QString& name) {
        if (name.isEmpty())
            return;
        const QString folder = relative.section(QLatin1Char('/'), 0, 0);
        // As the compiler finds it: beside the including file first, then under tests/;
        // anything else is a header of src/ or of a library.
        QString target = QFileInfo(tests.filePath(relative)).dir().filePath(name);
        if (!QFileInfo::exists(target))
            target = tests.filePath(name);
        if (!QFileInfo::exists(target))
            return;
        ++checked;
        const QString targetFolder = tests.relativeFilePath(QDir::cleanPath(target)).section(QLatin1Char('/'), 0, 0);
        if (targetFolder != folder && targetFolder != QStringLiteral("support"))
            violations << QStringLiteral("tests/%1:%2: includes %3 of tests/%4")
                              .arg(relative)
                              .arg(lineNumber)
                              .arg(name, targetFolder);
    });
    EXPECT_GT(checked, 0);
    EXPECT_TRUE(violations.isEmpty()) << violations.join(QLatin1Char('\n')).toStdString();
}

// A checkout on a file system that ignores case keeps only one of two names that differ
// only by case.
TEST(Layers, NoTwoFileNamesDifferOnlyByCase)
{
    QStringList clashes;
    for (const QString& top : {QStringLiteral("src"), QStringLiteral("tests"), QStringLiteral("schema"),
                               QStringLiteral("scripts"), QStringLiteral("bench"), QStringLiteral("docs")}) {
        QMap<QString, QString> seen;
        QDirIterator it(sourceDir() + QLatin1Char('/') + top, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString key = path.toLower();
            if (seen.contains(key))
                clashes << seen[key] + QStringLiteral(" / ") + path;
            seen.insert(key, path);
        }
    }
    EXPECT_TRUE(clashes.isEmpty()) << clashes.join(QLatin1Char('\n')).toStdString();
}

} // namespace
