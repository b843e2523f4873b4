// The power-supply model: readings into the load and protection, driven directly. Power-on
// values, status words, memories, triggers, limits, calibration access and the timed output
// are checked through the command language in tst_instrument.

#include "clock.h"
#include "faults.h"
#include "powersupply.h"

#include <QTest>

using namespace zopsim;

class TestPowerSupply : public QObject
{
    Q_OBJECT

private:
    // 15 V, 100 A; by default a load that 15 V drives 50 A into (0.3 ohm).
    static SupplyConfig config(double ohms = -1)
    {
        SupplyConfig c;
        c.ratedVolts = 15;
        c.ratedAmps = 100;
        c.loadOhms = ohms;
        return c;
    }

private slots:
    // Settling and a scheduled trip: 10 V set and the output started at 0 ms, 6 V set at
    // 200 ms; the output follows each setpoint in a straight line over 100 ms, and the trip
    // of --fault latches its alarms once the output has been on that long.
    void settlesAndTripsOnSchedule_data()
    {
        QTest::addColumn<QString>("trip");
        QTest::addColumn<qint64>("at");
        QTest::addColumn<qint64>("volts"); // the reading at `at`
        QTest::addColumn<quint32>("alarms");
        QTest::addColumn<QString>("notes");

        const QString before = QStringLiteral("volt 10.000|curr 100.000|output on");
        const QString all = before + QStringLiteral("|volt 6.000");
        QTest::newRow("on its way") << "trip=OVT@300ms" << 50ll << 5000ll << 0u << before;
        QTest::newRow("settled") << "trip=OVT@300ms" << 100ll << 10000ll << 0u << before;
        QTest::newRow("on its way down") << "trip=OVT@300ms" << 250ll << 8000ll << 0u << all;
        QTest::newRow("just before the trip") << "trip=OVT@300ms" << 290ll << 6400ll << 0u << all;
        QTest::newRow("tripped") << "trip=OVT@300ms" << 300ll << 0ll << quint32(WordB::Ovt)
                                 << all + QStringLiteral("|trip OVT");
        QTest::newRow("two alarms, seconds, any case") << "TRIP=oct+loc@0.25s" << 260ll << 0ll
            << quint32(WordB::Oct | WordB::Loc) << all + QStringLiteral("|trip OCT LOC");
        QTest::newRow("not an alarm") << "trip=XYZ@1s" << 0ll << 0ll << 0u << QString();
        QTest::newRow("no time unit") << "trip=OVT@5" << 0ll << 0ll << 0u << QString();
    }

    void settlesAndTripsOnSchedule()
    {
        QFETCH(QString, trip);
        QFETCH(qint64, at);
        QFETCH(qint64, volts);
        QFETCH(quint32, alarms);
        QFETCH(QString, notes);

        const auto scheduled = ScheduledTrip::parse(trip);
        QCOMPARE(scheduled.has_value(), !notes.isEmpty());
        if (!scheduled)
            return;
        SupplyConfig c = config();
        c.settleMs = 100;
        ManualClock clock;
        PowerSupply s(c, clock);
        QStringList changes;
        s.onChange = [&](const QString &what) { changes << what; };
        s.scheduleTrip(scheduled->bits, scheduled->afterOnMs);
        QVERIFY(s.setVoltage(10) && s.setCurrent(100) && s.start());
        for (qint64 t = 0; t < at; t += 10) {
            clock.advance(std::min<qint64>(10, at - t));
            s.update();
            if (clock.nowMs() == 200)
                QVERIFY(s.setVoltage(6));
        }
        QCOMPARE(s.voltageReadingMv(), volts);
        QCOMPARE(s.latchedAlarms(), alarms);
        QCOMPARE(changes.join(QLatin1Char('|')), notes);
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
        PowerSupply s(config(ohms), clock);
        // Readings, the status word's control and power bits, the alarms.
        const auto state = [&] {
            const quint32 bits = WordA::CurrentControl | WordA::VoltageControl | WordA::Power | WordA::Standby;
            return QList<qint64>({s.voltageReadingMv(), s.currentReadingMa(), s.statusWordA() & bits, s.latchedAlarms()});
        };
        QVERIFY(s.setVoltage(vset) && s.setCurrent(iset));
        const QList<qint64> standby = {0, 0, WordA::Standby, 0}; // zero whatever the setpoints
        QCOMPARE(state(), standby);
        QVERIFY(s.start());
        const quint32 control = cc ? WordA::CurrentControl : WordA::VoltageControl;
        QCOMPARE(state(), QList<qint64>({volts, amps, control | WordA::Power, 0}));
        s.stop();
        QCOMPARE(state(), standby);
        QCOMPARE(s.statusWordA(), 72u);
    }

    void tripsLatchAndClear_data()
    {
        QTest::addColumn<double>("vset");
        QTest::addColumn<double>("iset");
        QTest::addColumn<double>("ovp");
        QTest::addColumn<double>("ocp");
        QTest::addColumn<bool>("running"); // levels lowered while the output runs, or set before
        QTest::addColumn<quint32>("alarm");

        QTest::newRow("over-voltage") << 12.0 << 100.0 << 10.0 << 110.0 << true << WordB::Ovt;
        QTest::newRow("over-current in CV") << 12.0 << 100.0 << 16.5 << 30.0 << true << WordB::Oct;
        QTest::newRow("over-current in CC") << 15.0 << 20.0 << 16.5 << 19.0 << true << WordB::Oct;
        QTest::newRow("readings at their levels: no trip") << 10.0 << 100.0 << 10.0 << 100.0 / 3 << false << 0u;
        QTest::newRow("start one step above the level") << 10.0 << 100.0 << 9.999 << 110.0 << false << WordB::Ovt;
        QTest::newRow("start above both levels") << 12.0 << 100.0 << 11.0 << 30.0 << false << (WordB::Ovt | WordB::Oct);
    }

    void tripsLatchAndClear()
    {
        QFETCH(double, vset);
        QFETCH(double, iset);
        QFETCH(double, ovp);
        QFETCH(double, ocp);
        QFETCH(bool, running);
        QFETCH(quint32, alarm);

        ManualClock clock;
        PowerSupply s(config(), clock);
        s.setVoltage(vset);
        s.setCurrent(iset);
        if (running)
            QVERIFY(s.start());
        s.setOverVoltage(ovp);
        s.setOverCurrent(ocp);
        if (!running)
            s.start();
        QCOMPARE(s.outputOn(), alarm == 0);
        QCOMPARE(s.latchedAlarms(), alarm);
        if (alarm == 0)
            return;
        QCOMPARE(QList<quint32>({s.statusWordA(), s.statusWordB()}),
                 QList<quint32>({72u | WordA::StandbyAlarm, alarm | WordB::Alarm}));
        QCOMPARE(s.voltageReadingMv(), 0);

        // The latch holds: the output cannot start again until it is cleared.
        QVERIFY(!s.start());
        QCOMPARE(s.errors().size(), 1);
        QCOMPARE(s.errors().pop().code, Err::SettingsConflict);
        s.setOverVoltage(16.5);
        s.setOverCurrent(110);
        QCOMPARE(s.latchedAlarms(), alarm);

        s.clearProtection();
        QCOMPARE(QList<quint32>({s.statusWordA(), s.statusWordB()}), QList<quint32>({72u, 0u}));
        QVERIFY(s.start());
        QCOMPARE(s.latchedAlarms(), 0u);
        QVERIFY(s.voltageReadingMv() > 0);
    }

    void interlockLatchesWhileOpen()
    {
        ManualClock clock;
        PowerSupply s(config(), clock);
        QVERIFY(s.setVoltage(5) && s.setCurrent(10));
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
};

QTEST_GUILESS_MAIN(TestPowerSupply)
#include "tst_powersupply.moc"
