#include "ptypeer.h"

#include "link/commlayer.h"
#include "link/transports.h"

#include <QDebug>
#include <QFile>
#include <QThread>

#include <algorithm>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zop::test {

namespace {

qint32 LineSpeed(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return -1;
    const speed_t speed = ::cfgetospeed(&settings);
    return speed == B9600 ? 9600 : speed == B19200 ? 19200 : speed == B38400 ? 38400 : 0;
}

} // namespace

QString Describe(const QList<LineEvent> &events)
{
    QString text;
    for (const LineEvent &e : events) {
        if (e.kind == LineEvent::Kind::Wait)
            QDebug(&text) << "| wait" << e.waitMs;
        else
            QDebug(&text) << "|" << e.baud << e.bytes; // the bytes quoted and escaped
    }
    return text;
}

PtyPeer::PtyPeer(Responder responder) : m_responder(std::move(responder))
{
    m_clock.start();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128] = {};
    termios settings{};
    // Our own handle on the program end keeps the line up while the program reopens it.
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || ::ptsname_r(m_master, name, sizeof name) != 0
        || (m_keepOpen = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) < 0
        || ::tcgetattr(m_keepOpen, &settings) != 0) {
        closeLocked();
        return;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B38400);
    ::cfsetospeed(&settings, B38400);
    ::tcsetattr(m_keepOpen, TCSANOW, &settings);
    m_linkPath = m_dir.filePath(QStringLiteral("ttyTEST0"));
    if (!QFile::link(m_devicePath, m_linkPath)) {
        closeLocked();
        return;
    }
    m_thread = std::thread([this] { run(); });
}

PtyPeer::~PtyPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    closeLocked();
}

void PtyPeer::closeLocked()
{
    // Like an unplugged adapter's device, the link goes too: the terminal's number may soon
    // belong to someone else.
    if (!m_linkPath.isEmpty())
        QFile::remove(m_linkPath);
    if (m_master >= 0)
        ::close(m_master);
    if (m_keepOpen >= 0)
        ::close(m_keepOpen);
    m_master = -1;
    m_keepOpen = -1;
}

void PtyPeer::closeLine()
{
    std::lock_guard lock(m_mutex);
    closeLocked();
}

void PtyPeer::write(const QByteArray &bytes)
{
    std::lock_guard lock(m_mutex);
    if (m_master >= 0)
        [[maybe_unused]] const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
}

void PtyPeer::run()
{
    while (!m_stop) {
        int master;
        int timeout = 5;
        {
            std::lock_guard lock(m_mutex);
            master = m_master;
            for (const Pending &p : m_pending)
                timeout = int(std::clamp<qint64>(p.dueMs - nowMs(), 0, timeout));
        }
        pollfd fd{master, POLLIN, 0}; // a closed line (-1) is no descriptor: the poll only waits
        ::poll(&fd, 1, timeout);
        std::lock_guard lock(m_mutex);
        if (m_master >= 0) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(m_master, buffer, sizeof buffer)) > 0) {
                const qint32 baud = LineSpeed(m_keepOpen);
                const QByteArray bytes(buffer, n);
                m_events.append(At(baud, bytes));
                m_lastReadMs = nowMs();
                for (char c : bytes) {
                    m_unit += c;
                    if (c != '\n' && c != '\r')
                        continue;
                    for (const Reply &reply : m_responder ? m_responder(m_unit) : QList<Reply>())
                        m_pending.append({nowMs() + reply.afterMs, reply});
                    m_unit.clear();
                }
            }
        }
        for (qsizetype i = 0; i < m_pending.size();) {
            if (m_pending[i].dueMs > nowMs()) {
                ++i;
                continue;
            }
            const Reply reply = m_pending.takeAt(i).reply;
            if (reply.closeLine)
                closeLocked();
            else if (m_master >= 0)
                [[maybe_unused]] const ssize_t w = ::write(m_master, reply.bytes.constData(), size_t(reply.bytes.size()));
        }
    }
}

void PtyPeer::settle()
{
    const qint64 start = nowMs();
    for (;;) {
        QThread::msleep(1);
        std::lock_guard lock(m_mutex);
        int waiting = 0; // stays 0 on a closed line
        ::ioctl(m_master, FIONREAD, &waiting);
        const qint64 now = nowMs();
        if ((waiting == 0 && now - std::max(start, m_lastReadMs) >= 10) || now - start > 2000)
            return;
    }
}

void PtyPeer::markWait(qint64 ms)
{
    settle();
    std::lock_guard lock(m_mutex);
    m_events.append(Wait(ms));
}

QList<LineEvent> PtyPeer::events() const
{
    std::lock_guard lock(m_mutex);
    QList<LineEvent> joined;
    for (const LineEvent &e : m_events) {
        if (e.kind == LineEvent::Kind::Bytes && !joined.isEmpty()
            && joined.last().kind == LineEvent::Kind::Bytes && joined.last().baud == e.baud)
            joined.last().bytes += e.bytes;
        else
            joined.append(e);
    }
    return joined;
}

void PtyPeer::clearEvents()
{
    std::lock_guard lock(m_mutex);
    m_events.clear();
}

SerialFixture::SerialFixture()
{
    Comm().setTransportFactory(
        [this](qint16 kind) { return MakeSerialTransport(kind, [this] { return listed; }); });
    Comm().LogTarget = &log;
}

} // namespace zop::test
