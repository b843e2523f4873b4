#include "link/tcptransport.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTimer>

namespace zop {

namespace {
// The error number a socket control gives for a command on a connection that is not up.
constexpr long NotConnectedError = 40006;

// Runs window events until one of the socket's signals fires or `ms` pass.
template <typename... Signals>
void WaitForSignal(QTcpSocket &socket, int ms, Signals... which)
{
    QEventLoop loop;
    (QObject::connect(&socket, which, &loop, &QEventLoop::quit), ...);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}
} // namespace

bool IsDiallableHost(const QString &host)
{
    if (QHostAddress(host).protocol() != QAbstractSocket::UnknownNetworkLayerProtocol)
        return true;
    if (host.isEmpty() || host.size() > 253)
        return false;
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    const QStringList labels = host.endsWith(QLatin1Char('.')) ? host.chopped(1).split(QLatin1Char('.'))
                                                                : host.split(QLatin1Char('.'));
    for (const QString &part : labels) {
        if (!label.match(part).hasMatch())
            return false;
    }
    return true;
}

TcpTransport::TcpTransport(QString host, qint32 port) : m_host(std::move(host)), m_port(port) {}

TcpTransport::~TcpTransport() { m_socket.abort(); }

void TcpTransport::open()
{
    m_socket.abort();
    // A port no socket can have, or an address that is neither an IP address nor a host name,
    // is never dialled: the first command then fails as with any connection that is not up.
    if (m_port <= 0 || m_port > 65535 || !IsDiallableHost(m_host))
        return;
    m_socket.connectToHost(m_host, quint16(m_port));
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        return;
    // A refused connection or an unknown host ends the wait at once; the outcome is the same
    // as after the full wait, only sooner.
    WaitForSignal(m_socket, ConnectWaitMs, &QTcpSocket::connected, &QTcpSocket::errorOccurred);
}

void TcpTransport::close() { m_socket.abort(); }

bool TcpTransport::isOpen() const { return m_socket.state() != QAbstractSocket::UnconnectedState; }

bool TcpTransport::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

LinkError TcpTransport::error(const QString &fallbackDescription) const
{
    if (m_socket.error() != QAbstractSocket::UnknownSocketError)
        return LinkError{m_socket.errorString(), controlName(), long(m_socket.error())};
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

QByteArray TcpTransport::takeAll()
{
    QByteArray bytes = m_socket.readAll();
    if (bytes.isEmpty() && !isConnected())
        throw error(QStringLiteral("The connection to the instrument was closed"));
    return bytes;
}

void TcpTransport::waitForInput(int ms, bool runEvents)
{
    if (!isConnected() || ms <= 0)
        return;
    if (runEvents)
        WaitForSignal(m_socket, ms, &QTcpSocket::readyRead, &QTcpSocket::disconnected,
                      &QTcpSocket::errorOccurred);
    else
        m_socket.waitForReadyRead(ms);
}

} // namespace zop
