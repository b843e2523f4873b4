// Step timing of `zopctl run` against zop-sim on loopback: a sequence of 1-second steps for
// the given time (default 600 s); each step's lateness (how long after its scheduled time it
// started, "late_ms" of --json) is collected, and the worst, p99 and median are printed with
// the CPU zopctl took. A step counts as on time within 20 ms.
// Usage: bench_sequence [seconds (default 600)]

#include "benchsupport.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace zop::test;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 600;
    SimProcess sim;
    if (sim.port() == 0) {
        std::fprintf(stderr, "bench_sequence: zop-sim did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("steps.seq"));
    QFile seq(file);
    if (!seq.open(QIODevice::WriteOnly)
        || seq.write(QStringLiteral("set 1V 1A\noutput on\nrepeat %1\n  volt 2V 1s\n  volt 3V 1s\nend\n"
                                    "output off\n")
                         .arg(seconds / 2)
                         .toUtf8())
               <= 0)
        return 1;
    seq.close();
    QProcess run;
    run.start(BinaryPath(QStringLiteral("zopctl")),
              {QStringLiteral("--link"), QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port()),
               QStringLiteral("--json"), QStringLiteral("run"), file, QStringLiteral("--log"),
               dir.filePath(QStringLiteral("steps.csv"))});
    std::vector<double> late;
    double cpu = 0;
    QByteArray pending;
    while (run.state() != QProcess::NotRunning || run.bytesAvailable() > 0) {
        run.waitForReadyRead(1000);
        const qint64 pid = run.processId();
        if (pid > 0)
            cpu = std::max(cpu, zop::bench::CpuSeconds(pid));
        pending += run.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QJsonObject o = QJsonDocument::fromJson(pending.left(end)).object();
            pending.remove(0, end + 1);
            if (o.value(QStringLiteral("event")) == QLatin1String("step"))
                late.push_back(o.value(QStringLiteral("late_ms")).toDouble());
        }
        if (run.state() == QProcess::NotRunning && run.bytesAvailable() == 0)
            break;
    }
    run.waitForFinished(5000);
    if (run.exitCode() != 0 || late.empty()) {
        std::fprintf(stderr, "bench_sequence: zopctl run failed (%d): %s\n", run.exitCode(),
                     run.readAllStandardError().constData());
        QFile trace(sim.tracePath());
        if (trace.open(QIODevice::ReadOnly)) // what the emulator saw last
            std::fprintf(stderr, "zop-sim running: %d; the end of its trace:\n%s\n",
                         int(sim.isRunning()), trace.readAll().right(600).constData());
        return 1;
    }
    const size_t onTime = size_t(std::count_if(late.begin(), late.end(), [](double ms) { return ms <= 20; }));
    std::printf("zopctl run, %zu steps of 1 s over %d s against zop-sim on loopback: lateness "
                "median %.0f ms, p99 %.0f ms, worst %.0f ms; %zu of %zu within 20 ms; zopctl CPU "
                "%.2f s (%.2f%% of one core)\n",
                late.size(), seconds, zop::bench::Percentile(late, 0.5),
                zop::bench::Percentile(late, 0.99), *std::max_element(late.begin(), late.end()),
                onTime, late.size(), cpu, 100.0 * cpu / seconds);
    return onTime == late.size() ? 0 : 1;
}
