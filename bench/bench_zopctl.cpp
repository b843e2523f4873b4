// Benchmarks of zopctl against zop-sim on loopback:
//  - `zopctl query "*IDN?"` as a whole process: start, open the link, one exchange, exit;
//  - `zopctl monitor` at 5 readings a second: the CPU it takes, as a share of one core, once
//    it runs (the start-up is left out by measuring between two points of its run).
// Usage: bench_zopctl [runs (default 30)] [monitor seconds (default 10)]

#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zop::test;


int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const int monitorSeconds = argc > 2 ? std::max(2, atoi(argv[2])) : 10;

    SimProcess sim;
    if (sim.port() == 0) {
        std::fprintf(stderr, "bench_zopctl: zop-sim did not start\n");
        return 1;
    }
    const QString zopctl = BinaryPath(QStringLiteral("zopctl"));
    const QString link = QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port());

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QElapsedTimer timer;
        timer.start();
        p.start(zopctl,
                {QStringLiteral("--link"), link, QStringLiteral("query"), QStringLiteral("*IDN?")});
        if (!p.waitForFinished(10000) || p.exitCode() != 0) {
            std::fprintf(stderr, "bench_zopctl: zopctl failed: %s\n",
                         p.readAllStandardError().constData());
            return 1;
        }
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("zopctl query \"*IDN?\" over TCP/IP on loopback, whole process (%d runs): "
                "median %.1f ms, p90 %.1f ms, max %.1f ms\n",
                runs, ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 9 / 10)],
                ms.back());

    QProcess monitor;
    monitor.start(zopctl,
                  {QStringLiteral("--link"), link, QStringLiteral("monitor"),
                   QStringLiteral("--interval"), QStringLiteral("0.2")});
    if (!monitor.waitForStarted(5000))
        return 1;
    // Let it start, then measure over the given seconds (a benchmark may sleep; a test may not).
    QThread::msleep(1000);
    monitor.readAllStandardOutput();
    const double cpu0 = ProcessCpuSeconds(monitor.processId());
    QElapsedTimer wall;
    wall.start();
    QThread::msleep(ulong(monitorSeconds) * 1000);
    const double cpu1 = ProcessCpuSeconds(monitor.processId());
    const double seconds = wall.nsecsElapsed() / 1e9;
    monitor.waitForReadyRead(100);
    const QByteArray lines = monitor.readAllStandardOutput();
    monitor.terminate();
    monitor.waitForFinished(3000);
    std::printf("zopctl monitor --interval 0.2 over TCP/IP: %.2f%% of one core over %.1f s "
                "(%.0f ms CPU, %lld readings in the window)\n",
                100.0 * (cpu1 - cpu0) / seconds, seconds, (cpu1 - cpu0) * 1000.0,
                qint64(lines.count('\n')));
    return 0;
}
