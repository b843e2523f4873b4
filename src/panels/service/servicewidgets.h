#pragma once
// What the two service panels share: their look, their buttons and column heads, and the
// query exchange that keeps the panel's command frames disabled while a reply is awaited.

#include <QList>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace zop {

class PanelWindow;

// The style sheet of a service panel's central area.
QString ServicePanelStyle();

// A push button named `name` with a caption and the name a screen reader gives it; reachable
// with the tab key, never a default button.
QPushButton *ServiceButton(const QString &name, const QString &caption,
                           const QString &accessibleName, QWidget *parent);
// A column head over a grid of rows ("Get", "Set", "Command", "Data").
QLabel *ColumnHead(const QString &text, QWidget *parent);

// Sends `query` with echo to the log, disables `frames` and the panel's menu bar, reads the
// reply (2-second time-out, echoed), then enables them again; the control that had the focus
// gets it back. On a TCP/IP link window events run while the reply is awaited, so the panel
// may be closed meanwhile: returns false when it is gone, and the caller must not touch it.
// `reply` receives whatever text arrived (possibly nothing after a time-out).
// With `log` off neither the query nor its reply is echoed. With `answered` given, a reply that
// does not come is told there instead of falling back to Simulated mode (a line typed by hand
// that the instrument does not answer is a typing slip, not a lost instrument).
bool AskInstrument(PanelWindow *panel, const QList<QWidget *> &frames, const QString &query,
                   QString &reply, bool log = true, bool *answered = nullptr);

// The time-out of every reply the service panels read.
constexpr qint16 ServiceReplyTimeoutSeconds = 2;

} // namespace zop
