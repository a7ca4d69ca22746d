#pragma once

// The operating system's own services, without Qt: the Windows implementation
// (WindowsPlatform.cpp) is built with nothing but the Windows headers, and Platform.cpp
// wraps whichever implementation is linked in the Qt-facing Platform interface.
// Texts are in the system's narrow encoding (the ANSI code page on Windows, UTF-8 elsewhere).

#include <string>

namespace kolvix::native {

class Services
{
public:
    virtual ~Services() = default;

    // Empty when the folder cannot be determined.
    virtual std::string localAppDataFolder() const = 0;
    virtual std::string commonAppDataFolder() const = 0;
    virtual std::string legacySettingsFolder() const = 0;
    virtual std::string programFilesFallbackFolder() const = 0;
    virtual bool isRemoteSession() const = 0;
    virtual std::string computerName() const = 0;
    virtual int windowsMajorVersion() const = 0;
    // Without a trailing separator; empty when it cannot be determined.
    virtual std::string executableFolder() const = 0;
    virtual char pathSeparator() const = 0;
};

// The services of the operating system the program was built for (one implementation is
// linked: WindowsPlatform.cpp or PosixPlatform.cpp).
const Services& services();

} // namespace kolvix::native
