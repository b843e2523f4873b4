#include "link/tcptransport.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QThread>
#include <QTimer>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

namespace zop {

namespace {
// The error number a socket control gives for a command on a connection that is not up.
constexpr long NotConnectedError = 40006;
constexpr long HostNotFoundNumber = 11001;
constexpr long AddressNotAvailableNumber = 10049;
} // namespace

bool IsDiallableHost(const QString &host)
{
    if (QHostAddress(host).protocol() != QAbstractSocket::UnknownNetworkLayerProtocol)
        return true;
    if (host.isEmpty() || host.size() > 253)
        return false;
    const QString name = host.endsWith(QLatin1Char('.')) ? host.chopped(1) : host;
    for (const QString &label : name.split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.size() > 63)
            return false;
        for (QChar c : label) {
            if (c.isSpace() || c.category() == QChar::Other_Control)
                return false;
        }
    }
    return true;
}

long SocketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return HostNotFoundNumber;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::NetworkError: return 10050;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return AddressNotAvailableNumber;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    default: return NotConnectedError;
    }
}

TcpTransport::TcpTransport(QString host, qint32 port, int connectWaitMs)
    : m_host(std::move(host)), m_port(port), m_connectWaitMs(connectWaitMs)
{
    m_socket.setReadBufferSize(ReceiveBufferBytes);
}

TcpTransport::~TcpTransport() { m_socket.abort(); }

void TcpTransport::runEvents(int ms)
{
    QEventLoop loop;
    QObject::connect(&m_socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    m_waits.push_back(&loop);
    loop.exec();
    m_waits.erase(std::find(m_waits.begin(), m_waits.end(), &loop));
}

void TcpTransport::open()
{
    m_socket.abort();
    m_closed = false;
    m_notDialled.reset();
    m_lastAttemptError.reset();
    // A port no socket can have, or an address no resolver can take, is never dialled: the
    // first command then fails and its record says why.
    if (m_port <= 0 || m_port > 65535) {
        m_notDialled = LinkError{QStringLiteral("%1 is not a TCP port").arg(m_port), controlName(),
                                 AddressNotAvailableNumber};
        return;
    }
    if (!IsDiallableHost(m_host)) {
        m_notDialled = LinkError{
            QStringLiteral("\"%1\" is not a host name or an IP address").arg(m_host),
            controlName(), HostNotFoundNumber};
        return;
    }
    const QDeadlineTimer deadline(m_connectWaitMs);
    for (;;) {
        m_socket.connectToHost(m_host, quint16(m_port));
        while (!m_closed && !deadline.hasExpired()
               && (m_socket.state() == QAbstractSocket::HostLookupState
                   || m_socket.state() == QAbstractSocket::ConnectingState))
            runEvents(int(deadline.remainingTime()));
        // Only a refused connection is worth another try: nobody listens yet.
        if (m_closed || isConnected() || m_socket.error() != QAbstractSocket::ConnectionRefusedError)
            return;
        m_lastAttemptError = LinkError{m_socket.errorString(), controlName(),
                                       SocketErrorNumber(m_socket.error())};
        if (deadline.remainingTime() <= ConnectRetryMs)
            return;
        runEvents(ConnectRetryMs);
        // On a busy machine the pause can outlast the wait: no attempt is started then.
        if (m_closed || deadline.hasExpired())
            return;
    }
}

void TcpTransport::close()
{
    m_closed = true;
    m_socket.abort();
    for (QEventLoop *loop : m_waits)
        loop->quit();
}

bool TcpTransport::isOpen() const { return m_socket.state() != QAbstractSocket::UnconnectedState; }

bool TcpTransport::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

LinkError TcpTransport::error(const QString &fallbackDescription) const
{
    if (m_notDialled)
        return *m_notDialled;
    const QAbstractSocket::SocketError e = m_socket.error();
    if (e == QAbstractSocket::HostNotFoundError)
        return LinkError{QStringLiteral("The host name \"%1\" could not be resolved (%2)")
                             .arg(m_host, m_socket.errorString()),
                         controlName(), SocketErrorNumber(e)};
    if (e != QAbstractSocket::UnknownSocketError)
        return LinkError{m_socket.errorString(), controlName(), SocketErrorNumber(e)};
    if (m_lastAttemptError && !isConnected())
        return *m_lastAttemptError;
    return LinkError{fallbackDescription, controlName(), NotConnectedError};
}

void TcpTransport::write(const QByteArray &bytes)
{
    if (!isConnected())
        throw error(QStringLiteral(
            "Wrong protocol or connection state for the requested transaction or request"));
    if (m_socket.write(bytes) != bytes.size())
        throw error(QStringLiteral("The command could not be sent"));
    m_socket.flush();
}

qint64 TcpTransport::unsentBytes() const
{
    qint64 unsent = m_socket.bytesToWrite();
#ifdef Q_OS_LINUX
    int queued = 0;
    if (m_socket.socketDescriptor() >= 0
        && ::ioctl(int(m_socket.socketDescriptor()), SIOCOUTQ, &queued) == 0)
        unsent += queued;
#endif
    return unsent;
}

bool TcpTransport::finishWriting(int stallMs, const std::function<bool()> &cancelled)
{
    // Closing aborts the socket, which throws away what Qt still holds.
    constexpr int SliceMs = 20;
    QDeadlineTimer stalled(stallMs);
    qint64 last = unsentBytes();
    while (last > 0 && isConnected()) {
        if ((cancelled && cancelled()) || stalled.hasExpired())
            return false;
        if (m_socket.bytesToWrite() > 0)
            m_socket.waitForBytesWritten(SliceMs);
        else // in the system's queue: no event tells when the peer acknowledges it
            QThread::msleep(SliceMs / 4);
        const qint64 now = unsentBytes();
        if (now < last)
            stalled.setRemainingTime(stallMs);
        last = now;
    }
    return last == 0;
}

QByteArray TcpTransport::takeAll() { return takeUpTo(ReceiveBufferBytes); }

QByteArray TcpTransport::takeUpTo(qint64 maxBytes)
{
    QByteArray bytes = m_socket.read(std::clamp<qint64>(maxBytes, 0, ReceiveBufferBytes));
    if (bytes.isEmpty() && !isConnected())
        throw error(QStringLiteral("The connection to the instrument was closed"));
    return bytes;
}

void TcpTransport::waitForInput(int ms, bool runEventsMeanwhile)
{
    if (!isConnected() || ms <= 0 || m_socket.bytesAvailable() > 0)
        return;
    if (runEventsMeanwhile)
        runEvents(ms);
    else
        m_socket.waitForReadyRead(ms);
}

} // namespace zop
