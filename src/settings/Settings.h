#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {

class IniFile;

// Where the product's settings files are; set by locateSettingsFiles().
extern QString gsConfigFolder;
extern QString gsDataFolder;
extern QString gsConfigIniName;
extern QString gsDataIniName;
// The value of the command-line key "gsUtilityIniName" (one file for both).
extern QString gsUtilityIniName;

// The legacy settings file, used when the product files are missing.
inline const char* const kLegacyIniName = "ZV2000.INI";

// Settings files are read only when they are regular files of at most this size (the profile
// reader itself reads files of modest size); anything else counts as a missing file.
inline constexpr qint64 kMaxSettingsFileSize = 1024 * 1024;

// Why the file would not be read: "missing", "a directory", "not a regular file", "larger than
// 1 MiB"; empty when it would. The name is taken as given (not resolved).
QString settingsFileProblem(const QString& path);

// Sets the four names (and the folders); a named or product file that is there but is no
// regular file of a bounded size counts as missing, so the legacy file is used in its place.
void locateSettingsFiles();
// The files that the last locateSettingsFiles passed over although they were there, each as
// "<name> (<problem>)".
const QStringList& settingsFilesPassedOver();
QString getConfigFolder();
QString getDataFolder();

// The configuration object that configReadBool and configReadString read (borrowed).
extern IniFile* gConfigObject;
void setConfigObject(IniFile* object);
bool configReadBool(const QString& section, const QString& ident, bool defaultValue);
QString configReadString(const QString& section, const QString& ident, const QString& defaultValue);

// Opens the config file, reads one boolean by the INI rules, closes it.
bool readUtilitySetting(const QString& section, const QString& ident, bool defaultValue);

// A settings-file name as the platform resolves it: a bare name (no folder) lies in the
// legacy settings folder.
QString resolveSettingsFileName(const QString& name);

} // namespace kolvix
