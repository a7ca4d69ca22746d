#pragma once

#include <QString>

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

void locateSettingsFiles();
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
