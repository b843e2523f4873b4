// The Command Panel on a scripted link: each row's controls and tab order, the texts its
// buttons send, where a Get's reply lands, the frames disabled while a reply is awaited,
// time-outs, row availability by system type and link kind (at opening; "Period"/"Arm" again
// after Setup). Switching and closing are the frame's (test_panelframe).

#include "engine/console.h"
#include "panels/service/consoleline.h"
#include "servicefixture.h"
#include "ui/transactionlog.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
// The rows, the command line and the menus: all off while a row's reply is awaited (window
// events run then, and a line sent from the command line would take the row's reply).
bool FramesEnabled(CommandPanel *p)
{
    return p->fraCmd1->isEnabled() && p->fraCmd2->isEnabled() && p->fraConsole->isEnabled()
        && p->menuBar()->isEnabled();
}
} // namespace

class TestCommandPanel : public QObject {
    Q_OBJECT
private slots:
    void rowButtonSendsItsText_data();
    void rowButtonSendsItsText();
    void fallBackKeepsTheAvailability_data();
    void fallBackKeepsTheAvailability();
    void rowAvailability_data();
    void rowAvailability();
    void setupReappliesTheAvailability();
};

// A Set sends its text and the row's box as pasted, reading no reply (a line break would send
// a second command: the box refuses it); a Get sends its query
// with the frames disabled until the reply, which lands selected in the row's own box (line
// breaks removed, blanks and markup kept) or in the log only.
void TestCommandPanel::rowButtonSendsItsText_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("data"); // a Set: typed into the row's box; a Get: the reply
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("shown"); // a Get: in the row's box
    QTest::newRow("Voltage, blanks as typed")
        << "cmdSetSCPI(0)" << " 12.5 " << "SOURce:VOLTage:LEVel:IMMediate:AMPLitude  12.5 " << "";
    QTest::newRow("Voltage, a line break refused")
        << "cmdSetSCPI(0)" << "5\n*RST" << "SOURce:VOLTage:LEVel:IMMediate:AMPLitude " << "";
    QTest::newRow("Voltage Prot, unchecked")
        << "cmdSetSCPI(2)" << "abc" << "SOURce:VOLTage:PROTection:LEVel abc" << "";
    QTest::newRow("Period") << "cmdSetSCPI(6)" << "2.5" << "SOURce:PERiod 2.5" << "";
    QTest::newRow("Setpoint") << "cmdSetSCPI(39)" << "1" << "CONFigure:SETPT 1" << "";
    QTest::newRow("Arm") << "cmdSetSCPI(26)" << "1" << "OUTPut:Arm 1" << "";
    QTest::newRow("*RCL 3") << "cmdSetIEEE(2)" << "3" << "*RCL 3" << "";
    QTest::newRow("*SAV, empty box") << "cmdSetIEEE(3)" << "" << "*SAV " << "";
    // The bare commands act on the instrument at once: each must send its own.
    QTest::newRow("Start") << "cmdSetSCPI(8)" << "" << "OUTPut:START" << "";
    QTest::newRow("Stop") << "cmdSetSCPI(9)" << "" << "OUTPut:STOP" << "";
    QTest::newRow("Clear") << "cmdSetSCPI(11)" << "" << "OUTPut:PROTection:CLEar" << "";
    QTest::newRow("Init. Imm.") << "cmdSetSCPI(13)" << "" << "INITiate:IMMediate" << "";
    QTest::newRow("Trigger") << "cmdSetSCPI(12)" << "" << "TRIGger:IMMediate" << "";
    QTest::newRow("Abort") << "cmdSetSCPI(10)" << "" << "ABORt" << "";
    QTest::newRow("*RST") << "cmdSetIEEE(4)" << "" << "*RST" << "";
    QTest::newRow("*CLS") << "cmdSetIEEE(9)" << "" << "*CLS" << "";
    QTest::newRow("get Current, CR LF")
        << "cmdGetSCPI(1)" << "12.50\r\n" << "SOURce:CURRent:LEVel:IMMediate:AMPLitude?" << "12.50";
    QTest::newRow("get Period, LF only, blanks kept")
        << "cmdGetSCPI(6)" << " 2.000 \n" << "SOURce:PERiod?" << " 2.000 ";
    QTest::newRow("get Mem, every line break removed") << "cmdGetSCPI(7)" << "1\r2\r\n" << "RECall:MEMory?" << "12";
    QTest::newRow("get Arm") << "cmdGetSCPI(26)" << "1\r\n" << "OUTPut:Arm?" << "1";
    QTest::newRow("get Setpoint, markup stays text")
        << "cmdGetSCPI(39)" << "<b>x</b>\r\n" << "CONFigure:SETPT?" << "<b>x</b>";
    QTest::newRow("get Meas Volt: the log only") << "cmdGetSCPI(16)" << "5.000\r\n" << "MEASure:VOLTage:DC?" << "";
    QTest::newRow("get Syst. Err.: the log only")
        << "cmdGetSCPI(18)" << "0,\"No error\"\r\n" << "SYSTem:ERRor?" << "";
    QTest::newRow("get Ethernet Vers. on TCP/IP") << "cmdGetSCPI(38)" << "1.2\r\n" << "SYSTem:NET:VERSion?" << "";
    QTest::newRow("get *IDN: the log only")
        << "cmdGetIEEE(8)" << "Zoptrel,ZOP-SIM TLB,0,4.70\r\n" << "*IDN?" << "";
}

void TestCommandPanel::rowButtonSendsItsText()
{
    QFETCH(QString, button);
    QFETCH(QString, data);
    QFETCH(QString, sent);
    QFETCH(QString, shown);
    const bool get = button.startsWith("cmdGet");
    ServiceFixture f;
    if (get)
        f.replies[sent.toLatin1()] = data.toLatin1();
    CommandPanel *p = f.open<CommandPanel>();
    p->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p));
    const QList<QLineEdit *> boxes = p->findChildren<QLineEdit *>();
    for (QLineEdit *box : boxes)
        box->setText("old value");
    QLineEdit *own = p->findChild<QLineEdit *>(QString(button).replace(get ? "cmdGet" : "cmdSet", "txt"));
    if (own && !get) {
        QApplication::clipboard()->setText(data);
        own->clear();
        own->paste();
    }
    QList<bool> enabledWhileWaiting;
    f.whileWaiting = [&] {
        enabledWhileWaiting << p->fraCmd1->isEnabled() << p->fraCmd2->isEnabled() << p->fraConsole->isEnabled()
                            << p->menuBar()->isEnabled();
    };
    f.sent();
    QPushButton *b = p->findChild<QPushButton *>(button);
    QVERIFY(b && b->isEnabled());

    QTest::mouseClick(b, Qt::LeftButton);

    QCOMPARE(f.sent(), QStringList{sent});
    QCOMPARE(enabledWhileWaiting.isEmpty(), !get); // a Set reads no reply
    QVERIFY(!enabledWhileWaiting.contains(true) && FramesEnabled(p));
    QVERIFY(p->rtbTranx->logText().endsWith(sent + "\n" + (get ? data : QString())));
    QVERIFY(f.prompter->shown.isEmpty());
    for (QLineEdit *box : boxes) {
        if (box != own || !get) {
            QCOMPARE(box->text(), box == own ? sent.section(' ', 1) : QString("old value"));
            continue;
        }
        QCOMPARE(box->text(), shown);
        QCOMPARE(box->selectedText(), shown);
        QVERIFY(box->hasFocus());
    }
}

// A Get that times out, "Simulate Inst", and "Simulate Inst" chosen while a reply is awaited
// (the instrument began it and never finished; menu entries still act then): the link
// re-opens in Simulated mode, nothing is read from a closed transport, the frames come back,
// and the Command Panel's availability stays its opening one. A query typed on the command
// line that is not answered (a typing slip) is told in the log and the link stays.
void TestCommandPanel::fallBackKeepsTheAvailability_data()
{
    // get: a Get; typed: on the command line; menu: Simulate Inst; wait, registers: during a read
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("partial"); // what came of the Voltage reply
    QTest::newRow("time-out, no reply") << "get" << QByteArray();
    QTest::newRow("time-out, reply without its line feed") << "get" << QByteArray("12.");
    QTest::newRow("typed query, no reply: the link stays") << "typed" << QByteArray();
    QTest::newRow("Simulate Inst") << "menu" << QByteArray();
    QTest::newRow("Simulate Inst during a Get") << "wait" << QByteArray("12.");
    QTest::newRow("Simulate Inst during a Register Panel read") << "registers" << QByteArray();
}

void TestCommandPanel::fallBackKeepsTheAvailability()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, partial);
    ServiceFixture f;
    f.replies["SOURce:VOLTage:LEVel:IMMediate:AMPLitude?"] = partial;
    f.replies["*STB?"] = "8";
    PanelWindow *panel = how == "registers" ? static_cast<PanelWindow *>(f.open<RegistersPanel>())
                                            : f.open<CommandPanel>();
    auto *p = qobject_cast<CommandPanel *>(panel);
    QLineEdit *box = p ? p->dataBox(CommandTable::Scpi, 0) : nullptr;
    if (box)
        box->setText("7");
    int waits = 0;
    f.whileWaiting = [&] {
        if (++waits == 1 && (how == "wait" || how == "registers"))
            panel->mnuSimulate->trigger();
    };
    const qint64 before = f.clock->elapsedMs();
    if (how == "menu")
        panel->mnuSimulate->trigger();
    else if (how == "typed") {
        p->txtConsole->setText("MEAS:VOLT:?");
        QTest::keyClick(p->txtConsole, Qt::Key_Return);
    }
    else if (p)
        p->cmdGet_Click(CommandTable::Scpi, 0);
    else
        static_cast<RegistersPanel *>(panel)->cmdGetIEEE_Click(7);
    QCOMPARE(modData().CommKind, how == "typed" ? LinkKind::TcpIp : LinkKind::Simulated);
    QCOMPARE(f.line->deletedInWait + f.line->takesAfterClose, 0);
    QCOMPARE(f.prompter->texts(), how == "get" ? QStringList{CommText::TimedOut} : QStringList{});
    QVERIFY(panel->menuBar()->isEnabled());
    if (how == "get" || how == "typed")
        QVERIFY(f.clock->elapsedMs() - before >= 2000);
    if (how == "get")
        QCOMPARE(box->text(), QString::fromLatin1(partial));
    else if (how == "typed")
        QVERIFY(p->rtbTranx->logText().endsWith(NoReplyText + "\r\n"));
    else
        QVERIFY(panel->rtbTranx->logText().startsWith("Simulated - Initialized\r\n"));
    if (!p)
        return;
    QVERIFY(FramesEnabled(p) && p->txtConsole->isEnabled());
    if (how == "typed")
        return;
    // Neither a fall-back nor a command in Simulated mode changes the availability.
    p->cmdSet_Click(CommandTable::Scpi, 8);
    QVERIFY(p->getButton(CommandTable::Scpi, EthernetVersionIndex)->isEnabled()
            && p->rowLabel(CommandTable::Scpi, EthernetVersionIndex)->isEnabled());
    // Simulated replies still land in the data boxes.
    p->cmdGet_Click(CommandTable::Scpi, 1);
    QCOMPARE(p->dataBox(CommandTable::Scpi, 1)->text(), QString("9.999"));
}

void TestCommandPanel::rowAvailability_data()
{
    QTest::addColumn<int>("systemType");
    QTest::addColumn<int>("commKind");
    QTest::addColumn<QStringList>("unavailable");
    const QString period = "Period", arm = "Arm", gpib = "GPIB. Vers.", ethernet = "Ethernet Vers.";
    QTest::newRow("GZ on TCP/IP") << 0 << int(LinkKind::TcpIp) << QStringList{period, arm, gpib};
    QTest::newRow("GZ Plus on RS-232")
        << 1 << int(LinkKind::Rs232) << QStringList{period, arm, gpib, ethernet};
    QTest::newRow("TLB on GPIB") << 2 << int(LinkKind::Gpib) << QStringList{ethernet};
    QTest::newRow("KM on selected RS-485")
        << 3 << int(LinkKind::Rs485Selected) << QStringList{period, arm, gpib, ethernet};
    QTest::newRow("TW simulated")
        << 4 << int(LinkKind::Simulated) << QStringList{period, arm, gpib, ethernet};
    QTest::newRow("TLB on framed RS-485") << 2 << int(LinkKind::Rs485Framed) << QStringList{gpib, ethernet};
    QTest::newRow("unknown system shows the TLB rows") << 99 << int(LinkKind::TcpIp) << QStringList{gpib};
    QTest::newRow("system 7, link not configured")
        << 7 << int(LinkKind::NotConfigured) << QStringList{gpib, ethernet};
}

void TestCommandPanel::rowAvailability()
{
    QFETCH(int, systemType);
    QFETCH(int, commKind);
    QFETCH(QStringList, unavailable);
    const RowAvailability rule = CommandRowAvailability(qint16(systemType), qint16(commKind));
    ServiceFixture f{qint16(commKind), qint16(systemType)};
    CommandPanel *p = f.open<CommandPanel>();
    QStringList locked, byRule, expected;
    for (const CommandRow &row : CommandRows()) {
        // Every row has its own controls (two rows sharing an index would leave one without),
        // in its frame, in the tab order row by row.
        QGroupBox *frame = row.block == RowBlock::Settings ? p->fraCmd1 : p->fraCmd2;
        QLabel *label = p->rowLabel(row.table, row.index);
        const QList<QWidget *> controls{p->getButton(row.table, row.index), p->setButton(row.table, row.index),
                                        p->dataBox(row.table, row.index)};
        QCOMPARE((QList<bool>{controls[0] != nullptr, controls[1] != nullptr, controls[2] != nullptr}),
                 (QList<bool>{row.hasGet, row.hasSet, row.valueRow}));
        QVERIFY(label->text() == row.label && label->textFormat() == Qt::PlainText);
        for (QWidget *w : controls) {
            if (w) {
                QVERIFY2(frame->isAncestorOf(w), qPrintable(row.label));
                QCOMPARE(w->isEnabled(), label->isEnabled());
                expected << w->objectName();
            }
        }
        if (QLineEdit *box = p->dataBox(row.table, row.index))
            QCOMPARE(box->isReadOnly(), !label->isEnabled());
        if (!label->isEnabled())
            locked << row.label;
        if (!RowAvailable(row, rule))
            byRule << row.label;
    }
    QCOMPARE(locked, unavailable);
    QCOMPARE(byRule, unavailable);
    // Then the command line, the log and its buttons; the log stays usable while the frames are
    // disabled for a reply.
    expected << "txtConsole" << "chkCheckErrors" << "rtbTranx" << "cmdClear" << "cmdSave";
    QStringList chain;
    for (QWidget *w = p->getButton(CommandTable::Scpi, 0); chain.size() < expected.size();
         w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w->objectName();
    QCOMPARE(chain, expected);
    QVERIFY(!p->fraCmd1->isAncestorOf(p->rtbTranx) && !p->fraCmd2->isAncestorOf(p->rtbTranx));
}

// After Setup every system type but 2 locks "Period" and "Arm", also one the opening rule leaves
// open, and empties their boxes (a change to type 2 opening them is test_aftersetup's); the
// version rows keep their opening state whatever the link now is.
void TestCommandPanel::setupReappliesTheAvailability()
{
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    QLineEdit *period = p->dataBox(CommandTable::Scpi, PeriodIndex);
    QLineEdit *arm = p->dataBox(CommandTable::Scpi, ArmIndex);
    period->setText("2.5");
    arm->setText("1");
    SetSetupDialog([&](QWidget *) {
        modData().SystemType = 5;
        modData().CommKind = LinkKind::Simulated;
    });
    p->mnuSetup->trigger();
    QVERIFY(!period->isEnabled() && period->isReadOnly() && !p->getButton(CommandTable::Scpi, ArmIndex)->isEnabled());
    QVERIFY(period->text().isEmpty() && arm->text().isEmpty());
    QVERIFY(p->getButton(CommandTable::Scpi, EthernetVersionIndex)->isEnabled());
    QVERIFY(f.prompter->shown.isEmpty()); // the state refresh after Setup is the frame's test
}

QTEST_MAIN(TestCommandPanel)
#include "test_commandpanel.moc"
