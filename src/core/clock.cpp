#include "core/clock.h"

#include <QThread>

namespace zop {

void SteadyClock::sleepMs(qint64 ms)
{
    // QThread::msleep may wake early on a signal; sleep again for what is left.
    const qint64 until = elapsedMs() + ms;
    for (qint64 left = ms; left > 0; left = until - elapsedMs())
        QThread::msleep(static_cast<unsigned long>(left));
}

} // namespace zop
