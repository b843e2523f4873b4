// Both service panels against zop-sim over TCP/IP on loopback, on the real clock: every query
// and register read answered, values set and read back, memories, the error queue, the command
// line. (The emulator's status registers are its own tests'; the panel's decoding and entry
// forms test_registerspanel's; the frames disabled while a reply is awaited, with window events
// running, test_commandpanel's; switching among panels the frame's test_panelframe and the
// virtual panel's test_virtualpanel.)

#include "panels/service/consoleline.h"
#include "servicefixture.h"
#include "ui/transactionlog.h"

#include <QLineEdit>
#include <QCheckBox>
#include <QLabel>
#include <QTextBlock>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

void SetRow(CommandPanel *p, CommandTable table, int index, const QString &data)
{
    p->dataBox(table, index)->setText(data);
    p->cmdSet_Click(table, index);
}

QString GetRow(CommandPanel *p, int index)
{
    p->cmdGet_Click(CommandTable::Scpi, index);
    return p->dataBox(CommandTable::Scpi, index)->text();
}

} // namespace

class TestServiceAgainstSim : public QObject {
    Q_OBJECT
private slots:
    void everyQueryIsAnswered();
    void commandPanelSetsAndReadsBack();
    void commandLine();
};

void TestServiceAgainstSim::everyQueryIsAnswered()
{
    SimPanels s;
    QVERIFY(s.sim.port());
    CommandPanel *p = s.open<CommandPanel>();
    for (const CommandRow &row : CommandRows()) {
        if (!row.hasGet)
            continue;
        const QString before = p->rtbTranx->logText();
        p->cmdGet_Click(row.table, row.index);
        const QString added = p->rtbTranx->logText().mid(before.size());
        // The query, then one reply line.
        QVERIFY2(added.count('\n') == 2 && added.endsWith("\r\n"), qPrintable(row.label));
        p->cmdGet_Click(CommandTable::Scpi, 18);
        QVERIFY2(p->rtbTranx->logText().endsWith("SYSTem:ERRor?\n0,\"No error\"\r\n"),
                 qPrintable(row.label));
    }
    auto *registers = s.open<RegistersPanel>();
    for (RegisterId id : AllRegisters) {
        registers->readRegister(id);
        QVERIFY(registers->rtbTranx->logText().endsWith("\r\n"));
    }
    QVERIFY(s.prompter->shown.isEmpty());
    QCOMPARE(modData().CommKind, LinkKind::TcpIp);
}

void TestServiceAgainstSim::commandPanelSetsAndReadsBack()
{
    SimPanels s({"--volts", "15", "--amps", "100"});
    QVERIFY(s.sim.port());
    CommandPanel *p = s.open<CommandPanel>();
    SetRow(p, CommandTable::Scpi, 0, "5");
    QCOMPARE(GetRow(p, 0), QString("5.000"));
    SetRow(p, CommandTable::Ieee, 3, "4"); // *SAV 4
    SetRow(p, CommandTable::Scpi, 0, "7");
    QCOMPARE(GetRow(p, 0), QString("7.000"));
    SetRow(p, CommandTable::Ieee, 2, "4"); // *RCL 4
    QCOMPARE(GetRow(p, 0), QString("5.000"));
    QCOMPARE(GetRow(p, 7), QString("4")); // Mem
    SetRow(p, CommandTable::Scpi, PeriodIndex, "2.5");
    QCOMPARE(GetRow(p, PeriodIndex), QString("2.500"));
    SetRow(p, CommandTable::Scpi, ArmIndex, "1");
    QCOMPARE(GetRow(p, ArmIndex), QString("1"));
    SetRow(p, CommandTable::Scpi, 24, "0"); // Ctrl. Int. off
    QCOMPARE(GetRow(p, 23), QString("1"));  // Ctrl. Ext. on
    p->cmdGet_Click(CommandTable::Scpi, 18);
    QVERIFY(p->rtbTranx->logText().endsWith("SYSTem:ERRor?\n0,\"No error\"\r\n"));
    // An empty data box sends the header and its blank: the instrument misses the value.
    SetRow(p, CommandTable::Scpi, 0, "");
    p->cmdGet_Click(CommandTable::Scpi, 18);
    QVERIFY(p->rtbTranx->logText().endsWith("SYSTem:ERRor?\n-109,\"Missing parameter\"\r\n"));
    QVERIFY(s.prompter->shown.isEmpty());
}

// The free command line: Tab completes, Enter sends, a query's reply lands in the log (as plain
// text: the log's own test), "Check errors" shows a refused command in the error colour, Up
// recalls, the next panel has the same history and choice, and a line that cannot go out is
// not sent.
void TestServiceAgainstSim::commandLine()
{
    SimPanels s;
    QVERIFY(s.sim.port());
    CommandPanel *p = s.open<CommandPanel>();
    ConsoleLine *line = p->txtConsole;
    QTest::keyClicks(line, "cal:id");
    QTest::keyClick(line, Qt::Key_Tab);
    QCOMPARE(line->text(), QString("cal:IDN"));
    QTest::keyClicks(line, " \"<b>Bold</b>\"");
    QTest::keyClick(line, Qt::Key_Return);
    QTest::keyClicks(line, "CAL:IDN?");
    QTest::keyClick(line, Qt::Key_Return);
    QVERIFY(p->rtbTranx->logText().endsWith("CAL:IDN?\n<b>Bold</b>\r\n"));

    p->chkCheckErrors->setChecked(true);
    QTest::keyClicks(line, "FOO");
    QTest::keyClick(line, Qt::Key_Return);
    const QString error = "SYST:ERR? -113,\"Undefined header\"";
    QVERIFY2(p->rtbTranx->logText().endsWith("FOO\n" + error + "\r\n"),
             qPrintable(p->rtbTranx->logText()));
    QTextCursor shown(p->rtbTranx->document()->lastBlock().previous());
    shown.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(shown.charFormat().foreground().color(), TransactionLog::TrafficColour(LogTraffic::Error));
    QCOMPARE(s.receivedSoFar(), QStringList({"cal:IDN \"<b>Bold</b>\"", "CAL:IDN?", "FOO",
                                             "SYST:ERR?", "*OPC?"}));
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QString("FOO"));

    auto *next = s.open<CommandPanel>();
    QVERIFY(next->chkCheckErrors->isChecked());
    QTest::keyClick(next->txtConsole, Qt::Key_Up);
    QTest::keyClick(next->txtConsole, Qt::Key_Up);
    QCOMPARE(next->txtConsole->text(), QString("CAL:IDN?"));
    next->txtConsole->setText(QString("VOLT 5\u20ac"));
    QTest::keyClick(next->txtConsole, Qt::Key_Return);
    QVERIFY(next->lblConsoleHint->text().startsWith("Not sent: "));
    QCOMPARE(s.receivedSoFar().size(), 6); // only the fixture's "*OPC?" since
    QVERIFY(s.prompter->shown.isEmpty());
}

QTEST_MAIN(TestServiceAgainstSim)
#include "test_serviceagainstsim.moc"
