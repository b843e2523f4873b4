// The virtual panel window of each series: its controls and their names, the keys, entry and
// knobs reaching the engine, what the engine shows reaching the widgets, debug mode, and the
// window going (a switch during a hold, another current panel, closing).

#include "app/configuration.h"
#include "link/linkkind.h"
#include "panelfixture.h"
#include "engine/sequencecontrol.h"
#include "panels/virtual/paneldisplay.h"
#include "panels/virtual/sequenceview.h"
#include "recordingchooser.h"
#include "ui/entervalue.h"
#include "ui/knob.h"
#include "ui/lamp.h"
#include "ui/transactionlog.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace zop;
using namespace zop::test;

Q_DECLARE_METATYPE(zop::PanelId)

class TestVirtualPanel : public QObject {
    Q_OBJECT
private slots:
    void controlsPerSeries_data();
    void controlsPerSeries();
    void debugAccessCodeShowsTheLog();
    void widgetsReachTheEngine_data();
    void widgetsReachTheEngine();
    void widgetsShowTheEngine();
    void knobsFollowTheStateReadAfterSetup();
    void switchDuringAHold_data();
    void switchDuringAHold();
    void goingSendsClear_data();
    void goingSendsClear();
    void readoutsGrowAndSaySimulated();
    void sequenceViewRunsAFile();
};

void TestVirtualPanel::controlsPerSeries_data()
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

void TestVirtualPanel::controlsPerSeries()
{
    QFETCH(PanelId, series);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    PanelFixture f(series);
    QTEST(f.panel->objectName(), "name");
    QCOMPARE(f.panel->windowTitle(), QString("Virtual Control Panel"));
    for (const QString &control : present)
        QVERIFY2(f.panel->findChild<QWidget *>(control), qPrintable(control));
    for (const QString &control : absent)
        QVERIFY2(!f.panel->findChild<QWidget *>(control), qPrintable(control));
    QTEST(f.panel->mnuModulation != nullptr, "modulationEntry");
    QVERIFY(!f.panel->mnuVirtual->isEnabled());
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(f.panel->rtbTranx));
    QVERIFY(f.panel->fraIn->isHidden());
    // Every control a user reaches has a name a screen reader can say.
    for (const auto &[control, said] : {std::pair{"txtVolt", "Voltage display"}, {"knbCurr", "Current knob"},
                                        {"lblErrors(0)", "OVT lamp"}, {"cmdClear", "CLEAR"}})
        QCOMPARE(f.widget(control)->accessibleName(), QString(said));
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
        if (b->focusPolicy() & Qt::TabFocus) // not a table's corner
            keys << b;
    if (auto *entry = f.widget<QLineEdit>("txtInput"))
        keys << entry;
    QVERIFY(keys.size() > 10);
    auto *frontKeys = f.widget("fraButtons");
    for (QWidget *key : keys) {
        QVERIFY2(!key->toolTip().isEmpty(), qPrintable(key->objectName()));
        if (auto *b = qobject_cast<QPushButton *>(key); b && b->parent() == frontKeys)
            QVERIFY2(b->toolTip().startsWith(b->text() + ": "), qPrintable(b->toolTip()));
    }
}

void TestVirtualPanel::debugAccessCodeShowsTheLog()
{
    PanelFixture f(PanelId::TLB, false);
    f.writeFile(DebugIniFileName, "[Debug]\r\nType=TAN_WHELK\r\n");
    f.openPanel(PanelId::TLB);
    QVERIFY(f.e->debugMode());
    QVERIFY(!f.panel->fraIn->isHidden());
    f.poll();
    QVERIFY(f.panel->rtbTranx->logText().endsWith("<>STA\n0,0,48,0,3\r\n"));
}

void TestVirtualPanel::widgetsReachTheEngine_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QString>("input"); // what the user does, as name:action (a click presses and lets go)
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("TLB MENU, UP held and let go") << PanelId::TLB << "cmdMenu:click cmdUp:click"
                                            << QStringList{"<>CHG 5,-1,2", "<>IGN 1", "<>TYP 0", "VOLT 12.01", "<>IGN 0"};
    QTest::newRow("TLB typed and Return") << PanelId::TLB << "cmdMenu:click txtInput:7"
                                          << QStringList{"<>CHG 5,-1,2", "<>CHG 5,-1,2", "<>TYP 1", "<>PRO 7", "VOLT 7", "<>CHG 0,-1,0"};
    QTest::newRow("TLB CLEAR held") << PanelId::TLB << "cmdMenu:click cmdClear:click"
                                    << QStringList{"<>CHG 5,-1,2", "<>CLR 0", "VOLT 12"};
    QTest::newRow("TLB knob by keyboard") << PanelId::TLB << "knbVolt:down" << QStringList{"VOLT 11.90"};
    QTest::newRow("KM TRIP held") << PanelId::KM << "cmdTRIP:click" << QStringList{"<>CHG 3,-1,0", "<>STA"};
    QTest::newRow("GZ VOLTAGE key") << PanelId::GZ << "cmdVolt:click" << QStringList{"VOLT 9"};
    QTest::newRow("GZ trip knob") << PanelId::GZ << "knbOCP:down" << QStringList{"CURR:PROT 49.0"};
    QTest::newRow("START and STOP chords") << PanelId::KM << "txtVolt:Ctrl+Shift+S txtVolt:Ctrl+Shift+X"
                                           << QStringList{"OUTP:START", "OUTP:STOP", "<>IGN 0"};
    QTest::newRow("START chord in a menu") << PanelId::TLB << "cmdMenu:click cmdMenu:Ctrl+Shift+S"
                                           << QStringList{"<>CHG 5,-1,2"};
}

void TestVirtualPanel::widgetsReachTheEngine()
{
    QFETCH(PanelId, series);
    QFETCH(QString, input);
    PanelFixture f(series);
    SetValueEntry([](QWidget *, const QString &, const QString &) { return QString("9"); });
    for (const QString &step : input.split(' ')) {
        const QString name = step.section(':', 0, 0);
        const QString action = step.section(':', 1);
        QWidget *w = f.panel->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        if (action == "click") {
            QTest::mouseClick(w, Qt::LeftButton);
        } else if (action.startsWith("Ctrl+")) {
            f.e->stopTimers(); // no poll while the window becomes active, however long it takes
            f.panel->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f.panel));
            w->setFocus();
            QTest::keySequence(w, QKeySequence(action));
        } else if (action == "down") {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Down);
        } else {
            QTest::keyClicks(w, action);
            QTest::keyClick(w, Qt::Key_Return);
        }
    }
    QTEST(f.sent(), "sent");
    SetValueEntry(nullptr);
}

void TestVirtualPanel::widgetsShowTheEngine()
{
    PanelFixture f(PanelId::KM);
    f.staReply = "2EE0,1F4,48,0,0\r\n";
    f.poll();
    QCOMPARE(f.widget<PanelDisplay>("txtVolt")->text(), QString("12.00"));
    QCOMPARE(f.widget<Lamp>("lblStatus(6)")->colour(), ColourFromBgr(LampColour::Orange));
    QVERIFY(!f.widget<Lamp>("lblStatus(4)")->isLit());
    // MENU greys the setpoint keys (they look it), swaps DISPLAY keys for UP and DN, and shows
    // the legend.
    auto *volt = f.widget<QPushButton>("cmdVolt");
    const QImage enabled = volt->grab().toImage();
    QTest::mouseClick(f.widget("cmdMenu"), Qt::LeftButton);
    QVERIFY(!volt->isEnabled() && volt->grab().toImage() != enabled);
    QVERIFY(f.widget("cmdVISet")->isHidden() && !f.widget("cmdUp")->isHidden());
    f.e->tick(FrontPanel::Timer::Menu);
    QCOMPARE(f.widget<QLabel>("lblLegend")->text(), QString("OVT"));
    QVERIFY(!f.widget("knbVolt")->isEnabled());
    // The calibration key's hold shows as it goes.
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(f.widget("cmdItem"), Qt::LeftButton);
    QTest::mousePress(f.widget("cmdCal"), Qt::LeftButton);
    f.advance(5000);
    QVERIFY(f.widget("prgCalHold")->isVisible());
    QCOMPARE(f.widget<QProgressBar>("prgCalHold")->value(), 5000);
    QTest::mouseRelease(f.widget("cmdCal"), Qt::LeftButton);
    QVERIFY(!f.widget("prgCalHold")->isVisible());
}

// Setup reads the instrument's state again: the knobs show it, or a turn down from the value
// they showed before could raise the output.
void TestVirtualPanel::knobsFollowTheStateReadAfterSetup()
{
    PanelFixture f(PanelId::KM);
    modData().SystemType = 3; // Setup keeps the KM series, so the panel stays
    SetSetupDialog([](QWidget *) {});
    auto *knob = f.widget<Knob>("knbVolt");
    knob->setFocus();
    QTest::keyClick(knob, Qt::Key_Up);
    f.instrument[0] = 3000; // what "<>ALL" reports from now on
    f.panel->runSetup();
    QCOMPARE(modData().Settings.VoltSet, 3.0f);
    QCOMPARE(knob->value(), 3.0f);
    f.sent();
    QTest::keyClick(knob, Qt::Key_Down);
    QCOMPARE(f.sentWithoutPolls(), QStringList{"VOLT 2.90"});
    SetSetupDialog(nullptr);
}

void TestVirtualPanel::switchDuringAHold_data()
{
    QTest::addColumn<QString>("held");
    QTest::newRow("nothing held") << "";
    QTest::newRow("CLEAR held") << "cmdClear";
    QTest::newRow("knob turning, not ended") << "knbVolt";
    QTest::newRow("TW calibration key held, switch to a KM") << "cmdCal";
}

// A hold ends with the panel it was on: the new panel is current, takes the log, and the
// release that follows does nothing harmful; the program goes on.
void TestVirtualPanel::switchDuringAHold()
{
    QFETCH(QString, held);
    const PanelId from = held == "cmdCal" ? PanelId::TW : PanelId::TLB;
    const PanelId to = held == "cmdCal" ? PanelId::KM : PanelId::TLB;
    PanelFixture f(from);
    ClearPanelRegistry();
    RegisterPanel(to, [to] { return new VirtualPanel(to); });
    QPointer<VirtualPanel> first = f.panel;
    QWidget *key = held.isEmpty() ? nullptr : f.widget(qPrintable(held));
    if (held == "knbVolt") {
        key->setFocus();
        QTest::keyPress(key, Qt::Key_Up);
    } else if (key) {
        QTest::mouseClick(f.widget("cmdMenu"), Qt::LeftButton);
        for (int i = 0; held == "cmdCal" && i < 3; ++i)
            QTest::mouseClick(f.widget("cmdItem"), Qt::LeftButton); // the calibration level
        QTest::mousePress(key, Qt::LeftButton);
        f.advance(held == "cmdCal" ? 4000 : 6000);
    }
    f.sent();
    QPointer<PanelWindow> next = first->SwitchPanel(to);
    QVERIFY(next);
    QVERIFY(!first->engine().timerActive(FrontPanel::Timer::Hold));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!first);
    QCOMPARE(modData().CurrentPanel.data(), next.data());
    QCOMPARE(f.programEnded, 0);
    QVERIFY(f.sent().contains("<>CLR 0"));
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(next->rtbTranx));
    delete next.data();
    ClearPanelRegistry();
}

void TestVirtualPanel::goingSendsClear_data()
{
    QTest::addColumn<bool>("closed"); // by the user, or another panel became current
    QTest::newRow("closed: the program ends") << true;
    QTest::newRow("another panel current: this one gives way") << false;
}

void TestVirtualPanel::goingSendsClear()
{
    QFETCH(bool, closed);
    PanelFixture f;
    QObject other;
    other.setObjectName("frmCommand");
    if (closed) {
        f.panel->close();
    } else {
        modData().CurrentPanel = &other;
        f.poll();
    }
    QCOMPARE(f.sentWithoutPolls(), QStringList{"<>CLR 0"});
    QCOMPARE(f.programEnded, int(closed));
    QVERIFY(!f.panel->isVisible() && !f.e->timerActive(FrontPanel::Timer::Poll));
    // No longer shown from the status.
    f.staReply = "0,0,0,1,3\r\n";
    f.poll();
    QVERIFY(!f.widget<Lamp>("lblErrors(0)")->isLit());
}

void TestVirtualPanel::readoutsGrowAndSaySimulated()
{
    PanelFixture f(PanelId::KM);
    auto *volt = f.widget<PanelDisplay>("txtVolt");
    volt->show(QStringLiteral("1.00"));
    QVERIFY(!volt->marksSimulated());
    // A fall-back to Simulated: the next reading carries the marking, in sight and in words.
    modData().CommKind = LinkKind::Simulated;
    volt->show(QStringLiteral("1.00"));
    QVERIFY(volt->marksSimulated());
    QVERIFY(volt->accessibleDescription().contains(QStringLiteral("simulated")));
    modData().CommKind = LinkKind::TcpIp;
    volt->show(QStringLiteral("1.00"));
    QVERIFY(!volt->marksSimulated());

    // A larger window gives larger digits; the large readout leaves only the displays.
    const int small = volt->font().pixelSize();
    const QRect before = f.panel->geometry();
    f.panel->resize(before.width() * 2, before.height() * 2);
    QCoreApplication::processEvents();
    QVERIFY(volt->font().pixelSize() > small);
    f.panel->resize(before.size());
    QCoreApplication::processEvents();
    auto *large = f.panel->findChild<QAction *>(QStringLiteral("mnuLargeReadout"));
    large->trigger();
    QCoreApplication::processEvents();
    QVERIFY(volt->isVisible() && !f.widget("cmdMenu")->isVisible() && !f.widget("knbVolt")->isVisible());
    QVERIFY(volt->font().pixelSize() > small);
    large->trigger();
    QCoreApplication::processEvents();
    QVERIFY(f.widget("cmdMenu")->isVisible() && f.widget("knbVolt")->isVisible());
    QCOMPARE(f.panel->size(), before.size());
}

void TestVirtualPanel::sequenceViewRunsAFile()
{
    PanelFixture f(PanelId::TLB);
    f.writeFile("ramp.txt", "output on\nramp volt 1V 3V 2s 1V\n");
    auto chooser = std::make_shared<RecordingChooser>();
    chooser->answer = f.path("ramp.txt");
    SetFileChooser(chooser);
    auto *view = f.widget<SequenceView>("fraSequence");
    QVERIFY(!view->isVisible());
    f.panel->findChild<QAction *>(QStringLiteral("mnuSequence"))->trigger();
    QVERIFY(view->isVisible());
    view->cmdOpen->click();
    SetFileChooser(nullptr);
    QVERIFY(chooser->requests.value(0).open);
    QCOMPARE(view->tblSteps->rowCount(), 4);
    QCOMPARE(view->tblSteps->item(2, 1)->text(), QString("2 V"));

    view->cmdStart->click();
    f.clock->advance(1000);
    f.panel->sequence().tick();
    QCOMPARE(view->tblSteps->selectionModel()->selectedRows().value(0).row(), 2);
    QVERIFY(view->lblState->text().startsWith("Running step 3 of 4"));
    QVERIFY(!f.widget("cmdMenu")->isEnabled() && f.widget("cmdStop")->isEnabled());
    QVERIFY(!f.panel->mnuSetup->isEnabled() && !f.panel->mnuReconnect->isEnabled());
    QCOMPARE(f.sentWithoutPolls(), QStringList({"OUTP:START", "VOLT 1", "VOLT 2"}));

    view->cmdStopRun->click();
    QCOMPARE(f.sentWithoutPolls(), QStringList({"OUTP:STOP"}));
    QVERIFY(f.widget("cmdMenu")->isEnabled() && !view->cmdStopRun->isEnabled());
    QVERIFY(f.panel->mnuSetup->isEnabled() && f.panel->mnuReconnect->isEnabled());
    QVERIFY(view->tblSteps->selectionModel()->selectedRows().isEmpty());
    QVERIFY(view->lblState->text().contains("stopped by the user"));
    f.panel->showSequence(false); // the next panels open without it
}

QTEST_MAIN(TestVirtualPanel)
#include "test_virtualpanel.moc"
