#include "engine/startform.h"

#include "app/configuration.h"
#include "app/moddata.h"
#include "app/usersettings.h"
#include "engine/instrumentstate.h"

#include <QCoreApplication>

namespace zop {

StartForm::StartForm(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("frmComm"));
    tcpTimer.setObjectName(QStringLiteral("tcpTimer"));
    tcpTimer.setInterval(KeepAliveIntervalMs);
    connect(&tcpTimer, &QTimer::timeout, this, [] { Comm().TcpKeepAlive(); });
    tcpTimer.start();
}

StartForm::~StartForm()
{
    if (ModData *data = ModDataIfAlive(); data && data->comm.LogTarget == &rtbTranx)
        data->comm.LogTarget = nullptr;
}

PanelId StartForm::Load(const PanelOpener &openPanel)
{
    ModData &data = modData();
    ReadConfiguration();
    configuredLink = data.CommKind;
    data.GpibEos = QStringLiteral("10");
    FillCommandTables();
    data.comm.LogTarget = &rtbTranx;
    OpenLink();
    RefreshInstrumentState();

    PanelId shown = StartupPanelFor(data.StartupPanel, data.SystemType);
    QObject *panel = openPanel ? openPanel(shown) : nullptr;
    if (panel)
        data.CurrentPanel = panel;
    else
        shown = PanelId::None;

    QCoreApplication::processEvents();
    data.debugLog.empty();
    // What the user's settings file had wrong, noted after the emptying so that it stays.
    Prefs().writeNotes();
    return shown;
}

} // namespace zop
