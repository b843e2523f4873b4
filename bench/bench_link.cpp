// Benchmarks of the link against zop-sim on loopback:
//  - the round trip of one "<>STA" query through SendCommand + ReadReply, next to the same
//    exchange on a bare socket (what the emulator and the loopback take by themselves);
//  - the start-up of zop-panel up to the end of its state refresh.
// Usage: bench_link [exchanges (default 1000)] [start-ups (default 20)]

#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/logsink.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zop;
using namespace zop::test;

namespace {

struct Stats {
    double median = 0;
    double p99 = 0;
};

Stats Summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    if (samples.empty())
        return {};
    return {samples[samples.size() / 2], samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

std::vector<double> BareSocketRoundTrips(quint16 port, int count)
{
    std::vector<double> us;
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(3000))
        return us;
    QElapsedTimer timer;
    for (int i = 0; i < count; ++i) {
        timer.start();
        socket.write("<>STA\n");
        socket.flush();
        QByteArray reply;
        while (!reply.endsWith('\n') && socket.waitForReadyRead(2000))
            reply += socket.readAll();
        us.push_back(timer.nsecsElapsed() / 1000.0);
    }
    return us;
}

std::vector<double> CommLayerRoundTrips(quint16 port, int count)
{
    std::vector<double> us;
    ModData &data = modData();
    data.CommKind = LinkKind::TcpIp;
    data.CommAddress = QStringLiteral("127.0.0.1");
    data.CommPort = port;
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
    return us;
}

std::vector<double> StartupTimes(quint16 port, int count, std::vector<double> &inProcess)
{
    std::vector<double> ms;
    QTemporaryDir dir;
    if (!WritePanelConfig(dir.path(), {{"Communication", "Comm", "TCP/IP"},
                                       {"Communication", "Port", QString::number(port)}}))
        return ms;
    static const QRegularExpression took(QStringLiteral("start-up: ([0-9.]+) ms"));
    for (int i = 0; i < count; ++i) {
        QProcess panel;
        panel.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        panel.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        panel.start(BinaryPath(QStringLiteral("zop-panel")),
                    {QStringLiteral("--dir"), dir.path(), QStringLiteral("--startup-only")});
        panel.waitForFinished(15000);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        const auto match = took.match(QString::fromLatin1(panel.readAllStandardOutput()));
        if (match.hasMatch())
            inProcess.push_back(match.captured(1).toDouble());
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int startups = argc > 2 ? std::max(1, atoi(argv[2])) : 20;

    SimProcess sim;
    if (sim.port() == 0) {
        std::fprintf(stderr, "zop-sim did not start\n");
        return 1;
    }
    const Stats bare = Summarise(BareSocketRoundTrips(sim.port(), exchanges));
    const Stats layer = Summarise(CommLayerRoundTrips(sim.port(), exchanges));
    std::printf("<>STA round trip over %d exchanges (microseconds)\n", exchanges);
    std::printf("  bare socket:       median %8.1f   p99 %8.1f\n", bare.median, bare.p99);
    std::printf("  comm layer:        median %8.1f   p99 %8.1f\n", layer.median, layer.p99);
    std::printf("  layer overhead:    median %8.1f   p99 %8.1f\n", layer.median - bare.median,
                layer.p99 - bare.p99);

    std::vector<double> inProcess;
    const Stats process = Summarise(StartupTimes(sim.port(), startups, inProcess));
    const Stats refresh = Summarise(inProcess);
    std::printf("zop-panel start-up over %d runs (milliseconds)\n", startups);
    std::printf("  process start to end of state refresh: median %7.1f   p99 %7.1f\n",
                refresh.median, refresh.p99);
    std::printf("  whole process, start to exit:          median %7.1f   p99 %7.1f\n",
                process.median, process.p99);
    ShutDownModData();
    return 0;
}
