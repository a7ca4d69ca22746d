// kolvix-merge --compare as a program: one line per field with whether the two clients agree,
// then the rows of each kind both hold; it only reads, also a read-only database file.

#include "merge/ClientComparison.h"
#include "support/KolvixMergeFixture.h"

#include <QDate>
#include <QFile>

namespace kolvix::test {
namespace {

class CompareVerbTest : public KolvixMergeTest
{
protected:
    void SetUp() override
    {
        KolvixMergeTest::SetUp();
        // The example pair, told apart by a few fields; a tab in a name is written as an escape.
        db.exec("UPDATE Client SET Title = 'Ms', Sex = 'F', DateOfBirth = '1981-06-30 00:00:00', Address = '4 Hill "
                "Rd', Suburb = 'Kew', State = 'VIC', PostCode = '3101', Mobile = '0400 111 222', Email = "
                "'one@example.com', Active = 'T' WHERE ClientID = 812;"
                "UPDATE Client SET Name = 'Two\tB', Title = 'Ms', Sex = 'F', DateOfBirth = '1981-06-30 00:00:00', "
                "Address = '4 Hill Road', Suburb = 'KEW', State = 'VIC', PostCode = '3101', Mobile = '0400111222', "
                "Active = 'F' WHERE ClientID = 57");
    }
};

TEST_F(CompareVerbTest, WritesEveryFieldOfBothClientsThenTheirRowsOfEachKind)
{
    const auto before = db.snapshot();
    const ProcessRun r = run({"--compare", "812", "57"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    const QString born = QStringLiteral("1981-06-30 (age %1)").arg(ageOn(QDate(1981, 6, 30), QDate::currentDate()));
    const QStringList expected {
        "Field\tA\tB\tSame",
        "Client ID\t812\t57\tno",
        "Title\tMs\tMs\tyes",
        "Surname\tSample\tSample\tyes",
        "Given name\tOne\tTwo\\tB\tno",
        "Preferred name\t\t\tyes",
        "Sex\tF\tF\tyes",
        "Date of birth\t" + born + "\t" + born + "\tyes",
        "Address\t4 Hill Rd\t4 Hill Road\tno",
        "Suburb\tKew\tKEW\tyes",
        "State\tVIC\tVIC\tyes",
        "Post code\t3101\t3101\tyes",
        "Home phone\t\t\tyes",
        "Work phone\t\t\tyes",
        "Mobile\t0400 111 222\t0400111222\tyes",
        "E-mail\tone@example.com\t\tno",
        "Occupation\t\t\tyes",
        "Medicare number\t\t\tyes",
        "File number\t\t\tyes",
        "Created\t\t\tyes",
        "Archived\tno\tyes\tno",
        "Rows\tA\tB",
    };
    const QStringList lines = r.out.split('\n');
    ASSERT_GT(lines.size(), expected.size()) << r.out.toStdString();
    EXPECT_EQ(lines.mid(0, expected.size()), expected);
    // The kinds either holds, each with both counts, as the pane names them; the last line ended.
    const QStringList counts = lines.mid(expected.size());
    EXPECT_EQ(counts.last(), "");
    EXPECT_TRUE(counts.contains("Accounts\t2\t2"));
    EXPECT_TRUE(counts.contains("Transactions\t3\t1"));
    EXPECT_TRUE(counts.contains("Clinical Notes\t1\t0"));
    for (const QString& line : counts.mid(0, counts.size() - 1))
        EXPECT_EQ(line.count('\t'), 2) << line.toStdString();
    EXPECT_EQ(db.snapshot(), before);
}

TEST_F(CompareVerbTest, ReadsAReadOnlyFileAndNamesAClientThatDoesNotExist)
{
    QFile::setPermissions(db.path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const ProcessRun readOnly = run({"--compare", "57", "812"});
    QFile::setPermissions(db.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(readOnly.exitCode, 0) << readOnly.err.toStdString();
    EXPECT_TRUE(readOnly.out.startsWith("Field\tA\tB\tSame\nClient ID\t57\t812\tno\n")) << readOnly.out.toStdString();

    const ProcessRun missing = run({"--compare", "57", "99"});
    EXPECT_EQ(missing.exitCode, 64);
    EXPECT_EQ(missing.err, "kolvix-merge: client 99 does not exist\n");
    EXPECT_TRUE(missing.out.isEmpty());

    const ProcessRun same = run({"--compare", "57", "57"});
    EXPECT_EQ(same.exitCode, 64);
    EXPECT_TRUE(same.err.startsWith("kolvix-merge: --compare needs two different clients, not 57 twice"))
        << same.err.toStdString();

    db.exec("DROP TABLE Client");
    const ProcessRun failed = run({"--compare", "57", "812"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.startsWith("Error: ")) << failed.err.toStdString();
    EXPECT_TRUE(failed.out.isEmpty());
}

} // namespace
} // namespace kolvix::test
