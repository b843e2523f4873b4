// The TCP/IP link on loopback against an in-process listener: connecting, exchanges, a refused
// connection, a connection dropped before the reply, a host name that cannot resolve.

#include "link/commlayer.h"
#include "link/logsink.h"
#include "link/tcptransport.h"
#include "testsupport.h"

#include <QElapsedTimer>
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

// A fixture whose links are the real transports, on the real clock.
struct RealLink : Fixture {
    RealLink()
    {
        modData().clock = std::make_shared<SteadyClock>();
        Comm().setTransportFactory([](qint16 kind) -> std::unique_ptr<Transport> {
            if (kind != LinkKind::TcpIp)
                return nullptr;
            return std::make_unique<TcpTransport>(modData().CommAddress, modData().CommPort);
        });
        Comm().LogTarget = &log;
        modData().CommKind = LinkKind::TcpIp;
        modData().CommAddress = "127.0.0.1";
    }
    TextLog log;
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
    void connectsAndExchanges();
    void refusedConnectionFallsBackAtFirstSend();
    void unresolvableHostFallsBackAtFirstSend();
    void droppedBeforeReply();
    void portOutOfRangeIsNeverDialled();
    void keepAliveReachesTheInstrument();
    void reopenClosesTheOldConnection();
    void diallableHosts_data();
    void diallableHosts();
};

void TestTcpLink::diallableHosts_data()
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
    QTest::newRow("hyphen at end") << "psu-" << false;
    QTest::newRow("underscore") << "my_psu" << false;
    QTest::newRow("too long label") << QString(64, QLatin1Char('a')) << false;
}

void TestTcpLink::diallableHosts()
{
    QFETCH(QString, host);
    QFETCH(bool, ok);
    QCOMPARE(IsDiallableHost(host), ok);
}

void TestTcpLink::connectsAndExchanges()
{
    RealLink f;
    Listener listener;
    listener.onLine = [](QTcpSocket *s, const QByteArray &line) {
        if (line == "<>STA")
            s->write("1F4,0,48,0,0\r\n");
    };
    modData().CommPort = listener.port();
    QVERIFY(OpenLink());
    QCOMPARE(f.log.logText(), QString("TCP/IP - Initialized\r\n"));
    QVERIFY(Comm().CommControl->isConnected());
    QString reply;
    SendCommand(QStringLiteral("<>STA"), true);
    QCOMPARE(ReadReply(reply, 2, true), 14);
    QCOMPARE(reply, QString("1F4,0,48,0,0\r\n"));
    QCOMPARE(f.log.logText(), QString("TCP/IP - Initialized\r\n<>STA\n1F4,0,48,0,0\r\n"));
    QCOMPARE(modData().CommKind, qint16(2));
}

void TestTcpLink::refusedConnectionFallsBackAtFirstSend()
{
    RealLink f;
    modData().CommPort = ClosedPort();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(OpenLink()); // counts as opened
    QVERIFY(timer.elapsed() < 2500);
    QCOMPARE(f.log.logText(), QString("TCP/IP - Initialized\r\n"));
    QVERIFY(f.prompter->shown.isEmpty());
    SendCommand(QStringLiteral("<>SCL"), false);
    QCOMPARE(modData().CommKind, qint16(5));
    QCOMPARE(f.prompter->texts(), QStringList{"Device not Found.  Entering Simulated Mode!"});
    QVERIFY(f.debugText().startsWith("\"Write Error:\r\nError Description: "));
    QVERIFY(f.debugText().contains("\r\nError Source : tcpComm\r\nError #: "));
}

void TestTcpLink::unresolvableHostFallsBackAtFirstSend()
{
    RealLink f;
    // Not a valid host name: refused before any lookup leaves the machine.
    modData().CommAddress = "no such host";
    modData().CommPort = 50505;
    QVERIFY(OpenLink());
    SendCommand(QStringLiteral("<>SCL"), false);
    QCOMPARE(modData().CommKind, qint16(5));
    QVERIFY(f.debugText().startsWith("\"Write Error:\r\n"));
}

void TestTcpLink::droppedBeforeReply()
{
    RealLink f;
    Listener listener;
    listener.onLine = [](QTcpSocket *s, const QByteArray &) { s->disconnectFromHost(); };
    modData().CommPort = listener.port();
    QVERIFY(OpenLink());
    SendCommand(QStringLiteral("<>ALL"), false);
    QString reply;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(ReadReply(reply, 2, false), 0);
    QVERIFY2(timer.elapsed() < 1500, "a dropped connection is noticed at once");
    QCOMPARE(modData().CommKind, qint16(5));
    QCOMPARE(f.prompter->texts(), QStringList{"Device not Found.  Entering Simulated Mode!"});
    QVERIFY(f.debugText().startsWith("\"Read Error:\r\n"));
}

void TestTcpLink::portOutOfRangeIsNeverDialled()
{
    RealLink f;
    modData().CommPort = 65536 + 80;
    QVERIFY(OpenLink());
    QVERIFY(!Comm().CommControl->isOpen());
    SendCommand(QStringLiteral("<>SCL"), false);
    QCOMPARE(modData().CommKind, qint16(5));
}

void TestTcpLink::keepAliveReachesTheInstrument()
{
    RealLink f;
    Listener listener;
    modData().CommPort = listener.port();
    QVERIFY(OpenLink());
    Comm().TcpKeepAlive();
    QTRY_COMPARE(listener.received, QByteArray("\n"));
}

void TestTcpLink::reopenClosesTheOldConnection()
{
    RealLink f;
    Listener listener;
    modData().CommPort = listener.port();
    QVERIFY(OpenLink());
    QTRY_COMPARE(listener.server.findChildren<QTcpSocket *>().size(), 1);
    QTcpSocket *first = listener.server.findChildren<QTcpSocket *>().first();
    QVERIFY(OpenLink());
    QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(Comm().CommControl->isConnected());
}

QTEST_GUILESS_MAIN(TestTcpLink)
#include "test_tcplink.moc"
