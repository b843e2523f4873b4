#include "ptypeer.h"

#include "link/commlayer.h"
#include "link/transports.h"

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
    switch (::cfgetospeed(&settings)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    default: return 0;
    }
}

QString Escape(const QByteArray &bytes)
{
    QString out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out += c == '\n' ? QStringLiteral("\\n")
             : c == '\r' ? QStringLiteral("\\r")
             : u < 0x20 || u >= 0x7F ? QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'))
                                    : QString(QLatin1Char(c));
    }
    return out;
}

} // namespace

QString Describe(const QList<LineEvent> &events)
{
    QStringList parts;
    for (const LineEvent &e : events) {
        if (e.kind == LineEvent::Kind::Wait)
            parts << QStringLiteral("wait %1").arg(e.waitMs);
        else
            parts << QStringLiteral("%1:%2").arg(e.baud).arg(Escape(e.bytes));
    }
    return parts.join(QStringLiteral(" | "));
}

PtyPeer::PtyPeer(Responder responder) : m_responder(std::move(responder))
{
    m_clock.start();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        closeLocked();
        return;
    }
    char name[128] = {};
    ::ptsname_r(m_master, name, sizeof name);
    m_devicePath = QString::fromLocal8Bit(name);
    // Our own handle on the program end keeps the line up while the program reopens it.
    m_keepOpen = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (m_keepOpen < 0 || ::tcgetattr(m_keepOpen, &settings) != 0) {
        closeLocked();
        return;
    }
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
        if (master >= 0) {
            pollfd fd{master, POLLIN, 0};
            ::poll(&fd, 1, timeout);
        } else {
            QThread::msleep(5);
        }
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
                    if (m_responder) {
                        for (const Reply &reply : m_responder(m_unit))
                            m_pending.append({nowMs() + reply.afterMs, reply});
                    }
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
        int waiting = 0;
        if (m_master >= 0)
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

SerialFixture::~SerialFixture() { Comm().CommControl.reset(); }

bool SerialFixture::open(qint16 kind)
{
    modData().CommKind = kind;
    return OpenLink();
}

QString Query(const QString &command)
{
    SendCommand(command, false);
    QString reply;
    ReadReply(reply, 2, false);
    return reply;
}

} // namespace zop::test
