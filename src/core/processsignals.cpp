#include "core/processsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zop {

#ifdef Q_OS_UNIX
namespace {
// A signal handler may do little: it writes one byte into a pipe, which the event loop reads.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

void QuitOnTerminationSignals(QCoreApplication &app)
{
    if (g_signalPipe[0] >= 0 || ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // once is enough
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }
#else
void QuitOnTerminationSignals(QCoreApplication &) {}
void IgnoreFileSizeSignal() {}
#endif

} // namespace zop
