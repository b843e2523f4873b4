// The communication layer against zop-sim on a pseudo-terminal, for each serial link kind:
// exchanges that change and read the model, what the emulator saw at which line speed, the
// RS-485 address change, a line that is closed under the program, and the baud throttle.

#include "link/commlayer.h"
#include "link/logsink.h"
#include "link/rs485.h"
#include "link/transports.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// Real transports and the real clock, on the emulator's line; no port is ever looked up.
struct SimLink : Fixture {
    explicit SimLink(const SimProcess &sim)
    {
        modData().clock = std::make_shared<SteadyClock>();
        Comm().setTransportFactory(
            [](qint16 kind) { return MakeSerialTransport(kind, [] { return QStringList(); }); });
        Comm().LogTarget = &log;
        modData().CommDevice = sim.linkPath();
    }
    ~SimLink() { Comm().CommControl.reset(); }
    TextLog log;
};

QString Query(const QString &command)
{
    SendCommand(command, false);
    QString reply;
    ReadReply(reply, 2, false);
    return reply;
}

} // namespace

class TestSerialSim : public QObject {
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void addressChange();
    void lineClosedByTheInstrument();
    void throttledRoundTrip();
};

void TestSerialSim::exchanges_data()
{
    QTest::addColumn<qint16>("kind");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("at9600");   // all the emulator received at 9600 baud
    QTest::addColumn<QByteArray>("opening");  // the start of what it received at 19200
    QTest::addColumn<QString>("note");        // what it made of the opening
    QTest::newRow("RS-232") << LinkKind::Rs232 << "17" << QByteArray() << QByteArray("*IDN?\n")
                            << "";
    QTest::newRow("RS-485 selected, address 17")
        << LinkKind::Rs485Selected << "17" << QByteArray("\x13" "11" "\x01")
        << QByteArray("\n*IDN?\n") << "selected as 11";
    QTest::newRow("RS-485 framed, address 255")
        << LinkKind::Rs485Framed << "255" << QByteArray()
        << QByteArray("&FF800\r{FF*IDN?\n\r") << "attached";
}

void TestSerialSim::exchanges()
{
    QFETCH(qint16, kind);
    QFETCH(QString, address);
    QFETCH(QByteArray, at9600);
    QFETCH(QByteArray, opening);
    QFETCH(QString, note);
    SimProcess sim({QStringLiteral("--rs485-address"), address}, SimLine::Pty);
    QVERIFY(!sim.linkPath().isEmpty());
    SimLink f(sim);
    modData().CommKind = kind;
    modData().CommAddress = address;
    QVERIFY(OpenLink());

    QCOMPARE(Query("*IDN?"), QString("Zoptrel,ZOP-SIM TLB,0,4.70\r\n"));
    // 46 characters: two frames on the framed link.
    SendCommand(QStringLiteral("SOURce:VOLTage:LEVel:IMMediate:AMPLitude 7.5"), false);
    QCOMPARE(Query("SOURce:VOLTage:LEVel:IMMediate:AMPLitude?"), QString("7.500\r\n"));
    static const QRegularExpression status(QStringLiteral("^([0-9A-F]+,){4}[0-9A-F]+\\r\\n$"));
    const QString sta = Query("<>STA");
    QVERIFY2(status.match(sta).hasMatch(), qPrintable(sta));
    QCOMPARE(modData().CommKind, kind);
    QVERIFY(f.prompter->shown.isEmpty());

    QByteArray slow;
    QByteArray talk;
    for (const SimProcess::SerialChunk &chunk : sim.receivedOnLine()) {
        if (chunk.baud == 9600)
            slow += chunk.bytes;
        else if (chunk.baud == 19200)
            talk += chunk.bytes;
        else
            QFAIL(qPrintable(QStringLiteral("bytes at %1 baud").arg(chunk.baud)));
    }
    QCOMPARE(slow, at9600);
    QVERIFY2(talk.startsWith(opening), talk.constData());
    if (!note.isEmpty())
        QCOMPARE(sim.notes().value(0), note);
    if (kind == LinkKind::Rs485Framed)
        QVERIFY2(talk.contains("{FFSOURce:VOLTage:LEVel:IMMediate:A\r{FFMPLitude 7.5\n\r"),
                 talk.constData());
}

void TestSerialSim::addressChange()
{
    SimProcess sim({QStringLiteral("--rs485-address"), QStringLiteral("17")}, SimLine::Pty);
    QVERIFY(!sim.linkPath().isEmpty());
    SimLink f(sim);
    modData().CommKind = LinkKind::Rs485Framed;
    modData().CommAddress = "17";
    QVERIFY(OpenLink());
    QElapsedTimer timer;
    timer.start();
    Rs485ChangeAddress("32");
    QVERIFY2(timer.elapsed() < 1000, "the instrument's answer ends the wait");
    // The instrument now answers at 32 (20 in the frames) only.
    modData().CommAddress = "32";
    QCOMPARE(Query("*IDN?"), QString("Zoptrel,ZOP-SIM TLB,0,4.70\r\n"));
    QVERIFY(f.prompter->shown.isEmpty());
    QCOMPARE(sim.notes(), (QStringList{"attached", "address changed to 20"}));
}

void TestSerialSim::lineClosedByTheInstrument()
{
    SimProcess sim({QStringLiteral("--fault"), QStringLiteral("close:<>STA")}, SimLine::Pty);
    QVERIFY(!sim.linkPath().isEmpty());
    SimLink f(sim);
    modData().CommKind = LinkKind::Rs232;
    QVERIFY(OpenLink());
    QCOMPARE(Query("*IDN?"), QString("Zoptrel,ZOP-SIM TLB,0,4.70\r\n"));
    SendCommand(QStringLiteral("<>STA"), false);
    QElapsedTimer timer;
    timer.start();
    QString reply;
    QCOMPARE(ReadReply(reply, 2, false), 0);
    QVERIFY2(timer.elapsed() < 1500, "a closed line is noticed before the time-out");
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QVERIFY2(f.debugText().startsWith("\"Read Error:\r\nError Description: Serial port "),
             qPrintable(f.debugText()));
    QCOMPARE(f.prompter->texts(), QStringList{CommText::NotFound});
}

void TestSerialSim::throttledRoundTrip()
{
    SimProcess sim({QStringLiteral("--baud-throttle")}, SimLine::Pty);
    QVERIFY(!sim.linkPath().isEmpty());
    SimLink f(sim);
    modData().CommKind = LinkKind::Rs232;
    QVERIFY(OpenLink());
    QCOMPARE(Query("<>STA").size(), 14);
    QElapsedTimer timer;
    timer.start();
    const QString reply = Query("<>STA");
    const qint64 took = timer.elapsed();
    // 6 characters out and 14 back, 10 bits each at 19200 baud: 10.4 ms on the line.
    QCOMPARE(reply.size(), 14);
    QVERIFY2(took >= 10 && took < 500, qPrintable(QString::number(took)));
}

QTEST_GUILESS_MAIN(TestSerialSim)
#include "test_serialsim.moc"
