#pragma once

namespace zop {

// Makes the Command Panel and the Register Panel available to start-up and to every View menu.
void RegisterServicePanels();

} // namespace zop
