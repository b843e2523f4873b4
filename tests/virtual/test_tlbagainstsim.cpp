// The TLB front panel against zop-sim over TCP/IP on loopback: the displays and lamps follow what the
// emulator's model does.

#include "link/tcptransport.h"
#include "enginefixture.h"
#include "simprocess.h"
#include "state/instrumentstate.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
// The TLB's front-panel engine on a real TCP/IP link to the emulator, on the real clock.
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
        current.setObjectName("frmTLB");
        data.CurrentPanel = &current;
        panel.start();
    }
    ~SimPanel() { ResetModData(); }
    bool lit(const char *lamp) const { return panel.lamp(QLatin1String(lamp)) != LampLight::Dark; }
    void turn(FrontKnob knob, float value)
    {
        view.knobs[knob].value = value;
        panel.knobTurnEnded(knob, value);
    }
    void click(FrontKey key)
    {
        panel.press(key);
        panel.release(key);
    }
    void poll() { panel.tick(FrontPanel::Timer::Poll); }

    SimProcess sim;
    QTemporaryDir dir;
    std::shared_ptr<RecordingPrompter> prompter = std::make_shared<RecordingPrompter>();
    QObject current;
    RecordingView view;
    FrontPanel panel{SeriesSpecFor(PanelId::TLB), view};
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
    s.poll();
    QVERIFY(s.lit("lblStatus(6)")); // STANDBY
    QCOMPARE(s.panel.shown(FrontDisplay::Volt), QString("0.00"));
    s.turn(FrontKnob::Volt, volts);
    s.turn(FrontKnob::Curr, amps);
    s.click(FrontKey::Start);
    s.poll();
    QTEST(s.panel.shown(FrontDisplay::Volt) + "|" + s.panel.shown(FrontDisplay::Curr), "reading");
    QVERIFY(s.lit("lblStatus(7)")); // POWER
    QVERIFY(s.lit(qPrintable(QString("lblStatus(%1)").arg(controlLamp))));
    QVERIFY(!s.lit(qPrintable(QString("lblStatus(%1)").arg(18 - controlLamp)))); // not the other CTL
    QVERIFY(!s.lit("lblStatus(6)"));
    QVERIFY(s.prompter->shown.isEmpty());
}

void TestTlbAgainstSim::overVoltageTripLatchesUntilClear()
{
    SimPanel s({"--volts", "15", "--amps", "100", "--load-ohms", "1"});
    // OVT at 3 V through the menu, then 5 V out: the trip latches and the output drops.
    s.click(FrontKey::Menu);
    s.click(FrontKey::Item);
    s.click(FrontKey::Item);
    QCOMPARE(s.panel.menuLevel(), qint16(7));
    s.panel.textEdited("3");
    s.click(FrontKey::Enter);
    QCOMPARE(modData().Settings.VoltProt, 3.0f);
    s.turn(FrontKnob::Volt, 5);
    s.turn(FrontKnob::Curr, 50);
    s.click(FrontKey::Start);
    s.poll();
    QVERIFY(s.lit("lblErrors(0)")); // OVT
    QVERIFY(s.lit("lblStatus(6)"));  // back in standby
    // CLEAR at idle releases the latch.
    s.click(FrontKey::Clear);
    s.poll();
    QVERIFY(!s.lit("lblErrors(0)"));
    QVERIFY(s.sim.receivedLines().contains("OUTP:PROT:CLE"));
}

QTEST_MAIN(TestTlbAgainstSim)
#include "test_tlbagainstsim.moc"
