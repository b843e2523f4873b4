#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <memory>
#include <vector>

namespace zopsim {

class FaultPlan;
class Instrument;
class Trace;

// Listens on 127.0.0.1 (and on further loopback addresses: the discovery responder's, a
// static address given to the network module) and gives every connection its own Session (line buffer), all sharing
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

    // Listens on 127.0.0.1.
    bool listen(quint16 port);
    // Serves on `address` too, at the same port, now and after every move.
    bool listenAlso(const QHostAddress &address, QString *error);
    // Drops every connection and listens on 127.0.0.1, the addresses above and `address`, at
    // `port`; when that fails, listens where it did before and returns false with the reason
    // in `error`.
    bool moveTo(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const { return m_port; }
    // Every address served, 127.0.0.1 first.
    QList<QHostAddress> addresses() const { return m_addresses; }
    QString errorString() const { return m_error; }

private:
    void acceptConnections(QTcpServer &server);

    Instrument &m_instrument;
    FaultPlan *m_faults;
    Trace *m_trace;
    // Serves `addresses` at `port` (0: any free one), and only them.
    bool serve(const QList<QHostAddress> &addresses, quint16 port);

    std::vector<std::unique_ptr<QTcpServer>> m_servers;
    QList<QHostAddress> m_addresses;
    QList<QHostAddress> m_standing; // from listenAlso
    quint16 m_port = 0;
    QString m_error;
};

} // namespace zopsim
