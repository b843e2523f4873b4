#pragma once
// The TCP/IP link: a client connection to the instrument's network interface.

#include "link/transport.h"

#include <QTcpSocket>

namespace zop {

// True for an IP address or a well-formed host name; anything else is never looked up.
bool IsDiallableHost(const QString &host);

class TcpTransport : public Transport {
public:
    // Opening waits this long for the connection, letting window events run.
    static constexpr int ConnectWaitMs = 3000;

    TcpTransport(QString host, qint32 port);
    ~TcpTransport() override;

    // Starts connecting and waits until the connection is up, refused, or ConnectWaitMs have
    // passed. The link counts as opened even when the connection is not up: the first command
    // then fails and the program falls back to Simulated mode.
    void open() override;
    void close() override;
    bool isOpen() const override;
    bool isConnected() const override;
    void write(const QByteArray &bytes) override;
    QByteArray takeAll() override;
    void waitForInput(int ms, bool runEvents) override;
    QString controlName() const override { return QStringLiteral("tcpComm"); }

    QTcpSocket &socket() { return m_socket; }

private:
    LinkError error(const QString &fallbackDescription) const;

    QString m_host;
    qint32 m_port;
    QTcpSocket m_socket;
};

} // namespace zop
