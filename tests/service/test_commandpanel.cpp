// The Command Panel on a scripted link: the texts its buttons send, the data boxes a Get
// fills, the frames disabled while a reply is awaited, time-outs, row availability by system
// type and link kind (again after Setup and "Simulate Inst"), keyboard reach, close and switch.

#include "servicefixture.h"
#include "ui/transactionlog.h"

#include <QAction>
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
constexpr int Scpi = int(CommandTable::Scpi);
constexpr int Ieee = int(CommandTable::Ieee);

struct Action {
    QString button; // object name
    QString data;   // typed into the row's data box first (value rows)
};

QPushButton *Button(CommandPanel *panel, const QString &name)
{
    return panel->findChild<QPushButton *>(name);
}

QLineEdit *Box(CommandPanel *panel, const QString &name)
{
    return panel->findChild<QLineEdit *>(name);
}

// The focusable controls in the panel's tab chain, starting at `first`.
QStringList TabChain(QWidget *first)
{
    QStringList names;
    QWidget *w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            names << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first);
    return names;
}
} // namespace

class TestCommandPanel : public QObject {
    Q_OBJECT
private slots:
    void everyRowHasItsControls();
    void buttonsHaveAccessibleNames_data();
    void buttonsHaveAccessibleNames();
    void keyboardReachesEveryRowInOrder();
    void buttonsSendTheirTexts_data();
    void buttonsSendTheirTexts();
    void getOnAValueRowFillsTheDataBox_data();
    void getOnAValueRowFillsTheDataBox();
    void repliesToOtherRowsGoOnlyToTheLog_data();
    void repliesToOtherRowsGoOnlyToTheLog();
    void framesAreDisabledWhileAReplyIsAwaited_data();
    void framesAreDisabledWhileAReplyIsAwaited();
    void timeOutReenablesTheFramesAndFallsBack_data();
    void timeOutReenablesTheFramesAndFallsBack();
    void rowAvailability_data();
    void rowAvailability();
    void setupReappliesTheAvailability();
    void simulateInstReappliesTheAvailability();
    void dataBoxRefusesLineBreaks();
    void closeEndsTheProgram();
    void switchesToTheRegisterPanelAndBack();
};

void TestCommandPanel::everyRowHasItsControls()
{
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    QCOMPARE(p->objectName(), QString("frmCommand"));
    QCOMPARE(p->windowTitle(), QString("Command Panel"));
    for (const CommandRow &row : CommandRows()) {
        QGroupBox *frame = row.block == RowBlock::Settings ? p->fraCmd1 : p->fraCmd2;
        const char *label = qPrintable(row.label);
        QPushButton *get = p->getButton(row.table, row.index);
        QPushButton *set = p->setButton(row.table, row.index);
        QLineEdit *data = p->dataBox(row.table, row.index);
        QCOMPARE(get != nullptr, row.hasGet);
        QCOMPARE(set != nullptr, row.hasSet);
        QCOMPARE(data != nullptr, row.valueRow);
        if (get) {
            QCOMPARE(get->objectName(), row.getButtonName());
            QVERIFY2(frame->isAncestorOf(get), label);
            QCOMPARE(Button(p, row.getButtonName()), get);
        }
        if (set) {
            QCOMPARE(set->objectName(), row.setButtonName());
            QVERIFY2(frame->isAncestorOf(set), label);
        }
        if (data) {
            QCOMPARE(data->objectName(), row.dataBoxName());
            QVERIFY2(data->text().isEmpty(), label);
        }
        QLabel *caption = p->rowLabel(row.table, row.index);
        QCOMPARE(caption->text(), row.label);
        QCOMPARE(caption->textFormat(), Qt::PlainText);
        QCOMPARE(caption->objectName(), row.labelName());
    }
    // The legend, and the log frame beside the command frames.
    QStringList texts;
    for (QLabel *label : p->fraCmd2->findChildren<QLabel *>())
        texts << label->text();
    QVERIFY(texts.contains("Legend") && texts.contains("1 = True") && texts.contains("0 = False"));
    QVERIFY(!p->fraCmd1->isAncestorOf(p->rtbTranx) && !p->fraCmd2->isAncestorOf(p->rtbTranx));
    QCOMPARE(p->fraIn->title(), QString("Output"));
    QCOMPARE(Button(p, "cmdClear")->text(), QString("Clear"));
    QCOMPARE(Button(p, "cmdSave")->text(), QString("Save to File"));
}

void TestCommandPanel::buttonsHaveAccessibleNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("accessible");
    QTest::newRow("Get Voltage") << "cmdGetSCPI(0)" << "Get Voltage";
    QTest::newRow("Set Voltage") << "cmdSetSCPI(0)" << "Set Voltage";
    QTest::newRow("Set Start") << "cmdSetSCPI(8)" << "Set Start";
    QTest::newRow("Get *IDN") << "cmdGetIEEE(8)" << "Get *IDN";
    QTest::newRow("Set *RCL") << "cmdSetIEEE(2)" << "Set *RCL";
    QTest::newRow("Get Ethernet Vers.") << "cmdGetSCPI(38)" << "Get Ethernet Vers.";
    QTest::newRow("Voltage data") << "txtSCPI(0)" << "Voltage data";
    QTest::newRow("*SAV data") << "txtIEEE(3)" << "*SAV data";
}

void TestCommandPanel::buttonsHaveAccessibleNames()
{
    QFETCH(QString, name);
    QFETCH(QString, accessible);
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    QWidget *w = p->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->accessibleName(), accessible);
}

void TestCommandPanel::keyboardReachesEveryRowInOrder()
{
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    QStringList expected;
    for (const CommandRow &row : CommandRows()) {
        if (row.hasGet)
            expected << row.getButtonName();
        if (row.hasSet)
            expected << row.setButtonName();
        if (row.valueRow)
            expected << row.dataBoxName();
    }
    expected << "rtbTranx" << "cmdClear" << "cmdSave";
    QStringList chain = TabChain(p->getButton(CommandTable::Scpi, 0));
    QCOMPARE(chain.mid(0, expected.size()), expected);
}

void TestCommandPanel::buttonsSendTheirTexts_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("Set Voltage, empty box")
        << "cmdSetSCPI(0)" << "txtSCPI(0)" << ""
        << QStringList{"SOURce:VOLTage:LEVel:IMMediate:AMPLitude "};
    QTest::newRow("Set Voltage, as typed")
        << "cmdSetSCPI(0)" << "txtSCPI(0)" << " 12.5 "
        << QStringList{"SOURce:VOLTage:LEVel:IMMediate:AMPLitude  12.5 "};
    QTest::newRow("Set Voltage Prot, unchecked")
        << "cmdSetSCPI(2)" << "txtSCPI(2)" << "abc"
        << QStringList{"SOURce:VOLTage:PROTection:LEVel abc"};
    QTest::newRow("Set Init. Cont.") << "cmdSetSCPI(15)" << "txtSCPI(15)" << "1"
                                     << QStringList{"INITiate:CONTinuous 1"};
    QTest::newRow("Set Interlock") << "cmdSetSCPI(25)" << "txtSCPI(25)" << "0"
                                   << QStringList{"CONFigure:INTErlock 0"};
    QTest::newRow("Set Arm") << "cmdSetSCPI(26)" << "txtSCPI(26)" << "1"
                             << QStringList{"OUTPut:Arm 1"};
    QTest::newRow("Set *RCL 3") << "cmdSetIEEE(2)" << "txtIEEE(2)" << "3" << QStringList{"*RCL 3"};
    QTest::newRow("Set *SAV, empty") << "cmdSetIEEE(3)" << "txtIEEE(3)" << "" << QStringList{"*SAV "};
    QTest::newRow("Set Start") << "cmdSetSCPI(8)" << "" << "" << QStringList{"OUTPut:START"};
    QTest::newRow("Set Stop") << "cmdSetSCPI(9)" << "" << "" << QStringList{"OUTPut:STOP"};
    QTest::newRow("Set Clear") << "cmdSetSCPI(11)" << "" << "" << QStringList{"OUTPut:PROTection:CLEar"};
    QTest::newRow("Set Init. Imm.") << "cmdSetSCPI(13)" << "" << "" << QStringList{"INITiate:IMMediate"};
    QTest::newRow("Set Trigger") << "cmdSetSCPI(12)" << "" << "" << QStringList{"TRIGger:IMMediate"};
    QTest::newRow("Set Abort") << "cmdSetSCPI(10)" << "" << "" << QStringList{"ABORt"};
    QTest::newRow("Set *RST") << "cmdSetIEEE(4)" << "" << "" << QStringList{"*RST"};
    QTest::newRow("Set *CLS") << "cmdSetIEEE(9)" << "" << "" << QStringList{"*CLS"};
    QTest::newRow("Get Voltage") << "cmdGetSCPI(0)" << "" << ""
                                 << QStringList{"SOURce:VOLTage:LEVel:IMMediate:AMPLitude?"};
    QTest::newRow("Get Mem") << "cmdGetSCPI(7)" << "" << "" << QStringList{"RECall:MEMory?"};
    QTest::newRow("Get Setpoint") << "cmdGetSCPI(39)" << "" << "" << QStringList{"CONFigure:SETPT?"};
    QTest::newRow("Get Meas Volt") << "cmdGetSCPI(16)" << "" << "" << QStringList{"MEASure:VOLTage:DC?"};
    QTest::newRow("Get Meas Curr") << "cmdGetSCPI(17)" << "" << "" << QStringList{"MEASure:CURRent:DC?"};
    QTest::newRow("Get Syst. Err.") << "cmdGetSCPI(18)" << "" << "" << QStringList{"SYSTem:ERRor?"};
    QTest::newRow("Get Syst. Vers.") << "cmdGetSCPI(19)" << "" << "" << QStringList{"SYSTem:Version?"};
    QTest::newRow("Get Ethernet Vers.") << "cmdGetSCPI(38)" << "" << "" << QStringList{"SYSTem:NET:VERSion?"};
    QTest::newRow("Get Oper. Cond.") << "cmdGetSCPI(20)" << "" << "" << QStringList{"STATus:OPERation:CONDition?"};
    QTest::newRow("Get Ques. Cond.") << "cmdGetSCPI(21)" << "" << "" << QStringList{"STATus:QUEStionable:CONDition?"};
    QTest::newRow("Get Outp. State") << "cmdGetSCPI(28)" << "" << "" << QStringList{"OUTPut:STATe?"};
    QTest::newRow("Get *IDN") << "cmdGetIEEE(8)" << "" << "" << QStringList{"*IDN?"};
}

void TestCommandPanel::buttonsSendTheirTexts()
{
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, data);
    QFETCH(QStringList, sent);
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    if (!box.isEmpty())
        Box(p, box)->setText(data);
    f.sent();
    QPushButton *b = Button(p, button);
    QVERIFY(b && b->isEnabled());
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(f.sent(), sent);
    // Every command is echoed into the log.
    QVERIFY(p->rtbTranx->logText().contains(sent.last() + "\n"));
}

void TestCommandPanel::getOnAValueRowFillsTheDataBox_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Current, CR LF") << 1 << QByteArray("SOURce:CURRent:LEVel:IMMediate:AMPLitude?")
                                    << QByteArray("12.50\r\n") << "12.50";
    QTest::newRow("Voltage, line feed only") << 0 << QByteArray("SOURce:VOLTage:LEVel:IMMediate:AMPLitude?")
                                             << QByteArray("5.000\n") << "5.000";
    QTest::newRow("Period, blanks kept") << 6 << QByteArray("SOURce:PERiod?")
                                         << QByteArray(" 2.000 \r\n") << " 2.000 ";
    QTest::newRow("Arm") << 26 << QByteArray("OUTPut:Arm?") << QByteArray("1\r\n") << "1";
    QTest::newRow("Setpoint, not a number")
        << 39 << QByteArray("CONFigure:SETPT?") << QByteArray("<b>x</b>\r\n") << "<b>x</b>";
}

void TestCommandPanel::getOnAValueRowFillsTheDataBox()
{
    QFETCH(int, index);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    ServiceFixture f;
    f.replies[query] = reply;
    CommandPanel *p = f.open<CommandPanel>();
    p->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p));
    QLineEdit *box = p->dataBox(CommandTable::Scpi, index);
    box->setText("old value");
    QTest::mouseClick(p->getButton(CommandTable::Scpi, index), Qt::LeftButton);
    QCOMPARE(box->text(), shown);
    QCOMPARE(box->selectedText(), shown);
    QVERIFY(box->hasFocus());
    QVERIFY(p->rtbTranx->logText().endsWith(QString::fromLatin1(query) + "\n"
                                            + QString::fromLatin1(reply)));
    QVERIFY(f.prompter->shown.isEmpty());
}

void TestCommandPanel::repliesToOtherRowsGoOnlyToTheLog_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("Meas Volt") << Scpi << 16 << QByteArray("MEASure:VOLTage:DC?");
    QTest::newRow("Oper. Cond.") << Scpi << 20 << QByteArray("STATus:OPERation:CONDition?");
    QTest::newRow("*IDN") << Ieee << 8 << QByteArray("*IDN?");
}

void TestCommandPanel::repliesToOtherRowsGoOnlyToTheLog()
{
    QFETCH(int, table);
    QFETCH(int, index);
    QFETCH(QByteArray, query);
    ServiceFixture f;
    f.replies[query] = "Zoptrel,ZOP-SIM TLB,0,4.70\r\n";
    CommandPanel *p = f.open<CommandPanel>();
    p->cmdGet_Click(CommandTable(table), index);
    QVERIFY(p->rtbTranx->logText().endsWith(QString::fromLatin1(query)
                                            + "\nZoptrel,ZOP-SIM TLB,0,4.70\r\n"));
    for (QLineEdit *box : p->findChildren<QLineEdit *>())
        QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
}

void TestCommandPanel::framesAreDisabledWhileAReplyIsAwaited_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("Get Voltage") << Scpi << 0 << QByteArray("SOURce:VOLTage:LEVel:IMMediate:AMPLitude?");
    QTest::newRow("Get Arm") << Scpi << 26 << QByteArray("OUTPut:Arm?");
    QTest::newRow("Get Syst. Err.") << Scpi << 18 << QByteArray("SYSTem:ERRor?");
    QTest::newRow("Get *IDN") << Ieee << 8 << QByteArray("*IDN?");
}

void TestCommandPanel::framesAreDisabledWhileAReplyIsAwaited()
{
    QFETCH(int, table);
    QFETCH(int, index);
    QFETCH(QByteArray, query);
    ServiceFixture f;
    f.replies[query] = "1\r\n";
    CommandPanel *p = f.open<CommandPanel>();
    QList<bool> enabledWhileWaiting;
    f.whileWaiting = [&] {
        enabledWhileWaiting << p->fraCmd1->isEnabled() << p->fraCmd2->isEnabled()
                            << p->menuBar()->isEnabled();
    };
    p->cmdGet_Click(CommandTable(table), index);
    QVERIFY(!enabledWhileWaiting.isEmpty());
    QVERIFY(!enabledWhileWaiting.contains(true));
    QVERIFY(p->fraCmd1->isEnabled() && p->fraCmd2->isEnabled() && p->menuBar()->isEnabled());

    // A Set reads no reply.
    enabledWhileWaiting.clear();
    p->cmdSet_Click(CommandTable::Scpi, 8);
    QVERIFY(enabledWhileWaiting.isEmpty());
}

void TestCommandPanel::timeOutReenablesTheFramesAndFallsBack_data()
{
    QTest::addColumn<QByteArray>("partial");
    QTest::newRow("no reply") << QByteArray();
    QTest::newRow("reply without its line feed") << QByteArray("12.");
}

void TestCommandPanel::timeOutReenablesTheFramesAndFallsBack()
{
    QFETCH(QByteArray, partial);
    ServiceFixture f;
    if (!partial.isEmpty())
        f.replies["SOURce:VOLTage:LEVel:IMMediate:AMPLitude?"] = partial;
    CommandPanel *p = f.open<CommandPanel>();
    QLineEdit *box = p->dataBox(CommandTable::Scpi, 0);
    box->setText("7");
    QVERIFY(p->getButton(CommandTable::Scpi, 38)->isEnabled()); // Ethernet Vers. on TCP/IP
    const qint64 before = f.clock->elapsedMs();
    p->cmdGet_Click(CommandTable::Scpi, 0);
    QVERIFY(f.clock->elapsedMs() - before >= 2000);
    QCOMPARE(f.prompter->texts(), QStringList{CommText::TimedOut});
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QVERIFY(p->fraCmd1->isEnabled() && p->fraCmd2->isEnabled() && p->menuBar()->isEnabled());
    QCOMPARE(box->text(), QString::fromLatin1(partial));
    // The link is now simulated: the version rows follow.
    QVERIFY(!p->getButton(CommandTable::Scpi, 38)->isEnabled());
    QVERIFY(!p->rowLabel(CommandTable::Scpi, 38)->isEnabled());
}

void TestCommandPanel::rowAvailability_data()
{
    QTest::addColumn<int>("systemType");
    QTest::addColumn<int>("commKind");
    QTest::addColumn<bool>("periodAndArm");
    QTest::addColumn<bool>("gpib");
    QTest::addColumn<bool>("ethernet");
    QTest::newRow("GZ on TCP/IP") << 0 << int(LinkKind::TcpIp) << false << false << true;
    QTest::newRow("GZ Plus on RS-232") << 1 << int(LinkKind::Rs232) << false << false << false;
    QTest::newRow("TLB on GPIB") << 2 << int(LinkKind::Gpib) << true << true << false;
    QTest::newRow("KM on TCP/IP") << 3 << int(LinkKind::TcpIp) << false << false << true;
    QTest::newRow("TW on RS-485") << 4 << int(LinkKind::Rs485Framed) << false << false << false;
    QTest::newRow("TLB simulated") << 2 << int(LinkKind::Simulated) << true << false << false;
}

void TestCommandPanel::rowAvailability()
{
    QFETCH(int, systemType);
    QFETCH(int, commKind);
    QFETCH(bool, periodAndArm);
    QFETCH(bool, gpib);
    QFETCH(bool, ethernet);
    ServiceFixture f{qint16(commKind), qint16(systemType)};
    CommandPanel *p = f.open<CommandPanel>();
    for (int index : {PeriodIndex, ArmIndex}) {
        QCOMPARE(p->getButton(CommandTable::Scpi, index)->isEnabled(), periodAndArm);
        QCOMPARE(p->setButton(CommandTable::Scpi, index)->isEnabled(), periodAndArm);
        QCOMPARE(p->rowLabel(CommandTable::Scpi, index)->isEnabled(), periodAndArm);
        QLineEdit *box = p->dataBox(CommandTable::Scpi, index);
        QCOMPARE(box->isReadOnly(), !periodAndArm);
        QCOMPARE(box->isEnabled(), periodAndArm);
        QVERIFY(box->text().isEmpty());
    }
    QCOMPARE(p->getButton(CommandTable::Scpi, GpibVersionIndex)->isEnabled(), gpib);
    QCOMPARE(p->findChild<QLabel *>("lblGPIBVers")->isEnabled(), gpib);
    QCOMPARE(p->getButton(CommandTable::Scpi, EthernetVersionIndex)->isEnabled(), ethernet);
    QCOMPARE(p->findChild<QLabel *>("lblEthernetVers")->isEnabled(), ethernet);
    // Every other row is usable.
    QVERIFY(p->getButton(CommandTable::Scpi, 0)->isEnabled());
    QVERIFY(p->setButton(CommandTable::Ieee, 4)->isEnabled());
    QVERIFY(p->getButton(CommandTable::Ieee, 8)->isEnabled());
}

void TestCommandPanel::setupReappliesTheAvailability()
{
    ServiceFixture f(LinkKind::TcpIp, 1);
    CommandPanel *p = f.open<CommandPanel>();
    QLineEdit *period = p->dataBox(CommandTable::Scpi, PeriodIndex);
    QVERIFY(!period->isEnabled());
    qint16 nextType = 2;
    SetSetupDialog([&](QWidget *) { modData().SystemType = nextType; });
    p->mnuSetup->trigger();
    QVERIFY(period->isEnabled() && !period->isReadOnly());
    QVERIFY(p->setButton(CommandTable::Scpi, ArmIndex)->isEnabled());
    QVERIFY(p->rowLabel(CommandTable::Scpi, PeriodIndex)->isEnabled());
    period->setText("2.5");
    p->dataBox(CommandTable::Scpi, ArmIndex)->setText("1");

    nextType = 3;
    p->mnuSetup->trigger();
    QVERIFY(!period->isEnabled() && period->isReadOnly());
    QVERIFY(period->text().isEmpty());
    QVERIFY(p->dataBox(CommandTable::Scpi, ArmIndex)->text().isEmpty());
    QVERIFY(!p->getButton(CommandTable::Scpi, ArmIndex)->isEnabled());
    // The state refresh ran after each dialog, without a message.
    QVERIFY(f.line->commands().contains("<>ALL"));
    QVERIFY(f.prompter->shown.isEmpty());
}

void TestCommandPanel::simulateInstReappliesTheAvailability()
{
    ServiceFixture f(LinkKind::TcpIp);
    CommandPanel *p = f.open<CommandPanel>();
    QVERIFY(p->getButton(CommandTable::Scpi, EthernetVersionIndex)->isEnabled());
    p->mnuSimulate->trigger();
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QCOMPARE(p->rtbTranx->logText(), QString("Simulated - Initialized\r\n"));
    QVERIFY(!p->getButton(CommandTable::Scpi, EthernetVersionIndex)->isEnabled());
    // Simulated replies still land in the data boxes.
    p->cmdGet_Click(CommandTable::Scpi, 1);
    QCOMPARE(p->dataBox(CommandTable::Scpi, 1)->text(), QString("9.999"));
}

void TestCommandPanel::dataBoxRefusesLineBreaks()
{
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    QLineEdit *box = p->dataBox(CommandTable::Scpi, 0);
    QApplication::clipboard()->setText("5\n*RST");
    box->setFocus();
    box->paste();
    QVERIFY(!box->text().contains('\n'));
    QTest::keyClicks(box, "12");
    f.sent();
    p->cmdSet_Click(CommandTable::Scpi, 0);
    const QStringList sent = f.sent();
    QCOMPARE(sent.size(), 1);
    QVERIFY(sent.first().startsWith("SOURce:VOLTage:LEVel:IMMediate:AMPLitude "));
    QVERIFY(!sent.first().contains("*RST"));
}

void TestCommandPanel::closeEndsTheProgram()
{
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    f.sent();
    p->close();
    QCOMPARE(f.sent(), QStringList{"<>CLR 0"});
    QCOMPARE(f.programEnded, 1);
}

void TestCommandPanel::switchesToTheRegisterPanelAndBack()
{
    ServiceFixture f;
    CommandPanel *p = f.open<CommandPanel>();
    QVERIFY(!p->mnuCommand->isEnabled() && p->mnuRegisters->isEnabled());
    f.sent();
    p->mnuRegisters->trigger();
    QCOMPARE(f.sent(), (QStringList{"<>CHG 0,-1,0", "<>CLR 0"}));
    QCOMPARE(f.programEnded, 0);
    auto *registers = qobject_cast<RegistersPanel *>(modData().CurrentPanel.data());
    QVERIFY(registers);
    f.opened << registers;
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(registers->rtbTranx));
    QVERIFY(registers->mnuCommand->isEnabled() && !registers->mnuRegisters->isEnabled());
    registers->mnuCommand->trigger();
    auto *back = qobject_cast<CommandPanel *>(modData().CurrentPanel.data());
    QVERIFY(back);
    f.opened << back;
    QCOMPARE(f.sent(), QStringList{"<>CLR 0"});
    QCOMPARE(f.programEnded, 0);
}

QTEST_MAIN(TestCommandPanel)
#include "test_commandpanel.moc"
