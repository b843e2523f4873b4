// The TCP/IP link on loopback against an in-process listener: an exchange, a refused connection
// and one that comes up late, error numbers, addresses never dialled, a connection dropped
// before the reply, a re-opening during a read, a flood nobody reads.

#include "link/commlayer.h"
#include "link/logsink.h"
#include "link/tcptransport.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// A listener on 127.0.0.1 that hands every received line to `onLine`.
class Listener : public QObject {
public:
    std::function<void(QTcpSocket *, const QByteArray &)> onLine;
    QByteArray received;

    Listener()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    const QByteArray bytes = s->readAll();
                    received += bytes;
                    m_buffer += bytes;
                    qsizetype nl;
                    while ((nl = m_buffer.indexOf('\n')) >= 0) {
                        const QByteArray line = m_buffer.left(nl);
                        m_buffer.remove(0, nl + 1);
                        if (onLine && !line.isEmpty())
                            onLine(s, line);
                    }
                });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QTcpServer server;

private:
    QByteArray m_buffer;
};

// Real time for socket waits; the program's own pauses (after closing a socket) are skipped.
class SkippingClock : public SteadyClock {
public:
    qint64 elapsedMs() const override { return SteadyClock::elapsedMs() + m_skipped; }
    void sleepMs(qint64 ms) override { m_skipped += ms; }

private:
    qint64 m_skipped = 0;
};

// A fixture whose links are the real transports, on the real clock. Opening waits
// `connectWaitMs` for a connection.
struct RealLink : Fixture {
    RealLink()
    {
        modData().clock = std::make_shared<SkippingClock>();
        Comm().setTransportFactory([this](qint16 kind) -> std::unique_ptr<Transport> {
            if (kind != LinkKind::TcpIp)
                return nullptr;
            return std::make_unique<TcpTransport>(modData().CommAddress, modData().CommPort,
                                                  connectWaitMs);
        });
        Comm().LogTarget = &log;
        modData().CommKind = LinkKind::TcpIp;
        modData().CommAddress = "127.0.0.1";
    }
    TextLog log;
    int connectWaitMs = 400;
};

quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class TestTcpLink : public QObject {
    Q_OBJECT
private slots:
    // Every way the first command can find the link gone ends in Simulated mode at once, with
    // the message and a record of why: a refused connection (tried again until the connection
    // wait is over, but counted as opened), a host or port never dialled (refused before
    // anything leaves the machine), a connection dropped before the reply.
    void fallsBackAtFirstUse_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port"); // 0: a port nobody listens on; -1: a listener that hangs up
        QTest::addColumn<int>("openMs"); // the least the opening takes
        QTest::addColumn<QStringList>("record"); // how it begins, then parts it holds
        const QString write = "\"Write Error:\r\nError Description: ";
        const auto row = [](const char *name, const QString &address, int port, int openMs, const QStringList &record) {
            QTest::newRow(name) << address << port << openMs << record;
        };
        row("refused", "127.0.0.1", 0, 250, {write, "\r\nError Source : tcpComm\r\nError #: 10061\"\r\n"});
        row("not a host name", "no such host", 50505, 0, {write + "\"no such host\" is not a host name or an IP address"});
        row("not a port", "127.0.0.1", 65536 + 80, 0, {write + "65616 is not a TCP port"});
        row("dropped before the reply", "127.0.0.1", -1, 0, {"\"Read Error:\r\n"});
    }

    void fallsBackAtFirstUse()
    {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(int, openMs);
        QFETCH(QStringList, record);
        RealLink f;
        Listener listener;
        listener.onLine = [](QTcpSocket *s, const QByteArray &) { s->disconnectFromHost(); };
        modData().CommAddress = address;
        modData().CommPort = port == 0 ? ClosedPort() : port < 0 ? listener.port() : port;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(OpenLink());
        QVERIFY2(timer.elapsed() >= openMs, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(f.prompter->shown.isEmpty());
        timer.restart();
        SendCommand(QStringLiteral("<>SCL"), false);
        QString reply;
        QCOMPARE(ReadReply(reply, 2, false), port < 0 ? 0 : 7); // then Simulated mode's answer
        QVERIFY2(timer.elapsed() < 1500, "noticed at once, not after the time-out");
        QCOMPARE(modData().CommKind, qint16(5));
        QCOMPARE(f.prompter->texts(), QStringList{"Device not Found.  Entering Simulated Mode!"});
        const QString debug = f.debugText();
        QVERIFY2(debug.startsWith(record.first()), qPrintable(debug));
        for (const QString &part : record)
            QVERIFY2(debug.contains(part), qPrintable(debug));
    }

    void listenerStartingLateIsReached()
    {
        RealLink f;
        f.connectWaitMs = 3000;
        const quint16 port = ClosedPort();
        modData().CommPort = port;
        QTcpServer late;
        QTimer::singleShot(200, &late, [&] { late.listen(QHostAddress::LocalHost, port); });
        QElapsedTimer timer;
        timer.start();
        QVERIFY(OpenLink());
        QVERIFY(Comm().CommControl->isConnected());
        QVERIFY(timer.elapsed() >= 200 && timer.elapsed() < 2500);
    }

    void socketErrorNumbers_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("number");
        QTest::newRow("refused") << int(QAbstractSocket::ConnectionRefusedError) << 10061;
        QTest::newRow("host not found") << int(QAbstractSocket::HostNotFoundError) << 11001;
        QTest::newRow("closed by the instrument") << int(QAbstractSocket::RemoteHostClosedError) << 10054;
        QTest::newRow("timed out") << int(QAbstractSocket::SocketTimeoutError) << 10060;
        QTest::newRow("unknown: not connected") << int(QAbstractSocket::UnknownSocketError) << 40006;
    }

    void socketErrorNumbers()
    {
        QFETCH(int, error);
        QFETCH(int, number);
        QCOMPARE(SocketErrorNumber(QAbstractSocket::SocketError(error)), long(number));
    }

    void exchangesAndReopensDuringARead()
    {
        // An exchange; then the instrument begins its reply and never finishes it, and while the
        // read waits (window events run), a menu re-opens the link: on a new connection (the
        // old one closed), then in Simulated mode.
        RealLink f;
        Listener listener;
        listener.onLine = [](QTcpSocket *s, const QByteArray &line) {
            s->write(line == "<>SCL" ? "3A98," : "1F4,0,48,0,0\r\n");
        };
        modData().CommPort = listener.port();
        QVERIFY(OpenLink());
        QString reply;
        SendCommand(QStringLiteral("<>STA"), true);
        QCOMPARE(ReadReply(reply, 2, true), 14);
        QCOMPARE(f.log.logText(), QString("TCP/IP - Initialized\r\n<>STA\n1F4,0,48,0,0\r\n"));
        QCOMPARE(listener.server.findChildren<QTcpSocket *>().size(), 1);
        QTcpSocket *first = listener.server.findChildren<QTcpSocket *>().first();
        for (qint16 reopenAs : {LinkKind::TcpIp, LinkKind::Simulated}) {
            QTimer::singleShot(100, [reopenAs] {
                modData().CommKind = reopenAs;
                OpenLink();
            });
            SendCommand(QStringLiteral("<>SCL"), false);
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(ReadReply(reply, 2, false), -1);
            QVERIFY(timer.elapsed() < 1500); // ended by the re-opening, not by the time-out
            QCOMPARE(reply, QString("3A98,"));
            QCOMPARE(modData().CommKind, reopenAs);
            QVERIFY(f.prompter->shown.isEmpty());
            if (reopenAs == LinkKind::TcpIp) {
                QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
                QVERIFY(Comm().CommControl->isConnected());
            }
        }
    }

    void floodAfterFallBackIsBounded()
    {
        // After a fall-back nothing reads the socket; the instrument sends 32 MB meanwhile.
        RealLink f;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QPointer<QTcpSocket> flooding;
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            flooding = server.nextPendingConnection();
            flooding->write(QByteArray(32 * 1024 * 1024, 'x'));
        });
        modData().CommPort = server.serverPort();
        QVERIFY(OpenLink());
        modData().CommKind = LinkKind::Simulated; // the socket stays open and unread
        QTRY_VERIFY(flooding);
        // Window events run until the flood stops moving.
        qint64 left = -1;
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && flooding && flooding->bytesToWrite() != left) {
            left = flooding->bytesToWrite();
            QTest::qWait(50);
        }
        QVERIFY2(Comm().CommControl->bufferedBytes() <= Transport::ReceiveBufferBytes,
                 qPrintable(QString::number(Comm().CommControl->bufferedBytes())));
        QVERIFY(Comm().CommControl->isConnected());
    }

    void diallableHosts_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("ok");
        QTest::newRow("IPv4") << "127.0.0.1" << true;
        QTest::newRow("IPv6") << "::1" << true;
        QTest::newRow("name") << "zop-psu.lab.example" << true;
        QTest::newRow("trailing dot") << "localhost." << true;
        QTest::newRow("blank inside") << "no such host" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("empty label") << "a..b" << false;
        QTest::newRow("hyphen at end: the resolver decides") << "psu-" << true;
        QTest::newRow("underscore: the resolver decides") << "my_psu" << true;
        QTest::newRow("control character") << "psu\x01" << false;
        QTest::newRow("too long label") << QString(64, QLatin1Char('a')) << false;
    }

    void diallableHosts()
    {
        QFETCH(QString, host);
        QTEST(IsDiallableHost(host), "ok");
    }
};

QTEST_GUILESS_MAIN(TestTcpLink)
#include "test_tcplink.moc"
