// Benchmarks of the TLB panel polling zop-sim over TCP/IP on loopback:
//  - the CPU the zop-panel process uses while it polls at 5 Hz (utime + stime from /proc);
//  - the poll cadence and the CPU of a panel polling on its own timers in this process, with
//    the trend hidden and with it shown (drawing every reading);
//  - the time one poll tick takes in-process (send, reply, decode, lamps, displays), next to
//    a bare socket round trip, which leaves the time from the reply's arrival to the updated
//    display.
// Usage: bench_panel [seconds of polling (default 10)] [ticks (default 500)]

#include "frame/framehooks.h"
#include "app/moddata.h"
#include "link/commlayer.h"
#include "engine/trendbuffer.h"
#include "panels/virtual/virtualpanel.h"
#include "benchsupport.h"
#include "simprocess.h"
#include "engine/instrumentstate.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace zop;
using namespace zop::test;
using namespace zop::bench;

namespace {

double PanelProcessCpu(quint16 port, int seconds)
{
    QTemporaryDir dir;
    if (!WritePanelConfig(dir.path(), {{"Communication", "Comm", "TCP/IP"},
                                       {"Communication", "Port", QString::number(port)}}))
        return -1;
    QProcess panel;
    panel.setWorkingDirectory(dir.path());
    panel.start(BinaryPath(QStringLiteral("zop-panel")), {QStringLiteral("--dir"), dir.path()});
    panel.waitForStarted(5000);
    QThread::sleep(2); // past start-up
    const double before = ProcessCpuSeconds(panel.processId());
    QThread::sleep(seconds);
    const double after = ProcessCpuSeconds(panel.processId());
    panel.kill();
    panel.waitForFinished(3000);
    return 100.0 * (after - before) / seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int ticks = argc > 2 ? std::max(10, atoi(argv[2])) : 500;

    SimProcess sim;
    if (!sim.port()) {
        std::fprintf(stderr, "zop-sim did not start\n");
        return 1;
    }
    std::printf("zop-panel polling at 5 Hz for %d s: %.2f %% of one core\n", seconds,
                PanelProcessCpu(sim.port(), seconds));

    // Bare round trips.
    std::vector<double> bare;
    {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
        socket.waitForConnected(3000);
        QElapsedTimer t;
        for (int i = 0; i < ticks; ++i) {
            t.start();
            socket.write("<>STA\n");
            QByteArray reply;
            while (!reply.endsWith('\n') && socket.waitForReadyRead(2000))
                reply += socket.readAll();
            bare.push_back(t.nsecsElapsed() / 1e3);
        }
    }

    // Whole poll ticks of a panel.
    ModData &data = modData();
    data.CommKind = LinkKind::TcpIp;
    data.CommAddress = QStringLiteral("127.0.0.1");
    data.CommPort = sim.port();
    OpenLink();
    RefreshInstrumentState();
    SetProgramEnder([] {});
    auto *panel = new VirtualPanel(PanelId::TLB);
    panel->show();
    data.CurrentPanel = panel;
    FrontPanel &engine = panel->engine();
    engine.stopTimers();
    std::vector<double> tick;
    QElapsedTimer t;
    for (int i = 0; i < ticks; ++i) {
        t.start();
        engine.tick(FrontPanel::Timer::Poll);
        tick.push_back(t.nsecsElapsed() / 1e3);
    }

    // The panel on its own 5 Hz timer: the intervals between the readings it keeps, and the
    // CPU this process (the panel alone: the emulator runs in its own) uses meanwhile.
    auto cadence = [&](bool trend) {
        panel->showTrend(trend);
        RunReadings().clear();
        const double before = CpuSeconds(getpid());
        QTimer poll; // the poll timer's pace
        QObject::connect(&poll, &QTimer::timeout, [&engine] { engine.tick(FrontPanel::Timer::Poll); });
        poll.start(FrontPanel::PollIntervalMs);
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        poll.stop();
        const double cpu = 100.0 * (CpuSeconds(getpid()) - before) / seconds;
        const TrendBuffer &readings = RunReadings();
        std::vector<double> gaps;
        for (int i = 1; i < readings.size(); ++i)
            gaps.push_back(double(readings.at(i).timeMs - readings.at(i - 1).timeMs));
        double mean = 0;
        for (double g : gaps)
            mean += g / double(gaps.size());
        std::printf("  trend %-6s %4d polls in %d s: interval mean %6.1f ms, p99 %6.1f ms, max %6.1f ms;"
                    " %.2f %% of one core\n",
                    trend ? "shown:" : "hidden:", readings.size(), seconds, mean,
                    Percentile(gaps, 0.99), Percentile(gaps, 1.0), cpu);
    };
    std::printf("the panel polling on its own timer, in this process\n");
    cadence(false);
    cadence(true);

    std::printf("one poll tick over %d ticks (microseconds)\n", ticks);
    std::printf("  bare socket round trip:   median %8.1f   p99 %8.1f\n", Percentile(bare, 0.5),
                Percentile(bare, 0.99));
    std::printf("  whole panel tick:         median %8.1f   p99 %8.1f\n", Percentile(tick, 0.5),
                Percentile(tick, 0.99));
    std::printf("  reply to updated display: median %8.1f   p99 %8.1f (tick less round trip)\n",
                Percentile(tick, 0.5) - Percentile(bare, 0.5),
                Percentile(tick, 0.99) - Percentile(bare, 0.99));
    delete panel;
    SetProgramEnder(nullptr);
    ShutDownModData();
    return 0;
}
