#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

namespace zopsim {

class FaultPlan;
class Instrument;
class Trace;

// Listens on 127.0.0.1 (or, after a network restart, another loopback address) and gives every connection its own Session (line buffer), all sharing
// one instrument. Replies delayed by a late fault wait on a timer, so other connections keep
// being served meanwhile; a connection that closes mid-line simply loses its partial line.
class TcpFront : public QObject
{
    Q_OBJECT

public:
    // Bytes a stream fault writes per tick, the tick, and the backlog at which it pauses.
    static constexpr int StreamChunk = 256;
    static constexpr int StreamTickMs = 20;
    static constexpr qint64 StreamBacklog = 64 * 1024;

    // faults and trace may be null.
    TcpFront(Instrument &instrument, FaultPlan *faults, Trace *trace, QObject *parent = nullptr);

    bool listen(quint16 port);
    // Drops every connection and listens on `address` and `port` instead; when that fails,
    // listens where it did before and returns false with the reason in `error`.
    bool moveTo(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const { return m_server.serverPort(); }
    QHostAddress address() const { return m_server.serverAddress(); }
    QString errorString() const { return m_server.errorString(); }

private:
    void acceptConnections();

    Instrument &m_instrument;
    FaultPlan *m_faults;
    Trace *m_trace;
    QTcpServer m_server;
};

} // namespace zopsim
