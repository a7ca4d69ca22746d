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
    // The operating-system user the program runs as; empty when it cannot be determined.
    virtual std::string userName() const = 0;
    virtual int windowsMajorVersion() const = 0;
    // Without a trailing separator; empty when it cannot be determined.
    virtual std::string executableFolder() const = 0;
    virtual char pathSeparator() const = 0;
};

// The services of the operating system the program was built for (one implementation is
// linked: WindowsPlatform.cpp or PosixPlatform.cpp).
const Services& services();

// Ends the process with `status`, after the caller has torn down everything it owns (the
// application object, windows, connections). Standard output and error are flushed first.
// In Windows builds made with MinGW the process ends without the libraries' shut-down: there
// the main thread's thread-local objects are destroyed only after the toolkit's libraries
// have shut down, and the toolkit's animation timer (made as soon as a busy progress bar or
// a hover effect has run) then waits forever on a lock that no longer exists, so the program
// would never end. Elsewhere it is exit(status).
[[noreturn]] void endProcess(int status);

} // namespace kolvix::native
