// The operating-system services on Windows, through the Win32 API alone (no Qt here: this
// file is checked with the MinGW compiler by scripts/check-windows).

#include "platform/NativeServices.h"

#include <cstdio>
#include <cstdlib>
#include <shlobj.h>
#include <windows.h>

namespace kolvix::native {

namespace {

std::string specialFolder(int csidl)
{
    char buffer[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE))
        return {};
    return buffer;
}

// The version as the kernel reports it: GetVersionEx is capped at 6 for programs
// without a compatibility manifest, RtlGetVersion is not.
int kernelMajorVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
        auto rtlGetVersion
            = reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        if (rtlGetVersion) {
            RTL_OSVERSIONINFOW info = {};
            info.dwOSVersionInfoSize = sizeof(info);
            if (rtlGetVersion(&info) == 0)
                return int(info.dwMajorVersion);
        }
    }
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (GetVersionExA(&info))
        return int(info.dwMajorVersion);
    return 0;
}

class WindowsServices final : public Services
{
public:
    std::string localAppDataFolder() const override { return specialFolder(CSIDL_LOCAL_APPDATA); }
    std::string commonAppDataFolder() const override { return specialFolder(CSIDL_COMMON_APPDATA); }
    std::string legacySettingsFolder() const override
    {
        char buffer[MAX_PATH + 1] = {};
        const UINT length = GetWindowsDirectoryA(buffer, sizeof(buffer));
        if (length == 0 || length >= sizeof(buffer))
            return {};
        return std::string(buffer, length);
    }
    std::string programFilesFallbackFolder() const override { return "C:\\Program Files\\Zelvan 2000"; }
    bool isRemoteSession() const override { return GetSystemMetrics(SM_REMOTESESSION) != 0; }
    std::string computerName() const override
    {
        char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof(buffer);
        if (!GetComputerNameA(buffer, &size))
            return {};
        return std::string(buffer, size);
    }
    std::string userName() const override
    {
        // The session's logon name, as Windows sets it for every process.
        const char* user = std::getenv("USERNAME");
        return user ? user : std::string();
    }
    int windowsMajorVersion() const override
    {
        static const int version = kernelMajorVersion();
        return version;
    }
    std::string executableFolder() const override
    {
        std::string path(MAX_PATH, '\0');
        for (;;) {
            const DWORD length = GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
            if (length == 0)
                return {};
            if (length < path.size()) {
                path.resize(length);
                break;
            }
            path.resize(path.size() * 2); // truncated: try a larger buffer
        }
        const std::string::size_type slash = path.find_last_of("\\/");
        return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    char pathSeparator() const override { return '\\'; }
};

} // namespace

const Services& services()
{
    static const WindowsServices instance;
    return instance;
}

void endProcess(int status)
{
    std::fflush(nullptr);
#if defined(__MINGW32__)
    // Files the program wrote are closed by now; the system closes every handle left.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
#endif
    std::exit(status);
}

} // namespace kolvix::native
