#pragma once
// zopctl discover: the network search of the Communication Setup dialog from the command line.
// One request "D" goes to UDP port 30303 of the target (the configured "DiscoveryTarget",
// else the whole local network); every instrument that answers within the time-out is listed
// with its name, address, command port and MAC address.

#include "cli/commands.h"

namespace zop::cli {

// Throws Failure.
void RunDiscover(CommandContext &c);

} // namespace zop::cli
