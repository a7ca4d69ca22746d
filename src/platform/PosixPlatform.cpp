// The operating-system services on Linux and other POSIX systems. The product's Windows
// folders map onto the usual places: the per-user data folder, /var/lib for all users and
// /etc for the legacy settings file.

#include "platform/NativeServices.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace kolvix::native {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeFolder()
{
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

class PosixServices final : public Services
{
public:
    std::string localAppDataFolder() const override
    {
        // Only an absolute $XDG_DATA_HOME counts; otherwise the default ~/.local/share.
        const std::string xdg = environment("XDG_DATA_HOME");
        if (!xdg.empty() && xdg.front() == '/')
            return xdg;
        const std::string home = homeFolder();
        return home.empty() ? std::string() : home + "/.local/share";
    }
    std::string commonAppDataFolder() const override { return "/var/lib"; }
    std::string legacySettingsFolder() const override { return "/etc"; }
    std::string programFilesFallbackFolder() const override { return "/opt/Zelvan 2000"; }
    bool isRemoteSession() const override { return false; }
    std::string computerName() const override { return QSysInfo::machineHostName().toStdString(); }
    std::string userName() const override
    {
        if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
            return entry->pw_name;
        const char* user = std::getenv("USER");
        return user ? user : std::string();
    }
    int windowsMajorVersion() const override { return 10; }
    std::string executableFolder() const override
    {
        if (QCoreApplication::instance())
            return QCoreApplication::applicationDirPath().toStdString();
        std::error_code error;
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
        return error ? std::string() : exe.parent_path().string();
    }
    char pathSeparator() const override { return '/'; }
};

} // namespace

const Services& services()
{
    static const PosixServices instance;
    return instance;
}

void endProcess(int status)
{
    std::exit(status);
}

} // namespace kolvix::native
