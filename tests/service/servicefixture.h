#pragma once
// A service panel on a scripted link and a manual clock. The far end answers the queries a
// test lists (after replyDelayMs); each test can watch the panel while a reply is awaited.

#include "app/configuration.h"
#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/linkkind.h"
#include "link/transports.h"
#include "panels/service/commandpanel.h"
#include "panels/service/registerlamp.h"
#include "panels/service/registerspanel.h"
#include "panels/service/registration.h"
#include "recordingchooser.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QPointer>

namespace zop::test {

// The panels a test opened, deleted with it; meanwhile the command tables are filled and the
// program's end is counted, not carried out.
struct PanelHolder {
    PanelHolder()
    {
        FillCommandTables();
        SetProgramEnder([this] { ++programEnded; });
    }
    ~PanelHolder()
    {
        deletePanels();
        ClearPanelRegistry();
        SetProgramEnder(nullptr);
    }
    template <typename Panel>
    Panel *open()
    {
        auto *panel = new Panel;
        panel->show();
        modData().CurrentPanel = panel;
        opened << panel;
        return panel;
    }
    void deletePanels()
    {
        for (QPointer<PanelWindow> &panel : opened)
            delete panel.data();
        opened.clear();
    }
    QList<QPointer<PanelWindow>> opened;
    int programEnded = 0;
};

// The bits whose lamps are lit in a register's column.
inline QList<int> LitBits(RegistersPanel *panel, RegisterId id)
{
    QList<int> lit;
    for (int bit = 0; bit < RegisterInfoFor(id).bitCount(); ++bit)
        if (panel->lamp(id, bit)->isLit())
            lit << bit;
    return lit;
}

struct ServiceFixture : Fixture, PanelHolder {
    explicit ServiceFixture(qint16 commKind = LinkKind::TcpIp, qint16 systemType = 2)
    {
        ModData &data = modData();
        data.SystemType = systemType;
        data.CommKind = commKind;
        OpenLink();
        line->responder = [this](const QByteArray &command) -> QList<ScriptedLine::Chunk> {
            if (replies.contains(command))
                return {{replyDelayMs, replies.value(command)}};
            return {};
        };
        // What a state refresh (after Setup or a panel switch) reads.
        replies["<>SCL"] = "3A98,186A0\r\n";
        replies["<>ALL"] = "2EE0,1388,34BC,C350,3E8,3,1194\r\n";
        replies["SYST:VERS?"] = "ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n";
        replies["SYST:ERR?"] = "0,\"No error\"\r\n";
        RegisterServicePanels();
    }
    ~ServiceFixture() { SetSetupDialog(nullptr); }

    // What was sent since the last call, each command without its line feed.
    QStringList sent()
    {
        const QStringList commands = line->commands();
        line->written.clear();
        return commands;
    }

    QMap<QByteArray, QByteArray> replies;
    qint64 replyDelayMs = 50; // the panel waits for every reply
    // Runs each time the link waits for input (the panel is then inside its reply wait).
    std::function<void()> &whileWaiting = line->duringWait;
};

// The global state on a real link to zop-sim, on the real clock: TCP/IP on loopback, or RS-232
// on a pseudo-terminal (no real port is looked at). Each test registers the panels it opens.
struct SimPanels : Fixture, PanelHolder {
    explicit SimPanels(const QStringList &simArguments = {}, SimLine kind = SimLine::Tcp)
        : sim(simArguments, kind)
    {
        ModData &data = modData();
        data.clock = std::make_shared<SteadyClock>();
        data.SystemType = 2;
        if (kind == SimLine::Pty) {
            data.comm.setTransportFactory(
                [](qint16 link) { return MakeSerialTransport(link, [] { return QStringList(); }); });
            data.CommKind = LinkKind::Rs232;
            data.CommDevice = sim.linkPath();
        } else {
            data.comm.setTransportFactory(MakeTransport);
            data.CommKind = LinkKind::TcpIp;
            data.CommAddress = "127.0.0.1";
            data.CommPort = sim.port();
        }
        OpenLink();
    }
    ~SimPanels()
    {
        delete modData().CurrentPanel.data();
        deletePanels();
        ResetModData(); // while the emulator still runs
    }
    // The reply to a command the test itself sends, as another program would.
    static QString ask(const QString &command)
    {
        QString reply;
        SendCommand(command, false);
        ReadReply(reply, 2, false);
        return reply;
    }
    // Every line the emulator received, once it has handled all that was sent before.
    QStringList receivedSoFar()
    {
        ask(QStringLiteral("*OPC?"));
        return sim.receivedLines();
    }

    SimProcess sim;
};

} // namespace zop::test
