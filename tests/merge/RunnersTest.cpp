#include "support/MergeFixture.h"

#include "db/DbError.h"
#include "merge/Runners.h"

using namespace kolvix;
using namespace kolvix::test;

namespace {

class RunnersTest : public MergeFixture
{
};

TEST_F(RunnersTest, AFailingCommandLogsOnceShowsOnePlainBoxAndPassesTheFailureOn)
{
    EXPECT_THROW(doADOCommand(ui, session->cmd, "UPDATE NoSuchTable SET x = 1"), DbError);
    const QStringList log = logLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("doADOCommand() EXCEPTION ")) << log[0].toStdString();
    EXPECT_TRUE(log[0].contains("NoSuchTable"));
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown[0], "Kolvix Utility: doADOCommand: " + log[0].mid(25));
}

TEST_F(RunnersTest, QueryForms)
{
    Dataset& ds = session->dsTemp;
    EXPECT_EQ(doADOQuery(ui, ds, "SELECT ClientID FROM Client WHERE ClientID > 800"), 3);
    EXPECT_EQ(doADOQuery(ui, ds, "SELECT ClientID FROM Client WHERE ClientID < 0"), 0);
    EXPECT_EQ(doADOQuery(ui, ds, "SELECT ClientID FROM Client WHERE ClientID < 0", 7), 7);
    EXPECT_EQ(doADOQuery(ui, ds, "SELECT NULL", 7), 7);
    EXPECT_EQ(doADOQuery(ui, ds, "SELECT COUNT(*) FROM Account", 7), 4);
    EXPECT_TRUE(doADOQuery(ui, ds, "SELECT NULL", true));
    EXPECT_FALSE(doADOQuery(ui, ds, "SELECT 0", true));
    EXPECT_TRUE(ui.shown.isEmpty());
}

TEST_F(RunnersTest, FailingQueriesPassOnOrGiveTheDefault)
{
    Dataset& ds = session->dsTemp;
    EXPECT_THROW(doADOQuery(ui, ds, "SELECT * FROM NoSuchTable"), DbError);
    EXPECT_EQ(doADOQuery(ui, ds, "SELECT * FROM NoSuchTable", 42), 42);
    EXPECT_TRUE(doADOQuery(ui, ds, "SELECT * FROM NoSuchTable", true));
    EXPECT_EQ(logLines().filter("doADOQuery() EXCEPTION ").size(), 3);
    EXPECT_EQ(ui.shown.filter("Kolvix Utility: doADOQuery: ").size(), 3);
}

TEST_F(RunnersTest, TableExists)
{
    EXPECT_TRUE(tableExists(session->dsTemp, session->mem, "Appoint", true));
    EXPECT_FALSE(tableExists(session->dsTemp, session->mem, "Missing", false));
    EXPECT_TRUE(session->mem.lines().isEmpty());
    EXPECT_FALSE(tableExists(session->dsTemp, session->mem, "Missing", true));
    EXPECT_EQ(session->mem.lines(), QStringList {"Table 'Missing' does not exist (not merged)"});
}

TEST_F(RunnersTest, AFailingCatalogueQueryAnswersTrue)
{
    session->mem.clear();
    connection.close(); // every query now fails
    EXPECT_TRUE(tableExists(session->dsTemp, session->mem, "Appoint", true));
    EXPECT_EQ(session->mem.lines(), QStringList {"tableExists: Exception occurred while checking for 'Appoint'"});
    ASSERT_EQ(logLines().size(), 1);
    EXPECT_TRUE(logLines()[0].startsWith("tableExists: Exception occurred while checking for 'Appoint' EXCEPTION: "));
    EXPECT_TRUE(ui.shown.isEmpty());
}

} // namespace
