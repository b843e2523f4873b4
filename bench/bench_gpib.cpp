// Benchmarks of the GPIB link over the stand-in library against zop-sim's bus:
//  - the round trip of one "<>STA" query through SendCommand + ReadStatusReply, next to the
//    same over TCP/IP on loopback;
//  - a search of a bus with two instruments (what the "Find Devices" dialog waits for);
//  - the CPU the zop-panel process uses while its virtual panel polls at 5 Hz over GPIB.
// Usage: bench_gpib [exchanges (default 1000)] [searches (default 20)] [seconds (default 10)]

#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/gpiblibrary.h"
#include "link/gpibsearch.h"
#include "link/logsink.h"
#include "benchsupport.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
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

std::vector<double> RoundTrips(qint16 kind, const QString &address, quint16 port, int count)
{
    std::vector<double> us;
    ModData &data = modData();
    data.CommKind = kind;
    data.CommAddress = address;
    data.CommPort = port;
    data.GpibEos = QStringLiteral("10");
    TextLog log;
    Comm().LogTarget = &log;
    if (!OpenLink())
        return us;
    QElapsedTimer timer;
    QString reply;
    for (int i = 0; i < count; ++i) {
        timer.start();
        SendCommand(QStringLiteral("<>STA"), false);
        if (ReadStatusReply(reply, 2, false) <= 0)
            return {};
        us.push_back(timer.nsecsElapsed() / 1000.0);
    }
    Comm().LogTarget = nullptr;
    return us;
}

void Report(const char *name, const std::vector<double> &v, const char *unit)
{
    std::printf("  %-28s median %9.1f   p99 %9.1f %s (%zu runs)\n", name, Percentile(v, 0.5),
                Percentile(v, 0.99), unit, v.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int searches = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    const int seconds = argc > 3 ? std::max(1, atoi(argv[3])) : 10;
    const QByteArray library = QCoreApplication::applicationDirPath().toLocal8Bit()
                               + "/../gpib-standin/libgpib.so.0";

    SimProcess tcp;
    SimProcess bus({QStringLiteral("--gpib-address"), QStringLiteral("5,12")}, SimLine::Gpib);
    if (tcp.port() == 0 || bus.linkPath().isEmpty()) {
        std::fprintf(stderr, "zop-sim did not start\n");
        return 1;
    }
    qputenv(GpibLibrary::PathVariable, library);
    qputenv("ZOP_GPIB_SOCKET", bus.linkPath().toLocal8Bit());

    std::printf("<>STA round trip through the communication layer, %d exchanges\n", exchanges);
    Report("TCP/IP on loopback:", RoundTrips(LinkKind::TcpIp, "127.0.0.1", tcp.port(), exchanges), "us");
    Report("GPIB over the stand-in:", RoundTrips(LinkKind::Gpib, "5", 0, exchanges), "us");

    std::vector<double> ms;
    size_t rows = 0;
    for (int i = 0; i < searches; ++i) {
        QElapsedTimer timer;
        timer.start();
        rows = SearchGpibBus().size();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("search of a bus with two instruments (%zu rows found)\n", rows);
    Report("SearchGpibBus:", ms, "ms");
    ShutDownModData();

    QTemporaryDir dir;
    if (!WritePanelConfig(dir.path(), {{"Communication", "Comm", "GPIB"},
                                       {"Communication", "Address", "5"}}))
        return 1;
    QProcess panel;
    StartPanel(panel, dir.path());
    QThread::sleep(2); // past start-up
    const int pollsBefore = bus.receivedLines().count(QStringLiteral("<>STA"));
    const double before = CpuSeconds(panel.processId());
    QThread::sleep(seconds);
    const double after = CpuSeconds(panel.processId());
    const int polls = bus.receivedLines().count(QStringLiteral("<>STA")) - pollsBefore;
    panel.kill();
    panel.waitForFinished(3000);
    std::printf("zop-panel polling over GPIB for %d s: %d polls, %.2f %% of one core\n", seconds,
                polls, 100.0 * (after - before) / seconds);
    return 0;
}
