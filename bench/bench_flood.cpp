// Memory and processor time of the program while an instrument floods the link:
//  - TCP/IP and a pseudo-terminal after a fall-back to Simulated mode (nothing reads the
//    link any more while the far end keeps sending as fast as it can);
//  - TCP/IP while polled five times a second by an instrument that sends well-formed lines
//    without end.
// Prints the resident memory at the start and end of each run, its largest value and the
// processor time the program's thread used (the flooding thread is not counted). Usage: bench_flood [seconds per run (default 60)]

#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/logsink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <time.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace zop;

namespace {

double RssMb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Writes `pattern` to the file descriptor as fast as it takes it until told to stop.
void Flood(int fd, const QByteArray &pattern, const std::atomic<bool> &stop)
{
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += pattern;
    while (!stop) {
        const ssize_t n = ::write(fd, block.constData(), size_t(block.size()));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (n <= 0)
            usleep(1000);
    }
}

// A listener on 127.0.0.1 that floods the first connection in a thread of its own.
struct TcpFlooder {
    explicit TcpFlooder(QByteArray pattern)
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0
            || ::listen(listener, 1) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        thread = std::thread([this, pattern] {
            connection = ::accept(listener, nullptr, nullptr);
            if (connection < 0)
                return;
            ::fcntl(connection, F_SETFL, ::fcntl(connection, F_GETFL) | O_NONBLOCK);
            Flood(connection, pattern, stop);
        });
    }
    ~TcpFlooder()
    {
        stop = true;
        if (connection >= 0)
            ::shutdown(connection, SHUT_RDWR);
        ::shutdown(listener, SHUT_RDWR);
        if (thread.joinable())
            thread.join();
        ::close(connection);
        ::close(listener);
    }
    int listener = -1;
    std::atomic<int> connection{-1};
    quint16 port = 0;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// A pseudo-terminal whose far end floods the program's end in a thread of its own.
struct PtyFlooder {
    PtyFlooder()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        device = QString::fromLocal8Bit(::ptsname(master));
    }
    void start()
    {
        thread = std::thread([this] { Flood(master, "0123456789ABCDEF", stop); });
    }
    ~PtyFlooder()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        ::close(master);
    }
    int master = -1;
    QString device;
    std::atomic<bool> stop{false};
    std::thread thread;
};

struct Run {
    double startMb = 0, endMb = 0, maxMb = 0, cpuSeconds = 0;
    int polls = 0;
};

// Processor time of the calling thread (the program's), not of the flooding one.
double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Runs window events for `seconds`, polling "<>STA" every 200 ms when `poll` is set.
Run Measure(int seconds, bool poll)
{
    Run run;
    run.startMb = run.maxMb = RssMb();
    const double cpu = ThreadCpuSeconds();
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { run.maxMb = std::max(run.maxMb, RssMb()); });
    sample.start(250);
    QTimer poller;
    QObject::connect(&poller, &QTimer::timeout, [&] {
        QString reply;
        SendCommand(QStringLiteral("<>STA"), false);
        ReadStatusReply(reply, 2, false);
        ++run.polls;
    });
    if (poll)
        poller.start(200);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    run.endMb = RssMb();
    run.maxMb = std::max(run.maxMb, run.endMb);
    run.cpuSeconds = ThreadCpuSeconds() - cpu;
    return run;
}

void Print(const char *name, const Run &run, int seconds)
{
    std::printf("%-44s RSS %.1f -> %.1f MB (largest %.1f MB), CPU %.1f s of %d s (%.0f%%)",
                name, run.startMb, run.endMb, run.maxMb, run.cpuSeconds, seconds,
                100.0 * run.cpuSeconds / seconds);
    if (run.polls)
        std::printf(", %d polls", run.polls);
    std::printf("\n");
    std::fflush(stdout);
}

// Reads one reply; the flood never ends one with a line feed, so this times out and the
// program falls back to Simulated mode.
void FallBack()
{
    SendCommand(QStringLiteral("<>STA"), false);
    QString reply;
    ReadReply(reply, 2, false);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    ModData &data = modData();
    TextLog log;
    data.comm.LogTarget = &log;
    data.comm.QuietMode = true;

    {
        TcpFlooder flooder("x");
        data.CommKind = LinkKind::TcpIp;
        data.CommAddress = QStringLiteral("127.0.0.1");
        data.CommPort = flooder.port;
        OpenLink();
        FallBack();
        if (data.CommKind != LinkKind::Simulated)
            std::printf("TCP/IP: no fall-back\n");
        Print("TCP/IP flood after a fall-back:", Measure(seconds, false), seconds);
        data.CommKind = LinkKind::Simulated;
        OpenLink();
    }
    {
        PtyFlooder flooder;
        data.CommKind = LinkKind::Rs232;
        data.CommDevice = flooder.device;
        OpenLink();
        flooder.start();
        FallBack();
        if (data.CommKind != LinkKind::Simulated)
            std::printf("pseudo-terminal: no fall-back\n");
        Print("Pseudo-terminal flood after a fall-back:", Measure(seconds, false), seconds);
        data.CommKind = LinkKind::Simulated;
        OpenLink();
    }
    {
        TcpFlooder flooder("1F4,0,48,0,0\r\n");
        data.CommKind = LinkKind::TcpIp;
        data.CommPort = flooder.port;
        OpenLink();
        Print("TCP/IP lines without end, polled at 5 Hz:", Measure(seconds, true), seconds);
        data.CommKind = LinkKind::Simulated;
        OpenLink();
    }
    ShutDownModData();
    return 0;
}
