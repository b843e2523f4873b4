#include "cli/interrupt.h"

#include <QEventLoop>
#include <QTimer>
#include <limits>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>
#else
#include <csignal>
#endif

namespace zop::cli {

namespace {
volatile std::sig_atomic_t g_signal = 0;
} // namespace

#ifdef Q_OS_UNIX
namespace {
int g_pipe[2] = {-1, -1};

// How long after the first signal the program may still take to close its link.
constexpr suseconds_t DeadlineMicroseconds = 900000;

void OnSignal(int signal)
{
    if (g_signal == 0)
        g_signal = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    std::signal(signal, SIG_DFL);
    struct itimerval deadline { };
    deadline.it_value.tv_usec = DeadlineMicroseconds;
    ::setitimer(ITIMER_REAL, &deadline, nullptr);
}

// Something blocked past the deadline: the program ends as the signal asked.
void OnDeadline(int) { ::_exit(128 + (g_signal ? g_signal : SIGINT)); }
} // namespace
#endif

bool Interrupt::requested() const { return m_requested || g_signal != 0; }

int Interrupt::signalNumber() const { return g_signal ? int(g_signal) : (m_requested ? SIGINT : 0); }

Interrupt::Interrupt()
{
#ifdef Q_OS_UNIX
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        while (::read(g_pipe[0], &byte, 1) > 0) { }
        m_requested = true;
        emit raised();
    });
    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM})
        ::sigaction(signal, &action, nullptr);
    struct sigaction deadline { };
    deadline.sa_handler = OnDeadline;
    sigemptyset(&deadline.sa_mask);
    ::sigaction(SIGALRM, &deadline, nullptr);
#endif
}

void WaitInterruptibly(qint64 ms, const Interrupt &interrupt)
{
    if (ms <= 0 || interrupt.requested())
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&interrupt, &Interrupt::raised, &loop, &QEventLoop::quit);
    timer.start(int(qMin<qint64>(ms, std::numeric_limits<int>::max())));
    loop.exec();
}

} // namespace zop::cli
