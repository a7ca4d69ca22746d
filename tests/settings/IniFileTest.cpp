// The INI reader: how values, integers, names and duplicates are read.

#include "SettingsFixture.h"

#include "settings/IniFile.h"

#include <ostream>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace kolvix::test {
namespace {

IniFile fileWithValue(const QString& value)
{
    return IniFile::fromText(QStringLiteral("[S]\nKey=") + value + QStringLiteral("\n"));
}

struct BoolCase
{
    const char* value;
    bool whenDefaultFalse;
    bool whenDefaultTrue;
};

class IniBoolTest : public ::testing::TestWithParam<BoolCase>
{
};

TEST_P(IniBoolTest, ReadsIntegersAsBooleans)
{
    const BoolCase& c = GetParam();
    const IniFile ini = fileWithValue(QString::fromLatin1(c.value));
    EXPECT_EQ(ini.readBool(QStringLiteral("S"), QStringLiteral("Key"), false), c.whenDefaultFalse) << c.value;
    EXPECT_EQ(ini.readBool(QStringLiteral("S"), QStringLiteral("Key"), true), c.whenDefaultTrue) << c.value;
}

// Non-zero integers are true, zero false; anything that is not an integer keeps the default.
INSTANTIATE_TEST_SUITE_P(
    Values, IniBoolTest,
    ::testing::Values(BoolCase {"1", true, true}, BoolCase {"0", false, false}, BoolCase {"-1", true, true},
                      BoolCase {"+0", false, false}, BoolCase {"2", true, true}, BoolCase {"007", true, true},
                      BoolCase {"0x0", false, false}, BoolCase {"0X1F", true, true}, BoolCase {"0xff", true, true},
                      BoolCase {"$0", false, false}, BoolCase {"$A", true, true}, BoolCase {"0xFFFFFFFF", true, true},
                      BoolCase {"\"0\"", false, false}, BoolCase {" 0 ", false, false}, BoolCase {"true", false, true},
                      BoolCase {"yes", false, true}, BoolCase {"no", false, true}, BoolCase {"false", false, true},
                      BoolCase {"", false, true}, BoolCase {"0x", false, true}, BoolCase {"$", false, true},
                      BoolCase {"-", false, true}, BoolCase {"1a", false, true}, BoolCase {"1 2", false, true},
                      BoolCase {"1.0", false, true}, BoolCase {"0xG", false, true}, BoolCase {"2147483647", true, true},
                      BoolCase {"-2147483648", true, true}, BoolCase {"2147483648", false, true},
                      BoolCase {"0x100000000", false, true}));

TEST(IniFileTest, MissingKeyOrSectionGivesTheDefault)
{
    const IniFile ini = IniFile::fromText(QStringLiteral("[S]\nKey=0\n"));
    EXPECT_TRUE(ini.readBool(QStringLiteral("S"), QStringLiteral("Other"), true));
    EXPECT_TRUE(ini.readBool(QStringLiteral("T"), QStringLiteral("Key"), true));
    EXPECT_EQ(ini.readString(QStringLiteral("S"), QStringLiteral("Other"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.value(QStringLiteral("S"), QStringLiteral("Other")), std::nullopt);
}

struct StringCase
{
    const char* name;
    const char* text;
    const char* expected; // nullptr: the key is missing (the default "default" comes back)
};

class IniStringTest : public ::testing::TestWithParam<StringCase>
{
};

TEST_P(IniStringTest, ReadsTheValue)
{
    const StringCase& c = GetParam();
    const IniFile ini = IniFile::fromText(QString::fromLatin1(c.text));
    const QString expected = c.expected ? QString::fromLatin1(c.expected) : QStringLiteral("default");
    EXPECT_EQ(
        ini.readString(QStringLiteral("Database Settings"), QStringLiteral("Password"), QStringLiteral("default")),
        expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IniStringTest,
    ::testing::Values(StringCase {"Plain", "[Database Settings]\nPassword=pw\n", "pw"},
                      StringCase {"EmptyValueIsEmpty", "[Database Settings]\nPassword=\n", ""},
                      StringCase {"BlankValueIsEmpty", "[Database Settings]\nPassword=   \n", ""},
                      StringCase {"ValueAndKeyTrimmed", "[Database Settings]\n  Password \t=  pw x  \n", "pw x"},
                      StringCase {"DoubleQuotesRemoved", "[Database Settings]\nPassword=\" pw \"\n", " pw "},
                      StringCase {"SingleQuotesRemoved", "[Database Settings]\nPassword='pw'\n", "pw"},
                      StringCase {"OnlyOnePairOfQuotes", "[Database Settings]\nPassword=\"\"pw\"\"\n", "\"pw\""},
                      StringCase {"UnmatchedQuotesKept", "[Database Settings]\nPassword=\"pw'\n", "\"pw'"},
                      StringCase {"LoneQuoteKept", "[Database Settings]\nPassword=\"\n", "\""},
                      StringCase {"EqualsInValue", "[Database Settings]\nPassword=a=b\n", "a=b"},
                      StringCase {"SectionNameIgnoresCase", "[DATABASE settings]\nPassword=pw\n", "pw"},
                      StringCase {"KeyNameIgnoresCase", "[Database Settings]\nPASSWORD=pw\n", "pw"},
                      StringCase {"SectionNameTrimmed", "[ Database Settings ]\nPassword=pw\n", "pw"},
                      StringCase {"CrLfLines", "[Database Settings]\r\nPassword=pw\r\nUser ID=x\r\n", "pw"},
                      StringCase {"FirstKeyWins", "[Database Settings]\nPassword=one\nPassword=two\n", "one"},
                      StringCase {"FirstSectionWins",
                                  "[Database Settings]\nUser ID=x\n[Other]\nPassword=o\n"
                                  "[database settings]\nPassword=two\n",
                                  nullptr},
                      StringCase {"KeyInOtherSection", "[Misc]\nPassword=pw\n[Database Settings]\n", nullptr},
                      StringCase {"KeyBeforeAnySection", "Password=pw\n[Database Settings]\n", nullptr},
                      StringCase {"SemicolonComment", "[Database Settings]\n;Password=pw\n", nullptr},
                      StringCase {"HashComment", "[Database Settings]\n  # Password=pw\n", nullptr},
                      StringCase {"LineWithoutEquals", "[Database Settings]\nPassword\n", nullptr},
                      StringCase {"InlineSemicolonIsPartOfValue", "[Database Settings]\nPassword=a;b\n", "a;b"}),
    [](const ::testing::TestParamInfo<StringCase>& info) { return std::string(info.param.name); });

TEST(IniFileTest, LongValuesAreCutTo2047Characters)
{
    const QString exact(2047, QLatin1Char('a'));
    EXPECT_EQ(fileWithValue(exact).readString(QStringLiteral("S"), QStringLiteral("Key"), {}), exact);
    const QString longer = QString(2047, QLatin1Char('b')) + QStringLiteral("cd");
    EXPECT_EQ(fileWithValue(longer).readString(QStringLiteral("S"), QStringLiteral("Key"), {}), longer.left(2047));
    // The quotes come off before the cut.
    const QString quoted = QLatin1Char('"') + QString(2047, QLatin1Char('q')) + QLatin1Char('"');
    EXPECT_EQ(fileWithValue(quoted).readString(QStringLiteral("S"), QStringLiteral("Key"), {}),
              QString(2047, QLatin1Char('q')));
}

class IniFileOnDiskTest : public SettingsFixture
{
};

TEST_F(IniFileOnDiskTest, MissingFileIsEmpty)
{
    const IniFile ini(root.filePath(QStringLiteral("none.ini")));
    EXPECT_EQ(ini.value(QStringLiteral("Misc"), QStringLiteral("Login")), std::nullopt);
    EXPECT_TRUE(ini.readBool(QStringLiteral("Misc"), QStringLiteral("Login"), true));
}

TEST_F(IniFileOnDiskTest, ReadsUtf8AndAnsiFiles)
{
    const QString utf8Path = root.filePath(QStringLiteral("utf8.ini"));
    writeFile(utf8Path, QStringLiteral("\uFEFF[Database Settings]\nUser ID=Jos\u00e9\n"));
    EXPECT_EQ(IniFile(utf8Path).readString(QStringLiteral("Database Settings"), QStringLiteral("User ID"), {}),
              QStringLiteral("Jos\u00e9"));

    const QString ansiPath = root.filePath(QStringLiteral("ansi.ini"));
    QFile ansi(ansiPath);
    ASSERT_TRUE(ansi.open(QIODevice::WriteOnly));
    ansi.write("[Database Settings]\r\nUser ID=Jos\xe9\r\n");
    ansi.close();
    EXPECT_EQ(IniFile(ansiPath).readString(QStringLiteral("Database Settings"), QStringLiteral("User ID"), {}),
              QStringLiteral("Jos\u00e9"));
}

struct BoundedFileCase
{
    const char* name;
    const char* kind; // "regular", "device", "fifo", "folder"
    qint64 padding; // bytes of comment after the settings in a regular file
    bool read;
    const char* problem; // settingsFileProblem; empty when the file is read
};

void PrintTo(const BoundedFileCase& c, std::ostream* os)
{
    *os << c.name;
}

class BoundedSettingsFileTest : public IniFileOnDiskTest, public ::testing::WithParamInterface<BoundedFileCase>
{
};

// Only a regular file of at most 1 MiB is read; anything else reads as a missing file, at once
// (a pipe without a writer never blocks, a device that never ends is not read).
TEST_P(BoundedSettingsFileTest, OnlyRegularFilesOfBoundedSizeAreRead)
{
    const BoundedFileCase& c = GetParam();
    const QByteArray settings = "[Misc]\nLogin=1\n;";
    QString path = root.filePath(QStringLiteral("settings.ini"));
    const QString kind = QString::fromLatin1(c.kind);
    if (kind == QLatin1String("regular")) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(settings + QByteArray(c.padding - settings.size(), 'x'));
    } else if (kind == QLatin1String("device")) {
#ifdef Q_OS_UNIX
        path = QStringLiteral("/dev/zero");
#else
        GTEST_SKIP() << "no device files in the file system";
#endif
    } else if (kind == QLatin1String("folder")) {
        QDir().mkpath(path);
    } else {
#ifdef Q_OS_UNIX
        ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#else
        GTEST_SKIP() << "no pipes in the file system";
#endif
    }
    const IniFile ini(path);
    EXPECT_EQ(ini.readBool(QStringLiteral("Misc"), QStringLiteral("Login"), false), c.read);
    EXPECT_EQ(settingsFileProblem(path), QString::fromLatin1(c.problem));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BoundedSettingsFileTest,
    ::testing::Values(BoundedFileCase {"Small", "regular", 100, true, ""},
                      BoundedFileCase {"ExactlyOneMebibyte", "regular", 1024 * 1024, true, ""},
                      BoundedFileCase {"OneByteMore", "regular", 1024 * 1024 + 1, false, "larger than 1 MiB"},
                      BoundedFileCase {"Device", "device", 0, false, "not a regular file"},
                      BoundedFileCase {"Fifo", "fifo", 0, false, "not a regular file"},
                      BoundedFileCase {"Folder", "folder", 0, false, "a directory"}),
    [](const ::testing::TestParamInfo<BoundedFileCase>& info) { return std::string(info.param.name); });

// A named or product file that is there but cannot serve counts as missing: the legacy file is
// used in its place, and the file passed over is noted for --diagnose.
TEST_F(IniFileOnDiskTest, UnusableFilesFallBackToTheLegacyFile)
{
    writeFile(legacyFile(), QStringLiteral("[Misc]\nLogin=1\n"));
#ifdef Q_OS_UNIX
    const QString unusable = QStringLiteral("/dev/zero");
    const QString why = QStringLiteral("not a regular file");
#else
    // No device files in the file system: a folder cannot serve either.
    const QString unusable = root.filePath(QStringLiteral("folder.ini"));
    QDir().mkpath(unusable);
    const QString why = QStringLiteral("a directory");
#endif
    setCommandLineArguments({QStringLiteral("gsUtilityIniName=") + unusable});
    locateSettingsFiles();
    EXPECT_EQ(gsConfigIniName, QStringLiteral("ZV2000.INI"));
    EXPECT_EQ(gsDataIniName, QStringLiteral("ZV2000.INI"));
    EXPECT_EQ(settingsFilesPassedOver(), QStringList {unusable + QStringLiteral(" (") + why + QStringLiteral(")")});
    EXPECT_TRUE(readUtilitySetting(QStringLiteral("Misc"), QStringLiteral("Login"), false));

    // The product's data file grown past the bound; the config file is missing, which is no note.
    setCommandLineArguments({});
    const QString data = commonProduct() + QStringLiteral("//data.ini"); // the data folder ends with a separator
    writeData(QStringLiteral("[Database Settings]\n;") + QString(1024 * 1024, QLatin1Char('x')));
    locateSettingsFiles();
    EXPECT_EQ(gsDataIniName, QStringLiteral("ZV2000.INI"));
    EXPECT_EQ(gsConfigIniName, QStringLiteral("ZV2000.INI"));
    EXPECT_EQ(settingsFilesPassedOver(), QStringList {data + QStringLiteral(" (larger than 1 MiB)")});

    writeData(QStringLiteral("[Database Settings]\n"));
    locateSettingsFiles();
    EXPECT_EQ(gsDataIniName, data);
    EXPECT_TRUE(settingsFilesPassedOver().isEmpty());
}

TEST_F(IniFileOnDiskTest, BareNameIsReadFromTheWindowsFolder)
{
    writeFile(legacyFile(), QStringLiteral("[Misc]\nLogin=1\n"));
    const IniFile ini(QStringLiteral("ZV2000.INI"));
    EXPECT_EQ(ini.fileName(), legacyFile());
    EXPECT_TRUE(ini.readBool(QStringLiteral("Misc"), QStringLiteral("Login"), false));
}

} // namespace
} // namespace kolvix::test
