#include "settings/Settings.h"

#include "platform/Platform.h"
#include "settings/CommandLine.h"
#include "settings/IniFile.h"

#include <QFileInfo>

#include <stdexcept>

namespace kolvix {

QString gsConfigFolder;
QString gsDataFolder;
QString gsConfigIniName;
QString gsDataIniName;
QString gsUtilityIniName;
IniFile* gConfigObject = nullptr;

namespace {

QString sep()
{
    return QString(platform().pathSeparator());
}

// The product's folder under an application-data folder: "<folder>\Ombrix\Zelvan".
QString productFolder(const QString& appDataFolder)
{
    return appDataFolder + sep() + QStringLiteral("Ombrix") + sep() + QStringLiteral("Zelvan");
}

bool existsOrCreated(const QString& folder)
{
    return platform().folderExists(folder) || platform().createFolder(folder);
}

QStringList& passedOver()
{
    static QStringList list;
    return list;
}

// A file the settings may be read from; one that is there but cannot serve is noted.
bool usableSettingsFile(const QString& path)
{
    const QString problem = settingsFileProblem(path);
    if (problem.isEmpty())
        return true;
    const QString note = path + QStringLiteral(" (") + problem + QLatin1Char(')');
    if (problem != QLatin1String("missing") && !passedOver().contains(note))
        passedOver() << note;
    return false;
}

} // namespace

QString getConfigFolder()
{
    const Platform& os = platform();
    try {
        QString folder;
        if (os.isRemoteSession()) {
            folder = os.localAppDataFolder();
        } else {
            const QString local = os.localAppDataFolder();
            if (!local.isEmpty() && os.fileExists(productFolder(local) + sep() + QStringLiteral("config.ini")))
                folder = local;
            else
                folder = os.commonAppDataFolder();
        }
        if (!folder.isEmpty()) {
            const QString dir = productFolder(folder);
            if (existsOrCreated(dir))
                return dir;
        }
    } catch (...) {
        // A folder that cannot be looked up or created is no error: the fallback follows.
    }
    return os.programFilesFallbackFolder();
}

QString getDataFolder()
{
    try {
        const QString common = platform().commonAppDataFolder();
        if (common.isEmpty())
            return {};
        const QString dir = productFolder(common) + sep();
        if (existsOrCreated(dir))
            return dir;
    } catch (...) {
        // Absorbed: no data folder.
    }
    return {};
}

QString settingsFileProblem(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return QStringLiteral("missing");
    if (info.isDir())
        return QStringLiteral("a directory");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    if (info.size() > kMaxSettingsFileSize)
        return QStringLiteral("larger than 1 MiB");
    return QString();
}

const QStringList& settingsFilesPassedOver()
{
    return passedOver();
}

void locateSettingsFiles()
{
    passedOver().clear();
    const bool old = paramValue(QStringLiteral("OldSettings")) == QLatin1String("1");
    gsUtilityIniName = paramValue(QStringLiteral("gsUtilityIniName"));
    gsConfigIniName = gsUtilityIniName;
    gsDataIniName = gsUtilityIniName;
    const QString legacy = QString::fromLatin1(kLegacyIniName);
    if (!old) {
        // Both folders are looked up (and created) even when the command line named the file.
        gsConfigFolder = getConfigFolder();
        gsDataFolder = getDataFolder();
        if (gsConfigIniName.isEmpty()) {
            gsConfigIniName = gsConfigFolder + sep() + QStringLiteral("config.ini");
            gsDataIniName = gsDataFolder + sep() + QStringLiteral("data.ini");
        }
        if (!usableSettingsFile(gsDataIniName))
            gsDataIniName = legacy;
        if (!usableSettingsFile(gsConfigIniName))
            gsConfigIniName = legacy;
    } else if (gsConfigIniName.isEmpty()) {
        gsConfigIniName = legacy;
        gsDataIniName = legacy;
    }
}

void setConfigObject(IniFile* object)
{
    gConfigObject = object;
}

bool configReadBool(const QString& section, const QString& ident, bool defaultValue)
{
    if (!gConfigObject)
        throw std::runtime_error("configReadBool() - gConfigObject is not assigned");
    return gConfigObject->readBool(section, ident, defaultValue);
}

QString configReadString(const QString& section, const QString& ident, const QString& defaultValue)
{
    if (!gConfigObject)
        throw std::runtime_error("configReadString() - gConfigObject is not assigned");
    return gConfigObject->readString(section, ident, defaultValue);
}

bool readUtilitySetting(const QString& section, const QString& ident, bool defaultValue)
{
    const IniFile config(gsConfigIniName);
    return config.readBool(section, ident, defaultValue);
}

QString resolveSettingsFileName(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        || name.contains(QLatin1Char(':')))
        return name;
    const QString folder = platform().legacySettingsFolder();
    return folder.isEmpty() ? name : folder + sep() + name;
}

} // namespace kolvix
