#include "cli/interrupt.h"

#include <QEventLoop>
#include <QTimer>
#include <limits>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zop::cli {

#ifdef Q_OS_UNIX
namespace {
int g_pipe[2] = {-1, -1};

void OnSignal(int signal)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    std::signal(signal, SIG_DFL);
}
} // namespace
#endif

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
