// The Calibration Panel against zop-sim over TCP/IP on loopback and over RS-232 on a
// pseudo-terminal, on the real clock: a calibration session from unlocking to "End Cal", with
// every value set and read back from the instrument.

#include "app/configuration.h"
#include "panels/calmod/calibrationpanel.h"
#include "servicefixture.h"
#include "ui/transactionlog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

void SetRow(CalibrationPanel *p, int index, const QString &data)
{
    if (!data.isNull())
        p->txtSCPI(index)->setText(data);
    p->cmdSetSCPI_Click(index);
}

QString GetRow(CalibrationPanel *p, int index)
{
    p->cmdGetSCPI_Click(index);
    return p->txtSCPI(index)->text();
}

QString GetPot(CalibrationPanel *p, int pot)
{
    p->cmdGetPot_Click(pot);
    return p->txtPot(pot)->text();
}

} // namespace

class TestCalibrationAgainstSim : public QObject {
    Q_OBJECT
private slots:
    void calibrationSession_data();
    void calibrationSession();
};

void TestCalibrationAgainstSim::calibrationSession_data()
{
    QTest::addColumn<int>("line");
    QTest::newRow("TCP/IP") << int(SimLine::Tcp);
    QTest::newRow("RS-232") << int(SimLine::Pty);
}

void TestCalibrationAgainstSim::calibrationSession()
{
    QFETCH(int, line);
    const bool tcp = SimLine(line) == SimLine::Tcp;
    SimPanels s({}, SimLine(line));
    QVERIFY(s.started());
    RegisterCalibrationPanel();
    CalibrationPanel *p = s.open<CalibrationPanel>();

    QCOMPARE(GetPot(p, 0), QString("128")); // read while locked
    SetRow(p, CalIndex::Password, ScaleAccessCode);
    QCOMPARE(p->HWVersionLabel->isVisibleTo(p), tcp);

    // Two steps of UP, the second a tenth of a second after the first (on a test clock: the
    // steps read nothing back).
    const std::shared_ptr<Clock> steady = modData().clock;
    auto manual = std::make_shared<ManualClock>();
    modData().clock = manual;
    QTest::mousePress(p->cmdUp, Qt::LeftButton);
    manual->advance(CalibrationPanel::StepIntervalMs);
    p->holdTick();
    QTest::mouseRelease(p->cmdUp, Qt::LeftButton);
    modData().clock = steady;
    QCOMPARE(GetPot(p, 0), QString("130"));
    p->txtPot(3)->setText("7");
    p->cmdSetPot_Click(3);

    SetRow(p, CalIndex::VoltScale, "20");
    QCOMPARE(GetRow(p, CalIndex::VoltScale), QString("20.000"));
    SetRow(p, CalIndex::CalString, "bench 7");
    QCOMPARE(GetRow(p, CalIndex::CalString), QString("bench 7"));
    QCOMPARE(GetRow(p, CalIndex::SystemVersion),
             QString("ZOP-SIM Firmware 4.70 Hardware Revision 1.30"));
    if (tcp) {
        QCOMPARE(GetRow(p, CalIndex::NetHardware), QString("1.00"));
        SetRow(p, CalIndex::NetSerial, "ZS00042");
        QVERIFY(p->rtbTranx->logText().endsWith("SYSTem:NET:SERial ZS00042 6043\nZS00042\r\n"));
        QCOMPARE(GetRow(p, CalIndex::NetSerial), QString("ZS00042"));
    }
    SetRow(p, CalIndex::Defaults, QString());
    QCOMPARE(GetPot(p, 3), QString("128"));
    SetRow(p, CalIndex::EndCal, QString());
    QVERIFY(!p->cmdSetPot(0)->isEnabled() && !p->cmdSetSCPI(CalIndex::VoltScale)->isEnabled());

    // The instrument took every command.
    QCOMPARE(s.ask("SYST:ERR?"), QString("0,\"No error\"\r\n"));
    QCOMPARE(s.ask("CAL:PASS?"), QString("0\r\n"));
    const QStringList received = s.sim.receivedLines();
    QCOMPARE(received.first(), QString("<>CHG 0,-1,0"));
    QVERIFY(received.contains("CAL:POT 1,129") && received.contains("CAL:POT 1,130"));
    QVERIFY(s.prompter->shown.isEmpty());
    QCOMPARE(modData().CommKind, tcp ? LinkKind::TcpIp : LinkKind::Rs232);
}

QTEST_MAIN(TestCalibrationAgainstSim)
#include "test_calibrationagainstsim.moc"
