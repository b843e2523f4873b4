// zop-sim as a process: start-up line, a "<>STA" exchange over 127.0.0.1, the trace file,
// faults on the wire, and survival of clients that misbehave.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace {

constexpr int WaitMs = 3000;

class SimProcess
{
public:
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(WaitMs);
        }
    }

    // Starts zop-sim and reads its "listening" line; returns false (with a message) on failure.
    bool start(const QStringList &args)
    {
        m_process.setProgram(QStringLiteral(ZOP_SIM_PATH));
        m_process.setArguments(args);
        m_process.start();
        if (!m_process.waitForStarted(WaitMs))
            return false;
        QDeadlineTimer deadline(WaitMs);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(int(deadline.remainingTime()));
        m_banner = m_process.readLine();
        static const QRegularExpression banner(
            QStringLiteral("^zop-sim listening on 127\\.0\\.0\\.1:(\\d+)\\n$"));
        const auto match = banner.match(QString::fromLatin1(m_banner));
        if (!match.hasMatch())
            return false;
        m_port = quint16(match.captured(1).toUInt());
        return m_port != 0;
    }

    std::unique_ptr<QTcpSocket> connect() const
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QStringLiteral("127.0.0.1"), m_port);
        if (!socket->waitForConnected(WaitMs))
            return nullptr;
        return socket;
    }

    QByteArray banner() const { return m_banner; }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_banner;
    quint16 m_port = 0;
};

// Reads from the socket until done(received) holds or the wait runs out.
QByteArray readUntil(QTcpSocket &socket, const std::function<bool(const QByteArray &)> &done,
                     int timeoutMs = WaitMs)
{
    QByteArray received;
    QDeadlineTimer deadline(timeoutMs);
    while (!done(received) && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0
            && !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        received += socket.readAll();
    }
    return received;
}

QByteArray ask(QTcpSocket &socket, const QByteArray &line)
{
    socket.write(line);
    return readUntil(socket, [](const QByteArray &r) { return r.endsWith('\n'); });
}

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void statusExchangeIsTraced()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString tracePath = dir.filePath(QStringLiteral("trace.txt"));
        SimProcess sim;
        QVERIFY2(sim.start({"--port", "0", "--trace", tracePath}), sim.banner().constData());

        auto socket = sim.connect();
        QVERIFY(socket);
        QCOMPARE(ask(*socket, "<>STA\n"), QByteArray("0,0,48,200,0\r\n"));
        QCOMPARE(ask(*socket, "\n*IDN?\r\n"), QByteArray("Zoptrel,ZOP-SIM TLB,0,4.70\r\n"));

        // The trace is flushed line by line, so it can be read while the emulator runs.
        QFile file(tracePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        static const QRegularExpression form(QStringLiteral("^(\\d+\\.\\d{3}) (RX|TX) (.*)$"));
        QByteArray rx;
        QByteArrayList tx;
        double last = 0;
        for (const QByteArray &line : lines) {
            if (line.isEmpty())
                continue;
            const auto m = form.match(QString::fromLatin1(line));
            QVERIFY2(m.hasMatch(), line.constData());
            QVERIFY(m.captured(1).toDouble() >= last);
            last = m.captured(1).toDouble();
            if (m.captured(2) == QLatin1String("RX"))
                rx += m.captured(3).toLatin1();
            else
                tx << m.captured(3).toLatin1();
        }
        QCOMPARE(lines.first().mid(lines.first().indexOf(' ')), QByteArray(" RX <>STA\\n"));
        QCOMPARE(rx, QByteArray("<>STA\\n\\n*IDN?\\r\\n")); // every byte received, escaped
        QCOMPARE(tx, (QByteArrayList{"0,0,48,200,0\\r\\n", "Zoptrel,ZOP-SIM TLB,0,4.70\\r\\n"}));
    }

    void closeFaultDropsTheConnection()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--port", "0", "--fault", "close:<>ALL"}), sim.banner().constData());
        auto socket = sim.connect();
        QVERIFY(socket);
        QCOMPARE(ask(*socket, "<>STA\n"), QByteArray("0,0,48,200,0\r\n"));
        socket->write("VOLT 5\n<>ALL\n");
        QVERIFY(socket->state() == QAbstractSocket::UnconnectedState
                || socket->waitForDisconnected(WaitMs));
        QCOMPARE(socket->readAll(), QByteArray());

        // The emulator carries on; the command before the fault reached the model.
        auto again = sim.connect();
        QVERIFY(again);
        QCOMPARE(ask(*again, "VOLT?\n"), QByteArray("5.000\r\n"));
    }

    void cutFaultLeavesTheLineFeedOut()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--port", "0", "--fault", "cut", "--fault-after", "1"}),
                 sim.banner().constData());
        auto socket = sim.connect();
        QVERIFY(socket);
        QCOMPARE(ask(*socket, "<>STA\n"), QByteArray("0,0,48,200,0\r\n")); // before the fault
        // Two cut replies in a row arrive back to back, each ending in CR only.
        socket->write("<>SCL\n*IDN?\n");
        const QByteArray both = readUntil(*socket, [](const QByteArray &r) {
            return r.endsWith("4.70\r");
        });
        QCOMPARE(both, QByteArray("3A98,186A0\rZoptrel,ZOP-SIM TLB,0,4.70\r"));
    }

    void otherFaultsAndUnrulyClients()
    {
        SimProcess sim;
        QVERIFY2(sim.start({"--port", "0", "--fault", "stream:<>POT", "--fault",
                            "late=500:<>ALL", "--fault", "garbage:SYST:VERS?"}),
                 sim.banner().constData());

        // stream: characters keep coming and none is a line feed.
        auto streaming = sim.connect();
        QVERIFY(streaming);
        streaming->write("<>POT\n");
        const QByteArray flood = readUntil(*streaming, [](const QByteArray &r) {
            return r.size() >= 2000;
        });
        QVERIFY(flood.size() >= 2000);
        QVERIFY(!flood.contains('\n'));
        streaming->abort();

        // A client that leaves in the middle of a line, and one that sends an endless line.
        auto quitter = sim.connect();
        QVERIFY(quitter);
        quitter->write("<>ST");
        QVERIFY(quitter->waitForBytesWritten(WaitMs));
        quitter->abort();
        auto flooder = sim.connect();
        QVERIFY(flooder);
        flooder->write(QByteArray(10000, 'x') + "\nSYST:ERR?\n");
        QCOMPARE(readUntil(*flooder, [](const QByteArray &r) { return r.endsWith('\n'); }),
                 QByteArray("-223,\"Too much data; line too long\"\r\n"));

        // late: the held reply does not hold up another connection.
        auto slow = sim.connect();
        auto quick = sim.connect();
        QVERIFY(slow && quick);
        slow->write("<>ALL\n");
        QVERIFY(slow->waitForBytesWritten(WaitMs));
        QCOMPARE(ask(*quick, "<>STA\n"), QByteArray("0,0,48,200,0\r\n"));
        QCOMPARE(slow->bytesAvailable(), 0);
        QCOMPARE(readUntil(*slow, [](const QByteArray &r) { return r.endsWith('\n'); }),
                 QByteArray("0,0,4074,1ADB0,0,0,125C\r\n"));

        // garbage: a line, but nothing a reader can use.
        QCOMPARE(ask(*quick, "SYST:VERS?\n"), QByteArray("zz#!?\r\n"));
        QCOMPARE(sim.process().state(), QProcess::Running);
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("series") << QStringList{"--series", "xyz"};
        QTest::newRow("volts") << QStringList{"--volts", "-3"};
        QTest::newRow("fault") << QStringList{"--fault", "explode"};
        QTest::newRow("port") << QStringList{"--port", "70000"};
    }

    void badOptionsAreRefused()
    {
        QFETCH(QStringList, args);
        QProcess process;
        process.start(QStringLiteral(ZOP_SIM_PATH), args);
        QVERIFY(process.waitForFinished(WaitMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().startsWith("zop-sim: "));
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
