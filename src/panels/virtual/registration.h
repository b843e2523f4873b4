#pragma once

namespace zop {

// Makes the virtual control panels available to start-up and to every View menu.
void RegisterVirtualPanels();

} // namespace zop
