// The communication layer against zop-sim on a pseudo-terminal with the baud throttle on. The
// framed address change against the emulator: setup.test_frmchange; a serial line the emulator
// closes: the fault suite (e2e.test_faults_e2e); what each link kind writes: test_seriallink.

#include "link/commlayer.h"
#include "ptypeer.h"
#include "simprocess.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestSerialSim : public QObject {
    Q_OBJECT
private slots:
    void throttledRoundTrip()
    {
        SimProcess sim({QStringLiteral("--baud-throttle")}, SimLine::Pty);
        QVERIFY(!sim.linkPath().isEmpty());
        SerialFixture f; // real transports and the real clock, on the emulator's line
        modData().clock = std::make_shared<SteadyClock>();
        modData().CommDevice = sim.linkPath();
        QVERIFY(f.open(LinkKind::Rs232));
        QString reply;
        QElapsedTimer timer;
        for (int i = 0; i < 2; ++i) { // the second exchange timed
            timer.start();
            SendCommand(QStringLiteral("<>STA"), false);
            QCOMPARE(ReadReply(reply, 2, false), 14);
        }
        const qint64 took = timer.elapsed();
        // 6 characters out and 14 back, 10 bits each at 19200 baud: 10.4 ms on the line.
        QVERIFY2(took >= 10 && took < 500, qPrintable(QString::number(took)));
    }
};

QTEST_GUILESS_MAIN(TestSerialSim)
#include "test_serialsim.moc"
