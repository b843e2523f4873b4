// zop-sim as a process: a "<>STA" exchange over 127.0.0.1 and its trace file, every fault on
// the wire, survival of clients that misbehave, the network restart, and refused options.

#include "simprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <memory>

using namespace zop::test;

namespace {

constexpr int WaitMs = 3000;

std::unique_ptr<QTcpSocket> connectTo(const SimProcess &sim)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    if (!socket->waitForConnected(WaitMs))
        return nullptr;
    return socket;
}

// Reads from the socket until done(received) holds or the wait runs out.
QByteArray readUntil(QTcpSocket &socket, const std::function<bool(const QByteArray &)> &done)
{
    QByteArray received;
    QDeadlineTimer deadline(WaitMs);
    while (!done(received) && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0
            && !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        received += socket.readAll();
    }
    return received;
}

// Sends the text (nothing when empty) and reads one line.
QByteArray ask(QTcpSocket &socket, const QByteArray &text)
{
    socket.write(text);
    return readUntil(socket, [](const QByteArray &r) { return r.endsWith('\n'); });
}

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    // Past a file-size limit the trace stops growing, and the instrument goes on answering
    // (SIGXFSZ used to end the emulator at the first line past the limit).
    void traceBeyondAFileSizeLimit()
    {
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit limited = before;
        limited.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        SimProcess sim; // inherits the limit
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &before), 0);
        QVERIFY(sim.port() != 0);
        auto socket = connectTo(sim);
        QVERIFY(socket);
        for (int i = 0; i < 200; ++i)
            QCOMPARE(ask(*socket, "*IDN?\n"), QByteArray("Zoptrel,ZOP-SIM TLB,0,4.70\r\n"));
        QVERIFY(sim.isRunning());
        QVERIFY(QFileInfo(sim.tracePath()).size() <= 4096);
    }

    // The GPIB bus socket is the user's alone, even when the umask would share it.
    void gpibBusSocketIsPrivate()
    {
        const mode_t umaskBefore = ::umask(0);
        SimProcess sim({}, SimLine::Gpib);
        ::umask(umaskBefore);
        QVERIFY(!sim.linkPath().isEmpty());
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(sim.linkPath()).constData(), &status), 0);
        QCOMPARE(status.st_mode & (S_IFMT | 07777), mode_t(S_IFSOCK | 0600));
    }

    void statusExchangeIsTraced()
    {
        SimProcess sim;
        QVERIFY(sim.port() != 0);
        auto socket = connectTo(sim);
        QVERIFY(socket);
        QCOMPARE(ask(*socket, "<>STA\n"), QByteArray("0,0,48,200,0\r\n"));
        QCOMPARE(ask(*socket, "\n*IDN?\r\n"), QByteArray("Zoptrel,ZOP-SIM TLB,0,4.70\r\n"));

        // The trace is flushed line by line, so it can be read while the emulator runs.
        QFile file(sim.tracePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArrayList lines = file.readAll().trimmed().split('\n');
        static const QRegularExpression form(QStringLiteral("^(\\d+\\.\\d{3}) (RX|TX) \\S"));
        double last = 0;
        for (const QByteArray &line : lines) {
            const auto m = form.match(QString::fromLatin1(line));
            QVERIFY2(m.hasMatch() && m.captured(1).toDouble() >= last, line.constData());
            last = m.captured(1).toDouble();
        }
        QCOMPARE(lines.first().mid(lines.first().indexOf(' ')), QByteArray(" RX <>STA\\n"));
        QCOMPARE(lines.last().mid(lines.last().indexOf(' ')), QByteArray(" TX Zoptrel,ZOP-SIM TLB,0,4.70\\r\\n"));
        QCOMPARE(sim.received(), QByteArray("<>STA\n\n*IDN?\r\n")); // every byte, unescaped
    }

    void faultsAndUnrulyClients()
    {
        SimProcess sim({"--fault", "stream:<>POT", "--fault", "late=500:<>ALL", "--fault",
                        "garbage:SYST:VERS?", "--fault", "cut:<>SCL", "--fault", "cut:*IDN?",
                        "--fault", "close:*ESR?"});
        QVERIFY(sim.port() != 0);

        // stream: characters keep coming and none is a line feed.
        auto streaming = connectTo(sim);
        QVERIFY(streaming);
        streaming->write("<>POT\n");
        const QByteArray flood = readUntil(*streaming, [](const QByteArray &r) {
            return r.size() >= 2000;
        });
        QVERIFY(flood.size() >= 2000);
        QVERIFY(!flood.contains('\n'));
        streaming->abort();

        // A client that leaves in the middle of a line, and one that sends an endless line.
        auto quitter = connectTo(sim);
        QVERIFY(quitter);
        quitter->write("<>ST");
        QVERIFY(quitter->waitForBytesWritten(WaitMs));
        quitter->abort();
        auto flooder = connectTo(sim);
        QVERIFY(flooder);
        QCOMPARE(ask(*flooder, QByteArray(10000, 'x') + "\nSYST:ERR?\n"),
                 QByteArray("-223,\"Too much data; line too long\"\r\n"));

        // late: the held reply does not hold up another connection.
        auto slow = connectTo(sim);
        auto quick = connectTo(sim);
        QVERIFY(slow && quick);
        slow->write("<>ALL\n");
        QVERIFY(slow->waitForBytesWritten(WaitMs));
        QCOMPARE(ask(*quick, "<>STA\n"), QByteArray("0,0,48,200,0\r\n"));
        QCOMPARE(slow->bytesAvailable(), 0);
        QCOMPARE(ask(*slow, {}), QByteArray("0,0,4074,1ADB0,0,0,125C\r\n"));

        // garbage: a line, but nothing a reader can use.
        QCOMPARE(ask(*quick, "SYST:VERS?\n"), QByteArray("zz#!?\r\n"));

        // cut: two cut replies in a row arrive back to back, each ending in CR only.
        quick->write("<>SCL\n*IDN?\n");
        QCOMPARE(readUntil(*quick, [](const QByteArray &r) { return r.endsWith("4.70\r"); }),
                 QByteArray("3A98,186A0\rZoptrel,ZOP-SIM TLB,0,4.70\r"));

        // close: the connection drops without a reply; the command before it reached the
        // model, and the emulator carries on.
        quick->write("VOLT 5\n*ESR?\n");
        QVERIFY(quick->state() == QAbstractSocket::UnconnectedState
                || quick->waitForDisconnected(WaitMs));
        QCOMPARE(quick->readAll(), QByteArray());
        auto again = connectTo(sim);
        QVERIFY(again);
        QCOMPARE(ask(*again, "VOLT?\n"), QByteArray("5.000\r\n"));
        QVERIFY(sim.isRunning());
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("series") << QStringList{"--series", "xyz"};
        QTest::newRow("volts") << QStringList{"--volts", "-3"};
        QTest::newRow("fault") << QStringList{"--fault", "explode"};
        QTest::newRow("port") << QStringList{"--port", "70000"};
        QTest::newRow("trace in a missing folder") << QStringList{"--trace", "/nonexistent/zop/trace.txt"};
    }

    void badOptionsAreRefused()
    {
        QFETCH(QStringList, args);
        QProcess process;
        process.start(BinaryPath(QStringLiteral("zop-sim")), args);
        QVERIFY(process.waitForFinished(WaitMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().startsWith("zop-sim: "));
    }

    // "<>RST" drops the connections and brings the command service back on the new port; an
    // address on a real network, or DHCP, keeps it on 127.0.0.1.
    void networkRestartStaysOnLoopback()
    {
        SimProcess sim;
        QVERIFY(sim.port() != 0);
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        const QByteArray portText = QByteArray::number(port);
        auto socket = connectTo(sim);
        QVERIFY(socket);
        QCOMPARE(ask(*socket, "SYST:COMM:NET:ADDR 10.0.0.9\n"), QByteArray("10.0.0.9\r\n"));
        QCOMPARE(ask(*socket, "SYST:COMM:NET:PORT " + portText + "\n"), portText + "\r\n");
        for (const QByteArray dhcp : {"0", "1"}) {
            QCOMPARE(ask(*socket, "SYST:COMM:NET:DHCP " + dhcp + "\n"), dhcp + "\r\n");
            socket->write("<>RST\n");
            QVERIFY(socket->state() == QAbstractSocket::UnconnectedState
                    || socket->waitForDisconnected(WaitMs));
            socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QStringLiteral("127.0.0.1"), port);
            QVERIFY(socket->waitForConnected(WaitMs));
            QCOMPARE(ask(*socket, "SYST:COMM:NET:PORT?\n"), portText + "\r\n");
        }
        QCOMPARE(ask(*socket, "SYST:COMM:NET:ADDR?\n"), QByteArray("127.0.0.1\r\n")); // the lease
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
