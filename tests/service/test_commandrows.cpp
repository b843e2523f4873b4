// The Command Panel's rows without a window: their order and grouping, the table entries they
// use, the texts their buttons send, their control names, and when they are available.

#include "app/configuration.h"
#include "link/linkkind.h"
#include "panels/service/commandrows.h"

#include <QSet>
#include <QtTest>

using namespace zop;

namespace {
QStringList Labels(RowBlock block)
{
    QStringList labels;
    for (const CommandRow &row : CommandRowsOf(block))
        labels << row.label;
    return labels;
}

QString Sent(CommandTable table, int index, bool get, const QString &data = QString())
{
    const CommandRow *row = FindCommandRow(table, index);
    if (!row)
        return QStringLiteral("<no row>");
    const QString header = CommandHeader(*row, IEEECommandTable(), SCPICommandTable());
    return get ? QueryText(header) : SetText(*row, header, data);
}
} // namespace

Q_DECLARE_METATYPE(zop::RowBlock)

class TestCommandRows : public QObject {
    Q_OBJECT
private slots:
    void blocksHoldTheirRowsInOrder_data();
    void blocksHoldTheirRowsInOrder();
    void buttonsMatchTheBlock();
    void everyEntryIsUsedOnceOrNotAtAll();
    void buttonTexts_data();
    void buttonTexts();
    void dataFromReply_data();
    void dataFromReply();
    void controlNames_data();
    void controlNames();
    void availability_data();
    void availability();
    void onlyFourRowsHaveARule();
};

void TestCommandRows::blocksHoldTheirRowsInOrder_data()
{
    QTest::addColumn<RowBlock>("block");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("left frame") << RowBlock::Settings
                                << QStringList{"Voltage",      "Current",     "Voltage Prot",
                                               "Current Prot", "Voltage Trig", "Current Trig",
                                               "Period",       "Mem",          "Init. Cont.",
                                               "Rem. Sen.",    "Ctrl. Ext.",   "Ctrl. Int.",
                                               "Interlock",    "Setpoint"};
    QTest::newRow("value block") << RowBlock::Values << QStringList{"Arm", "*RCL", "*SAV"};
    QTest::newRow("set block") << RowBlock::SetOnly
                               << QStringList{"Start",   "Stop",  "Clear", "Init. Imm.",
                                              "Trigger", "Abort", "*RST",  "*CLS"};
    QTest::newRow("get block") << RowBlock::GetOnly
                               << QStringList{"Meas Volt",   "Meas Curr",      "Syst. Err.",
                                              "Syst. Vers.", "GPIB. Vers.",    "Ethernet Vers.",
                                              "Oper. Cond.", "Ques. Cond.",    "Outp. State",
                                              "*IDN"};
}

void TestCommandRows::blocksHoldTheirRowsInOrder()
{
    QFETCH(RowBlock, block);
    QFETCH(QStringList, labels);
    QCOMPARE(Labels(block), labels);
}

void TestCommandRows::buttonsMatchTheBlock()
{
    for (const CommandRow &row : CommandRows()) {
        switch (row.block) {
        case RowBlock::Settings:
            QVERIFY2(row.hasGet && row.hasSet && row.valueRow, qPrintable(row.label));
            QCOMPARE(row.table, CommandTable::Scpi);
            break;
        case RowBlock::Values:
            QVERIFY2(row.hasSet && row.valueRow, qPrintable(row.label));
            QCOMPARE(row.hasGet, row.table == CommandTable::Scpi); // "Arm" only
            break;
        case RowBlock::SetOnly:
            QVERIFY2(!row.hasGet && row.hasSet && !row.valueRow, qPrintable(row.label));
            break;
        case RowBlock::GetOnly:
            QVERIFY2(row.hasGet && !row.hasSet && !row.valueRow, qPrintable(row.label));
            break;
        }
    }
}

void TestCommandRows::everyEntryIsUsedOnceOrNotAtAll()
{
    QSet<int> scpi;
    QSet<int> ieee;
    for (const CommandRow &row : CommandRows()) {
        QSet<int> &used = row.table == CommandTable::Scpi ? scpi : ieee;
        QVERIFY2(!used.contains(row.index), qPrintable(row.label));
        used.insert(row.index);
    }
    // The entries the other panels use and this one does not.
    const QSet<int> unusedIeee{0, 1, 5, 6, 7};
    const QSet<int> unusedScpi{14, 27, 29, 30, 31, 32, 33, 34, 35, 36, 40, 41, 42, 43};
    for (int i = 0; i < IEEECommandTable().size(); ++i)
        QVERIFY2(ieee.contains(i) != unusedIeee.contains(i), qPrintable(QString::number(i)));
    for (int i = 0; i < SCPICommandTable().size(); ++i)
        QVERIFY2(scpi.contains(i) != unusedScpi.contains(i), qPrintable(QString::number(i)));
}

void TestCommandRows::buttonTexts_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("get");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("sent");
    const int scpi = int(CommandTable::Scpi);
    const int ieee = int(CommandTable::Ieee);
    QTest::newRow("Set Voltage, empty box")
        << scpi << 0 << false << "" << "SOURce:VOLTage:LEVel:IMMediate:AMPLitude ";
    QTest::newRow("Set Voltage, untrimmed")
        << scpi << 0 << false << " 5 " << "SOURce:VOLTage:LEVel:IMMediate:AMPLitude  5 ";
    QTest::newRow("Get Current") << scpi << 1 << true << "" << "SOURce:CURRent:LEVel:IMMediate:AMPLitude?";
    QTest::newRow("Set Period") << scpi << 6 << false << "2.5" << "SOURce:PERiod 2.5";
    QTest::newRow("Set Setpoint") << scpi << 39 << false << "1" << "CONFigure:SETPT 1";
    QTest::newRow("Get Arm") << scpi << 26 << true << "" << "OUTPut:Arm?";
    QTest::newRow("Set Arm") << scpi << 26 << false << "1" << "OUTPut:Arm 1";
    QTest::newRow("Set *RCL 3") << ieee << 2 << false << "3" << "*RCL 3";
    QTest::newRow("Set *SAV 4") << ieee << 3 << false << "4" << "*SAV 4";
    QTest::newRow("Set Start") << scpi << 8 << false << "ignored" << "OUTPut:START";
    QTest::newRow("Set Clear") << scpi << 11 << false << "" << "OUTPut:PROTection:CLEar";
    QTest::newRow("Set *RST") << ieee << 4 << false << "" << "*RST";
    QTest::newRow("Set *CLS") << ieee << 9 << false << "" << "*CLS";
    QTest::newRow("Get Meas Volt") << scpi << 16 << true << "" << "MEASure:VOLTage:DC?";
    QTest::newRow("Get Syst. Vers.") << scpi << 19 << true << "" << "SYSTem:Version?";
    QTest::newRow("Get Ethernet Vers.") << scpi << 38 << true << "" << "SYSTem:NET:VERSion?";
    QTest::newRow("Get *IDN") << ieee << 8 << true << "" << "*IDN?";
}

void TestCommandRows::buttonTexts()
{
    QFETCH(int, table);
    QFETCH(int, index);
    QFETCH(bool, get);
    QFETCH(QString, data);
    QFETCH(QString, sent);
    QCOMPARE(Sent(CommandTable(table), index, get, data), sent);
}

void TestCommandRows::dataFromReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("data");
    QTest::newRow("CR LF") << "12.50\r\n" << "12.50";
    QTest::newRow("breaks inside") << "\r1\r\n2\n" << "12";
    QTest::newRow("blanks kept") << " 1 \r\n" << " 1 ";
    QTest::newRow("empty") << "" << "";
}

void TestCommandRows::dataFromReply()
{
    QFETCH(QString, reply);
    QFETCH(QString, data);
    QCOMPARE(DataFromReply(reply), data);
}

void TestCommandRows::controlNames_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("names"); // get, set, data, label
    const int scpi = int(CommandTable::Scpi);
    const int ieee = int(CommandTable::Ieee);
    QTest::newRow("Voltage") << scpi << 0
                             << QStringList{"cmdGetSCPI(0)", "cmdSetSCPI(0)", "txtSCPI(0)", "lblSCPI(0)"};
    QTest::newRow("*RCL") << ieee << 2
                          << QStringList{"cmdGetIEEE(2)", "cmdSetIEEE(2)", "txtIEEE(2)", "lblIEEE(2)"};
    QTest::newRow("GPIB. Vers.") << scpi << 37
                                 << QStringList{"cmdGetSCPI(37)", "cmdSetSCPI(37)", "txtSCPI(37)", "lblGPIBVers"};
    QTest::newRow("Ethernet Vers.") << scpi << 38
                                    << QStringList{"cmdGetSCPI(38)", "cmdSetSCPI(38)", "txtSCPI(38)", "lblEthernetVers"};
}

void TestCommandRows::controlNames()
{
    QFETCH(int, table);
    QFETCH(int, index);
    QFETCH(QStringList, names);
    const CommandRow *row = FindCommandRow(CommandTable(table), index);
    QVERIFY(row);
    QCOMPARE((QStringList{row->getButtonName(), row->setButtonName(), row->dataBoxName(),
                          row->labelName()}),
             names);
}

void TestCommandRows::availability_data()
{
    QTest::addColumn<int>("systemType");
    QTest::addColumn<int>("commKind");
    QTest::addColumn<bool>("periodAndArm");
    QTest::addColumn<bool>("gpib");
    QTest::addColumn<bool>("ethernet");
    QTest::newRow("GZ on TCP/IP") << 0 << int(LinkKind::TcpIp) << false << false << true;
    QTest::newRow("GZ Plus on RS-232") << 1 << int(LinkKind::Rs232) << false << false << false;
    QTest::newRow("TLB on GPIB") << 2 << int(LinkKind::Gpib) << true << true << false;
    QTest::newRow("KM on RS-485") << 3 << int(LinkKind::Rs485Selected) << false << false << false;
    QTest::newRow("TW simulated") << 4 << int(LinkKind::Simulated) << false << false << false;
    QTest::newRow("TLB, framed RS-485") << 2 << int(LinkKind::Rs485Framed) << true << false << false;
    QTest::newRow("unknown system shows the TLB rows") << 99 << int(LinkKind::TcpIp) << true << false << true;
    QTest::newRow("system 7, link not configured") << 7 << int(LinkKind::NotConfigured) << true << false << false;
}

void TestCommandRows::availability()
{
    QFETCH(int, systemType);
    QFETCH(int, commKind);
    QFETCH(bool, periodAndArm);
    QFETCH(bool, gpib);
    QFETCH(bool, ethernet);
    const RowAvailability a = CommandRowAvailability(qint16(systemType), qint16(commKind));
    QCOMPARE(a.periodAndArm, periodAndArm);
    QCOMPARE(a.gpibVersion, gpib);
    QCOMPARE(a.ethernetVersion, ethernet);
    QCOMPARE(RowAvailable(*FindCommandRow(CommandTable::Scpi, PeriodIndex), a), periodAndArm);
    QCOMPARE(RowAvailable(*FindCommandRow(CommandTable::Scpi, ArmIndex), a), periodAndArm);
    QCOMPARE(RowAvailable(*FindCommandRow(CommandTable::Scpi, GpibVersionIndex), a), gpib);
    QCOMPARE(RowAvailable(*FindCommandRow(CommandTable::Scpi, EthernetVersionIndex), a), ethernet);
}

void TestCommandRows::onlyFourRowsHaveARule()
{
    RowAvailability none;
    none.periodAndArm = false;
    QStringList unavailable;
    for (const CommandRow &row : CommandRows()) {
        if (!RowAvailable(row, none))
            unavailable << row.label;
    }
    QCOMPARE(unavailable, (QStringList{"Period", "Arm", "GPIB. Vers.", "Ethernet Vers."}));
}

QTEST_APPLESS_MAIN(TestCommandRows)
#include "test_commandrows.moc"
