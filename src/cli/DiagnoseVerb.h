#pragma once

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

// --diagnose: the settings files as read, every connection attempt (the password shown as
// ***) and the two switches. ExitMerged when connected, ExitNoConnection otherwise.
int diagnose(Connection& connection);

} // namespace kolvix::cli
