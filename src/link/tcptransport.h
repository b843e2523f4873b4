#pragma once
// The TCP/IP link: a client connection to the instrument's network interface.

#include "link/transport.h"

#include <QTcpSocket>
#include <optional>
#include <vector>

class QEventLoop;

namespace zop {

// False for an address no resolver can take (empty, blanks or control characters, an empty
// label, a label above 63 or a name above 253 characters): such an address is never looked
// up. Every other name is dialled and the resolver decides ("my_psu" may well be known).
bool IsDiallableHost(const QString &host);

// The number "debug.txt" records for a socket error: the one Windows sockets give it, which
// is what the instrument's documentation and its users know (10061 for a refused
// connection, 11001 for a host name that cannot be resolved).
long SocketErrorNumber(QAbstractSocket::SocketError error);

class TcpTransport : public Transport {
public:
    // Opening waits this long for the connection, letting window events run.
    static constexpr int ConnectWaitMs = 3000;
    // A refused connection is tried again after this pause, within the connection wait (the
    // instrument's server may be starting).
    static constexpr int ConnectRetryMs = 100;

    // `connectWaitMs`: how long opening waits for the connection.
    TcpTransport(QString host, qint32 port, int connectWaitMs = ConnectWaitMs);
    ~TcpTransport() override;

    // Starts connecting and waits until the connection is up, the host name cannot be
    // resolved, or ConnectWaitMs have passed; a refused connection is tried again meanwhile.
    // The link counts as opened even when the connection is not up: the first command then
    // fails and the program falls back to Simulated mode.
    void open() override;
    void close() override;
    bool isOpen() const override;
    bool isConnected() const override;
    void write(const QByteArray &bytes) override;
    bool finishWriting(int stallMs, const std::function<bool()> &cancelled) override;
    // What was written and has not yet been acknowledged by the peer: Qt's buffer and the
    // system's send queue (Linux; elsewhere Qt's buffer only).
    qint64 unsentBytes() const;
    QByteArray takeAll() override;
    QByteArray takeUpTo(qint64 maxBytes) override;
    void waitForInput(int ms, bool runEvents) override;
    qint64 bufferedBytes() const override { return m_socket.bytesAvailable(); }
    QString controlName() const override { return QStringLiteral("tcpComm"); }

    QTcpSocket &socket() { return m_socket; }

private:
    LinkError error(const QString &fallbackDescription) const;
    // Runs window events for at most `ms` or until the socket connects, receives, fails or
    // this transport is closed.
    void runEvents(int ms);

    QString m_host;
    qint32 m_port;
    int m_connectWaitMs;
    QTcpSocket m_socket;
    // Why the address was never dialled (reported by the first command).
    std::optional<LinkError> m_notDialled;
    // Why the last finished connection attempt failed; reported while a later attempt, cut
    // short by the end of the connection wait, is still under way.
    std::optional<LinkError> m_lastAttemptError;
    // The event loops of the waits now running, ended by close().
    std::vector<QEventLoop *> m_waits;
    bool m_closed = false;
};

} // namespace zop
