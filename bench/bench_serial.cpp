// Benchmarks of the serial link against zop-sim on a pseudo-terminal:
//  - CPU use of a loop polling "<>STA" five times a second (as a virtual panel does), which
//    spends nearly all its time waiting for replies and for the next tick;
//  - CPU use of a 2-second read time-out against an instrument that stays silent;
//  - the round trip of "<>STA" at 19200 baud with the emulator keeping to the line speed,
//    next to the line time of the characters exchanged (and without the throttle, what the
//    pseudo-terminal and the emulator add by themselves);
//  - for reference, what the same 2 seconds cost when the read polls without blocking.
// Usage: bench_serial [poll seconds (default 20)] [round trips (default 200)]

#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/logsink.h"
#include "link/transports.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace zop;
using namespace zop::test;

namespace {

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CPU time of this process over wall time while `body` runs, in percent of one core.
template <typename Body>
double CpuPercent(Body &&body, double *wallSeconds = nullptr)
{
    QElapsedTimer wall;
    wall.start();
    const double before = CpuSeconds();
    body();
    const double cpu = CpuSeconds() - before;
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    if (wallSeconds)
        *wallSeconds = elapsed;
    return elapsed > 0 ? 100.0 * cpu / elapsed : 0.0;
}

bool OpenOn(const SimProcess &sim)
{
    ModData &data = modData();
    data.CommKind = LinkKind::Rs232;
    data.CommDevice = sim.linkPath();
    Comm().QuietMode = true;
    return OpenLink();
}

struct Stats {
    double median = 0;
    double p99 = 0;
};

Stats Summarise(std::vector<double> samples)
{
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2],
            samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

// Round trips of "<>STA" in milliseconds; *replyChars gets the length of the reply.
std::vector<double> RoundTrips(int count, int *replyChars)
{
    std::vector<double> ms;
    QElapsedTimer timer;
    QString reply;
    for (int i = 0; i < count; ++i) {
        timer.start();
        SendCommand(QStringLiteral("<>STA"), false);
        if (ReadStatusReply(reply, 2, false) <= 0)
            return {};
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        *replyChars = int(reply.size());
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int pollSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int trips = argc > 2 ? std::max(1, atoi(argv[2])) : 200;
    modData().comm.setTransportFactory(
        [](qint16 kind) { return MakeSerialTransport(kind, [] { return QStringList(); }); });
    TextLog log;
    Comm().LogTarget = &log;

    // 1. Polling at 5 Hz, the emulator keeping to 19200 baud.
    {
        SimProcess sim({QStringLiteral("--baud-throttle")}, SimLine::Pty);
        if (sim.linkPath().isEmpty() || !OpenOn(sim)) {
            std::fprintf(stderr, "zop-sim did not start on a pseudo-terminal\n");
            return 1;
        }
        int polls = 0;
        int failures = 0;
        double wall = 0;
        const double percent = CpuPercent(
            [&] {
                QEventLoop loop;
                QTimer tick;
                tick.setInterval(200);
                QObject::connect(&tick, &QTimer::timeout, [&] {
                    SendCommand(QStringLiteral("<>STA"), false);
                    QString reply;
                    if (ReadStatusReply(reply, 2, false) <= 0)
                        ++failures;
                    ++polls;
                });
                QTimer::singleShot(pollSeconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
                tick.start();
                loop.exec();
            },
            &wall);
        std::printf("Polling \"<>STA\" at 5 Hz over the pseudo-terminal (19200 baud, throttled)\n");
        std::printf("  %d polls in %.1f s, %d failed: CPU %.2f %% of one core\n", polls, wall,
                    failures, percent);

        // 3. Round trip at 19200 baud against the line time.
        int replyChars = 0;
        const Stats rt = Summarise(RoundTrips(trips, &replyChars));
        const double lineMs = (6.0 + replyChars) * 10.0 * 1000.0 / 19200.0;
        std::printf("Round trip of \"<>STA\" at 19200 baud over %d exchanges (milliseconds)\n",
                    trips);
        std::printf("  throttled emulator:   median %6.2f   p99 %6.2f\n", rt.median, rt.p99);
        std::printf("  line time of %d characters (6 out, %d back, 10 bits each): %6.2f\n",
                    6 + replyChars, replyChars, lineMs);
        std::printf("  beyond the line time: median %6.2f\n", rt.median - lineMs);
        Comm().CloseLink();
    }
    {
        SimProcess sim({}, SimLine::Pty);
        if (!sim.linkPath().isEmpty() && OpenOn(sim)) {
            int replyChars = 0;
            const Stats rt = Summarise(RoundTrips(trips, &replyChars));
            std::printf("  unthrottled emulator: median %6.2f   p99 %6.2f\n", rt.median, rt.p99);
        }
        Comm().CloseLink();
    }

    // 2. A 2-second time-out against a silent instrument.
    {
        SimProcess sim({QStringLiteral("--fault"), QStringLiteral("silent")}, SimLine::Pty);
        if (sim.linkPath().isEmpty() || !OpenOn(sim)) {
            std::fprintf(stderr, "zop-sim did not start on a pseudo-terminal\n");
            return 1;
        }
        std::printf("A 2-second time-out against a silent instrument\n");
        for (int run = 0; run < 3; ++run) {
            qint32 got = 0;
            double wall = 0;
            const double percent = CpuPercent(
                [&] {
                    SendCommand(QStringLiteral("<>STA"), false);
                    QString reply;
                    got = ReadStatusReply(reply, 2, false);
                },
                &wall);
            std::printf("  run %d: returned %d after %.3f s: CPU %.2f %% of one core\n", run + 1,
                        got, wall, percent);
        }

        // Reference: the same wait polling the port without blocking.
        Transport &port = *Comm().CommControl;
        double wall = 0;
        const double percent = CpuPercent(
            [&] {
                QElapsedTimer timer;
                timer.start();
                while (timer.elapsed() < 2000)
                    port.takeAll();
            },
            &wall);
        std::printf("  reference, polling without blocking for %.1f s: CPU %.1f %% of one core\n",
                    wall, percent);
        Comm().CloseLink();
    }
    ShutDownModData();
    return 0;
}
