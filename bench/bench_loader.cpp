// Benchmark of a programming run against zop-sim's boot loader on a pseudo-terminal at
// 19200 baud with the emulator keeping to the line speed: how long the erase and load phases
// take next to the line time of every byte exchanged in them (packets out, acknowledgements
// back), and the CPU this program uses meanwhile. The run then restarts the instrument and
// waits for it as it would in the field (a few seconds more).
// Usage: bench_loader [image KiB (default 120)] [--no-throttle]

#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/logsink.h"
#include "loader/hexrecords.h"
#include "loader/programmingrun.h"
#include "hexfiles.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace zop;
using namespace zop::test;

namespace {

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int kib = args.size() > 1 && args.at(1).toInt() > 0 ? args.at(1).toInt() : 120;
    const bool throttle = !args.contains(QStringLiteral("--no-throttle"));

    QTemporaryDir dir;
    const QByteArray text = HexText(Pattern(kib * 1024, 1));
    const QString hex = dir.filePath(QStringLiteral("fw.hex"));
    {
        QFile file(hex);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 1;
    }

    // The bytes the erase and load phases exchange: every packet and a 5-byte acknowledgement
    // for each (command 0x01 and 0x02 acknowledge without escapes).
    qint64 bytes = 0;
    int packets = 0;
    quint32 a = ProgrammingRun::FirstEraseAddress;
    while (a <= ProgrammingRun::LastEraseAddress) {
        if (a > ProgrammingRun::EraseBlock)
            a &= ~(ProgrammingRun::EraseBlock - 1);
        bytes += Create_Erase(a).size();
        ++packets;
        a += ProgrammingRun::EraseBlock;
    }
    int page = 0;
    for (const QString &line : SplitHexText(text)) {
        const int type = RecordType(line);
        if (type == HexType::ExtendedLinear)
            page = RecordPage(line);
        if (type != HexType::Data || line.isEmpty() || (page == 0 && RecordAddressText(line) == "0000"))
            continue;
        bytes += Create_Write(line, page).size();
        ++packets;
    }
    bytes += qint64(packets) * 5;
    const double lineSeconds = double(bytes) * 10.0 / 19200.0;

    QStringList simArgs{QStringLiteral("--boot-loader")};
    if (throttle)
        simArgs << QStringLiteral("--baud-throttle");
    SimProcess sim(simArgs, SimLine::Pty);
    if (sim.linkPath().isEmpty()) {
        std::fprintf(stderr, "bench_loader: zop-sim did not start\n");
        return 1;
    }
    ModData &data = modData();
    TextLog log;
    data.comm.LogTarget = &log;
    data.CommKind = LinkKind::Rs232;
    data.CommDevice = sim.linkPath();
    if (!OpenLink())
        return 1;

    ProgrammingRun run;
    QElapsedTimer wall;
    double cpuStart = 0, cpuEnd = 0;
    qint64 startNs = 0, endNs = 0;
    const int loadEnd = int(SplitHexText(text).size()) - 2; // the end record's line
    QObject::connect(&run, &ProgrammingRun::statusChanged, [&](LoaderStatus s) {
        if (s == LoaderStatus::Erasing) {
            startNs = wall.nsecsElapsed();
            cpuStart = CpuSeconds();
        }
    });
    QObject::connect(&run, &ProgrammingRun::progressChanged, [&](int, int max, int value) {
        if (max == loadEnd + 1 && value == loadEnd && endNs == 0) {
            endNs = wall.nsecsElapsed();
            cpuEnd = CpuSeconds();
        }
    });
    QEventLoop loop;
    QObject::connect(&run, &ProgrammingRun::activeChanged, [&](bool active) {
        if (!active)
            loop.quit();
    });
    wall.start();
    run.Start(hex);
    if (run.isActive())
        loop.exec();
    if (endNs == 0) {
        std::fprintf(stderr, "bench_loader: the run did not finish its load phase\n");
        return 1;
    }
    const double seconds = double(endNs - startNs) / 1e9;
    std::printf("programming %d KiB (%d packets, %lld bytes exchanged) at 19200 baud%s\n", kib,
                packets, static_cast<long long>(bytes), throttle ? "" : " (no throttle)");
    std::printf("  erase + load: %.2f s, line time %.2f s, ratio %.3f (target <= 1.10)\n", seconds,
                lineSeconds, seconds / lineSeconds);
    std::printf("  CPU of this program meanwhile: %.2f %% of one core (target < 5 %%)\n",
                100.0 * (cpuEnd - cpuStart) / seconds);
    return 0;
}
