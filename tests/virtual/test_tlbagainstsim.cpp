// The TLB panel against zop-sim over TCP/IP on loopback: the displays and lamps follow what the
// emulator's model does.

#include "link/tcptransport.h"
#include "panelfixture.h"
#include "simprocess.h"
#include "engine/instrumentstate.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
// A panel on a real TCP/IP link to the emulator, on the real clock.
struct SimPanel {
    explicit SimPanel(const QStringList &simArguments = {}) : sim(simArguments)
    {
        ResetModData();
        ModData &data = modData();
        data.prompter = prompter;
        data.debugLog.setPath(dir.filePath("debug.txt"));
        data.ProgramFolder = dir.path();
        data.CommKind = LinkKind::TcpIp;
        data.CommAddress = "127.0.0.1";
        data.CommPort = sim.port();
        OpenLink();
        RefreshInstrumentState();
        SetProgramEnder([] {});
        panel = new VirtualPanel(PanelId::TLB);
        panel->show();
        data.CurrentPanel = panel.data();
    }
    ~SimPanel()
    {
        delete panel.data();
        SetProgramEnder(nullptr);
        ResetModData();
    }
    Lamp *lamp(const char *array, int index) { return panel->lamp(QLatin1String(array), index); }

    SimProcess sim;
    QTemporaryDir dir;
    std::shared_ptr<RecordingPrompter> prompter = std::make_shared<RecordingPrompter>();
    QPointer<VirtualPanel> panel;
};
} // namespace

class TestTlbAgainstSim : public QObject {
    Q_OBJECT
private slots:
    void knobsAndStartMoveTheReading_data();
    void knobsAndStartMoveTheReading();
    void overVoltageTripLatchesUntilClear();
};

void TestTlbAgainstSim::knobsAndStartMoveTheReading_data()
{
    QTest::addColumn<float>("volts"); // the knobs; the load is 1 ohm
    QTest::addColumn<float>("amps");
    QTest::addColumn<QString>("reading"); // volts|amps shown
    QTest::addColumn<int>("controlLamp"); // voltage CTL 8, current CTL 10
    QTest::newRow("voltage control") << 5.0f << 50.0f << "5.00|5.0" << 8;
    QTest::newRow("low current limit") << 10.0f << 2.0f << "2.00|2.0" << 10;
}

void TestTlbAgainstSim::knobsAndStartMoveTheReading()
{
    QFETCH(float, volts);
    QFETCH(float, amps);
    QFETCH(int, controlLamp);
    SimPanel s({"--volts", "15", "--amps", "100", "--load-ohms", "1"});
    QVERIFY(s.sim.port());
    VirtualPanel &p = *s.panel;
    p.tmrInfo_Timer();
    QVERIFY(s.lamp("lblStatus", 6)->isLit()); // STANDBY
    QCOMPARE(p.txtVolt->text(), QString("0.00"));

    p.knbVolt->setValue(volts);
    p.knob_TurnEnded(p.knbVolt);
    p.knbCurr->setValue(amps);
    p.knob_TurnEnded(p.knbCurr);
    p.cmdStart_Click();
    p.tmrInfo_Timer();
    QTEST(p.txtVolt->text() + "|" + p.txtCurr->text(), "reading");
    QVERIFY(s.lamp("lblStatus", 7)->isLit()); // POWER
    QVERIFY(s.lamp("lblStatus", controlLamp)->isLit());
    QVERIFY(!s.lamp("lblStatus", 18 - controlLamp)->isLit()); // not the other CTL
    QVERIFY(!s.lamp("lblStatus", 6)->isLit());
    QVERIFY(s.prompter->shown.isEmpty());
}

void TestTlbAgainstSim::overVoltageTripLatchesUntilClear()
{
    SimPanel s({"--volts", "15", "--amps", "100", "--load-ohms", "1"});
    VirtualPanel &p = *s.panel;
    // OVT at 3 V through the menu, then 5 V out: the trip latches and the output drops.
    p.cmdMenu_Click();
    p.cmdItem_Click();
    p.cmdItem_Click();
    QCOMPARE(p.MenuLevel, qint16(7));
    p.txtInput->setText("3");
    p.txtInput_Change();
    p.cmdEnter_Click();
    QCOMPARE(modData().Settings.VoltProt, 3.0f);
    p.knbVolt->setValue(5);
    p.knob_TurnEnded(p.knbVolt);
    p.knbCurr->setValue(50);
    p.knob_TurnEnded(p.knbCurr);
    p.cmdStart_Click();
    p.tmrInfo_Timer();
    QVERIFY(s.lamp("lblErrors", 0)->isLit()); // OVT
    QVERIFY(s.lamp("lblStatus", 6)->isLit());  // back in standby
    // CLEAR at idle releases the latch.
    p.cmdClear_MouseDown();
    p.cmdClear_MouseUp();
    p.tmrInfo_Timer();
    QVERIFY(!s.lamp("lblErrors", 0)->isLit());
    QVERIFY(s.sim.receivedLines().contains("OUTP:PROT:CLE"));
}

QTEST_MAIN(TestTlbAgainstSim)
#include "test_tlbagainstsim.moc"
