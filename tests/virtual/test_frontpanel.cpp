// The front-panel engine without a window, on a scripted link and a manual clock: the keys and
// menus of each series, typed entry, CLEAR and its holds, the time-outs, the knobs, and the
// status poll (readings, lamps, power state, the replies it refuses).

#include "enginefixture.h"
#include "state/instrumentstate.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

Q_DECLARE_METATYPE(zop::PanelId)
Q_DECLARE_METATYPE(zop::LampLight)

namespace {
using K = FrontKey;
using D = FrontDisplay;
} // namespace

class TestFrontPanel : public QObject {
    Q_OBJECT
private slots:
    // Keys and menus.
    void startsIdleAndPolling();
    void menuLevelsPerSeries_data();
    void menuLevelsPerSeries();
    void menuOpensTheVoltageSetpoint();
    void itemIsLockedAfterAValueChange();
    void holdingUpAcceleratesOnTheFormatGrid();
    void upAndDownAreClamped();
    void enterConfirmsTypedValues_data();
    void enterConfirmsTypedValues();
    void typedEntryIsFiltered_data();
    void typedEntryIsFiltered();
    void directAdjustmentFromIdle();
    void displayKeysShowSetpointsAndTrips_data();
    void displayKeysShowSetpointsAndTrips();
    void configurationMenu_data();
    void configurationMenu();
    void calibrationCodes_data();
    void calibrationCodes();
    void potentiometerMenu();
    void calibrationKeyHeldTenSeconds();
    void keySetFollowsTheMenu();
    void startStopArm();
    void memoryKeyWrapsAround_data();
    void memoryKeyWrapsAround();
    void setpointKeys_data();
    void setpointKeys();
    void setpointKeyHoldsTheLevel();
    // CLEAR and the time-outs.
    void menuTimeOutRunsOnce_data();
    void menuTimeOutRunsOnce();
    void sixtySecondsInCalibrationLeaves();
    void clearHoldSendsResetsOnce();
    void clearReleaseRestoresTheSetpoint_data();
    void clearReleaseRestoresTheSetpoint();
    void clearClickVariants();
    // Knobs.
    void knobTurnSendsTheDisplayedValue_data();
    void knobTurnSendsTheDisplayedValue();
    void knobsFollowSetpointsSetElsewhere_data();
    void knobsFollowSetpointsSetElsewhere();
    // The poll.
    void pollShowsReadingsAndLamps_data();
    void pollShowsReadingsAndLamps();
    void lampsFromStatusWords_data();
    void lampsFromStatusWords();
    void shortReplyUsesDefaults_data();
    void shortReplyUsesDefaults();
    void lowerCaseLettersAreRefused();
    void garbageRepliesEndTheTickQuietly_data();
    void garbageRepliesEndTheTickQuietly();
    void silentInstrumentFallsBackToSimulated();
    void memoryChangeAtTheInstrumentRereadsState();
    void noTimerExchangeWhileAnotherAwaitsItsReply_data();
    void noTimerExchangeWhileAnotherAwaitsItsReply();
    void armFlashesWhileTheOutputIsOn();
    void anotherCurrentPanelMakesItGiveWay();
};

// ---------------------------------------------------------------------------------------------
// Keys and menus.

void TestFrontPanel::startsIdleAndPolling()
{
    EngineFixture f(PanelId::TLB);
    QCOMPARE(f.e->flashItem(), qint16(5));
    QCOMPARE(f.e->powerState(), qint16(3));
    QCOMPARE(f.e->entryMode(), qint16(-1));
    const RecordingView::KnobState volt = f.view.knobs.value(FrontKnob::Volt);
    const RecordingView::KnobState curr = f.view.knobs.value(FrontKnob::Curr);
    QCOMPARE(volt.maximum, 15.0f);
    QCOMPARE(curr.maximum, 100.0f);
    QCOMPARE(volt.value, 12.0f);
    QCOMPARE(curr.value, 5.0f);
    QVERIFY(f.view.knobsEnabled);
    QVERIFY(f.e->timerActive(FrontPanel::Timer::Poll) && f.e->timerActive(FrontPanel::Timer::Flash));
    QVERIFY(!f.e->timerActive(FrontPanel::Timer::Menu));
    QCOMPARE(f.e->timerInterval(FrontPanel::Timer::Poll), FrontPanel::FirstPollMs);
}

void TestFrontPanel::menuLevelsPerSeries_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<int>("idle");
    QTest::addColumn<QList<int>>("levels"); // MENU, then ITEM, ITEM, ...
    QTest::newRow("TLB standby") << PanelId::TLB << QByteArray("0,0,48,0,3") << 3
                                 << QList<int>{5, 6, 7, 8, 9, 10, 11, 5};
    QTest::newRow("TLB output on") << PanelId::TLB << QByteArray("0,0,180,0,3") << 3
                                   << QList<int>{5, 6, 7, 8, 9, 11, 5};
    QTest::newRow("TLB on and armed") << PanelId::TLB << QByteArray("0,0,181,0,3") << 3
                                      << QList<int>{5, 6, 7, 8, 9, 5};
    QTest::newRow("KM standby") << PanelId::KM << QByteArray("0,0,48,0,3") << 4 << QList<int>{7, 8, 9, 10, 7};
    QTest::newRow("TW output on") << PanelId::TW << QByteArray("0,0,180,0,3") << 4 << QList<int>{7, 8, 10, 7};
    QTest::newRow("GZ standby") << PanelId::GZ << QByteArray("0,0,48,0,3") << 4 << QList<int>{9, 10, 9};
    QTest::newRow("GZ output on") << PanelId::GZ << QByteArray("0,0,180,0,3") << 4 << QList<int>{10, 10};
}

void TestFrontPanel::menuLevelsPerSeries()
{
    QFETCH(PanelId, series);
    QFETCH(QByteArray, status);
    QFETCH(int, idle);
    QFETCH(QList<int>, levels);
    EngineFixture f(series);
    QCOMPARE(int(f.e->menuLevel()), idle);
    f.staReply = status + "\r\n";
    f.poll();
    f.click(K::Menu);
    QList<int> seen{f.e->menuLevel()};
    while (seen.size() < levels.size()) {
        f.click(K::Item);
        seen << f.e->menuLevel();
    }
    QCOMPARE(seen, levels);
    QVERIFY(!f.view.knobsEnabled);
    QVERIFY(!f.e->timerActive(FrontPanel::Timer::Poll));
}

void TestFrontPanel::menuOpensTheVoltageSetpoint()
{
    EngineFixture f;
    f.click(K::Menu);
    QCOMPARE(f.e->menuLevel(), qint16(5));
    QCOMPARE(f.e->menuSub(), qint16(2));
    QCOMPARE(f.sent(), QStringList{"<>CHG 5,-1,2"});
    QVERIFY(!f.e->timerActive(FrontPanel::Timer::Poll) && f.e->timerActive(FrontPanel::Timer::Menu));
    f.redraw(false);
    QCOMPARE(f.shown(D::Volt), QString("12.00"));
    QCOMPARE(f.shown(D::Curr), QString());
    QCOMPARE(f.e->legend(), QString("VOLT SET"));
    QVERIFY(f.lit("lblStatus(8)")); // the voltage setpoint lamp
    // MENU again inside a menu does nothing.
    f.click(K::Menu);
    QCOMPARE(f.sent(), QStringList{});
}

void TestFrontPanel::itemIsLockedAfterAValueChange()
{
    EngineFixture f;
    f.click(K::Menu);
    f.click(K::Up);
    f.click(K::Item);
    QCOMPARE(f.e->menuLevel(), qint16(5));
    f.click(K::Enter); // leaves the menu
    f.click(K::Menu);  // MENU clears the lock
    f.click(K::Item);
    QCOMPARE(f.e->menuLevel(), qint16(6));
}

void TestFrontPanel::holdingUpAcceleratesOnTheFormatGrid()
{
    EngineFixture f;
    modData().Settings.VoltSet = 1;
    f.click(K::Menu);
    f.sent();
    f.e->press(K::Up);
    QCOMPARE(f.sent(), (QStringList{"<>IGN 1", "<>TYP 0", "VOLT 1.01"}));
    // Ten more steps of 0.0101 every 0.25 s...
    f.advance(2500);
    QCOMPARE(float(f.e->editValue()), 1.11f);
    QCOMPARE(f.sent().size(), 10);
    // ...then 20 steps of 3 x 0.0101, the first 0.25 s after the eleventh, then every 0.15 s...
    f.advance(250 + 150 * 19);
    QCOMPARE(float(f.e->editValue()), 1.71f);
    // ...then 13 x 0.0101 every 0.1 s.
    f.advance(150);
    QCOMPARE(float(f.e->editValue()), 1.84f);
    f.sent();
    f.e->release(K::Up);
    QCOMPARE(f.sent(), QStringList{"<>IGN 0"});
    f.advance(1000);
    QCOMPARE(float(f.e->editValue()), 1.84f);
    QVERIFY(!f.e->timerActive(FrontPanel::Timer::Poll)); // still in the menu
    QCOMPARE(modData().Settings.VoltSet, 1.84f);
}

void TestFrontPanel::upAndDownAreClamped()
{
    EngineFixture f;
    modData().Settings.VoltSet = 0.005f;
    f.click(K::Menu);
    f.click(K::Dn);
    QCOMPARE(f.e->editValue(), 0.0);
    f.click(K::Enter);
    modData().Settings.VoltSet = 15;
    f.click(K::Menu);
    f.sent();
    f.click(K::Up);
    QCOMPARE(f.e->editValue(), 15.0);
    QVERIFY(f.sent().contains("VOLT 15"));
}

void TestFrontPanel::enterConfirmsTypedValues_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("command");
    QTest::newRow("voltage") << 0 << "12.5" << "VOLT 12.5";
    QTest::newRow("voltage above the rating") << 0 << "99" << "VOLT 15";
    QTest::newRow("current") << 1 << "7" << "CURR 7";
    QTest::newRow("OVT below its low limit") << 2 << "0.1" << "VOLT:PROT 1.5";
    QTest::newRow("OCT") << 3 << "60" << "CURR:PROT 60";
    QTest::newRow("period") << 4 << "20" << "PER 20";
}

void TestFrontPanel::enterConfirmsTypedValues()
{
    QFETCH(int, items);
    QFETCH(QString, typed);
    QFETCH(QString, command);
    EngineFixture f;
    f.openMenu(items);
    const qint16 level = f.e->menuLevel();
    f.sent();
    f.typeInto(typed);
    QCOMPARE(f.e->entryMode(), qint16(1));
    const QStringList typing = f.sent();
    QCOMPARE(typing.mid(0, 2), (QStringList{QStringLiteral("<>CHG %1,-1,2").arg(level), "<>TYP 1"}));
    QCOMPARE(typing.last(), "<>PRO " + typed);
    f.click(K::Enter);
    QCOMPARE(f.sent(), (QStringList{command, "<>CHG 0,-1,0"}));
    QCOMPARE(f.e->flashItem(), level);
    QCOMPARE(f.e->menuLevel(), qint16(3));
    QCOMPARE(f.e->entryMode(), qint16(-1));
    QVERIFY(f.e->typed().isEmpty() && f.view.typed.isEmpty());
    QVERIFY(f.e->timerActive(FrontPanel::Timer::Poll) && !f.e->timerActive(FrontPanel::Timer::Menu));
    QCOMPARE(modData().SettingsBackup, modData().Settings);
}

void TestFrontPanel::typedEntryIsFiltered_data()
{
    QTest::addColumn<QString>("typed"); // a key at a time
    QTest::addColumn<QString>("kept");
    QTest::newRow("four digits") << "12345" << "1234";
    QTest::newRow("point after four") << "1234." << "1234.";
    QTest::newRow("point then more") << "1234.56" << "1234.";
    QTest::newRow("leading point") << "." << "0.";
    QTest::newRow("leading point digits") << ".5" << "0.5";
    QTest::newRow("second point dropped") << "1.2.3" << "1.23";
    QTest::newRow("letters dropped") << ".5x" << "0.5";
    QTest::newRow("minus dropped") << "-5" << "5";
}

void TestFrontPanel::typedEntryIsFiltered()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    EngineFixture f;
    f.click(K::Menu);
    f.typeInto(typed);
    QCOMPARE(f.e->typed(), kept);
    QCOMPARE(f.view.typed, kept); // the entry shows what is kept
}

void TestFrontPanel::directAdjustmentFromIdle()
{
    EngineFixture f;
    // ENTER with nothing adjusted only resets the instrument's menu state.
    f.click(K::Enter);
    QCOMPARE(f.sent(), QStringList{"<>CHG 0,-1,0"});
    // Confirm a current setpoint, making current the directly adjusted value.
    f.openMenu(1);
    f.typeInto("5");
    f.click(K::Enter);
    QCOMPARE(f.e->flashItem(), qint16(6));
    f.sent();
    f.e->press(K::Up);
    QCOMPARE(f.e->menuSub(), qint16(7));
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CHG 3,-1,7", "<>IGN 1", "<>TYP 0", "CURR 5.1"}));
    f.e->release(K::Up);
    // The value flashes while the readings keep updating.
    f.flash(false);
    f.poll();
    QVERIFY(f.lit("lblStatus(10)"));
    QCOMPARE(f.shown(D::Curr), QString("5.1"));
    f.flash(true);
    f.poll();
    QVERIFY(!f.lit("lblStatus(10)"));
    // Ten seconds without a key end the adjustment, back to the setpoint confirmed last: the
    // saved value is sent before the menu state is reset, so the instrument drops the step.
    f.sent();
    f.run(10500);
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CLR 0", "CURR 5", "<>CHG 0,-1,0"}));
    QCOMPARE(f.e->menuSub(), qint16(0));
    QCOMPARE(modData().Settings.CurrSet, 5.0f);
    f.run(2000);
    QCOMPARE(f.sent(), QStringList(10, "<>STA"));
}

void TestFrontPanel::displayKeysShowSetpointsAndTrips_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("pressed"); // sent on the press
    QTest::addColumn<QString>("shown");       // volts|amps
    QTest::addColumn<QString>("legend");
    QTest::addColumn<QStringList>("back"); // sent when the level returns
    QTest::newRow("TLB DISPLAY") << PanelId::TLB << int(K::Display)
                                 << QStringList{"<>CHG 2,-1,0", "<>TYP -1", "<>STA"} << "7.25|5.0"
                                 << "SET POINTS" << QStringList{"<>CHG 3,-1,0", "<>TYP -1"};
    QTest::newRow("TW TRIP") << PanelId::TW << int(K::Trip) << QStringList{"<>CHG 3,-1,0", "<>STA"}
                             << "13.50|50.0" << "TRIPS" << QStringList{"<>CHG 4,-1,0"};
    QTest::newRow("GZ V/I") << PanelId::GZ << int(K::VISet) << QStringList{"<>CHG 2,-1,0", "<>STA"}
                            << "7.25|5.0" << "SET POINTS" << QStringList{"<>CHG 4,-1,0"};
}

void TestFrontPanel::displayKeysShowSetpointsAndTrips()
{
    QFETCH(PanelId, series);
    QFETCH(int, key);
    QFETCH(QStringList, pressed);
    QFETCH(QString, shown);
    QFETCH(QString, legend);
    QFETCH(QStringList, back);
    EngineFixture f(series);
    f.staReply = "2EE0,1F4,48,0,3\r\n";
    modData().SettingsBackup.VoltSet = 7.25f;
    const qint16 idle = f.e->menuLevel();
    f.e->press(K(key));
    QCOMPARE(f.sent(), pressed);
    QCOMPARE(f.shown(D::Volt) + '|' + f.shown(D::Curr), shown);
    QCOMPARE(f.e->legend(), legend);
    f.e->release(K(key));
    f.advance(300);
    QVERIFY(f.e->menuLevel() != idle); // held for 0.4 s after the release
    f.advance(200);
    QCOMPARE(f.e->menuLevel(), idle);
    QCOMPARE(f.sent(), back);
    QVERIFY(f.e->timerActive(FrontPanel::Timer::Poll));
    f.poll(); // the next reading clears the legend
    QCOMPARE(f.e->legend(), QString());
}

void TestFrontPanel::configurationMenu_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<int>("items"); // ITEM after MENU to the configuration level
    QTest::addColumn<QList<int>>("cycle");
    QTest::addColumn<QStringList>("lock"); // ENTER on LOC
    QTest::newRow("TLB") << PanelId::TLB << 5 << QList<int>{1, 2, 7, 0}
                         << QStringList{"CONF:INTE 1", "<>CHG 0,-1,0"};
    QTest::newRow("KM") << PanelId::KM << 2 << QList<int>{1, 2, 6, 0}
                        << QStringList{"CONF:INTE 1", "<>CHG 0,-1,0"};
    QTest::newRow("GZ") << PanelId::GZ << 0 << QList<int>{1, 2, 6, 0}
                        << QStringList{"CONF:INTE 1", "<>CHG 0,-1,0"};
}

void TestFrontPanel::configurationMenu()
{
    QFETCH(PanelId, series);
    QFETCH(int, items);
    QFETCH(QList<int>, cycle);
    QFETCH(QStringList, lock);
    EngineFixture f(series);
    const qint16 level = f.e->spec().configLevel;
    const qint16 idle = f.e->spec().idleLevel;
    f.openMenu(items);
    QCOMPARE(f.e->menuLevel(), level);
    QCOMPARE(f.view.typedLocked, f.e->spec().typedEntry);
    f.sent();
    f.click(K::Enter);
    QCOMPARE(f.e->menuItem(), qint16(0));
    QCOMPARE(f.sent(), QStringList{QStringLiteral("<>CHG %1,0,2").arg(level)});
    QList<int> seen;
    QStringList told;
    for (int i = 0; i < 4; ++i) {
        f.click(K::Item);
        seen << f.e->menuItem();
        told << QStringLiteral("<>CHG %1,%2").arg(level).arg(f.e->menuItem());
    }
    QCOMPARE(seen, cycle);
    QCOMPARE(f.sent(), told);
    f.click(K::Item);
    f.click(K::Enter); // INT CTL on
    QCOMPARE(f.sent(), (QStringList{QStringLiteral("<>CHG %1,1").arg(level), "CONF:CONT:INT 1", "<>CHG 0,-1,0"}));
    QCOMPARE(f.e->menuLevel(), idle);
    // LOC set with ENTER; CLEAR on a selected item turns it off.
    f.openMenu(items);
    f.click(K::Enter);
    for (int i = 0; i < 3; ++i)
        f.click(K::Item);
    f.sent();
    f.click(K::Enter);
    QCOMPARE(f.sent(), lock);
    f.openMenu(items);
    f.click(K::Enter);
    for (int i = 0; i < 3; ++i)
        f.click(K::Item);
    f.sent();
    f.click(K::Clear);
    QCOMPARE(f.sent(), (QStringList{"<>CLR 0", "CONF:INTE 0"}));
    // Ten seconds without a key leave, even with an item selected.
    f.advance(600);
    f.openMenu(items);
    f.click(K::Enter);
    f.clock->advance(10001);
    f.e->tick(FrontPanel::Timer::Menu);
    f.advance(600);
    QCOMPARE(f.e->menuLevel(), idle);
}

void TestFrontPanel::calibrationCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("level");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("potentiometers") << "3846" << 11 << QStringList{"CAL:PASS 3846", "<>POT"};
    QTest::newRow("scales") << "6043" << 12 << QStringList{"CAL:PASS 6043", "<>POT"};
    QTest::newRow("wrong code") << "1111" << 3 << QStringList{"<>CHG 0,-1,0"};
}

void TestFrontPanel::calibrationCodes()
{
    QFETCH(QString, code);
    QFETCH(int, level);
    QFETCH(QStringList, commands);
    EngineFixture f;
    f.openMenu(6);
    QCOMPARE(f.e->menuLevel(), qint16(11));
    f.sent();
    f.typeInto(code.left(2));
    QCOMPARE(f.e->entryMode(), qint16(1));
    f.typeInto(code.mid(2));
    f.flash(false);
    f.run(300); // the menu redraws; the instrument is told each text once
    QCOMPARE(f.shown(D::Volt), QString("CAL "));
    QCOMPARE(f.shown(D::Curr), code);
    QStringList typing{"<>CHG 11,-1,1", "<>TYP 1"};
    for (int n = 1; n <= 4; ++n)
        typing << "<>PRO " + code.left(n);
    QCOMPARE(f.sent(), typing);
    f.click(K::Enter);
    QCOMPARE(f.e->menuLevel(), qint16(level));
    QCOMPARE(f.sentWithoutPolls(), commands);
    if (level >= 11) {
        QCOMPARE(f.e->menuItem(), qint16(0));
        QCOMPARE(f.e->editValue(), 5.0);
        QVERIFY(!f.view.knobsEnabled);
    }
}

void TestFrontPanel::potentiometerMenu()
{
    EngineFixture f;
    f.enterPotCalibration();
    f.click(K::Item);
    QCOMPARE(f.e->menuItem(), qint16(1));
    QCOMPARE(f.e->editValue(), 6.0);
    f.redraw(false);
    QCOMPARE(f.shown(D::Volt), QString("P"));
    QCOMPARE(f.shown(D::Curr).trimmed(), QString("6"));
    QCOMPARE(f.shown(D::Mem), QString("2"));
    QCOMPARE(f.e->legend(), QString("POT 2"));
    f.sent();
    f.click(K::Up);
    QVERIFY(f.sent().contains("CAL:POT 2,7"));
    // CLEAR puts the potentiometer back and stays in the menu.
    f.click(K::Clear);
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CLR 0", "CAL:POT 2,6"}));
    QCOMPARE(f.e->menuLevel(), qint16(11));
    QCOMPARE(int(modData().Pots[1]), 6);
    // START is taken with a potentiometer selected...
    f.click(K::Start);
    QVERIFY(f.sent().contains("OUTP:START"));
    // ...but not on the items above 4; "rEt" leaves.
    for (int i = 0; i < 6; ++i)
        f.click(K::Item);
    QCOMPARE(f.e->menuItem(), qint16(7));
    f.sent();
    f.click(K::Start);
    QVERIFY(!f.sent().contains("OUTP:START"));
    f.click(K::Enter);
    QCOMPARE(f.e->menuLevel(), qint16(3));
}

void TestFrontPanel::calibrationKeyHeldTenSeconds()
{
    EngineFixture f(PanelId::KM);
    f.replies["<>POT"] = "21,22,23,24,25\r\n";
    f.openMenu(3);
    f.sent();
    // Released early: the progress goes, nothing is sent.
    f.e->press(K::Cal);
    f.advance(5000);
    QCOMPARE(f.view.holdProgress, 5000);
    f.e->release(K::Cal);
    QCOMPARE(f.view.holdProgress, -1);
    f.advance(6000);
    QCOMPARE(f.sentWithoutPolls(), QStringList{});
    QCOMPARE(f.e->menuItem(), qint16(-1));
    f.e->press(K::Cal);
    f.advance(9900);
    QCOMPARE(f.sent(), QStringList{});
    f.advance(200);
    QCOMPARE(f.view.holdProgress, -1);
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"CAL:PASS 3846", "<>POT"}));
    QCOMPARE(f.e->menuLevel(), qint16(10));
    QCOMPARE(f.e->menuItem(), qint16(0));
    QCOMPARE(f.e->editValue(), 33.0);
    QVERIFY(!f.view.hidden[K::Enter] && f.view.hidden[K::Cal] && !f.view.hidden[K::Up]);
    f.e->release(K::Cal);
    f.redraw(false);
    QCOMPARE(f.shown(D::Volt), QString("P"));
    QCOMPARE(f.shown(D::Curr).trimmed(), QString("33"));
    // UP steps the potentiometer; CLEAR puts it back.
    f.click(K::Up);
    QVERIFY(f.sent().contains("CAL:POT 1,34"));
    f.click(K::Clear);
    QCOMPARE(f.sent(), (QStringList{"<>CLR 0", "CAL:POT 1,33"}));
}

void TestFrontPanel::keySetFollowsTheMenu()
{
    EngineFixture f(PanelId::KM);
    QVERIFY(f.view.hidden[K::Up] && f.view.hidden[K::Dn]);
    QVERIFY(!f.view.hidden[K::VISet] && !f.view.hidden[K::Trip]);
    QVERIFY(!f.view.hidden[K::Enter] && f.view.hidden[K::Cal]);
    f.click(K::Menu);
    QVERIFY(!f.view.hidden[K::Up] && f.view.hidden[K::VISet]);
    QVERIFY(f.view.disabled[K::Volt] && f.view.disabled[K::Oct]);
    for (int i = 0; i < 3; ++i)
        f.click(K::Item); // the calibration level: the calibration key in ENTER's place
    QCOMPARE(f.e->menuLevel(), qint16(10));
    QVERIFY(f.view.hidden[K::Enter] && !f.view.hidden[K::Cal]);
    f.click(K::Clear);
    QVERIFY(!f.view.hidden[K::Enter] && f.view.hidden[K::Cal]);
    f.advance(600);
    QCOMPARE(f.e->menuLevel(), qint16(4));
    QVERIFY(f.view.hidden[K::Up] && !f.view.hidden[K::VISet]);
    QVERIFY(!f.view.disabled[K::Volt] && f.view.knobsEnabled);
}

void TestFrontPanel::startStopArm()
{
    EngineFixture f;
    f.click(K::Arm);
    QCOMPARE(f.sent(), QStringList{"OUTP:Arm 1"});
    QCOMPARE(f.e->defaultWordA() & 1, 1);
    QCOMPARE(f.e->lamp("lblArm(0)"), LampLight::Yellow);
    f.click(K::Start);
    QCOMPARE(f.sent(), QStringList{"OUTP:START"});
    QCOMPARE(f.e->powerState(), qint16(5));
    QCOMPARE(f.e->defaultWordA() & ((1 << 7) | (1 << 8) | (1 << 6)), (1 << 7) | (1 << 8));
    f.click(K::Arm); // not while the output is on
    QCOMPARE(f.sent(), QStringList{});
    f.click(K::Stop);
    QCOMPARE(f.sent(), (QStringList{"OUTP:STOP", "<>IGN 0"}));
    QCOMPARE(f.e->powerState(), qint16(3));
    QCOMPARE(f.e->defaultWordA(), 72); // STANDBY and INT CTL; ARM, POWER, CTL cleared
    QVERIFY(!f.lit("lblArm(0)"));
    QVERIFY(f.e->timerActive(FrontPanel::Timer::Poll));
    // START in a value menu is refused, but the default word follows it all the same.
    f.click(K::Menu);
    f.sent();
    f.click(K::Start);
    QCOMPARE(f.sent(), QStringList{});
    QVERIFY(f.e->defaultWordA() & (1 << 7));
}

void TestFrontPanel::memoryKeyWrapsAround_data()
{
    QTest::addColumn<float>("memory");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("command");
    QTest::newRow("9 up") << 9.0f << true << "MEM 0";
    QTest::newRow("0 down") << 0.0f << false << "MEM 9";
    QTest::newRow("4 up") << 4.0f << true << "MEM 5";
}

void TestFrontPanel::memoryKeyWrapsAround()
{
    QFETCH(float, memory);
    QFETCH(bool, up);
    QFETCH(QString, command);
    EngineFixture f;
    modData().Settings.MemLoc = memory;
    f.click(K::Mem);
    QCOMPARE(f.e->menuLevel(), qint16(4));
    QCOMPARE(f.sent(), QStringList{"<>CHG 4,-1,0"});
    f.click(up ? K::Up : K::Dn);
    QVERIFY(f.sent().contains(command));
    f.redraw(true);
    QCOMPARE(f.shown(D::Mem), command.mid(4) + ".");
    // ENTER selects the location and reads the instrument's state again.
    f.click(K::Enter);
    QCOMPARE(f.sent(), (QStringList{command, "<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?", "<>CHG 0,-1,0"}));
}

void TestFrontPanel::setpointKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("asked"); // the dialog's title|offered value
    QTest::addColumn<QString>("command");
    QTest::addColumn<float>("stored");
    QTest::addColumn<bool>("cancel");
    QTest::newRow("voltage as typed") << int(K::Volt) << "12.5abc" << "Voltage Set|12" << "VOLT 12.5abc" << 12.5f << false;
    QTest::newRow("voltage above rating") << int(K::Volt) << "20" << "Voltage Set|12" << "VOLT 20" << 15.0f << false;
    QTest::newRow("current empty: nothing") << int(K::Curr) << "" << "Current Set|5" << "" << 5.0f << false;
    QTest::newRow("OVT junk") << int(K::Ovt) << "abc" << "OVT Set|13.5" << "VOLT:PROT abc" << 1.5f << false;
    QTest::newRow("OVT cancelled") << int(K::Ovt) << "1" << "OVT Set|13.5" << "" << 13.5f << true;
    QTest::newRow("OCT") << int(K::Oct) << "60" << "OCT Set|50" << "CURR:PROT 60" << 60.0f << false;
}

void TestFrontPanel::setpointKeys()
{
    QFETCH(int, key);
    QFETCH(QString, typed);
    QFETCH(QString, asked);
    QFETCH(QString, command);
    QFETCH(float, stored);
    QFETCH(bool, cancel);
    EngineFixture f(PanelId::GZ);
    if (!cancel)
        f.view.answer = typed;
    f.click(K(key));
    const int which = key - int(K::Volt);
    QCOMPARE(f.view.asked, QStringList{asked});
    QCOMPARE(f.sent(), command.isEmpty() ? QStringList{} : QStringList{command});
    QCOMPARE(f.e->menuLevel(), command.isEmpty() ? qint16(4) : qint16(5 + which));
    const SettingsRecord &s = modData().Settings;
    const float fields[] = {s.VoltSet, s.CurrSet, s.VoltProt, s.CurrProt};
    QCOMPARE(fields[which], stored);
    QCOMPARE(modData().SettingsBackup, modData().Settings);
    QCOMPARE(f.view.knobs.value(FrontKnob(which)).value, stored);
}

void TestFrontPanel::setpointKeyHoldsTheLevel()
{
    EngineFixture f(PanelId::KM);
    f.view.answer = QStringLiteral("3");
    f.click(K::Volt);
    f.sent();
    QCOMPARE(f.e->menuLevel(), qint16(5));
    f.advance(700);
    QCOMPARE(f.e->menuLevel(), qint16(5));
    f.advance(200);
    QCOMPARE(f.e->menuLevel(), qint16(4));
    QCOMPARE(f.sent(), QStringList{"<>CHG 4,-1,0"});
    f.click(K::Curr); // CURRENT holds for a second
    f.advance(900);
    QCOMPARE(f.e->menuLevel(), qint16(6));
    f.advance(200);
    QCOMPARE(f.e->menuLevel(), qint16(4));
}

// ---------------------------------------------------------------------------------------------
// CLEAR and the time-outs.

void TestFrontPanel::menuTimeOutRunsOnce_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QStringList>("wire"); // when the menu times out, polls left out
    const QStringList trip{"<>CLR 0", "VOLT:PROT 13.5", "<>CHG 0,-1,0"};
    QTest::newRow("TLB voltage") << PanelId::TLB << QStringList{"<>CLR 0", "VOLT 12", "<>CHG 0,-1,0"};
    QTest::newRow("KM over-voltage trip") << PanelId::KM << trip;
    QTest::newRow("TW over-voltage trip") << PanelId::TW << trip;
    QTest::newRow("GZ configuration") << PanelId::GZ << QStringList{"<>CLR 0", "<>CHG 0,-1,0"};
}

void TestFrontPanel::menuTimeOutRunsOnce()
{
    QFETCH(PanelId, series);
    QFETCH(QStringList, wire);
    EngineFixture f(series);
    f.run(1000);
    f.click(K::Menu);
    f.sent();
    f.run(9900);
    QCOMPARE(f.sent(), QStringList{}); // no polls while the menu is open
    f.run(3100);
    QCOMPARE(f.sentWithoutPolls(), wire);
    QCOMPARE(f.e->menuLevel(), f.e->spec().idleLevel);
    QVERIFY(f.view.knobsEnabled && !f.e->timerActive(FrontPanel::Timer::Menu));
    // Then the panel polls five times a second and sends nothing else.
    f.run(2000);
    QCOMPARE(f.sent(), QStringList(10, "<>STA"));
}

void TestFrontPanel::sixtySecondsInCalibrationLeaves()
{
    EngineFixture f;
    f.enterPotCalibration();
    f.sent();
    f.run(59000);
    QCOMPARE(f.e->menuLevel(), qint16(11));
    QCOMPARE(f.sentWithoutPolls(), QStringList{});
    f.run(3000);
    QCOMPARE(f.e->menuLevel(), qint16(3));
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CHG 0,-1,0", "<>CLR 0"}));
}

void TestFrontPanel::clearHoldSendsResetsOnce()
{
    EngineFixture f;
    f.click(K::Menu);
    f.sent();
    f.e->press(K::Clear);
    f.advance(4900);
    QCOMPARE(f.sent(), QStringList{});
    f.advance(1100);
    QCOMPARE(f.sent(), QStringList{"<>CLR 1"});
    QVERIFY(!f.e->timerActive(FrontPanel::Timer::Menu));
    f.advance(4000);
    QCOMPARE(f.sent(), QStringList{"<>CLR 2"});
    // Twelve blinks after the ten-second mark end the loop; the state is read again.
    f.advance(12 * 800);
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>ALL", "SYST:VERS?"}));
    QVERIFY(!f.view.dimmed);
    f.e->release(K::Clear);
    QCOMPARE(f.sentWithoutPolls().first(), QString("<>CLR 0"));
}

void TestFrontPanel::clearReleaseRestoresTheSetpoint_data()
{
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<QStringList>("wire");
    // The saved setpoint goes back before the menu is left; only then is the state read.
    const QStringList release{"<>CLR 0", "VOLT 12", "<>CHG 0,-1,0", "<>ALL", "SYST:VERS?"};
    QTest::newRow("released at once") << 0 << release;
    QTest::newRow("released after 6 s") << 6000 << QStringList{"<>CLR 1"} + release;
}

void TestFrontPanel::clearReleaseRestoresTheSetpoint()
{
    QFETCH(int, holdMs);
    QFETCH(QStringList, wire);
    EngineFixture f;
    f.click(K::Menu);
    for (int i = 0; i < 3; ++i)
        f.click(K::Up);
    QCOMPARE(modData().Settings.VoltSet, 12.03f);
    f.sent();
    f.e->press(K::Clear);
    f.run(holdMs);
    f.e->release(K::Clear);
    f.run(300);
    QCOMPARE(f.sentWithoutPolls(), wire);
    QCOMPARE(f.e->menuLevel(), qint16(3));
    QCOMPARE(modData().SettingsBackup.VoltSet, 12.0f);
    QCOMPARE(f.view.knobs.value(FrontKnob::Volt).value, 12.0f);
    // Left alone afterwards: polls only, five a second.
    f.run(12000);
    const QStringList later = f.sent();
    QCOMPARE(later.count("<>STA"), later.size());
    QVERIFY(later.size() >= 59);
}

void TestFrontPanel::clearClickVariants()
{
    EngineFixture f(PanelId::KM);
    // Idle with a latched alarm: the protection is released, nothing else.
    f.staReply = "0,0,48,81,0\r\n";
    f.poll();
    f.sent();
    f.click(K::Clear);
    QCOMPARE(f.sent(), (QStringList{"<>CLR 0", "OUTP:PROT:CLE"}));
    // In the OVT menu: the saved trip goes back to the instrument, the menu closes 0.5 s later.
    f.staReply = "0,0,48,0,0\r\n";
    f.poll();
    f.click(K::Menu);
    f.click(K::Up);
    QCOMPARE(modData().Settings.VoltProt, 13.51f);
    f.sent();
    f.click(K::Clear);
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CLR 0", "VOLT:PROT 13.5"}));
    f.advance(400);
    QCOMPARE(f.e->menuLevel(), qint16(7));
    f.advance(200);
    QCOMPARE(f.e->menuLevel(), qint16(4));
}

// ---------------------------------------------------------------------------------------------
// Knobs.

void TestFrontPanel::knobTurnSendsTheDisplayedValue_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<FrontKnob>("knob");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("shown"); // in its display while it turns
    QTest::addColumn<QString>("command");
    QTest::addColumn<float>("stored");
    QTest::newRow("TLB voltage") << PanelId::TLB << FrontKnob::Volt << 7.4567f << "7.46" << "VOLT 7.46" << 7.46f;
    QTest::newRow("KM current cut") << PanelId::KM << FrontKnob::Curr << 7.49f << "7.4" << "CURR 7.4" << 7.4f;
    QTest::newRow("GZ over-voltage trip") << PanelId::GZ << FrontKnob::Ovp << 14.2f << "14.20" << "VOLT:PROT 14.20" << 14.2f;
    QTest::newRow("GZ over-current trip") << PanelId::GZ << FrontKnob::Ocp << 70.0f << "70.0" << "CURR:PROT 70.0" << 70.0f;
}

void TestFrontPanel::knobTurnSendsTheDisplayedValue()
{
    QFETCH(PanelId, series);
    QFETCH(FrontKnob, knob);
    QFETCH(float, value);
    QFETCH(QString, shown);
    QFETCH(QString, command);
    QFETCH(float, stored);
    EngineFixture f(series);
    if (knob == FrontKnob::Ovp)
        QCOMPARE(f.view.knobs.value(knob).maximum, 16.5f);
    f.e->knobTurning(knob, value);
    QVERIFY(!f.e->timerActive(FrontPanel::Timer::Poll));
    const bool volts = knob == FrontKnob::Volt || knob == FrontKnob::Ovp;
    QCOMPARE(f.shown(volts ? D::Volt : D::Curr), shown);
    f.e->knobTurnEnded(knob, value);
    QCOMPARE(f.sent(), QStringList{command});
    QVERIFY(f.e->timerActive(FrontPanel::Timer::Poll)); // polling resumes at the idle level
    const SettingsRecord *records[] = {&modData().Settings, &modData().SettingsBackup};
    for (const SettingsRecord *s : records) {
        const float fields[] = {s->VoltSet, s->CurrSet, s->VoltProt, s->CurrProt};
        QCOMPARE(fields[int(knob)], stored);
    }
}

void TestFrontPanel::knobsFollowSetpointsSetElsewhere_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QString>("change");
    QTest::addColumn<float>("volts"); // the voltage setpoint the change leaves
    const std::pair<const char *, PanelId> series[] = {
        {"KM", PanelId::KM}, {"TW", PanelId::TW}, {"GZ", PanelId::GZ}, {"TLB", PanelId::TLB}};
    for (const auto &[name, id] : series)
        QTest::addRow("%s typed entry", name) << id << "typed" << 1.0f;
    QTest::newRow("TLB memory recall") << PanelId::TLB << "memory" << 3.0f;
    QTest::newRow("TLB CLEAR in a stepped menu") << PanelId::TLB << "clear" << 4.1f;
    QTest::newRow("KM UP in the OVT menu, then ENTER") << PanelId::KM << "step" << 4.1f;
}

// The knob was last turned to 4.1 V; the setpoint then changes another way. The knobs show the
// new setpoint at once, sending nothing, and one step down goes down from there: a stale knob
// raised the output when it was turned down.
void TestFrontPanel::knobsFollowSetpointsSetElsewhere()
{
    QFETCH(PanelId, series);
    QFETCH(QString, change);
    QFETCH(float, volts);
    EngineFixture f(series);
    f.turn(FrontKnob::Volt, 4.1f);
    f.view.knobs[FrontKnob::Volt].value = 9; // where a stale knob would be
    f.instrument[0] = 3000; // what "<>ALL" reports from now on
    f.instrument[1] = 7000;
    f.sent();
    if (change == "typed" && series == PanelId::TLB) {
        f.click(K::Menu);
        f.typeInto("1");
        f.click(K::Enter);
    } else if (change == "typed") {
        f.view.answer = "1";
        f.click(K::Volt);
    } else if (change == "memory") {
        f.click(K::Mem);
        f.typeInto("4");
        f.click(K::Enter);
    } else if (change == "clear") {
        f.click(K::Menu);
        f.click(K::Up);
        f.click(K::Clear);
        f.advance(300);
    } else {
        f.click(K::Menu);
        f.click(K::Up);
        f.click(K::Enter);
    }
    QCOMPARE(modData().Settings.VoltSet, volts);
    QCOMPARE(f.view.knobs.value(FrontKnob::Volt).value, volts);
    QCOMPARE(f.view.knobs.value(FrontKnob::Curr).value, modData().Settings.CurrSet);
    if (f.e->spec().tripKnobs)
        QCOMPARE(f.view.knobs.value(FrontKnob::Ovp).value, modData().Settings.VoltProt);
    QVERIFY(!f.sentWithoutPolls().join(' ').contains("CURR "));
    f.turn(FrontKnob::Volt, f.view.knobs.value(FrontKnob::Volt).value - 0.1f);
    QCOMPARE(f.sentWithoutPolls(), QStringList{"VOLT " + QString::number(volts - 0.1, 'f', 2)});
}

// ---------------------------------------------------------------------------------------------
// The poll.

void TestFrontPanel::pollShowsReadingsAndLamps_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown"); // volts|amps|memory
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("TLB output on in CV") << PanelId::TLB << QByteArray("2EE0,1F4,588,0,3") << "12.00|0.5|3"
                                         << QStringList{"<>STA"};
    QTest::newRow("TLB memory above 9") << PanelId::TLB << QByteArray("2EE0,1F4,588,0,C") << "12.00|0.5|E"
                                        << QStringList{"<>STA", "<>ALL", "SYST:VERS?"};
    QTest::newRow("KM cut to the format") << PanelId::KM << QByteArray("303D,3B,588,0,0") << "12.34|0.0|"
                                          << QStringList{"<>STA"};
    // No letter check and no memory number on the GZ: b = 11 lights OVT and OCT.
    QTest::newRow("GZ memory field ignored") << PanelId::GZ << QByteArray("2EE0,1F4,588,b,9") << "12.00|0.5|"
                                             << QStringList{"<>STA"};
}

void TestFrontPanel::pollShowsReadingsAndLamps()
{
    QFETCH(PanelId, series);
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    QFETCH(QStringList, sent);
    EngineFixture f(series);
    f.staReply = reply + "\r\n";
    f.poll();
    QCOMPARE(f.e->timerInterval(FrontPanel::Timer::Poll), FrontPanel::PollIntervalMs);
    QCOMPARE(f.shown(D::Volt) + '|' + f.shown(D::Curr) + '|' + f.shown(D::Mem), shown);
    QCOMPARE(f.e->powerState(), qint16(4));
    QVERIFY(f.lit("lblStatus(7)") && f.lit("lblStatus(8)") && !f.lit("lblStatus(6)"));
    QCOMPARE(f.lit("lblErrors(0)") && f.lit("lblErrors(1)"), series == PanelId::GZ);
    QCOMPARE(f.sent(), sent);
    QCOMPARE(f.view.pollsRead, 1);
}

void TestFrontPanel::lampsFromStatusWords_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("lamp");
    QTest::addColumn<LampLight>("light");
    QTest::newRow("INT CTL green") << QByteArray("0,0,48,0,3") << "lblStatus(3)" << LampLight::Green;
    QTest::newRow("STANDBY orange") << QByteArray("0,0,48,0,3") << "lblStatus(6)" << LampLight::Orange;
    QTest::newRow("EXT CTL dark") << QByteArray("0,0,48,0,3") << "lblStatus(4)" << LampLight::Dark;
    QTest::newRow("ARM yellow") << QByteArray("0,0,49,0,3") << "lblArm(0)" << LampLight::Yellow;
    QTest::newRow("current CTL green") << QByteArray("0,0,480,0,3") << "lblStatus(10)" << LampLight::Green;
    QTest::newRow("OVT red") << QByteArray("0,0,48,1,3") << "lblErrors(0)" << LampLight::Red;
    QTest::newRow("FSE red") << QByteArray("0,0,48,20,3") << "lblErrors(5)" << LampLight::Red;
    QTest::newRow("LOC red") << QByteArray("0,0,48,100,3") << "lblErrors(8)" << LampLight::Red;
    QTest::newRow("REMOTE green") << QByteArray("0,0,48,200,3") << "lblDisabled(2)" << LampLight::Green;
    QTest::newRow("OCT dark") << QByteArray("0,0,48,1,3") << "lblErrors(1)" << LampLight::Dark;
}

void TestFrontPanel::lampsFromStatusWords()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, lamp);
    QFETCH(LampLight, light);
    EngineFixture f;
    f.staReply = reply + "\r\n";
    f.poll();
    QCOMPARE(f.e->lamp(lamp), light);
}

void TestFrontPanel::shortReplyUsesDefaults_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("two fields") << QByteArray("0,0\r\n");
    QTest::newRow("simulated") << QByteArray("9.999\r\n");
    QTest::newRow("empty line") << QByteArray("\r\n");
}

void TestFrontPanel::shortReplyUsesDefaults()
{
    QFETCH(QByteArray, reply);
    EngineFixture f;
    f.staReply = reply;
    f.poll();
    QVERIFY(f.lit("lblStatus(3)")); // INT CTL
    QCOMPARE(f.e->lamp("lblStatus(6)"), LampLight::Orange); // STANDBY
    QCOMPARE(f.shown(D::Volt), QString("0.00"));
    QCOMPARE(f.shown(D::Curr), QString("0.0"));
    QCOMPARE(f.view.pollsRead, 0); // no reading for the trend
    // With the output on the displays follow the knobs, and START set the default word.
    f.click(K::Start);
    f.poll();
    QCOMPARE(f.shown(D::Volt), QString("12.00"));
    QCOMPARE(f.shown(D::Curr), QString("5.0"));
    QVERIFY(f.lit("lblStatus(7)") && !f.lit("lblStatus(6)")); // POWER, no STANDBY
    f.click(K::Stop);
    f.poll();
    QVERIFY(f.lit("lblStatus(6)"));
    QCOMPARE(f.shown(D::Volt), QString("0.00"));
}

void TestFrontPanel::lowerCaseLettersAreRefused()
{
    EngineFixture f;
    f.staReply = "0,0,48,1,3\r\n";
    f.poll();
    QVERIFY(f.lit("lblErrors(0)"));
    // A reply with "b" is refused: the lamps keep their state, no message outside debug mode.
    f.staReply = "0,0,4b,0,3\r\n";
    f.poll();
    QVERIFY(f.lit("lblErrors(0)"));
    QVERIFY(f.prompter->shown.isEmpty());
    // In debug mode the refusal is reported.
    f.e->setDebugMode(true);
    f.staReply = "j\r\n";
    f.poll();
    QCOMPARE(f.prompter->shown.size(), 1);
    QCOMPARE(f.prompter->shown[0].title, QString("ZOPPanel Error"));
    QCOMPARE(f.prompter->shown[0].icon, MsgIcon::Critical);
    QCOMPARE(f.prompter->shown[0].text,
             QString("Error retrieving scale information:\r\nCommand: <>STA\r\nResponse: j\r\n\r\n"
                     "Error: Result contains 'j'"));
    // While the box is open polling waits: no second box, no poll; it resumes afterwards.
    QStringList sentWhileShown;
    bool open = false;
    f.prompter->whileShown = [&] {
        if (std::exchange(open, true))
            return; // a second box over the first: counted in shown
        f.sent();
        f.run(2000);
        sentWhileShown << f.sent();
        open = false;
    };
    f.prompter->shown.clear();
    f.run(250);
    f.prompter->whileShown = nullptr;
    QCOMPARE(f.prompter->shown.size(), 1);
    QCOMPARE(sentWhileShown, QStringList{});
    QVERIFY(f.e->timerActive(FrontPanel::Timer::Poll));
}

void TestFrontPanel::garbageRepliesEndTheTickQuietly_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("overflow") << QByteArray("1,2,FFFFFFFFFF,0,3\r\n");
    QTest::newRow("four fields") << QByteArray("1,2,48,0\r\n");
    QTest::newRow("junk") << QByteArray("zz#!?,x,y,z,3\r\n");
}

void TestFrontPanel::garbageRepliesEndTheTickQuietly()
{
    QFETCH(QByteArray, reply);
    EngineFixture f;
    f.staReply = reply;
    f.poll();
    QVERIFY(f.prompter->shown.isEmpty());
    QCOMPARE(modData().CommKind, qint16(2));
    // The next tick polls again and shows what it gets.
    f.staReply = "2EE0,1F4,48,0,3\r\n";
    f.poll();
    QCOMPARE(f.shown(D::Volt), QString("12.00"));
}

void TestFrontPanel::silentInstrumentFallsBackToSimulated()
{
    EngineFixture f;
    f.line->responder = [](const QByteArray &) { return QList<ScriptedLine::Chunk>{}; };
    const qint64 before = f.clock->elapsedMs();
    f.poll();
    // The status read waits 2 s quietly, the retry 1 s before the fall-back.
    QVERIFY(f.clock->elapsedMs() - before > 3000);
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>STA"}));
    QCOMPARE(f.prompter->texts(), QStringList{"Device Timed Out.  Entering Simulated Mode!"});
    QCOMPARE(modData().CommKind, qint16(5));
    // Simulated mode then gives the default record.
    f.poll();
    QVERIFY(f.lit("lblStatus(6)"));
}

void TestFrontPanel::memoryChangeAtTheInstrumentRereadsState()
{
    EngineFixture f;
    f.replies["<>ALL"] = "1F40,3E8,3A98,EA60,0,4,1194\r\n";
    f.staReply = "0,0,48,0,4\r\n";
    f.poll();
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>ALL", "SYST:VERS?"}));
    QCOMPARE(modData().Settings.MemLoc, 4.0f);
    QCOMPARE(f.view.knobs.value(FrontKnob::Volt).value, 8.0f);
    QCOMPARE(f.view.knobs.value(FrontKnob::Curr).value, 1.0f);
    f.poll();
    QCOMPARE(f.sent(), QStringList{"<>STA"});
    // The largest memory number is read once, not taken for a change on every poll.
    f.replies["<>ALL"] = "1F40,3E8,3A98,EA60,0,7FFFFFFF,1194\r\n";
    f.staReply = "0,0,48,0,7FFFFFFF\r\n";
    f.poll();
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>ALL", "SYST:VERS?"}));
    f.poll();
    QCOMPARE(f.sent(), QStringList{"<>STA"});
}

void TestFrontPanel::noTimerExchangeWhileAnotherAwaitsItsReply_data()
{
    QTest::addColumn<bool>("memoryChange"); // the poll's own state refresh, or a key's query
    QTest::addColumn<bool>("clearPending"); // CLEAR released after a hold: its state read is due
    QTest::newRow("poll ticks in a key's query") << false << false;
    QTest::newRow("poll ticks in the refresh after a memory change") << true << false;
    QTest::newRow("CLEAR's state read due in a key's query") << false << true;
}

// A TCP/IP wait lets the panel's timers run. A poll inside it took the reply the exchange
// waited for, and the exchange timed out: "Device Timed Out" against an instrument that
// answered. The hold timer's state read after a CLEAR release could do the same.
void TestFrontPanel::noTimerExchangeWhileAnotherAwaitsItsReply()
{
    QFETCH(bool, memoryChange);
    QFETCH(bool, clearPending);
    EngineFixture f;
    f.replies["<>ALL"] = "1F40,3E8,3A98,EA60,0,4,1194\r\n";
    if (clearPending) {
        f.click(K::Menu);
        f.e->press(K::Clear);
        f.advance(6000);
        f.e->release(K::Clear); // the menu is left and the state read 0.2 s later
        f.sent();
    }
    const ScriptedLine::Responder instrument = f.line->responder;
    f.line->responder = [instrument](const QByteArray &command) {
        QList<ScriptedLine::Chunk> chunks = instrument(command);
        if (command != "<>STA")
            for (ScriptedLine::Chunk &chunk : chunks)
                chunk.afterMs = 300; // later than the next tick
        return chunks;
    };
    int ticks = 0; // a few ticks of the timers while the reply is awaited
    f.line->duringWait = [&f, &ticks, clearPending] {
        if (++ticks > 3)
            return;
        if (clearPending)
            f.advance(300); // the hold timer, every 10 ms, until the reply is due
        else
            f.poll();
    };
    QStringList expected{"<>SCL"};
    if (memoryChange) {
        f.staReply = "0,0,48,0,4\r\n";
        f.poll();
        expected = QStringList{"<>STA", "<>ALL", "SYST:VERS?"};
    } else {
        ReadScales();
        QCOMPARE(modData().Ratings.VoltMax, 15.0f);
    }
    QCOMPARE(f.sent(), expected);
    QCOMPARE(f.prompter->texts(), QStringList());
    QCOMPARE(modData().CommKind, qint16(LinkKind::TcpIp));
    if (memoryChange)
        QCOMPARE(modData().Settings.MemLoc, 4.0f);
    // Once the exchange is over, the ticks go on.
    f.line->duringWait = nullptr;
    if (clearPending) {
        f.advance(10);
        QCOMPARE(f.sent(), (QStringList{"<>CHG 0,-1,0", "<>ALL", "SYST:VERS?"}));
        QCOMPARE(f.e->menuLevel(), qint16(3));
    } else {
        f.poll();
        QCOMPARE(f.sent().value(0), QStringLiteral("<>STA"));
    }
}

void TestFrontPanel::armFlashesWhileTheOutputIsOn()
{
    EngineFixture f;
    f.staReply = "0,0,181,0,3\r\n"; // POWER, CV, ARM
    f.flash(false);
    f.poll();
    QCOMPARE(f.e->powerState(), qint16(5));
    QVERIFY(f.lit("lblArm(0)"));
    f.flash(true);
    f.poll();
    QVERIFY(!f.lit("lblArm(0)"));
    // The flash phase turns every 0.35 s.
    f.clock->advance(200);
    f.e->tick(FrontPanel::Timer::Flash);
    QVERIFY(f.e->flashPhase());
    f.clock->advance(200);
    f.e->tick(FrontPanel::Timer::Flash);
    QVERIFY(!f.e->flashPhase());
}

void TestFrontPanel::anotherCurrentPanelMakesItGiveWay()
{
    EngineFixture f;
    f.current.setObjectName("frmCommand");
    f.poll();
    QCOMPARE(f.view.gaveWay, 1);
    QCOMPARE(f.view.pollsRead, 0);
}

QTEST_MAIN(TestFrontPanel)
#include "test_frontpanel.moc"
