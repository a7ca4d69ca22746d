#include "support/Wine.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kolvix::test {

bool runningUnderWine()
{
#ifdef _WIN32
    // Wine's ntdll exports its version; Windows' does not.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

} // namespace kolvix::test
