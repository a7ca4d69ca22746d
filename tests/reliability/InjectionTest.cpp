// A new account name is the one typed text that reaches SQL text. Whatever it holds (quotes,
// brackets, comment markers, T-SQL keywords, parameter marks, wildcards, letters beyond
// ASCII), it is stored exactly as typed and changes no other row.

#include "support/QtPrinting.h"

#include "accounts/AccountMergeModel.h"
#include "support/MergeFixture.h"

#include <string>
#include <utility>
#include <vector>

namespace kolvix::test {
namespace {

struct NameCase
{
    std::string label;
    QString name;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.label;
}

std::vector<NameCase> names()
{
    std::vector<NameCase> cases = {
        {"Apostrophes", "O'Brien's ''x''"},
        {"ClosesTheLiteral", "x'); DELETE FROM Trans; --"},
        {"Brackets", "[Trans]]] [x"},
        {"Semicolons", "a;b;"},
        {"LineComment", "-- note"},
        {"BlockComments", "/* x */ */ /*"},
        {"Top", "TOP 5"},
        {"SelectTopFromSysTables", "SELECT TOP 5 * FROM SYS.TABLES"},
        {"SysTables", "SYS.TABLES"},
        {"DropTable", "'; DROP TABLE Account; --"},
        {"Go", "GO"},
        {"GoOnALineOfItsOwn", "x\r\nGO\r\ny"},
        {"Declare", "DECLARE @x INT SET @x = 1"},
        {"Variable", "@x"},
        {"NamedParameter", ":ClientID"},
        {"PositionalParameter", "? ?"},
        {"Percent", "100% off"},
        {"Underscore", "_"},
        {"LikePattern", "%_[a-z]"},
        {"DoubleQuotes", "\"Primary\""},
        {"DateLiteral", "20240101"},
        {"SchemaName", "dbo.Account"},
        {"IsNull", "ISNULL(x, 1)"},
        {"Backslashes", "C:\\x\\"},
        {"Diaeresis", QStringLiteral("Zoë")},
        {"Ligature", QStringLiteral("Ĳssel")},
        {"Japanese", QStringLiteral("日本")},
        {"BeyondTheBasicPlane", QStringLiteral("🙂 card")},
        {"LongerThanSqlServerKeeps", QStringLiteral("O'B;[x]-- ").repeated(30)},
    };
    return cases;
}

class InjectionTest : public MergeFixture, public ::testing::WithParamInterface<NameCase>
{
protected:
    // Every table after the merge with the proposed mapping (account 2 added as "WorkCover")
    // on an identical database, Audit aside.
    QMap<QString, QStringList> plainMerge()
    {
        TestDatabase plain;
        const MergeOutcome outcome = mergeExampleCopy(ui, plain);
        ui.shown.clear();
        plain.exec(kForgetRowChecks);
        return outcome == MergeOutcome::Merged ? plain.snapshot(kStampedTables) : QMap<QString, QStringList>();
    }
};

TEST_P(InjectionTest, TheNewAccountNameIsStoredAsTypedAndChangesNothingElse)
{
    static const QMap<QString, QStringList> expected = plainMerge();
    ASSERT_FALSE(expected.isEmpty());

    const QString name = GetParam().name;
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        model.rowForAccount(2)->newName = name;
        if (name.size() <= AccountMergeModel::kMaxNameLength)
            return model.accept().isEmpty();
        // The dialog's checks refuse a name longer than the account-name column; the statement
        // that stores a name must keep any text a literal all the same, so this one is written
        // back past the checks.
        EXPECT_TRUE(model.validate().contains(QStringLiteral("is longer than 16 characters.")));
        model.writeBack();
        return true;
    };
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(ui.shown, QStringList {"Information: Clients have been successfully merged."});
    EXPECT_EQ(db.scalar("SELECT ShortDescription || '|' || typeof(ShortDescription) FROM Account "
                        "WHERE ClientID = 57 AND AccountID = 2"),
              name + "|text");
    EXPECT_TRUE(db.scalar("SELECT Comment FROM Audit").contains(name));

    // With that one name put back, every table is as the plain merge left it (but the check sum
    // the record keeps of the added account, which covers its name).
    db.exec("UPDATE Account SET ShortDescription = 'WorkCover' WHERE ClientID = 57 AND AccountID = 2");
    db.exec(kForgetRowChecks);
    EXPECT_EQ(db.snapshot(kStampedTables), expected);
}

INSTANTIATE_TEST_SUITE_P(Names, InjectionTest, ::testing::ValuesIn(names()),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.label; });

} // namespace
} // namespace kolvix::test
