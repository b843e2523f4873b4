// The communication layer against zop-sim on a pseudo-terminal: the RS-485 address change
// with a command in two frames, a line that is closed under the program, and the baud
// throttle. What each link kind writes on opening: test_seriallink.

#include "link/commlayer.h"
#include "link/rs485.h"
#include "ptypeer.h"
#include "simprocess.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// Real transports and the real clock, on the emulator's line.
struct SimLink : SerialFixture {
    explicit SimLink(const SimProcess &sim)
    {
        modData().clock = std::make_shared<SteadyClock>();
        modData().CommDevice = sim.linkPath();
    }
};

} // namespace

class TestSerialSim : public QObject {
    Q_OBJECT
private slots:
    void addressChange()
    {
        SimProcess sim({QStringLiteral("--rs485-address"), QStringLiteral("17")}, SimLine::Pty);
        QVERIFY(!sim.linkPath().isEmpty());
        SimLink f(sim);
        modData().CommAddress = "17";
        QVERIFY(f.open(LinkKind::Rs485Framed));
        QElapsedTimer timer;
        timer.start();
        Rs485ChangeAddress("32");
        QVERIFY2(timer.elapsed() < 1000, "the instrument's answer ends the wait");
        // The instrument now answers at 32 (20 in the frames) only; 46 characters take two frames.
        modData().CommAddress = "32";
        SendCommand(QStringLiteral("SOURce:VOLTage:LEVel:IMMediate:AMPLitude 7.5"), false);
        QCOMPARE(Query("SOURce:VOLTage:LEVel:IMMediate:AMPLitude?"), QString("7.500\r\n"));
        QVERIFY(f.prompter->shown.isEmpty());
        QCOMPARE(sim.notes(), (QStringList{"attached", "address changed to 20"}));
    }

    void lineClosedByTheInstrument()
    {
        SimProcess sim({QStringLiteral("--fault"), QStringLiteral("close:<>STA")}, SimLine::Pty);
        QVERIFY(!sim.linkPath().isEmpty());
        SimLink f(sim);
        QVERIFY(f.open(LinkKind::Rs232));
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

    void throttledRoundTrip()
    {
        SimProcess sim({QStringLiteral("--baud-throttle")}, SimLine::Pty);
        QVERIFY(!sim.linkPath().isEmpty());
        SimLink f(sim);
        QVERIFY(f.open(LinkKind::Rs232));
        QCOMPARE(Query("<>STA").size(), 14);
        QElapsedTimer timer;
        timer.start();
        const QString reply = Query("<>STA");
        const qint64 took = timer.elapsed();
        // 6 characters out and 14 back, 10 bits each at 19200 baud: 10.4 ms on the line.
        QCOMPARE(reply.size(), 14);
        QVERIFY2(took >= 10 && took < 500, qPrintable(QString::number(took)));
    }
};

QTEST_GUILESS_MAIN(TestSerialSim)
#include "test_serialsim.moc"
