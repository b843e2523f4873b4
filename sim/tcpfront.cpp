#include "tcpfront.h"

#include "faults.h"
#include "instrument.h"
#include "session.h"
#include "trace.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QQueue>
#include <QTcpSocket>
#include <QTimer>

namespace zopsim {

namespace {

// One accepted connection: its socket, its session and the replies still waiting to go out.
class Connection : public QObject
{
public:
    Connection(QTcpSocket *socket, Instrument &instrument, FaultPlan *faults, Trace *trace,
               QObject *parent)
        : QObject(parent), m_socket(socket), m_session(instrument, faults), m_trace(trace)
    {
        m_socket->setParent(this);
        m_clock.start();
        m_sendTimer.setSingleShot(true);
        m_streamTimer.setInterval(TcpFront::StreamTickMs);
        connect(&m_sendTimer, &QTimer::timeout, this, [this] { sendDue(); });
        connect(&m_streamTimer, &QTimer::timeout, this, [this] { streamTick(); });
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { readAvailable(); });
        connect(m_socket, &QTcpSocket::disconnected, this, [this] { finish(); });
        connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                finish();
        });
    }

private:
    struct Pending
    {
        qint64 dueMs;
        LinkAction action;
    };

    void readAvailable()
    {
        while (!m_closing && m_socket->bytesAvailable() > 0) {
            const QByteArray chunk = m_socket->readAll();
            if (m_trace)
                m_trace->received(chunk);
            for (const LinkAction &action : m_session.receive(chunk))
                schedule(action);
        }
    }

    // Carries out actions in the order they arose: a reply held back by a late fault also
    // holds back every later reply of this connection.
    void schedule(const LinkAction &action)
    {
        if (m_closing)
            return;
        const qint64 now = m_clock.elapsed();
        if (action.delayMs <= 0 && m_queue.isEmpty()) {
            perform(action);
            return;
        }
        qint64 due = now + qMax(0, action.delayMs);
        if (!m_queue.isEmpty())
            due = qMax(due, m_queue.last().dueMs);
        m_queue.enqueue({due, action});
        armTimer();
    }

    void armTimer()
    {
        if (m_queue.isEmpty())
            return;
        m_sendTimer.start(int(qMax<qint64>(0, m_queue.head().dueMs - m_clock.elapsed())));
    }

    void sendDue()
    {
        while (!m_closing && !m_queue.isEmpty() && m_queue.head().dueMs <= m_clock.elapsed())
            perform(m_queue.dequeue().action);
        armTimer();
    }

    void perform(const LinkAction &action)
    {
        switch (action.kind) {
        case LinkAction::Kind::Send:
            if (!m_stream.isActive())
                send(action.bytes);
            break;
        case LinkAction::Kind::Close:
            m_closing = true;
            m_queue.clear();
            m_streamTimer.stop();
            m_socket->disconnectFromHost();
            break;
        case LinkAction::Kind::Stream:
            if (!m_stream.isActive()) {
                m_stream.start(action);
                m_streamTimer.start();
                streamTick();
            }
            break;
        }
    }

    void send(const QByteArray &bytes)
    {
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        if (m_trace)
            m_trace->sent(bytes);
        m_socket->write(bytes);
    }

    void streamTick()
    {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_streamTimer.stop();
            return;
        }
        if (m_socket->bytesToWrite() > TcpFront::StreamBacklog)
            return; // the client does not read; wait rather than pile up memory
        // A flood goes out as fast as the client takes it.
        send(m_stream.take(m_stream.isBounded() ? TcpFront::StreamBacklog : TcpFront::StreamChunk));
        if (!m_stream.isActive())
            m_streamTimer.stop();
    }

    void finish()
    {
        m_closing = true;
        m_sendTimer.stop();
        m_streamTimer.stop();
        deleteLater();
    }

    QTcpSocket *m_socket;
    Session m_session;
    Trace *m_trace;
    QElapsedTimer m_clock;
    QQueue<Pending> m_queue;
    QTimer m_sendTimer;
    QTimer m_streamTimer;
    StreamSource m_stream;
    bool m_closing = false;
};

} // namespace

TcpFront::TcpFront(Instrument &instrument, FaultPlan *faults, Trace *trace, QObject *parent)
    : QObject(parent), m_instrument(instrument), m_faults(faults), m_trace(trace)
{
}

bool TcpFront::serve(const QList<QHostAddress> &addresses, quint16 port)
{
    m_servers.clear();
    m_addresses.clear();
    m_port = port;
    for (const QHostAddress &address : addresses) {
        if (m_addresses.contains(address))
            continue;
        auto server = std::make_unique<QTcpServer>();
        if (!server->listen(address, m_port)) {
            m_error = QStringLiteral("%1: %2").arg(address.toString(), server->errorString());
            m_servers.clear();
            m_addresses.clear();
            return false;
        }
        m_port = server->serverPort(); // the first one picks a free port for the rest
        connect(server.get(), &QTcpServer::newConnection, this,
                [this, s = server.get()] { acceptConnections(*s); });
        m_servers.push_back(std::move(server));
        m_addresses << address;
    }
    return true;
}

bool TcpFront::listen(quint16 port)
{
    return serve({QHostAddress(QHostAddress::LocalHost)}, port);
}

bool TcpFront::listenAlso(const QHostAddress &address, QString *error)
{
    m_standing << address;
    if (m_addresses.contains(address))
        return true;
    auto server = std::make_unique<QTcpServer>();
    if (!server->listen(address, m_port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString()).arg(m_port).arg(server->errorString());
        return false;
    }
    connect(server.get(), &QTcpServer::newConnection, this,
            [this, s = server.get()] { acceptConnections(*s); });
    m_servers.push_back(std::move(server));
    m_addresses << address;
    return true;
}

bool TcpFront::moveTo(const QHostAddress &address, quint16 port, QString *error)
{
    const QList<QHostAddress> oldAddresses = m_addresses;
    const quint16 oldPort = m_port;
    // Listen anew before the connections drop, so a client that reconnects at once finds
    // the new port open.
    const bool moved = serve(QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)}
                                 + m_standing + QList<QHostAddress>{address},
                             port);
    if (!moved) {
        *error = m_error;
        serve(oldAddresses, oldPort);
    }
    for (QTcpSocket *socket : findChildren<QTcpSocket *>())
        socket->disconnectFromHost(); // its connection deletes itself
    return moved;
}

void TcpFront::acceptConnections(QTcpServer &server)
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        if (m_faults && m_faults->dropsConnections()) {
            if (m_trace)
                m_trace->note("dropped a connection at once");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        new Connection(socket, m_instrument, m_faults, m_trace, this);
    }
}

} // namespace zopsim
