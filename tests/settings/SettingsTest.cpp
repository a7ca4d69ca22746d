// Command-line lookup, locating the product's settings files and the configuration readers.

#include "SettingsFixture.h"

#include "settings/IniFile.h"

#include <stdexcept>

namespace kolvix::test {
namespace {

// ---------------------------------------------------------------------------------------
// paramValue

struct ParamCase
{
    const char* name;
    QStringList arguments;
    const char* key;
    const char* expected;
};

class ParamValueTest : public ::testing::TestWithParam<ParamCase>
{
protected:
    ~ParamValueTest() override { setCommandLineArguments({}); }
};

TEST_P(ParamValueTest, FindsTheFirstArgumentWithTheKey)
{
    const ParamCase& c = GetParam();
    setCommandLineArguments(c.arguments);
    EXPECT_EQ(paramValue(QString::fromLatin1(c.key)), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, ParamValueTest,
    ::testing::Values(
        ParamCase {"NoArguments", {}, "Data Source", ""},
        ParamCase {"ExactKey", {"Data Source=SRV1"}, "Data Source", "SRV1"},
        ParamCase {"KeyInLowerCase", {"data source=SRV1"}, "Data Source", "SRV1"},
        ParamCase {"FirstOfTwoWins", {"Password=one", "PASSWORD=two"}, "Password", "one"},
        ParamCase {"ValueTrimmed", {"User ID=  bob \t"}, "User ID", "bob"},
        ParamCase {"KeyWithTrailingBlankDoesNotMatch", {"Data Source =SRV1"}, "Data Source", ""},
        ParamCase {"KeyWithLeadingBlankDoesNotMatch", {" Data Source=SRV1"}, "Data Source", ""},
        ParamCase {"ArgumentWithoutEqualsIgnored", {"Data Source", "Data Source=SRV2"}, "Data Source", "SRV2"},
        ParamCase {"ValueKeepsLaterEquals", {"Password=a=b"}, "Password", "a=b"},
        ParamCase {"EmptyValueStillWins", {"UseTCPIP=", "UseTCPIP=1"}, "UseTCPIP", ""},
        ParamCase {"OtherKeysSkipped", {"x=1", "Initial Catalog=Practice", "y=2"}, "Initial Catalog", "Practice"},
        ParamCase {"PrefixIsNoMatch", {"Data=SRV1"}, "Data Source", ""}),
    [](const ::testing::TestParamInfo<ParamCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// locateSettingsFiles

// A machine: which product files exist, the session, the arguments; and where the files are
// found. In expected texts {local} and {common} stand for the product folder
// "Ombrix/Zelvan" under the per-user and the common application-data folder, {legacy} for
// the legacy file name and {utility} for a file that the command line names.
struct LocateCase
{
    const char* name;
    bool localConfig;
    bool commonConfig;
    bool commonData;
    bool remote;
    QStringList arguments;
    const char* configName;
    const char* dataName;
    const char* configFolder;
    const char* dataFolder;
};

class LocateSettingsTest : public SettingsFixture, public ::testing::WithParamInterface<LocateCase>
{
protected:
    QString expand(const char* text) const
    {
        QString s = QString::fromLatin1(text);
        s.replace(QStringLiteral("{local}"), localProduct());
        s.replace(QStringLiteral("{common}"), commonProduct());
        s.replace(QStringLiteral("{legacy}"), QStringLiteral("ZV2000.INI"));
        s.replace(QStringLiteral("{utility}"), utilityFile());
        s.replace(QStringLiteral("{missing}"), missingFile());
        return s;
    }
    QString utilityFile() const { return root.filePath(QStringLiteral("utility.ini")); }
    QString missingFile() const { return root.filePath(QStringLiteral("missing.ini")); }
};

TEST_P(LocateSettingsTest, ChoosesTheFiles)
{
    const LocateCase& c = GetParam();
    if (c.localConfig)
        writeFile(localProduct() + QStringLiteral("/config.ini"), QStringLiteral("[Misc]\n"));
    if (c.commonConfig)
        writeConfig(QStringLiteral("[Misc]\n"));
    if (c.commonData)
        writeData(QStringLiteral("[Database Settings]\n"));
    writeFile(utilityFile(), QStringLiteral("[Misc]\n"));
    os.remoteSession = c.remote;
    QStringList arguments;
    for (const QString& argument : c.arguments)
        arguments << expand(argument.toLatin1().constData());
    setCommandLineArguments(arguments);

    locateSettingsFiles();

    EXPECT_EQ(gsConfigIniName, expand(c.configName));
    EXPECT_EQ(gsDataIniName, expand(c.dataName));
    EXPECT_EQ(gsConfigFolder, expand(c.configFolder));
    EXPECT_EQ(gsDataFolder, expand(c.dataFolder));
}

INSTANTIATE_TEST_SUITE_P(Machines, LocateSettingsTest,
                         ::testing::Values(LocateCase {"BothFilesInCommonFolder",
                                                       false,
                                                       true,
                                                       true,
                                                       false,
                                                       {},
                                                       "{common}/config.ini",
                                                       "{common}//data.ini",
                                                       "{common}",
                                                       "{common}/"},
                                           LocateCase {"LocalConfigWinsOutsideRemoteSession",
                                                       true,
                                                       true,
                                                       true,
                                                       false,
                                                       {},
                                                       "{local}/config.ini",
                                                       "{common}//data.ini",
                                                       "{local}",
                                                       "{common}/"},
                                           LocateCase {"RemoteSessionUsesLocalConfig",
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       {},
                                                       "{local}/config.ini",
                                                       "{common}//data.ini",
                                                       "{local}",
                                                       "{common}/"},
                                           LocateCase {"RemoteSessionWithoutLocalConfigFallsBackToLegacy",
                                                       false,
                                                       true,
                                                       true,
                                                       true,
                                                       {},
                                                       "{legacy}",
                                                       "{common}//data.ini",
                                                       "{local}",
                                                       "{common}/"},
                                           LocateCase {"MissingDataFileFallsBackAlone",
                                                       false,
                                                       true,
                                                       false,
                                                       false,
                                                       {},
                                                       "{common}/config.ini",
                                                       "{legacy}",
                                                       "{common}",
                                                       "{common}/"},
                                           LocateCase {"MissingConfigFileFallsBackAlone",
                                                       false,
                                                       false,
                                                       true,
                                                       false,
                                                       {},
                                                       "{legacy}",
                                                       "{common}//data.ini",
                                                       "{common}",
                                                       "{common}/"},
                                           LocateCase {"OldSettingsOneUsesLegacyFile",
                                                       false,
                                                       true,
                                                       true,
                                                       false,
                                                       {"OldSettings=1"},
                                                       "{legacy}",
                                                       "{legacy}",
                                                       "",
                                                       ""},
                                           LocateCase {"OldSettingsTrueIsNotRecognised",
                                                       false,
                                                       true,
                                                       true,
                                                       false,
                                                       {"OldSettings=true"},
                                                       "{common}/config.ini",
                                                       "{common}//data.ini",
                                                       "{common}",
                                                       "{common}/"},
                                           LocateCase {"OldSettingsZeroOneIsNotRecognised",
                                                       false,
                                                       true,
                                                       true,
                                                       false,
                                                       {"OldSettings=01"},
                                                       "{common}/config.ini",
                                                       "{common}//data.ini",
                                                       "{common}",
                                                       "{common}/"},
                                           LocateCase {"UtilityIniNameServesBothFiles",
                                                       false,
                                                       true,
                                                       true,
                                                       false,
                                                       {"gsUtilityIniName={utility}"},
                                                       "{utility}",
                                                       "{utility}",
                                                       "{common}",
                                                       "{common}/"},
                                           LocateCase {"MissingUtilityIniNameFallsBackToLegacy",
                                                       false,
                                                       true,
                                                       true,
                                                       false,
                                                       {"gsUtilityIniName={missing}"},
                                                       "{legacy}",
                                                       "{legacy}",
                                                       "{common}",
                                                       "{common}/"},
                                           LocateCase {"OldSettingsTakesUtilityIniNameUntested",
                                                       false,
                                                       true,
                                                       true,
                                                       false,
                                                       {"OldSettings=1", "gsUtilityIniName={missing}"},
                                                       "{missing}",
                                                       "{missing}",
                                                       "",
                                                       ""}),
                         [](const ::testing::TestParamInfo<LocateCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsFixture, LocatingCreatesTheProductFoldersUnlessOldSettings)
{
    setCommandLineArguments({QStringLiteral("OldSettings=1")});
    locateSettingsFiles();
    EXPECT_FALSE(QFileInfo::exists(commonProduct()));

    setCommandLineArguments({QStringLiteral("gsUtilityIniName=") + root.filePath(QStringLiteral("x.ini"))});
    locateSettingsFiles();
    EXPECT_TRUE(QFileInfo(commonProduct()).isDir());
    EXPECT_FALSE(QFileInfo::exists(localProduct())) << "outside a remote session only the chosen folder is made";

    os.remoteSession = true;
    locateSettingsFiles();
    EXPECT_TRUE(QFileInfo(localProduct()).isDir());
}

TEST_F(SettingsFixture, FoldersThatCannotBeMadeFallBack)
{
    // A file where the application-data folder should be: nothing can be created under it.
    const QString blocker = root.filePath(QStringLiteral("blocker"));
    writeFile(blocker, QStringLiteral("x"));
    os.commonAppData = blocker + QStringLiteral("/common");

    EXPECT_EQ(getConfigFolder(), os.programFilesFallback);
    EXPECT_EQ(getDataFolder(), QString());
    locateSettingsFiles();
    EXPECT_EQ(gsDataIniName, QStringLiteral("ZV2000.INI")) << "the data name was the drive root's data.ini";

    os.commonAppData.clear(); // cannot be determined
    EXPECT_EQ(getConfigFolder(), os.programFilesFallback);
    EXPECT_EQ(getDataFolder(), QString());

    os.remoteSession = true;
    os.localAppData.clear();
    EXPECT_EQ(getConfigFolder(), os.programFilesFallback);
}

TEST_F(SettingsFixture, LocalFolderWithoutConfigFileIsNotChosenOutsideRemoteSession)
{
    QDir().mkpath(localProduct()); // the folder alone does not count
    EXPECT_EQ(getConfigFolder(), commonProduct());
}

// ---------------------------------------------------------------------------------------
// configReadBool, configReadString, readUtilitySetting

TEST_F(SettingsFixture, ReadersWithoutConfigObjectFail)
{
    try {
        configReadBool(QStringLiteral("Misc"), QStringLiteral("Login"), false);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "configReadBool() - gConfigObject is not assigned");
    }
    try {
        configReadString(QStringLiteral("Misc"), QStringLiteral("Login"), QString());
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "configReadString() - gConfigObject is not assigned");
    }
}

TEST_F(SettingsFixture, ReadersConsultTheInstalledFile)
{
    IniFile first = IniFile::fromText(QStringLiteral("[Database Settings]\nPassword=\nUseTCPIP=1\n"));
    IniFile second = IniFile::fromText(QStringLiteral("[Database Settings]\nPassword=pw\n"));
    setConfigObject(&first);
    EXPECT_EQ(configReadString(QStringLiteral("Database Settings"), QStringLiteral("Password"), QStringLiteral("d")),
              QString())
        << "a present but empty key reads as empty";
    EXPECT_TRUE(configReadBool(QStringLiteral("Database Settings"), QStringLiteral("UseTCPIP"), false));
    setConfigObject(&second);
    EXPECT_EQ(configReadString(QStringLiteral("Database Settings"), QStringLiteral("Password"), QString()),
              QStringLiteral("pw"));
    EXPECT_FALSE(configReadBool(QStringLiteral("Database Settings"), QStringLiteral("UseTCPIP"), false));
}

struct SwitchCase
{
    const char* value; // nullptr: the key is missing
    bool log; // default false
    bool useRollback; // default true
};

class UtilitySettingTest : public SettingsFixture, public ::testing::WithParamInterface<SwitchCase>
{
};

TEST_P(UtilitySettingTest, ReadsTheKolvixSwitches)
{
    const SwitchCase& c = GetParam();
    // Both switches get the same value, so each value is tested against both defaults.
    writeConfig(c.value ? QStringLiteral("[Kolvix]\nLog=%1\nUse Rollback=%1\n").arg(QString::fromLatin1(c.value))
                        : QStringLiteral("[Kolvix]\n"));
    locateSettingsFiles();
    EXPECT_EQ(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false), c.log);
    EXPECT_EQ(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Use Rollback"), true), c.useRollback);
    EXPECT_EQ(gConfigObject, nullptr) << "readUtilitySetting does not install the file";
}

INSTANTIATE_TEST_SUITE_P(Values, UtilitySettingTest,
                         ::testing::Values(SwitchCase {"1", true, true}, SwitchCase {"0", false, false},
                                           SwitchCase {"0x0", false, false}, SwitchCase {"0x10", true, true},
                                           SwitchCase {"true", false, true}, SwitchCase {"no", false, true},
                                           SwitchCase {"", false, true}, SwitchCase {nullptr, false, true}));

TEST_F(SettingsFixture, LegacyFileIsReadFromTheWindowsFolder)
{
    writeFile(legacyFile(), QStringLiteral("[Kolvix]\nLog=1\nUse Rollback=0\n"));
    locateSettingsFiles();
    ASSERT_EQ(gsConfigIniName, QStringLiteral("ZV2000.INI"));
    EXPECT_TRUE(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false));
    EXPECT_FALSE(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Use Rollback"), true));
    EXPECT_EQ(resolveSettingsFileName(QStringLiteral("ZV2000.INI")), legacyFile());
    EXPECT_EQ(resolveSettingsFileName(commonProduct() + QStringLiteral("/config.ini")),
              commonProduct() + QStringLiteral("/config.ini"));
}

TEST_F(SettingsFixture, NoSettingsFilesAtAllGiveTheDefaults)
{
    locateSettingsFiles();
    EXPECT_FALSE(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false));
    EXPECT_TRUE(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Use Rollback"), true));
}

} // namespace
} // namespace kolvix::test
