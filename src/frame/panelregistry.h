#pragma once
// The panels the View menu can open. Each panel area registers a creator for its window name
// at start-up (RegisterPanel(PanelId::Command, [] { return new CommandPanel; })); a menu entry
// whose panel has no creator stays disabled. A switch creates the target anew every time.

#include "app/panelids.h"

#include <QString>
#include <functional>

class QWidget;

namespace zop {

class PanelWindow;

// The Firmware Panel's window name (PanelName(PanelId::Firmware)).
inline const QString FirmwarePanelName = QStringLiteral("FrmLoader");

using PanelCreator = std::function<PanelWindow *()>;

void RegisterPanel(PanelId id, PanelCreator creator);
void RegisterPanel(const QString &formName, PanelCreator creator);
bool IsPanelRegistered(const QString &formName);
bool IsPanelRegistered(PanelId id);
// Forgets every creator (tests).
void ClearPanelRegistry();

// Creates the panel and shows it as a modeless window; null when none is registered. Given
// the panel it replaces, the new one opens where that one stands, with its size where the
// new panel's layout allows it, so a switch does not make the window jump.
PanelWindow *OpenPanel(const QString &formName, const QWidget *inPlaceOf = nullptr);
PanelWindow *OpenPanel(PanelId id);

} // namespace zop
