#pragma once
// The hidden start form `frmComm`: it runs the start-up sequence and owns what outlives every
// panel: its own transaction log (where the link's "- Initialized" line goes before any panel
// exists) and the TCP/IP keep-alive timer `tcpTimer`.

#include "app/panelids.h"
#include "link/logsink.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace zop {

class StartForm : public QObject {
    Q_OBJECT
public:
    // Opens a panel window and returns it (null when it could not be opened).
    using PanelOpener = std::function<QObject *(PanelId)>;
    static constexpr int KeepAliveIntervalMs = 2000;

    explicit StartForm(QObject *parent = nullptr);
    ~StartForm() override;

    // The start-up sequence: configuration, command tables, link, state refresh, start-up
    // panel, then the emptying of "debug.txt". Returns the panel shown (None when none could
    // be opened).
    PanelId Load(const PanelOpener &openPanel);

    // The link kind the configuration names, as read before the link opened (a fall-back
    // makes `CommKind` Simulated afterwards).
    qint16 configuredLink = 0;

    TextLog rtbTranx;
    QTimer tcpTimer;
};

} // namespace zop
