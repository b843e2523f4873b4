#pragma once
// The panels the program can show, and which one start-up and the View menu choose.

#include <QString>
#include <QtGlobal>

namespace zop {

// Firmware is never a start-up panel: it is reached only from the View menu.
enum class PanelId { None, GZ, TLB, KM, TW, Command, Registers, Calibration, Modulation, Firmware };

// The virtual control panel of a system type: 0 and 1 GZ, 2 TLB, 3 KM, 4 TW, any other TLB.
PanelId VirtualPanelFor(qint16 systemType);

// The panel start-up shows: 0 the virtual panel of the series, 1 Command, 2 Register,
// 3 Calibration, 4 Modulation. Any other value (99: the configured name is not in the list)
// also opens the virtual panel, so the program never runs without a window to end it by.
PanelId StartupPanelFor(qint16 startupPanel, qint16 systemType);

// The "Modulation Panel" menu entry is enabled only for system types 2, 3 and 4.
bool ModulationPanelAvailable(qint16 systemType);

// The window's name ("frmTLB", "frmCommand", ...).
QString PanelName(PanelId id);

} // namespace zop
