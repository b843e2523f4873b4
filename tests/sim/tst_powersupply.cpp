// The power-supply model: readings into the load, status words, protection, memories and
// the timed output, driven directly and with a clock the test moves.

#include "clock.h"
#include "powersupply.h"

#include <QTest>

using namespace zopsim;

class TestPowerSupply : public QObject
{
    Q_OBJECT

private:
    static SupplyConfig config(double volts = 15, double amps = 100, double ohms = -1)
    {
        SupplyConfig c;
        c.ratedVolts = volts;
        c.ratedAmps = amps;
        c.loadOhms = ohms;
        return c;
    }
    static QList<int> errorCodes(PowerSupply &s)
    {
        QList<int> codes;
        while (!s.errors().isEmpty())
            codes << s.errors().pop().code;
        return codes;
    }

private slots:
    void freshInstrumentIsStandbyOnInternalControl()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        QCOMPARE(s.statusWordA(), 72u); // STANDBY + INT CTL
        QCOMPARE(s.statusWordB(), 0u);
        QCOMPARE(s.voltageReadingMv(), 0);
        QCOMPARE(s.currentReadingMa(), 0);
        QCOMPARE(s.setpoints().ovpMv, 16500); // 1.1 x rating
        QCOMPARE(s.setpoints().ocpMa, 110000);
        QCOMPARE(s.memoryLocation(), 0);
        QCOMPARE(s.eventStatus(), Esr::PowerOn);
        QCOMPARE(s.loadOhms(), 0.3); // 15 V drives 50 A
        s.markRemote();
        QCOMPARE(s.statusWordB(), WordB::Remote);
    }

    void readingsFollowTheLoad_data()
    {
        QTest::addColumn<double>("ohms");
        QTest::addColumn<double>("vset");
        QTest::addColumn<double>("iset");
        QTest::addColumn<qint64>("volts");
        QTest::addColumn<qint64>("amps");
        QTest::addColumn<bool>("cc");

        QTest::newRow("CV well inside the limit") << 0.3 << 12.0 << 100.0 << 12000ll << 40000ll << false;
        QTest::newRow("CC: 12 V would drive 40 A") << 0.3 << 12.0 << 5.0 << 1500ll << 5000ll << true;
        QTest::newRow("crossover exactly at the limit stays CV") << 0.3 << 12.0 << 40.0 << 12000ll << 40000ll << false;
        QTest::newRow("one milliamp short of the crossover is CC") << 0.3 << 12.0 << 39.999 << 12000ll << 39999ll << true;
        QTest::newRow("zero volts") << 0.3 << 0.0 << 5.0 << 0ll << 0ll << false;
        QTest::newRow("zero current limit") << 0.3 << 5.0 << 0.0 << 0ll << 0ll << true;
        QTest::newRow("short circuit") << 0.0 << 5.0 << 7.0 << 0ll << 7000ll << true;
        QTest::newRow("high resistance") << 1000.0 << 15.0 << 1.0 << 15000ll << 15ll << false;
        QTest::newRow("rounding to whole milliamps") << 3.0 << 10.0 << 100.0 << 10000ll << 3333ll << false;
    }

    void readingsFollowTheLoad()
    {
        QFETCH(double, ohms);
        QFETCH(double, vset);
        QFETCH(double, iset);
        QFETCH(qint64, volts);
        QFETCH(qint64, amps);
        QFETCH(bool, cc);

        ManualClock clock;
        PowerSupply s(config(15, 100, ohms), clock);
        QVERIFY(s.setVoltage(vset));
        QVERIFY(s.setCurrent(iset));
        QCOMPARE(s.voltageReadingMv(), 0); // standby reads zero whatever the setpoints
        QCOMPARE(s.currentReadingMa(), 0);
        QVERIFY(s.start());
        QCOMPARE(s.voltageReadingMv(), volts);
        QCOMPARE(s.currentReadingMa(), amps);
        const quint32 a = s.statusWordA();
        QCOMPARE(bool(a & WordA::CurrentControl), cc);
        QCOMPARE(bool(a & WordA::VoltageControl), !cc);
        QCOMPARE(a & (WordA::Power | WordA::Standby), WordA::Power);
        QCOMPARE(s.latchedAlarms(), 0u);

        s.stop();
        QCOMPARE(s.voltageReadingMv(), 0);
        QCOMPARE(s.currentReadingMa(), 0);
        QCOMPARE(s.statusWordA(), 72u);
    }

    void statusWordAFollowsConfiguration()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setArmed(true);
        s.setRemoteSense(true);
        s.setExternalControl(true);
        s.setInterlockEnabled(true);
        s.initiate();
        QCOMPARE(s.statusWordA(), WordA::Arm | WordA::RemoteSense | WordA::ExtCtl
                                      | WordA::Interlock | WordA::WaitTrigger | WordA::Standby);
        s.setExternalControl(false);
        QVERIFY(s.statusWordA() & WordA::IntCtl);
        QVERIFY(!(s.statusWordA() & WordA::ExtCtl));
        s.stop(); // leaving the output off disarms
        QVERIFY(!(s.statusWordA() & WordA::Arm));
    }

    void tripsLatchAndClear_data()
    {
        QTest::addColumn<double>("vset");
        QTest::addColumn<double>("iset");
        QTest::addColumn<double>("ovp");
        QTest::addColumn<double>("ocp");
        QTest::addColumn<quint32>("alarm");

        QTest::newRow("over-voltage") << 12.0 << 100.0 << 10.0 << 110.0 << WordB::Ovt;
        QTest::newRow("over-current in CV") << 12.0 << 100.0 << 16.5 << 30.0 << WordB::Oct;
        QTest::newRow("over-current in CC") << 15.0 << 20.0 << 16.5 << 19.0 << WordB::Oct;
    }

    void tripsLatchAndClear()
    {
        QFETCH(double, vset);
        QFETCH(double, iset);
        QFETCH(double, ovp);
        QFETCH(double, ocp);
        QFETCH(quint32, alarm);

        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setVoltage(vset);
        s.setCurrent(iset);
        QVERIFY(s.start());
        QVERIFY(s.outputOn());
        // Lowering a trip level under the running reading trips at once.
        s.setOverVoltage(ovp);
        s.setOverCurrent(ocp);
        QVERIFY(!s.outputOn());
        QCOMPARE(s.latchedAlarms(), alarm);
        QCOMPARE(s.statusWordB(), alarm | WordB::Alarm);
        QCOMPARE(s.statusWordA(), 72u | WordA::StandbyAlarm);
        QCOMPARE(s.voltageReadingMv(), 0);

        // The latch holds: the output cannot start again until it is cleared.
        QVERIFY(!s.start());
        QCOMPARE(errorCodes(s), QList<int>{Err::SettingsConflict});
        s.setOverVoltage(16.5);
        s.setOverCurrent(110);
        QCOMPARE(s.latchedAlarms(), alarm);

        s.clearProtection();
        QCOMPARE(s.statusWordB(), 0u);
        QCOMPARE(s.statusWordA(), 72u);
        QVERIFY(s.start());
        QCOMPARE(s.latchedAlarms(), 0u);
        QVERIFY(s.voltageReadingMv() > 0);
    }

    void startingIntoATripLevelTripsImmediately()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setVoltage(10);
        s.setCurrent(100);
        s.setOverVoltage(10); // a reading at its trip level is still allowed...
        s.setOverCurrent(100.0 / 3);
        QVERIFY(s.start());
        QCOMPARE(s.currentReadingMa(), 33333);
        s.stop();
        s.setOverVoltage(9.999); // ...one step above it is not
        QVERIFY(!s.start());
        QCOMPARE(s.latchedAlarms(), WordB::Ovt);
        s.reset();
        QCOMPARE(s.latchedAlarms(), 0u);
        QCOMPARE(s.setpoints().voltMv, 0);
        QCOMPARE(s.setpoints().ovpMv, 16500);

        // Both readings above their levels at the start latch both alarms.
        s.setVoltage(12);
        s.setCurrent(100);
        s.setOverVoltage(11);
        s.setOverCurrent(30);
        QVERIFY(!s.start());
        QCOMPARE(s.statusWordB(), WordB::Ovt | WordB::Oct | WordB::Alarm);
    }

    void otherAlarmsAndTheInterlock()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setVoltage(5);
        s.setCurrent(10);
        QVERIFY(s.start());
        s.raiseAlarm(WordB::Thl);
        QVERIFY(!s.outputOn());
        QCOMPARE(s.statusWordB(), WordB::Thl | WordB::Alarm);
        s.clearProtection();

        // An open interlock raises LOC only while the interlock is enabled, and keeps it
        // latched until the interlock closes.
        s.setInterlockOpen(true);
        QCOMPARE(s.latchedAlarms(), 0u);
        QVERIFY(s.start());
        s.setInterlockEnabled(true);
        QVERIFY(!s.outputOn());
        QCOMPARE(s.latchedAlarms(), WordB::Loc);
        s.clearProtection();
        QCOMPARE(s.latchedAlarms(), WordB::Loc);
        s.setInterlockOpen(false);
        s.clearProtection();
        QCOMPARE(s.latchedAlarms(), 0u);
        QVERIFY(s.start());
    }

    void valuesAreClampedToTheLimits_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("voltage at 1.1 x rating") << 0 << 16.5 << 16500ll << true;
        QTest::newRow("voltage above") << 0 << 16.6 << 16500ll << false;
        QTest::newRow("negative voltage") << 0 << -1.0 << 0ll << false;
        QTest::newRow("current above") << 1 << 200.0 << 110000ll << false;
        QTest::newRow("over-voltage above") << 2 << 20.0 << 16500ll << false;
        QTest::newRow("over-current") << 3 << 55.5 << 55500ll << true;
        QTest::newRow("period in seconds") << 4 << 2.5 << 2500ll << true;
        QTest::newRow("period above 9999 s") << 4 << 10000.0 << 9999000ll << false;
    }

    void valuesAreClampedToTheLimits()
    {
        QFETCH(int, which);
        QFETCH(double, value);
        QFETCH(qint64, stored);
        QFETCH(bool, accepted);

        ManualClock clock;
        PowerSupply s(config(), clock);
        bool ok = false;
        qint64 got = -1;
        switch (which) {
        case 0: ok = s.setVoltage(value); got = s.setpoints().voltMv; break;
        case 1: ok = s.setCurrent(value); got = s.setpoints().currMa; break;
        case 2: ok = s.setOverVoltage(value); got = s.setpoints().ovpMv; break;
        case 3: ok = s.setOverCurrent(value); got = s.setpoints().ocpMa; break;
        case 4: ok = s.setPeriod(value); got = s.setpoints().periodMs; break;
        }
        QCOMPARE(ok, accepted);
        QCOMPARE(got, stored);
        QCOMPARE(errorCodes(s), accepted ? QList<int>{} : QList<int>{Err::DataOutOfRange});
        QCOMPARE(bool(s.eventStatus() & Esr::ExecutionError), !accepted);
    }

    void memoriesSaveAndRecall()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setVoltage(12);
        s.setCurrent(5);
        s.setOverVoltage(13.284);
        s.setOverCurrent(24);
        s.setPeriod(1);
        QVERIFY(s.save(3));
        const Setpoints saved = s.setpoints();

        s.reset();
        QCOMPARE(s.setpoints().voltMv, 0);
        QCOMPARE(s.memoryLocation(), 0);
        QCOMPARE(s.memory(3), saved);
        QVERIFY(s.recall(3));
        QCOMPARE(s.setpoints(), saved);
        QCOMPARE(s.memoryLocation(), 3);

        // Untouched locations hold the power-on setpoints.
        QVERIFY(s.recall(9));
        QCOMPARE(s.setpoints().voltMv, 0);
        QCOMPARE(s.setpoints().ovpMv, 16500);
        QCOMPARE(s.memoryLocation(), 9);

        QVERIFY(!s.recall(10));
        QVERIFY(!s.save(-1));
        QCOMPARE(s.memoryLocation(), 9);
        QCOMPARE(errorCodes(s), (QList<int>{Err::DataOutOfRange, Err::DataOutOfRange}));
    }

    void recallWhileOnCanTrip()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setVoltage(12);
        s.setCurrent(100);
        s.setOverVoltage(5);
        s.save(1);
        s.setOverVoltage(16.5);
        QVERIFY(s.start());
        QVERIFY(s.recall(1));
        QCOMPARE(s.latchedAlarms(), WordB::Ovt);
        QVERIFY(!s.outputOn());
    }

    void periodTurnsTheOutputOff()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setVoltage(5);
        s.setCurrent(10);
        s.setPeriod(2);
        clock.advance(500);
        QVERIFY(s.start());
        clock.advance(1999);
        s.update();
        QVERIFY(s.outputOn());
        clock.advance(1);
        s.update();
        QVERIFY(!s.outputOn());
        QCOMPARE(s.latchedAlarms(), 0u); // a timed stop is no alarm
        QCOMPARE(s.statusWordA(), 72u);

        // Period 0 runs without end.
        s.setPeriod(0);
        QVERIFY(s.start());
        clock.advance(100000000);
        s.update();
        QVERIFY(s.outputOn());
    }

    void triggeredLevelsApplyOnTrigger()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setTriggeredVoltage(7);
        s.setTriggeredCurrent(3);
        s.trigger(); // not initiated: ignored
        QCOMPARE(s.setpoints().voltMv, 0);
        s.initiate();
        QVERIFY(s.statusWordA() & WordA::WaitTrigger);
        s.trigger();
        QCOMPARE(s.setpoints().voltMv, 7000);
        QCOMPARE(s.setpoints().currMa, 3000);
        QVERIFY(!s.waitingForTrigger());
        s.setInitContinuous(true);
        QVERIFY(s.waitingForTrigger());
        s.trigger();
        QVERIFY(s.waitingForTrigger());
        s.setInitContinuous(false);
        QVERIFY(s.start());
        s.abort();
        QVERIFY(!s.waitingForTrigger());
        QVERIFY(!s.outputOn());
    }

    void calibrationNeedsItsAccessCode()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        QVERIFY(!s.setPot(1, 200));
        QVERIFY(!s.setRatedVolts(20));
        QCOMPARE(errorCodes(s), (QList<int>{Err::CommandProtected, Err::CommandProtected}));

        s.enterPassword(QStringLiteral("3846"));
        QVERIFY(s.setPot(1, 200));
        QVERIFY(!s.setPot(6, 1));
        QVERIFY(!s.setPot(2, 256));
        QVERIFY(!s.setRatedVolts(20)); // the pot code does not open the scales
        QCOMPARE(s.pot(0), 200);
        QVERIFY(!s.potsAtDefault());
        QVERIFY(s.defaultPots());
        QVERIFY(s.potsAtDefault());
        errorCodes(s);

        s.enterPassword(QStringLiteral("6043"));
        QVERIFY(s.setRatedVolts(20));
        QCOMPARE(s.ratedVoltMv(), 20000);
        QCOMPARE(s.voltLimitMv(), 22000);
        QVERIFY(s.setVoltage(21));
        s.endCalibration();
        QVERIFY(!s.setPot(1, 1));
        QCOMPARE(s.calAccess(), PowerSupply::CalAccess::Locked);
    }

    void eventStatusAndStatusByte()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        QCOMPARE(s.statusByte(), 0); // power-on is set but not enabled
        s.setEventStatusEnable(Esr::PowerOn);
        QCOMPARE(s.statusByte(), Stb::Esb);
        s.setServiceRequestEnable(Stb::Esb);
        QCOMPARE(s.statusByte(), Stb::Esb | Stb::Mss);
        QCOMPARE(s.takeEventStatus(), Esr::PowerOn);
        QCOMPARE(s.eventStatus(), 0);
        QCOMPARE(s.statusByte(), 0);

        s.pushError(-113, QStringLiteral("Undefined header"));
        s.pushError(-222, QStringLiteral("Data out of range"));
        s.pushError(-350, QStringLiteral("Queue overflow"));
        s.pushError(-410, QStringLiteral("Query INTERRUPTED"));
        QCOMPARE(s.eventStatus(), Esr::CommandError | Esr::ExecutionError | Esr::DeviceError
                                      | Esr::QueryError);
        s.clearStatus();
        QCOMPARE(s.eventStatus(), 0);
        QVERIFY(s.errors().isEmpty());
    }

    void errorQueueIsBounded()
    {
        ErrorQueue q(4);
        QCOMPARE(q.pop(), (InstrumentError{0, QStringLiteral("No error")}));
        for (int i = 1; i <= 6; ++i)
            q.push(-100 - i, QStringLiteral("e%1").arg(i));
        QCOMPARE(q.size(), 4);
        QCOMPARE(q.pop().code, -101);
        QCOMPARE(q.pop().code, -102);
        QCOMPARE(q.pop().code, -103);
        QCOMPARE(q.pop(), (InstrumentError{Err::QueueOverflow, QStringLiteral("Queue overflow")}));
        QCOMPARE(q.pop().code, 0);
        QCOMPARE(ErrorQueue::format({-113, QStringLiteral("Undefined header")}),
                 QStringLiteral("-113,\"Undefined header\""));
    }
};

QTEST_GUILESS_MAIN(TestPowerSupply)
#include "tst_powersupply.moc"
