// The T-SQL that reaches SQL Server, parsed by two independent T-SQL parsers
// (schema/tsql-parser/check-tsql.js, run by Node), so that a syntax error shows here and not at
// a practice. The tests otherwise run everything on the embedded engine, after adaptation.
//
// What is checked:
//  * schema/sqlserver/schema.sql, batch by batch (split on GO lines, as sqlcmd does): by the
//    ANTLR grammar of T-SQL, every batch; by node-sql-parser (TransactSQL), every batch but the
//    ones listed in kBatchesNotForSqlParser; and SQL Server's rule that CREATE VIEW and CREATE
//    FUNCTION open their batch.
//  * every statement template the program sends (support/TsqlTemplates.cpp), as sent: with the
//    merge's values formatted in, and each ":name" parameter replaced by a literal of its value
//    (SQL Server gets them as "?" parameters, which neither parser reads).
//  * that the check catches faults: broken statements, each caught by the parser named.
// What is not: names (tables, columns, functions) and types, which neither parser knows, and
// whatever node-sql-parser is not given (check-tsql.js lists what and why; the grammar reads
// all of it). The statements that the adapter makes for the embedded engine are not T-SQL and
// are not checked here.

#include "db/TsqlAdapter.h"
#include "support/TsqlTemplates.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace kolvix::test {
namespace {

// Batches of the script that node-sql-parser is not given, by their first statement, and why:
// procedural code is not in its T-SQL. Any other batch that it is not given fails the test.
const QStringList kBatchesNotForSqlParser = {
    QStringLiteral("CREATE FUNCTION dbo.onlyNumericChars"), // IF, DECLARE, SET @, WHILE
};

struct ParseResult
{
    QStringList grammar; // errors of the ANTLR grammar
    std::optional<QStringList> sqlParser; // errors of node-sql-parser; none: not given the text
    QString sqlParserText; // what node-sql-parser read, when not the text itself
    QString sqlParserNote; // why node-sql-parser was not given the text
    QStringList batch; // breaches of the rule that CREATE VIEW and the like open their batch
    QString failure; // the checker itself failed

    bool accepted() const { return grammar.isEmpty() && batch.isEmpty() && (!sqlParser || sqlParser->isEmpty()); }
};

std::string describe(const QString& sql, const ParseResult& r)
{
    QString out = QStringLiteral("--- text:\n") + sql + QStringLiteral("\n--- grammar: ") + r.grammar.join(u"; ");
    out += QStringLiteral("\n--- node-sql-parser: ")
        + (r.sqlParser ? r.sqlParser->join(u"; ") : QStringLiteral("(not given the text: %1)").arg(r.sqlParserNote));
    if (!r.sqlParserText.isEmpty())
        out += QStringLiteral("\n--- node-sql-parser read:\n") + r.sqlParserText;
    out += QStringLiteral("\n--- batch rule: ") + r.batch.join(u"; ");
    if (!r.failure.isEmpty())
        out += QStringLiteral("\n--- checker failure: ") + r.failure;
    return out.toStdString();
}

QStringList strings(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& v : value.toArray())
        list << v.toString();
    return list;
}

// One Node process for all the checks of a test program.
class TsqlChecker
{
public:
    TsqlChecker()
    {
        const QString node = QStringLiteral(KOLVIX_NODE_EXECUTABLE);
        if (node.isEmpty()) {
            m_startError = QStringLiteral("node was not found when the build was configured: run scripts/setup");
            return;
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(node, {QStringLiteral(KOLVIX_TSQL_CHECKER), QStringLiteral(KOLVIX_TSQL_PARSER_MODULES)});
        if (!m_process.waitForStarted(30000))
            m_startError = QStringLiteral("node did not start: ") + m_process.errorString();
    }

    ~TsqlChecker()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

    ParseResult check(const QString& sql)
    {
        ParseResult result;
        if (!m_startError.isEmpty()) {
            result.failure = m_startError;
            return result;
        }
        const QJsonObject request {{QStringLiteral("sql"), sql}};
        m_process.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(120000)) {
                result.failure = QStringLiteral("no answer from check-tsql.js: ") + m_process.errorString();
                return result;
            }
        }
        QJsonParseError error;
        const QJsonObject answer = QJsonDocument::fromJson(m_process.readLine(), &error).object();
        if (error.error != QJsonParseError::NoError)
            result.failure = QStringLiteral("unreadable answer: ") + error.errorString();
        result.failure += answer.value(QStringLiteral("failure")).toString();
        result.grammar = strings(answer.value(QStringLiteral("grammar")));
        if (answer.value(QStringLiteral("sqlParser")).isArray())
            result.sqlParser = strings(answer.value(QStringLiteral("sqlParser")));
        result.sqlParserText = answer.value(QStringLiteral("sqlParserText")).toString();
        result.sqlParserNote = answer.value(QStringLiteral("sqlParserNote")).toString();
        result.batch = strings(answer.value(QStringLiteral("batch")));
        return result;
    }

private:
    QProcess m_process;
    QString m_startError;
};

class TsqlSyntaxTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { checker = std::make_unique<TsqlChecker>(); }
    static void TearDownTestSuite() { checker.reset(); }
    void SetUp() override
    {
#ifdef KOLVIX_NODE_ON_THE_BUILD_HOST_ONLY
        GTEST_SKIP() << "the parsers run on Node.js of the build machine, which this cross-built program cannot "
                        "start; the native build runs these checks on the same statements";
#endif
    }
    static ParseResult check(const QString& sql)
    {
        return checker->check(sql);
    }

    static std::unique_ptr<TsqlChecker> checker;
};

std::unique_ptr<TsqlChecker> TsqlSyntaxTest::checker;

// ---- The SQL Server script ----------------------------------------------------------------------

struct Batch
{
    int firstLine; // in the script, from 1
    QString text; // preceded by blank lines, so that the parsers' line numbers are the script's
};

// The batches of a script: the text between lines that hold GO alone, as sqlcmd splits them.
std::vector<Batch> batches(const QString& script)
{
    static const QRegularExpression go(QStringLiteral("^\\s*GO\\s*$"), QRegularExpression::CaseInsensitiveOption);
    std::vector<Batch> result;
    QStringList current;
    int first = 1;
    const QStringList lines = script.split(QLatin1Char('\n'));
    auto flush = [&] {
        const QString text = current.join(QLatin1Char('\n'));
        if (!text.trimmed().isEmpty())
            result.push_back({first, QString(first - 1, QLatin1Char('\n')) + text});
    };
    for (int i = 0; i < lines.size(); ++i) {
        if (go.match(lines[i]).hasMatch()) {
            flush();
            current.clear();
            first = i + 2;
        } else {
            current << lines[i];
        }
    }
    flush();
    return result;
}

// The first statement of a batch: its first line that is not blank nor a comment.
QString firstStatement(const QString& batch)
{
    for (const QString& line : batch.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QStringLiteral("--")))
            return line.trimmed();
    return {};
}

QString readScript(const QString& relativePath)
{
    QFile file(QStringLiteral(KOLVIX_SOURCE_DIR "/") + relativePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

TEST_F(TsqlSyntaxTest, SqlServerScriptParsesBatchByBatch)
{
    const QString script = readScript(QStringLiteral("schema/sqlserver/schema.sql"));
    ASSERT_FALSE(script.isEmpty());
    const std::vector<Batch> all = batches(script);
    ASSERT_FALSE(all.empty());
    for (const Batch& b : all) {
        const QString first = firstStatement(b.text);
        SCOPED_TRACE("batch from line " + std::to_string(b.firstLine) + ": " + first.toStdString());
        const ParseResult r = check(b.text);
        EXPECT_TRUE(r.failure.isEmpty()) << r.failure.toStdString();
        EXPECT_TRUE(r.accepted()) << describe(b.text, r);
        const bool listed = std::any_of(kBatchesNotForSqlParser.begin(), kBatchesNotForSqlParser.end(),
                                        [&](const QString& start) { return first.startsWith(start); });
        EXPECT_EQ(!r.sqlParser.has_value(), listed)
            << (listed ? "node-sql-parser now reads this batch: take it off kBatchesNotForSqlParser"
                       : "node-sql-parser was not given this batch: " + r.sqlParserNote.toStdString());
    }
}

TEST(TsqlBatchesTest, SplitOnGoLinesKeepingLineNumbers)
{
    const std::vector<Batch> b
        = batches(QStringLiteral("SET NOCOUNT ON;\n go \nCREATE VIEW V AS SELECT 1 AS GOOD\nGO\n\nGO\nSELECT 2\n"));
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0].text, QStringLiteral("SET NOCOUNT ON;"));
    EXPECT_EQ(b[1].firstLine, 3);
    EXPECT_EQ(b[1].text, QStringLiteral("\n\nCREATE VIEW V AS SELECT 1 AS GOOD"));
    EXPECT_EQ(b[2].firstLine, 7);
    EXPECT_EQ(b[2].text, QStringLiteral("\n\n\n\n\n\nSELECT 2\n"));
}

// ---- The statements the program sends -----------------------------------------------------------

// A literal for a parameter's value.
QString literal(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return QLatin1Char('\'') + value.toString().replace(QLatin1Char('\''), QStringLiteral("''"))
            + QLatin1Char('\'');
    return value.toString();
}

// The template as SQL Server runs it: each ":name" parameter (outside literals, names and
// comments) replaced by a literal of its value; values go by position, one for each name in
// order of its first use, as the datasets bind them.
QString withParameterValues(const StatementTemplate& t)
{
    const ParameterisedStatement p = positionalParameters(t.tsql);
    QStringList names;
    for (const QString& name : p.occurrences)
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    EXPECT_EQ(names.size(), t.params.size()) << "a value for each parameter";
    EXPECT_EQ(p.text.count(QLatin1Char('?')), p.occurrences.size()) << "a '?' that is no parameter";
    QString text;
    int next = 0;
    for (const QChar c : p.text) {
        if (c == QLatin1Char('?') && next < p.occurrences.size()) {
            const QString& name = p.occurrences[next++];
            int index = 0;
            while (index < names.size() && names[index].compare(name, Qt::CaseInsensitive) != 0)
                ++index;
            text += index < t.params.size() ? literal(t.params[index]) : QStringLiteral("NULL");
        } else {
            text += c;
        }
    }
    return text;
}

class TsqlTemplateSyntaxTest : public TsqlSyntaxTest, public ::testing::WithParamInterface<StatementTemplate>
{
};

TEST_P(TsqlTemplateSyntaxTest, ParsesAsSent)
{
    const StatementTemplate& t = GetParam();
    // The merge's format placeholders (%d, %s, %0:d) are all filled in the table's texts.
    static const QRegularExpression placeholder(QStringLiteral("%(\\d+:)?-?\\d*[ds]\\b"));
    EXPECT_FALSE(placeholder.match(t.tsql).hasMatch()) << t.tsql.toStdString();
    const QString sql = withParameterValues(t);
    const ParseResult r = check(sql);
    EXPECT_TRUE(r.failure.isEmpty()) << r.failure.toStdString();
    EXPECT_TRUE(r.accepted()) << describe(sql, r);
    // Statements are DML and queries: node-sql-parser reads every one of them, but for the
    // session option that lets the undo put rows back with their identity values.
    const bool sessionOption = t.tsql.startsWith(QLatin1String("SET IDENTITY_INSERT "));
    EXPECT_EQ(r.sqlParser.has_value(), !sessionOption) << r.sqlParserNote.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Templates, TsqlTemplateSyntaxTest, ::testing::ValuesIn(statementTemplates()),
                         [](const ::testing::TestParamInfo<StatementTemplate>& info) {
                             return std::string(info.param.name);
                         });

// ---- Faults the check must catch ----------------------------------------------------------------

enum Catcher { Grammar = 1, SqlParser = 2, Both = Grammar | SqlParser, BatchRule = 4 };

struct Fault
{
    const char* name;
    QString sql;
    int caughtBy; // Catcher flags: each parser named must reject the text
};

void PrintTo(const Fault& f, std::ostream* os)
{
    *os << f.name;
}

QString templateText(const char* name)
{
    for (const StatementTemplate& t : statementTemplates())
        if (std::string(t.name) == name)
            return t.tsql;
    ADD_FAILURE() << "no template " << name;
    return {};
}

std::vector<Fault> faults()
{
    const QString script = readScript(QStringLiteral("schema/sqlserver/schema.sql"));
    QString scriptBatch;
    for (const Batch& b : batches(script))
        if (firstStatement(b.text).startsWith(QStringLiteral("CREATE TABLE dbo.Client (")))
            scriptBatch = b.text;
    const QString view = QStringLiteral("CREATE VIEW dbo.V\r\nAS\r\nSELECT c.ClientID, c.Surname FROM dbo.Client c");
    return {
        // Real statements, broken.
        {"TemplateWithoutItsClosingParenthesis", templateText("deleteDuplicates").chopped(1), Both},
        // The grammar takes "UNIO" for a procedure called without EXEC, which SQL Server allows
        // only at the start of a batch.
        {"TemplateWithAMisspeltKeyword",
         templateText("contactConflict").replace(QStringLiteral("UNION"), QStringLiteral("UNIO")), SqlParser},
        {"TemplateWithAnUnclosedLiteral", templateText("tableExists").chopped(1), Both},
        {"UpdateWithoutItsEqualsSign", QStringLiteral("UPDATE [Client] SET [ReferredByID] 57 WHERE [ReferredByID]=812"),
         Both},
        // The embedded engine's LIMIT is no T-SQL.
        {"AdaptedSearchSentAsIs",
         QStringLiteral("SELECT * FROM PatientSearch\r\nWHERE Surname LIKE 'smi%'\r\nORDER BY Surname LIMIT 50"),
         Grammar},
        {"VariableSetWithoutEqualsSign",
         countStatement(QStringLiteral("@CID"))
             .replace(QStringLiteral("SET @CID = :ClientID"), QStringLiteral("SET @CID 812")),
         Grammar},
        // The script, broken.
        {"TableWithoutACommaBetweenColumns",
         QString(scriptBatch)
             .replace(QStringLiteral("VARCHAR(10)  NULL,\n    Name"), QStringLiteral("VARCHAR(10)  NULL\n    Name")),
         SqlParser},
        {"TableWithANamedDefaultWithoutValue",
         QStringLiteral("CREATE TABLE dbo.T (A BIT NULL CONSTRAINT DF_T_A DEFAULT, B INT NULL)"), Both},
        {"ViewWithATrailingComma", QString(view).replace(QStringLiteral("c.Surname"), QStringLiteral("c.Surname,")),
         Both},
        {"ViewAfterATableWithoutGo", QStringLiteral("CREATE TABLE dbo.T (A INT NULL);\r\n") + view, BatchRule},
        {"FunctionWithoutItsEnd",
         QStringLiteral("CREATE FUNCTION dbo.f (@s VARCHAR(10))\nRETURNS VARCHAR(10)\nAS\nBEGIN\n"
                        "    WHILE @s IS NULL\n    BEGIN\n        SET @s = ''\n    END;\n    RETURN @s;\n"),
         Grammar},
    };
}

class TsqlFaultTest : public TsqlSyntaxTest, public ::testing::WithParamInterface<Fault>
{
};

TEST_P(TsqlFaultTest, IsCaught)
{
    const Fault& f = GetParam();
    ASSERT_FALSE(f.sql.isEmpty());
    const ParseResult r = check(f.sql);
    EXPECT_TRUE(r.failure.isEmpty()) << r.failure.toStdString();
    if (f.caughtBy & Grammar) {
        EXPECT_FALSE(r.grammar.isEmpty()) << "the grammar took it\n" << describe(f.sql, r);
    }
    if (f.caughtBy & SqlParser) {
        ASSERT_TRUE(r.sqlParser.has_value()) << r.sqlParserNote.toStdString();
        EXPECT_FALSE(r.sqlParser->isEmpty()) << "node-sql-parser took it\n" << describe(f.sql, r);
    }
    if (f.caughtBy & BatchRule) {
        EXPECT_FALSE(r.batch.isEmpty()) << describe(f.sql, r);
    }
    EXPECT_FALSE(r.accepted());
}

INSTANTIATE_TEST_SUITE_P(Faults, TsqlFaultTest, ::testing::ValuesIn(faults()),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

} // namespace
} // namespace kolvix::test
