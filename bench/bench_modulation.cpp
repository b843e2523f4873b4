// Benchmark of the Modulation Panel's "Get All Data" (the selection and 50 rows) against
// zop-sim: on a pseudo-terminal at 19200 baud with the emulator keeping to the line speed,
// next to the line time of the characters exchanged, and over TCP/IP on loopback.
// Usage: bench_modulation [runs (default 5)]

#include "app/configuration.h"
#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/transports.h"
#include "panels/calmod/modulationpanel.h"
#include "simprocess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zop;
using namespace zop::test;

namespace {

struct Run {
    double ms = 0;
    qsizetype charsOut = 0;
    qsizetype charsBack = 0;
};

// One "Get All Data" on a fresh panel.
Run GetAllData(const SimProcess &sim)
{
    auto *panel = new ModulationPanel;
    const qsizetype before = sim.received().size();
    QElapsedTimer timer;
    timer.start();
    panel->cmdPopulate->click();
    Run run;
    run.ms = double(timer.nsecsElapsed()) / 1e6;
    QString reply; // let the emulator finish writing its trace
    SendCommand(QStringLiteral("*OPC?"), false);
    ReadReply(reply, 2, false);
    run.charsOut = sim.received().size() - before - qsizetype(sizeof "*OPC?\n" - 1);
    run.charsBack = qsizetype(sizeof "1,0\r\n" - 1);
    for (int row = 0; row < panel->lvModTable->rowCount(); ++row) {
        const QStringList texts = panel->itemTexts(row);
        run.charsBack += texts.at(0).size() + texts.at(1).size() + texts.at(2).size() + 5;
    }
    panel->Switching = true; // no "<>CLR 0", no end of the program
    delete panel;
    return run;
}

void Report(const char *title, const SimProcess &sim, int runs, bool lineTime)
{
    std::vector<double> ms;
    Run last;
    for (int i = 0; i < runs; ++i) {
        last = GetAllData(sim);
        ms.push_back(last.ms);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s, %d runs: median %.1f ms, best %.1f ms, worst %.1f ms\n", title, runs,
                ms[ms.size() / 2], ms.front(), ms.back());
    if (lineTime) {
        const qsizetype chars = last.charsOut + last.charsBack;
        const double lineMs = double(chars) * 10.0 * 1000.0 / 19200.0;
        std::printf("  %lld characters (%lld out, %lld back, 10 bits each) take %.1f ms on the "
                    "line: median / line time = %.3f\n",
                    qint64(chars), qint64(last.charsOut), qint64(last.charsBack), lineMs,
                    ms[ms.size() / 2] / lineMs);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    ModData &data = modData();
    FillCommandTables();
    data.SystemType = 2;
    Comm().QuietMode = true;
    SetProgramEnder([] {});
    RegisterModulationPanel();

    // At the line speed, and without the throttle: what the panel, the pseudo-terminal and the
    // emulator add by themselves.
    for (const bool throttled : {true, false}) {
        SimProcess sim(throttled ? QStringList{QStringLiteral("--baud-throttle")} : QStringList(),
                       SimLine::Pty);
        data.comm.setTransportFactory(
            [](qint16 kind) { return MakeSerialTransport(kind, [] { return QStringList(); }); });
        data.CommKind = LinkKind::Rs232;
        data.CommDevice = sim.linkPath();
        if (sim.linkPath().isEmpty() || !OpenLink()) {
            std::fprintf(stderr, "zop-sim did not start on a pseudo-terminal\n");
            return 1;
        }
        Report(throttled ? "\"Get All Data\" over RS-232 at 19200 baud (throttled emulator)"
                         : "\"Get All Data\" over RS-232, emulator not throttled",
               sim, runs, throttled);
        Comm().CloseLink();
    }
    {
        SimProcess sim;
        ResetModData();
        ModData &fresh = modData();
        FillCommandTables();
        fresh.SystemType = 2;
        fresh.CommKind = LinkKind::TcpIp;
        fresh.CommAddress = QStringLiteral("127.0.0.1");
        fresh.CommPort = sim.port();
        Comm().QuietMode = true;
        if (sim.port() == 0 || !OpenLink()) {
            std::fprintf(stderr, "zop-sim did not start on loopback\n");
            return 1;
        }
        Report("\"Get All Data\" over TCP/IP on loopback", sim, runs, false);
        Comm().CloseLink();
    }
    ShutDownModData();
    return 0;
}
