// What differs between the four virtual panels (controls, tool tips, menus), table-driven, and the KM/TW/GZ paths the TLB
// lacks: setpoint buttons, the calibration key, CLEAR as a click, the trip knobs.

#include "panelfixture.h"
#include "ui/entervalue.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <QtTest>

using namespace zop;
using namespace zop::test;

Q_DECLARE_METATYPE(zop::PanelId)

namespace {
// Answers the Enter Value dialog with a scripted text (nothing = Cancel).
struct ScriptedEntry {
    ScriptedEntry()
    {
        SetValueEntry([this](QWidget *, const QString &title, const QString &value) {
            titles << title;
            offered << value;
            return answer;
        });
    }
    ~ScriptedEntry() { SetValueEntry(nullptr); }
    std::optional<QString> answer;
    QStringList titles;
    QStringList offered;
};
} // namespace

class TestSeriesPanels : public QObject {
    Q_OBJECT
private slots:
    void controlsPerSeries_data();
    void controlsPerSeries();
    void menuLevelsPerSeries_data();
    void menuLevelsPerSeries();
    void keyVisibilityFollowsTheMenu();
    void menuTimeOutRunsOnce_data();
    void menuTimeOutRunsOnce();
    void configurationMenuOfTheSeries();
    void displayKeysShowSetpointsAndTrips();
    void displaysCutToTheFormat();
    void memoryFieldIsIgnored();
    void setpointButtons_data();
    void setpointButtons();
    void setpointButtonHoldsTheLevel();
    void calibrationKeyHeldTenSeconds();
    void clearClickVariants();
    void gzTripKnobs();
    void knobsFollowSetpointsSetElsewhere_data();
    void knobsFollowSetpointsSetElsewhere();
};

void TestSeriesPanels::controlsPerSeries_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::addColumn<bool>("modulationEntry");
    const QStringList common{"txtVolt", "txtCurr", "knbVolt", "knbCurr", "cmdMenu", "cmdItem",
                             "cmdEnter", "cmdUp", "cmdDn", "cmdClear", "cmdStart", "cmdStop"};
    const QStringList kmtw = common + QStringList{"cmdVolt", "cmdCurr", "cmdOVT", "cmdOCT",
                                                  "cmdVISet", "cmdTRIP", "cmdCal"};
    QTest::newRow("TLB") << PanelId::TLB << "frmTLB"
                         << common + QStringList{"txtMEM", "txtInput", "cmdDsply", "cmdMem", "cmdArm"}
                         << QStringList{"cmdVolt", "cmdCal", "cmdVISet", "knbOVP"} << true;
    QTest::newRow("KM") << PanelId::KM << "frmKM" << kmtw
                        << QStringList{"txtMEM", "txtInput", "cmdDsply", "cmdMem", "cmdArm", "knbOVP"}
                        << true;
    QTest::newRow("TW") << PanelId::TW << "frmTW" << kmtw
                        << QStringList{"txtMEM", "txtInput", "cmdArm", "knbOCP"} << true;
    QTest::newRow("GZ") << PanelId::GZ << "frmGZ" << kmtw + QStringList{"knbOVP", "knbOCP"}
                        << QStringList{"txtMEM", "txtInput", "cmdMem", "cmdArm"} << false;
}

void TestSeriesPanels::controlsPerSeries()
{
    QFETCH(PanelId, series);
    QFETCH(QString, name);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QFETCH(bool, modulationEntry);
    PanelFixture f(series);
    QCOMPARE(f.panel->objectName(), name);
    QCOMPARE(f.panel->windowTitle(), QString("Virtual Control Panel"));
    for (const QString &control : present)
        QVERIFY2(f.panel->findChild<QWidget *>(control), qPrintable(control));
    for (const QString &control : absent)
        QVERIFY2(!f.panel->findChild<QWidget *>(control), qPrintable(control));
    QCOMPARE(f.panel->mnuModulation != nullptr, modulationEntry);
    QVERIFY(!f.panel->mnuVirtual->isEnabled());
    // Every knob carries a caption of its own.
    QStringList knobCaptions;
    for (QLabel *label : f.panel->findChildren<QLabel *>()) {
        if (qobject_cast<Knob *>(label->buddy()))
            knobCaptions << label->text();
    }
    QCOMPARE(knobCaptions.size(), f.panel->findChildren<Knob *>().size());
    QVERIFY(!knobCaptions.contains(QString()));
    // Every key (shown now or only in a menu, in debug mode or with the trend) and the typed
    // entry say what they do; a front-panel key's text starts with its own caption.
    QList<QWidget *> keys;
    for (QAbstractButton *b : f.panel->centralWidget()->findChildren<QAbstractButton *>())
        keys << b;
    if (auto *entry = f.panel->findChild<QLineEdit *>("txtInput"))
        keys << entry;
    QVERIFY(keys.size() > 10);
    auto *frontKeys = f.panel->findChild<QWidget *>("fraButtons");
    for (QWidget *key : keys) {
        QVERIFY2(!key->toolTip().isEmpty(), qPrintable(key->objectName()));
        if (auto *b = qobject_cast<QPushButton *>(key); b && b->parent() == frontKeys)
            QVERIFY2(b->toolTip().startsWith(b->text() + ": "), qPrintable(b->toolTip()));
    }
}

void TestSeriesPanels::menuLevelsPerSeries_data()
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

void TestSeriesPanels::menuLevelsPerSeries()
{
    QFETCH(PanelId, series);
    QFETCH(QByteArray, status);
    QFETCH(int, idle);
    QFETCH(QList<int>, levels);
    PanelFixture f(series);
    VirtualPanel &p = *f.panel;
    QCOMPARE(int(p.MenuLevel), idle);
    f.staReply = status + "\r\n";
    f.poll();
    p.cmdMenu_Click();
    QList<int> seen{p.MenuLevel};
    while (seen.size() < levels.size()) {
        p.cmdItem_Click();
        seen << p.MenuLevel;
    }
    QCOMPARE(seen, levels);
    QVERIFY(!p.knbVolt->isEnabled());
    QVERIFY(!p.tmrInfo.isActive());
}

void TestSeriesPanels::keyVisibilityFollowsTheMenu()
{
    PanelFixture f(PanelId::KM);
    VirtualPanel &p = *f.panel;
    QVERIFY(p.cmdUp->isHidden() && p.cmdDn->isHidden());
    QVERIFY(!p.cmdVISet->isHidden() && !p.cmdTRIP->isHidden());
    QVERIFY(!p.cmdEnter->isHidden() && p.cmdCal->isHidden());
    const QImage enabled = p.cmdVolt->grab().toImage();
    p.cmdMenu_Click();
    QVERIFY(!p.cmdUp->isHidden() && p.cmdVISet->isHidden());
    QVERIFY(!p.cmdVolt->isEnabled());
    QVERIFY(p.cmdVolt->grab().toImage() != enabled); // and it looks it
    p.cmdItem_Click();
    p.cmdItem_Click();
    p.cmdItem_Click(); // the calibration level: the calibration key in ENTER's place
    QCOMPARE(p.MenuLevel, qint16(10));
    QVERIFY(p.cmdEnter->isHidden() && !p.cmdCal->isHidden());
    p.cmdClear_Click();
    QVERIFY(!p.cmdEnter->isHidden() && p.cmdCal->isHidden());
    f.advance(600);
    QCOMPARE(p.MenuLevel, qint16(4));
    QVERIFY(p.cmdUp->isHidden() && !p.cmdVISet->isHidden());
    QVERIFY(p.cmdVolt->isEnabled() && p.knbVolt->isEnabled());
}

void TestSeriesPanels::menuTimeOutRunsOnce_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QStringList>("wire"); // when the menu times out, polls left out
    const QStringList trip{"<>CLR 0", "VOLT:PROT 13.5", "<>CHG 0,-1,0"};
    QTest::newRow("TLB voltage") << PanelId::TLB << QStringList{"<>CLR 0", "VOLT 12", "<>CHG 0,-1,0"};
    QTest::newRow("KM over-voltage trip") << PanelId::KM << trip;
    QTest::newRow("TW over-voltage trip") << PanelId::TW << trip;
    QTest::newRow("GZ configuration") << PanelId::GZ << QStringList{"<>CLR 0", "<>CHG 0,-1,0"};
}

void TestSeriesPanels::menuTimeOutRunsOnce()
{
    QFETCH(PanelId, series);
    QFETCH(QStringList, wire);
    PanelFixture f(series);
    VirtualPanel &p = *f.panel;
    f.run(1000);
    p.cmdMenu_Click();
    f.sent();
    f.run(9900);
    QCOMPARE(f.sent(), QStringList{}); // no polls while the menu is open
    f.run(3100);
    QCOMPARE(f.sentWithoutPolls(), wire);
    QCOMPARE(p.MenuLevel, p.spec().idleLevel);
    QVERIFY(p.knbVolt->isEnabled() && !p.tmrMenu.isActive());
    // Then the panel polls five times a second and sends nothing else.
    f.run(2000);
    QCOMPARE(f.sent(), QStringList(10, "<>STA"));
}

void TestSeriesPanels::configurationMenuOfTheSeries()
{
    PanelFixture f(PanelId::KM);
    VirtualPanel &p = *f.panel;
    p.cmdMenu_Click();
    p.cmdItem_Click();
    p.cmdItem_Click();
    QCOMPARE(p.MenuLevel, qint16(9));
    f.sent();
    p.cmdEnter_Click();
    QCOMPARE(f.sent(), QStringList{"<>CHG 9,0,2"});
    QList<int> items;
    for (int i = 0; i < 4; ++i) {
        p.cmdItem_Click();
        items << p.MenuItem;
    }
    QCOMPARE(items, (QList<int>{1, 2, 6, 0}));
    p.cmdItem_Click();
    p.cmdItem_Click();
    p.cmdItem_Click(); // LOC
    f.sent();
    p.cmdEnter_Click();
    QCOMPARE(f.sent(), (QStringList{"CONF:INTE 1", "<>CHG 0,-1,0"}));
    QCOMPARE(p.MenuLevel, qint16(4));
}

void TestSeriesPanels::displayKeysShowSetpointsAndTrips()
{
    PanelFixture f(PanelId::TW);
    VirtualPanel &p = *f.panel;
    f.staReply = "2EE0,1F4,48,0,0\r\n";
    p.cmdTRIP_MouseDown();
    QCOMPARE(f.sent(), (QStringList{"<>CHG 3,-1,0", "<>STA"}));
    QCOMPARE(p.txtVolt->text(), QString("13.50"));
    QCOMPARE(p.txtCurr->text(), QString("50.0"));
    QCOMPARE(p.lblLegend->text(), QString("TRIPS"));
    p.displayKeyRelease();
    f.advance(500);
    QCOMPARE(p.MenuLevel, qint16(4));
    QCOMPARE(f.sent(), QStringList{"<>CHG 4,-1,0"});
    QVERIFY(p.tmrInfo.isActive());
    f.poll(); // the next reading clears the legend
    QCOMPARE(p.lblLegend->text(), QString());
    p.cmdVISet_MouseDown();
    QCOMPARE(p.txtVolt->text(), QString("12.00"));
    QCOMPARE(p.txtCurr->text(), QString("5.0"));
}

void TestSeriesPanels::displaysCutToTheFormat()
{
    PanelFixture f(PanelId::KM);
    f.staReply = "303D,3B,48,0,0\r\n"; // 12.349 V, 0.059 A
    f.poll();
    QCOMPARE(f.panel->txtVolt->text(), QString("12.34"));
    QCOMPARE(f.panel->txtCurr->text(), QString("0.0"));
}

void TestSeriesPanels::memoryFieldIsIgnored()
{
    PanelFixture f(PanelId::GZ);
    f.staReply = "0,0,48,b,9\r\n"; // no letter check, no memory number
    f.poll();
    QCOMPARE(f.sent(), QStringList{"<>STA"});
    QVERIFY(f.lamp("lblErrors", 0)->isLit()); // b = 11: OVT and OCT
    QVERIFY(f.lamp("lblErrors", 1)->isLit());
}

void TestSeriesPanels::setpointButtons_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("command");
    QTest::addColumn<float>("stored");
    QTest::addColumn<bool>("cancel");
    QTest::newRow("voltage as typed") << 0 << "12.5abc" << "Voltage Set" << "12" << "VOLT 12.5abc" << 12.5f << false;
    QTest::newRow("voltage above rating") << 0 << "20" << "Voltage Set" << "12" << "VOLT 20" << 15.0f << false;
    QTest::newRow("current empty: nothing") << 1 << "" << "Current Set" << "5" << "" << 5.0f << false;
    QTest::newRow("OVT junk") << 2 << "abc" << "OVT Set" << "13.5" << "VOLT:PROT abc" << 1.5f << false;
    QTest::newRow("OVT cancelled") << 2 << "1" << "OVT Set" << "13.5" << "" << 13.5f << true;
    QTest::newRow("OCT") << 3 << "60" << "OCT Set" << "50" << "CURR:PROT 60" << 60.0f << false;
}

void TestSeriesPanels::setpointButtons()
{
    QFETCH(int, button);
    QFETCH(QString, typed);
    QFETCH(QString, title);
    QFETCH(QString, offered);
    QFETCH(QString, command);
    QFETCH(float, stored);
    QFETCH(bool, cancel);
    PanelFixture f(PanelId::GZ);
    ScriptedEntry entry;
    if (!cancel)
        entry.answer = typed;
    f.panel->setpointButton_Click(button);
    QCOMPARE(entry.titles, QStringList{title});
    QCOMPARE(entry.offered, QStringList{offered});
    QCOMPARE(f.sent(), command.isEmpty() ? QStringList{} : QStringList{command});
    QCOMPARE(f.panel->MenuLevel, command.isEmpty() ? qint16(4) : qint16(5 + button));
    const SettingsRecord &s = modData().Settings;
    const float fields[] = {s.VoltSet, s.CurrSet, s.VoltProt, s.CurrProt};
    QCOMPARE(fields[button], stored);
    QCOMPARE(modData().SettingsBackup, modData().Settings);
    Knob *knobs[] = {f.panel->knbVolt, f.panel->knbCurr, f.panel->knbOVP, f.panel->knbOCP};
    QCOMPARE(knobs[button]->value(), stored);
}

void TestSeriesPanels::setpointButtonHoldsTheLevel()
{
    PanelFixture f(PanelId::KM);
    ScriptedEntry entry;
    entry.answer = QStringLiteral("3");
    VirtualPanel &p = *f.panel;
    p.setpointButton_Click(0);
    f.sent();
    QCOMPARE(p.MenuLevel, qint16(5));
    f.advance(700);
    QCOMPARE(p.MenuLevel, qint16(5));
    f.advance(200);
    QCOMPARE(p.MenuLevel, qint16(4));
    QCOMPARE(f.sent(), QStringList{"<>CHG 4,-1,0"});
    p.setpointButton_Click(1); // CURRENT holds for a second
    f.advance(900);
    QCOMPARE(p.MenuLevel, qint16(6));
    f.advance(200);
    QCOMPARE(p.MenuLevel, qint16(4));
}

void TestSeriesPanels::calibrationKeyHeldTenSeconds()
{
    PanelFixture f(PanelId::KM);
    VirtualPanel &p = *f.panel;
    f.replies["<>POT"] = "21,22,23,24,25\r\n";
    f.openMenu(3);
    f.sent();
    // Released early: the bar goes, nothing is sent.
    p.cmdCal_MouseDown();
    f.advance(5000);
    QVERIFY(p.prgCalHold->isVisible());
    QCOMPARE(p.prgCalHold->value(), 5000);
    p.cmdCal_MouseUp();
    QVERIFY(!p.prgCalHold->isVisible());
    f.advance(6000);
    QCOMPARE(f.sentWithoutPolls(), QStringList{});
    QCOMPARE(p.MenuItem, qint16(-1));
    p.cmdCal_MouseDown();
    f.advance(9900);
    QCOMPARE(f.sent(), QStringList{});
    f.advance(200);
    QVERIFY(!p.prgCalHold->isVisible());
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"CAL:PASS 3846", "<>POT"}));
    QCOMPARE(p.MenuLevel, qint16(10));
    QCOMPARE(p.MenuItem, qint16(0));
    QCOMPARE(p.EditValue, 33.0);
    QVERIFY(!p.cmdEnter->isHidden() && p.cmdCal->isHidden() && !p.cmdUp->isHidden());
    p.cmdCal_MouseUp();
    p.FlashPhase = false;
    p.RefreshMenuDisplay();
    QCOMPARE(p.txtVolt->text(), QString("P"));
    QCOMPARE(p.txtCurr->text().trimmed(), QString("33"));
    // UP steps the potentiometer; CLEAR puts it back.
    p.cmdUp_MouseDown();
    p.cmdUpDn_MouseUp();
    QVERIFY(f.sent().contains("CAL:POT 1,34"));
    p.cmdClear_Click();
    QCOMPARE(f.sent(), (QStringList{"<>CLR 0", "CAL:POT 1,33"}));
}

void TestSeriesPanels::clearClickVariants()
{
    PanelFixture f(PanelId::KM);
    VirtualPanel &p = *f.panel;
    // Idle with a latched alarm: the protection is released, nothing else.
    f.staReply = "0,0,48,81,0\r\n";
    f.poll();
    f.sent();
    p.cmdClear_Click();
    QCOMPARE(f.sent(), (QStringList{"<>CLR 0", "OUTP:PROT:CLE"}));
    // In the OVT menu: the saved trip goes back to the instrument, the menu closes 0.5 s later.
    f.staReply = "0,0,48,0,0\r\n";
    f.poll();
    p.cmdMenu_Click();
    p.cmdUp_MouseDown();
    p.cmdUpDn_MouseUp();
    QCOMPARE(modData().Settings.VoltProt, 13.51f);
    f.sent();
    p.cmdClear_Click();
    QCOMPARE(f.sentWithoutPolls(), (QStringList{"<>CLR 0", "VOLT:PROT 13.5"}));
    f.advance(400);
    QCOMPARE(p.MenuLevel, qint16(7));
    f.advance(200);
    QCOMPARE(p.MenuLevel, qint16(4));
}

void TestSeriesPanels::gzTripKnobs()
{
    PanelFixture f(PanelId::GZ);
    VirtualPanel &p = *f.panel;
    QCOMPARE(p.knbOVP->maximum(), 16.5f);
    QCOMPARE(p.knbOVP->value(), 13.5f);
    p.knbOVP->setValue(14.2f);
    p.knob_Turning(p.knbOVP);
    QVERIFY(!p.tmrInfo.isActive());
    QCOMPARE(p.txtVolt->text(), QString("14.20"));
    p.knob_TurnEnded(p.knbOVP);
    QVERIFY(p.tmrInfo.isActive()); // polling resumes at the series' idle level
    QCOMPARE(f.sent(), QStringList{"VOLT:PROT 14.20"});
    QCOMPARE(modData().Settings.VoltProt, 14.2f);
    QCOMPARE(modData().SettingsBackup.VoltProt, 14.2f);
    p.knbOCP->setValue(70);
    p.knob_Turning(p.knbOCP);
    p.knob_TurnEnded(p.knbOCP);
    QCOMPARE(f.sent(), QStringList{"CURR:PROT 70.0"});
    p.knob_Turning(p.knbVolt);
    p.knob_TurnEnded(p.knbVolt);
    QVERIFY(p.tmrInfo.isActive());
}

void TestSeriesPanels::knobsFollowSetpointsSetElsewhere_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QString>("change");
    QTest::addColumn<float>("volts"); // the voltage setpoint the change leaves
    const std::pair<const char *, PanelId> series[] = {
        {"KM", PanelId::KM}, {"TW", PanelId::TW}, {"GZ", PanelId::GZ}, {"TLB", PanelId::TLB}};
    for (const auto &[name, id] : series) {
        QTest::addRow("%s typed entry", name) << id << "typed" << 1.0f;
        QTest::addRow("%s state read after Setup", name) << id << "setup" << 3.0f;
    }
    QTest::newRow("TLB memory recall") << PanelId::TLB << "memory" << 3.0f;
}

// The knob was last turned to 4.1 V; the setpoint then changes another way. The knobs show the
// new setpoint at once, sending nothing, and one step down goes down from there: a stale knob
// raised the output when it was turned down.
void TestSeriesPanels::knobsFollowSetpointsSetElsewhere()
{
    QFETCH(PanelId, series);
    QFETCH(QString, change);
    QFETCH(float, volts);
    PanelFixture f(series);
    // Setup keeps the series, so the panel stays.
    modData().SystemType = series == PanelId::GZ ? 0 : series == PanelId::TLB ? 2
                         : series == PanelId::KM ? 3 : 4;
    VirtualPanel &p = *f.panel;
    ScriptedEntry entry;
    SetSetupDialog([](QWidget *) {});
    p.knbVolt->setValue(4.1f);
    p.knob_TurnEnded(p.knbVolt);
    f.instrument[0] = 3000; // what "<>ALL" reports from now on
    f.instrument[1] = 7000;
    f.sent();

    if (change == "typed" && series == PanelId::TLB) {
        p.cmdMenu_Click();
        f.typeInto("1");
        p.cmdEnter_Click();
    } else if (change == "typed") {
        entry.answer = "1";
        p.setpointButton_Click(0);
    } else if (change == "memory") {
        p.cmdMem_Click();
        f.typeInto("4");
        p.cmdEnter_Click();
    } else {
        p.runSetup();
    }
    QCOMPARE(modData().Settings.VoltSet, volts);
    QCOMPARE(p.knbVolt->value(), volts);
    QCOMPARE(p.knbCurr->value(), modData().Settings.CurrSet);
    if (p.knbOVP)
        QCOMPARE(p.knbOVP->value(), modData().Settings.VoltProt);
    const QStringList beforeTurn = f.sentWithoutPolls();
    QVERIFY(!beforeTurn.join(' ').contains("CURR "));

    QTest::keyClick(p.knbVolt, Qt::Key_Down);
    QCOMPARE(f.sentWithoutPolls(), QStringList{"VOLT " + QString::number(volts - 0.1, 'f', 2)});
    SetSetupDialog(nullptr);
}

QTEST_MAIN(TestSeriesPanels)
#include "test_seriespanels.moc"
