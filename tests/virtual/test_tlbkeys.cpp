// The TLB panel's keys and menus: MENU/ITEM/UP/DN/ENTER/DISPLAY, typed entry, CLEAR and its
// holds, START/STOP/ARM/MEM, the calibration codes, the menu time-outs and the knobs.

#include "panelfixture.h"
#include "ui/transactionlog.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestTlbKeys : public QObject {
    Q_OBJECT
private slots:
    void menuOpensTheVoltageSetpoint();
    void itemIsLockedAfterAValueChange();
    void holdingUpAcceleratesOnTheFormatGrid();
    void upAndDownAreClamped();
    void enterConfirmsTypedValues_data();
    void enterConfirmsTypedValues();
    void directAdjustmentFromIdle();
    void typedEntryIsFiltered_data();
    void typedEntryIsFiltered();
    void displayShowsSetpointsWhileHeld();
    void configurationMenu();
    void calibrationCodes_data();
    void calibrationCodes();
    void potentiometerMenu();
    void sixtySecondsInCalibrationLeaves();
    void clearHoldSendsResetsOnce();
    void clearReleaseRestoresTheSetpoint_data();
    void clearReleaseRestoresTheSetpoint();
    void startStopArm();
    void memoryKeyWrapsAround_data();
    void memoryKeyWrapsAround();
    void knobTurnSendsTheDisplayedValue();
    void switchDuringAHold_data();
    void switchDuringAHold();
};

void TestTlbKeys::menuOpensTheVoltageSetpoint()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    p.cmdMenu_Click();
    QCOMPARE(p.MenuLevel, qint16(5));
    QCOMPARE(p.MenuSub, qint16(2));
    QCOMPARE(f.sent(), QStringList{"<>CHG 5,-1,2"});
    QVERIFY(!p.tmrInfo.isActive() && p.tmrMenu.isActive());
    QVERIFY(!p.knbVolt->isEnabled() && !p.knbCurr->isEnabled());
    p.FlashPhase = false;
    p.tmrMenu_Timer();
    QCOMPARE(p.txtVolt->text(), QString("12.00"));
    QCOMPARE(p.txtCurr->text(), QString());
    QCOMPARE(p.lblLegend->text(), QString("VOLT SET"));
    QVERIFY(f.lamp("lblStatus", 8)->isLit()); // the voltage setpoint lamp
    // MENU again inside a menu does nothing.
    p.cmdMenu_Click();
    QCOMPARE(f.sent(), QStringList{});
}

void TestTlbKeys::itemIsLockedAfterAValueChange()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    p.cmdMenu_Click();
    p.cmdUp_MouseDown();
    p.cmdUpDn_MouseUp();
    p.cmdItem_Click();
    QCOMPARE(p.MenuLevel, qint16(5));
    p.cmdEnter_Click(); // leaves the menu
    p.cmdMenu_Click();  // MENU clears the lock
    p.cmdItem_Click();
    QCOMPARE(p.MenuLevel, qint16(6));
}

void TestTlbKeys::holdingUpAcceleratesOnTheFormatGrid()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    modData().Settings.VoltSet = 1;
    p.cmdMenu_Click();
    f.sent();
    p.cmdUp_MouseDown();
    QCOMPARE(f.sent(), (QStringList{"<>IGN 1", "<>TYP 0", "VOLT 1.01"}));
    // Ten more steps of 0.0101 every 0.25 s...
    f.advance(2500);
    QCOMPARE(float(p.EditValue), 1.11f);
    QCOMPARE(f.sent().size(), 10);
    // ...then 20 steps of 3 x 0.0101, the first 0.25 s after the eleventh, then every 0.15 s...
    f.advance(250 + 150 * 19);
    QCOMPARE(float(p.EditValue), 1.71f);
    // ...then 13 x 0.0101 every 0.1 s.
    f.advance(150);
    QCOMPARE(float(p.EditValue), 1.84f);
    f.sent();
    p.cmdUpDn_MouseUp();
    QCOMPARE(f.sent(), QStringList{"<>IGN 0"});
    f.advance(1000);
    QCOMPARE(float(p.EditValue), 1.84f);
    QVERIFY(!p.tmrInfo.isActive()); // still in the menu
    QCOMPARE(modData().Settings.VoltSet, 1.84f);
}

void TestTlbKeys::upAndDownAreClamped()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    modData().Settings.VoltSet = 0.005f;
    p.cmdMenu_Click();
    p.EditValue = 0.005;
    p.cmdDn_MouseDown();
    p.cmdUpDn_MouseUp();
    QCOMPARE(p.EditValue, 0.0);
    modData().Settings.VoltSet = 15;
    p.EditValue = 15;
    f.sent();
    p.cmdUp_MouseDown();
    p.cmdUpDn_MouseUp();
    QCOMPARE(p.EditValue, 15.0);
    QVERIFY(f.sent().contains("VOLT 15"));
}

void TestTlbKeys::enterConfirmsTypedValues_data()
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

void TestTlbKeys::enterConfirmsTypedValues()
{
    QFETCH(int, items);
    QFETCH(QString, typed);
    QFETCH(QString, command);
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    p.cmdMenu_Click();
    for (int i = 0; i < items; ++i)
        p.cmdItem_Click();
    const qint16 level = p.MenuLevel;
    f.sent();
    f.typeInto(typed);
    QCOMPARE(p.EntryMode, qint16(1));
    const QStringList typing = f.sent();
    QCOMPARE(typing.mid(0, 2), (QStringList{QStringLiteral("<>CHG %1,-1,2").arg(level), "<>TYP 1"}));
    QCOMPARE(typing.last(), "<>PRO " + typed);
    p.cmdEnter_Click();
    QCOMPARE(f.sent(), (QStringList{command, "<>CHG 0,-1,0"}));
    QCOMPARE(p.FlashItem, level);
    QCOMPARE(p.MenuLevel, qint16(3));
    QCOMPARE(p.EntryMode, qint16(-1));
    QVERIFY(p.txtInput->text().isEmpty());
    QVERIFY(p.tmrInfo.isActive() && !p.tmrMenu.isActive());
    QCOMPARE(modData().SettingsBackup, modData().Settings);
}

void TestTlbKeys::directAdjustmentFromIdle()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    // ENTER with nothing adjusted only resets the instrument's menu state.
    p.cmdEnter_Click();
    QCOMPARE(f.sent(), QStringList{"<>CHG 0,-1,0"});
    // Confirm a current setpoint, making current the directly adjusted value.
    p.cmdMenu_Click();
    p.cmdItem_Click();
    f.typeInto("5");
    p.cmdEnter_Click();
    QCOMPARE(p.FlashItem, qint16(6));
    f.sent();
    p.cmdUp_MouseDown();
    QCOMPARE(p.MenuSub, qint16(7));
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CHG 3,-1,7", "<>IGN 1", "<>TYP 0", "CURR 5.1"}));
    p.cmdUpDn_MouseUp();
    // The value flashes while the readings keep updating.
    p.FlashPhase = false;
    f.poll();
    QVERIFY(f.lamp("lblStatus", 10)->isLit());
    QCOMPARE(p.txtCurr->text(), QString("5.1"));
    p.FlashPhase = true;
    f.poll();
    QVERIFY(!f.lamp("lblStatus", 10)->isLit());
    // Ten seconds without a key end the adjustment, back to the setpoint confirmed last: the
    // saved value is sent before the menu state is reset, so the instrument drops the step.
    f.sent();
    f.run(10500);
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CLR 0", "CURR 5", "<>CHG 0,-1,0"}));
    QCOMPARE(p.MenuSub, qint16(0));
    QCOMPARE(modData().Settings.CurrSet, 5.0f);
    f.run(2000);
    QCOMPARE(f.sent(), QStringList(10, "<>STA"));
}

void TestTlbKeys::typedEntryIsFiltered_data()
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

void TestTlbKeys::typedEntryIsFiltered()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    PanelFixture f;
    f.panel->cmdMenu_Click();
    f.typeInto(typed);
    QCOMPARE(f.panel->txtInput->text(), kept);
}

void TestTlbKeys::displayShowsSetpointsWhileHeld()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.staReply = "2EE0,1F4,48,0,3\r\n";
    modData().SettingsBackup.VoltSet = 7.25f;
    p.cmdDsply_MouseDown();
    QCOMPARE(p.MenuLevel, qint16(2));
    QCOMPARE(f.sent(), (QStringList{"<>CHG 2,-1,0", "<>TYP -1", "<>STA"}));
    QCOMPARE(p.txtVolt->text(), QString("7.25"));
    QCOMPARE(p.txtCurr->text(), QString("5.0"));
    p.cmdDsply_MouseUp();
    f.advance(300);
    QCOMPARE(p.MenuLevel, qint16(2)); // held for 0.4 s after the release
    f.advance(200);
    QCOMPARE(p.MenuLevel, qint16(3));
    QCOMPARE(f.sent(), (QStringList{"<>CHG 3,-1,0", "<>TYP -1"}));
    QVERIFY(p.tmrInfo.isActive());
}

void TestTlbKeys::configurationMenu()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.openMenu(5);
    QCOMPARE(p.MenuLevel, qint16(10));
    QVERIFY(p.txtInput->isReadOnly());
    f.sent();
    p.cmdEnter_Click();
    QCOMPARE(p.MenuItem, qint16(0));
    QCOMPARE(f.sent(), QStringList{"<>CHG 10,0,2"});
    QList<int> items;
    for (int i = 0; i < 4; ++i) {
        p.cmdItem_Click();
        items << p.MenuItem;
    }
    QCOMPARE(items, (QList<int>{1, 2, 7, 0}));
    QCOMPARE(f.sent(), (QStringList{"<>CHG 10,1", "<>CHG 10,2", "<>CHG 10,7", "<>CHG 10,0"}));
    p.cmdItem_Click();
    p.cmdEnter_Click(); // INT CTL on
    QCOMPARE(f.sent(), (QStringList{"<>CHG 10,1", "CONF:CONT:INT 1", "<>CHG 0,-1,0"}));
    QCOMPARE(p.MenuLevel, qint16(3));

    // CLEAR on a selected item turns it off.
    f.openMenu(5);
    p.cmdEnter_Click();
    p.cmdItem_Click();
    p.cmdItem_Click();
    p.cmdItem_Click(); // LOC
    f.sent();
    p.cmdClear_MouseDown();
    p.cmdClear_MouseUp();
    QCOMPARE(f.sent(), (QStringList{"<>CLR 0", "CONF:INTE 0"}));
    // Ten seconds without a key leave, even with an item selected.
    f.advance(300);
    f.openMenu(5);
    p.cmdEnter_Click();
    f.clock->advance(10001);
    p.tmrMenu_Timer();
    f.advance(300);
    QCOMPARE(p.MenuLevel, qint16(3));
}

void TestTlbKeys::calibrationCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("level");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("potentiometers") << "3846" << 11 << QStringList{"CAL:PASS 3846", "<>POT"};
    QTest::newRow("scales") << "6043" << 12 << QStringList{"CAL:PASS 6043", "<>POT"};
    QTest::newRow("wrong code") << "1111" << 3 << QStringList{"<>CHG 0,-1,0"};
}

void TestTlbKeys::calibrationCodes()
{
    QFETCH(QString, code);
    QFETCH(int, level);
    QFETCH(QStringList, commands);
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.openMenu(6);
    QCOMPARE(p.MenuLevel, qint16(11));
    f.sent();
    f.typeInto(code.left(2));
    QCOMPARE(p.EntryMode, qint16(1));
    f.typeInto(code.mid(2));
    p.FlashPhase = false;
    f.run(1000); // the menu redraws; the instrument is told each text once
    QCOMPARE(p.txtVolt->text(), QString("CAL "));
    QCOMPARE(p.txtCurr->text(), code);
    QStringList typing{"<>CHG 11,-1,1", "<>TYP 1"};
    for (int n = 1; n <= 4; ++n)
        typing << "<>PRO " + code.left(n);
    QCOMPARE(f.sent(), typing);
    p.cmdEnter_Click();
    QCOMPARE(p.MenuLevel, qint16(level));
    QCOMPARE(f.sentWithoutPolls(), commands);
    if (level >= 11) {
        QCOMPARE(p.MenuItem, qint16(0));
        QCOMPARE(p.EditValue, 5.0);
        QVERIFY(!p.knbVolt->isEnabled());
    }
}

void TestTlbKeys::potentiometerMenu()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.enterPotCalibration();
    p.cmdItem_Click();
    QCOMPARE(p.MenuItem, qint16(1));
    QCOMPARE(p.EditValue, 6.0);
    p.FlashPhase = false;
    p.RefreshMenuDisplay();
    QCOMPARE(p.txtVolt->text(), QString("P"));
    QCOMPARE(p.txtCurr->text().trimmed(), QString("6"));
    QCOMPARE(p.txtMEM->text(), QString("2"));
    QCOMPARE(p.lblLegend->text(), QString("POT 2"));
    f.sent();
    p.cmdUp_MouseDown();
    p.cmdUpDn_MouseUp();
    QVERIFY(f.sent().contains("CAL:POT 2,7"));
    // CLEAR puts the potentiometer back and stays in the menu.
    p.cmdClear_MouseDown();
    p.cmdClear_MouseUp();
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CLR 0", "CAL:POT 2,6"}));
    QCOMPARE(p.MenuLevel, qint16(11));
    QCOMPARE(int(modData().Pots[1]), 6);
    // START is taken with a potentiometer selected...
    p.cmdStart_Click();
    QVERIFY(f.sent().contains("OUTP:START"));
    // ...but not on the items above 4; "rEt" leaves.
    for (int i = 0; i < 6; ++i)
        p.cmdItem_Click();
    QCOMPARE(p.MenuItem, qint16(7));
    f.sent();
    p.cmdStart_Click();
    QVERIFY(!f.sent().contains("OUTP:START"));
    p.cmdEnter_Click();
    QCOMPARE(p.MenuLevel, qint16(3));
}

void TestTlbKeys::sixtySecondsInCalibrationLeaves()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.enterPotCalibration();
    f.sent();
    f.run(59000);
    QCOMPARE(p.MenuLevel, qint16(11));
    QCOMPARE(f.sentWithoutPolls(), QStringList{});
    f.run(3000);
    QCOMPARE(p.MenuLevel, qint16(3));
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CHG 0,-1,0", "<>CLR 0"}));
}

void TestTlbKeys::clearHoldSendsResetsOnce()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    p.cmdMenu_Click();
    f.sent();
    p.cmdClear_MouseDown();
    QVERIFY(p.ClearHeld);
    f.advance(4900);
    QCOMPARE(f.sent(), QStringList{});
    f.advance(1100);
    QCOMPARE(f.sent(), QStringList{"<>CLR 1"});
    QVERIFY(!p.tmrMenu.isActive());
    f.advance(4000);
    QCOMPARE(f.sent(), QStringList{"<>CLR 2"});
    // Twelve blinks after the ten-second mark end the loop; the state is read again.
    f.advance(12 * 800);
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>ALL", "SYST:VERS?"}));
    p.cmdClear_MouseUp();
    QCOMPARE(f.sentWithoutPolls().first(), QString("<>CLR 0"));
}

void TestTlbKeys::clearReleaseRestoresTheSetpoint_data()
{
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<QStringList>("wire");
    // The saved setpoint goes back before the menu is left; only then is the state read.
    const QStringList release{"<>CLR 0", "VOLT 12", "<>CHG 0,-1,0", "<>ALL", "SYST:VERS?"};
    QTest::newRow("released at once") << 0 << release;
    QTest::newRow("released after 6 s") << 6000 << QStringList{"<>CLR 1"} + release;
}

void TestTlbKeys::clearReleaseRestoresTheSetpoint()
{
    QFETCH(int, holdMs);
    QFETCH(QStringList, wire);
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    p.cmdMenu_Click();
    for (int i = 0; i < 3; ++i) {
        p.cmdUp_MouseDown();
        p.cmdUpDn_MouseUp();
    }
    QCOMPARE(modData().Settings.VoltSet, 12.03f);
    f.sent();
    p.cmdClear_MouseDown();
    f.run(holdMs);
    p.cmdClear_MouseUp();
    f.run(300);
    QCOMPARE(f.sentWithoutPolls(), wire);
    QCOMPARE(p.MenuLevel, qint16(3));
    QCOMPARE(modData().SettingsBackup.VoltSet, 12.0f);
    QCOMPARE(p.knbVolt->value(), 12.0f);
    // Left alone afterwards: polls only, five a second.
    f.run(12000);
    const QStringList later = f.sent();
    QCOMPARE(later.count("<>STA"), later.size());
    QVERIFY(later.size() >= 59);
}

void TestTlbKeys::startStopArm()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    p.cmdArm_Click();
    QCOMPARE(f.sent(), QStringList{"OUTP:Arm 1"});
    QCOMPARE(p.DefaultWordA & 1, 1);
    QVERIFY(f.lamp("lblArm", 0)->isLit());
    p.cmdStart_Click();
    QCOMPARE(f.sent(), QStringList{"OUTP:START"});
    QCOMPARE(p.PowerState, qint16(5));
    QCOMPARE(p.DefaultWordA & ((1 << 7) | (1 << 8) | (1 << 6)), (1 << 7) | (1 << 8));
    p.cmdArm_Click(); // not while the output is on
    QCOMPARE(f.sent(), QStringList{});
    p.cmdStop_Click();
    QCOMPARE(f.sent(), (QStringList{"OUTP:STOP", "<>IGN 0"}));
    QCOMPARE(p.PowerState, qint16(3));
    QCOMPARE(p.DefaultWordA, 72); // STANDBY and INT CTL; ARM, POWER, CTL cleared
    QVERIFY(!f.lamp("lblArm", 0)->isLit());
    QVERIFY(p.tmrInfo.isActive());
    // START in a value menu is refused, but the default word follows it all the same.
    p.cmdMenu_Click();
    f.sent();
    p.cmdStart_Click();
    QCOMPARE(f.sent(), QStringList{});
    QVERIFY(p.DefaultWordA & (1 << 7));
}

void TestTlbKeys::memoryKeyWrapsAround_data()
{
    QTest::addColumn<float>("memory");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("command");
    QTest::newRow("9 up") << 9.0f << true << "MEM 0";
    QTest::newRow("0 down") << 0.0f << false << "MEM 9";
    QTest::newRow("4 up") << 4.0f << true << "MEM 5";
}

void TestTlbKeys::memoryKeyWrapsAround()
{
    QFETCH(float, memory);
    QFETCH(bool, up);
    QFETCH(QString, command);
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    modData().Settings.MemLoc = memory;
    p.cmdMem_Click();
    QCOMPARE(p.MenuLevel, qint16(4));
    QCOMPARE(f.sent(), QStringList{"<>CHG 4,-1,0"});
    if (up)
        p.cmdUp_MouseDown();
    else
        p.cmdDn_MouseDown();
    p.cmdUpDn_MouseUp();
    QVERIFY(f.sent().contains(command));
    p.FlashPhase = true;
    p.RefreshMenuDisplay();
    QCOMPARE(p.txtMEM->text(), command.mid(4) + ".");
    // ENTER selects the location and reads the instrument's state again.
    p.cmdEnter_Click();
    const QStringList sent = f.sent();
    QCOMPARE(sent, (QStringList{command, "<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?", "<>CHG 0,-1,0"}));
}

void TestTlbKeys::knobTurnSendsTheDisplayedValue()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    p.knbVolt->setValue(7.4567f);
    p.knob_Turning(p.knbVolt);
    QVERIFY(!p.tmrInfo.isActive());
    QCOMPARE(p.txtVolt->text(), QString("7.46"));
    p.knob_TurnEnded(p.knbVolt);
    QCOMPARE(f.sent(), QStringList{"VOLT 7.46"});
    QCOMPARE(modData().Settings.VoltSet, 7.46f);
    QCOMPARE(modData().SettingsBackup.VoltSet, 7.46f);
    QVERIFY(p.tmrInfo.isActive());
    // Through the keyboard, as a user without a mouse turns it.
    p.knbCurr->setFocus();
    QTest::keyClick(p.knbCurr, Qt::Key_Up);
    QVERIFY(p.knbCurr->value() > 5.0f);
    QCOMPARE(f.sent(), QStringList{"CURR " + p.txtCurr->text()});
    QCOMPARE(modData().Settings.CurrSet, p.knbCurr->value());
}

void TestTlbKeys::switchDuringAHold_data()
{
    QTest::addColumn<QString>("held");
    QTest::newRow("nothing held") << "";
    QTest::newRow("CLEAR held") << "clear";
    QTest::newRow("knob turning, not ended") << "knob";
    QTest::newRow("TW calibration key held, switch to a KM") << "cal";
}

// A hold ends with the panel it was on: the new panel is current, takes the log, and the
// release that follows does nothing harmful; the program goes on.
void TestTlbKeys::switchDuringAHold()
{
    QFETCH(QString, held);
    const PanelId from = held == "cal" ? PanelId::TW : PanelId::TLB;
    const PanelId to = held == "cal" ? PanelId::KM : PanelId::TLB;
    PanelFixture f(from);
    ClearPanelRegistry();
    RegisterPanel(to, [to] { return new VirtualPanel(to); });
    QPointer<VirtualPanel> first = f.panel;
    if (held == "knob") {
        first->knbVolt->setFocus();
        QTest::keyPress(first->knbVolt, Qt::Key_Up);
    } else if (!held.isEmpty()) {
        first->cmdMenu_Click();
        for (int i = 0; held == "cal" && i < 3; ++i)
            first->cmdItem_Click(); // the calibration level
        if (held == "cal")
            first->cmdCal_MouseDown();
        else
            first->cmdClear_MouseDown();
        f.advance(held == "cal" ? 4000 : 6000);
    }
    f.sent();
    QPointer<PanelWindow> next = first->SwitchPanel(to);
    QVERIFY(next);
    QVERIFY(!first->tmrHold.isActive());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
    QCOMPARE(modData().CurrentPanel.data(), next.data());
    QCOMPARE(f.programEnded, 0);
    QVERIFY(f.sent().contains("<>CLR 0"));
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(next->rtbTranx));
    delete next.data();
    ClearPanelRegistry();
}

QTEST_MAIN(TestTlbKeys)
#include "test_tlbkeys.moc"
