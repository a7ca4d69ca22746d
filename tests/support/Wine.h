#pragma once

namespace kolvix::test {

// True when a Windows build of the tests runs under Wine on a Linux host rather than on
// Windows; always false in other builds.
bool runningUnderWine();

// Under Wine, Qt's ODBC driver reaches the host's unixODBC, whose Linux SQLite ODBC driver is
// handed the Windows path of the file ("C:/users/..."). It finds the file only through a link
// named "C:" to the Wine prefix's drive_c in the working folder, which scripts/windows-test
// makes; without it an ODBC file test is skipped with this reason.
inline constexpr const char* kWineOdbcPathReason
    = "under Wine the host's SQLite ODBC driver cannot open the Windows path of the file "
      "(scripts/windows-test links C: to the prefix's drive_c for it): ";

} // namespace kolvix::test
