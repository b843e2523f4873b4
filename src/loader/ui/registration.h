#pragma once

namespace zop {

// Makes the Firmware Panel available to every View menu.
void RegisterFirmwarePanel();

} // namespace zop
