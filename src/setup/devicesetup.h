#pragma once
// Hands the Communication Setup dialog its aids: the network search behind "Find Device..."
// on TCP/IP, and the dialogs behind "Change Device's Settings...".

namespace zop {

void RegisterDeviceSetupDialogs();

} // namespace zop
