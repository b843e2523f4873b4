// The Register Panel on a scripted link: what it sends when it opens, the query of each read
// button, the lamps lit per bit and the three result forms, writes of ESE and SRE from the
// three entry formats, entries that cannot be written, replies that are not register values,
// and the frame disabled while a reply is awaited.

#include "panels/service/registerlamp.h"
#include "servicefixture.h"
#include "ui/transactionlog.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
QList<int> LitBits(RegistersPanel *panel, RegisterId id)
{
    QList<int> lit;
    for (int bit = 0; bit < RegisterInfoFor(id).bitCount(); ++bit) {
        if (panel->lamp(id, bit)->isLit())
            lit << bit;
    }
    return lit;
}

QStringList Results(RegistersPanel *panel)
{
    return {panel->txtValue[1]->text(), panel->txtValue[2]->text(), panel->txtValue[3]->text()};
}
} // namespace

Q_DECLARE_METATYPE(zop::RegisterId)

class TestRegistersPanel : public QObject {
    Q_OBJECT
private slots:
    void opensWithDecimalFormatAndRestsTheMenu();
    void lampsCarryTheBitNames_data();
    void lampsCarryTheBitNames();
    void buttonsAndKeyboard();
    void readLightsTheBitsAndShowsTheValue_data();
    void readLightsTheBitsAndShowsTheValue();
    void readOverwritesOnlyItsOwnRegister();
    void timeOutShowsZeroAndReenablesTheFrame();
    void simulatedModeShowsTheFixedReply();
    void writeSendsTheEntryInTheSelectedFormat_data();
    void writeSendsTheEntryInTheSelectedFormat();
    void entryTooLargeForARegisterIsNotSent_data();
    void entryTooLargeForARegisterIsNotSent();
    void closeSendsTheCloseCommand();
};

void TestRegistersPanel::opensWithDecimalFormatAndRestsTheMenu()
{
    ServiceFixture f;
    RegistersPanel *p = f.open<RegistersPanel>();
    QCOMPARE(p->objectName(), QString("frmRegisters"));
    QCOMPARE(p->windowTitle(), QString("Register Panel"));
    // Sent without echo: the log holds nothing of it.
    QCOMPARE(f.sent(), QStringList{"<>CHG 0,-1,0"});
    QVERIFY(!p->rtbTranx->logText().contains("<>CHG"));
    QVERIFY(p->optFormat[0]->isChecked());
    QCOMPARE(p->selectedFormat(), EntryFormat::Decimal);
    QCOMPARE(p->optFormat[1]->text(), QString("Hex Format"));
    for (int i = 0; i < 4; ++i)
        QVERIFY(p->txtValue[i]->text().isEmpty());
    for (int i = 1; i < 4; ++i)
        QVERIFY(p->txtValue[i]->isReadOnly());
    QVERIFY(!p->txtValue[0]->isReadOnly());
    for (RegisterId id : AllRegisters)
        QCOMPARE(LitBits(p, id), QList<int>{});
    QCOMPARE(p->fraCmds->title(), QString("Register Commands:"));
}

void TestRegistersPanel::lampsCarryTheBitNames_data()
{
    QTest::addColumn<QString>("lamp");
    QTest::addColumn<QString>("caption");
    QTest::newRow("ARM") << "lblOPER(0)" << "ARM";
    QTest::newRow("SS") << "lblOPER(1)" << "SS";
    QTest::newRow("CV") << "lblOPER(8)" << "CV";
    QTest::newRow("STBY/ALM") << "lblOPER(11)" << "STBY/ALM";
    QTest::newRow("OPER 15") << "lblOPER(15)" << "Unused";
    QTest::newRow("PGM") << "lblQUES(3)" << "PGM";
    QTest::newRow("QUES 6") << "lblQUES(6)" << "Unused";
    QTest::newRow("ILOC") << "lblQUES(8)" << "ILOC";
    QTest::newRow("REM") << "lblQUES(9)" << "REM";
    QTest::newRow("Mask7") << "lblESE(7)" << "Mask7";
    QTest::newRow("DDE") << "lblESR(3)" << "DDE";
    QTest::newRow("PO") << "lblESR(7)" << "PO";
    QTest::newRow("Mask0") << "lblSRE(0)" << "Mask0";
    QTest::newRow("MAV") << "lblSTB(4)" << "MAV";
    QTest::newRow("MSS") << "lblSTB(6)" << "MSS";
    QTest::newRow("STB 7") << "lblSTB(7)" << "Unused";
}

void TestRegistersPanel::lampsCarryTheBitNames()
{
    QFETCH(QString, lamp);
    QFETCH(QString, caption);
    ServiceFixture f;
    RegistersPanel *p = f.open<RegistersPanel>();
    auto *l = p->findChild<RegisterLamp *>(lamp);
    QVERIFY(l);
    QCOMPARE(l->text(), caption);
    QCOMPARE(l->textFormat(), Qt::PlainText);
    QVERIFY(p->fraCmds->isAncestorOf(l));
    QVERIFY(!l->isLit());
}

void TestRegistersPanel::buttonsAndKeyboard()
{
    ServiceFixture f;
    RegistersPanel *p = f.open<RegistersPanel>();
    const QList<QPair<QString, QString>> buttons{
        {"cmdGetReg(0)", "Get Oper"}, {"cmdGetReg(1)", "Get Ques"},
        {"cmdGetIEEE(0)", "Get ESE"}, {"cmdSetIEEE(0)", "Set ESE"},
        {"cmdGetIEEE(6)", "Get ESR"}, {"cmdGetIEEE(1)", "Get SRE"},
        {"cmdSetIEEE(1)", "Set SRE"}, {"cmdGetIEEE(7)", "Get STB"}};
    QStringList chain;
    for (const auto &[name, caption] : buttons) {
        auto *b = p->findChild<QPushButton *>(name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->text(), caption);
        QCOMPARE(b->accessibleName(), caption);
        QVERIFY(b->focusPolicy() & Qt::TabFocus);
        QVERIFY(p->fraCmds->isAncestorOf(b));
        chain << name;
    }
    // The tab key goes through the buttons, the results, the entry and the options (the arrow
    // keys move among these), then the log.
    QStringList seen;
    QWidget *w = p->findChild<QPushButton *>("cmdGetReg(0)");
    for (int i = 0; i < 14; ++i, w = w->nextInFocusChain()) {
        while (!(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        seen << w->objectName();
    }
    const QStringList rest{"txtValue(1)", "txtValue(2)", "txtValue(3)", "txtValue(0)",
                           "optFormat(0)", "rtbTranx"};
    QCOMPARE(seen, chain + rest);
    for (QRadioButton *option : p->optFormat)
        QVERIFY(option->focusPolicy() & Qt::TabFocus);
    QCOMPARE(p->txtValue[0]->accessibleName(), QString("Value"));
    QCOMPARE(p->txtValue[2]->accessibleName(), QString("Hex result"));
}

void TestRegistersPanel::readLightsTheBitsAndShowsTheValue_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<RegisterId>("id");
    QTest::addColumn<QList<int>>("lit");
    QTest::addColumn<QStringList>("results");
    QTest::newRow("STB 80: MAV and MSS")
        << "cmdGetIEEE(7)" << QByteArray("*STB?") << QByteArray("80\r\n") << RegisterId::Stb
        << QList<int>{4, 6} << QStringList{"80", "50", "0101 0000"};
    QTest::newRow("OPER 256: CV")
        << "cmdGetReg(0)" << QByteArray("STATus:OPERation:CONDition?") << QByteArray("256\r\n")
        << RegisterId::Oper << QList<int>{8} << QStringList{"256", "01 00", "0000 0001 0000 0000"};
    QTest::newRow("QUES above 65535")
        << "cmdGetReg(1)" << QByteArray("STATus:QUEStionable:CONDition?") << QByteArray("70000\r\n")
        << RegisterId::Ques << QList<int>{4, 5, 6, 8, 12}
        << QStringList{"70000", "11 70", "0001 0001 0111 0000"};
    QTest::newRow("ESE 36") << "cmdGetIEEE(0)" << QByteArray("*ESE?") << QByteArray("36\r\n")
                            << RegisterId::Ese << QList<int>{2, 5} << QStringList{"36", "24", "0010 0100"};
    QTest::newRow("ESR 160") << "cmdGetIEEE(6)" << QByteArray("*ESR?") << QByteArray("160\r\n")
                             << RegisterId::Esr << QList<int>{5, 7} << QStringList{"160", "A0", "1010 0000"};
    QTest::newRow("SRE 5") << "cmdGetIEEE(1)" << QByteArray("*SRE?") << QByteArray("5\r\n")
                           << RegisterId::Sre << QList<int>{0, 2} << QStringList{"5", "05", "0000 0101"};
    QTest::newRow("SRE above 255")
        << "cmdGetIEEE(1)" << QByteArray("*SRE?") << QByteArray("300\r\n") << RegisterId::Sre
        << QList<int>{2, 3, 5} << QStringList{"300", "12C", "0010 1100"};
    QTest::newRow("leading blanks and a fraction")
        << "cmdGetIEEE(7)" << QByteArray("*STB?") << QByteArray("  15.6\r\n") << RegisterId::Stb
        << QList<int>{4} << QStringList{"16", "10", "0001 0000"};
    QTest::newRow("not a number shows 0")
        << "cmdGetIEEE(7)" << QByteArray("*STB?") << QByteArray("zz#!?\r\n") << RegisterId::Stb
        << QList<int>{} << QStringList{"0", "00", "0000 0000"};
    QTest::newRow("negative shows 0")
        << "cmdGetReg(0)" << QByteArray("STATus:OPERation:CONDition?") << QByteArray("-1\r\n")
        << RegisterId::Oper << QList<int>{} << QStringList{"0", "00 00", "0000 0000 0000 0000"};
    QTest::newRow("beyond 32 bits shows 0")
        << "cmdGetReg(1)" << QByteArray("STATus:QUEStionable:CONDition?")
        << QByteArray("99999999999\r\n") << RegisterId::Ques << QList<int>{}
        << QStringList{"0", "00 00", "0000 0000 0000 0000"};
    QTest::newRow("markup stays text")
        << "cmdGetIEEE(6)" << QByteArray("*ESR?") << QByteArray("<b>1</b>\r\n") << RegisterId::Esr
        << QList<int>{} << QStringList{"0", "00", "0000 0000"};
}

void TestRegistersPanel::readLightsTheBitsAndShowsTheValue()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    QFETCH(RegisterId, id);
    QFETCH(QList<int>, lit);
    QFETCH(QStringList, results);
    ServiceFixture f;
    f.replies[query] = reply;
    RegistersPanel *p = f.open<RegistersPanel>();
    f.sent();
    QList<bool> enabledWhileWaiting;
    f.whileWaiting = [&] {
        enabledWhileWaiting << p->fraCmds->isEnabled() << p->menuBar()->isEnabled();
    };
    QTest::mouseClick(p->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(f.sent(), QStringList{QString::fromLatin1(query)});
    QVERIFY(!enabledWhileWaiting.isEmpty() && !enabledWhileWaiting.contains(true));
    QVERIFY(p->fraCmds->isEnabled() && p->menuBar()->isEnabled());
    QCOMPARE(LitBits(p, id), lit);
    const QColor colour = RegisterInfoFor(id).setColour;
    for (int bit : lit)
        QCOMPARE(p->lamp(id, bit)->colour(), colour);
    QCOMPARE(colour, id == RegisterId::Oper ? QColor(0, 192, 0) : QColor(255, 0, 0));
    QCOMPARE(Results(p), results);
    QVERIFY(p->rtbTranx->logText().endsWith(QString::fromLatin1(query) + "\n"
                                            + QString::fromLatin1(reply)));
    QVERIFY(f.prompter->shown.isEmpty());
}

void TestRegistersPanel::readOverwritesOnlyItsOwnRegister()
{
    ServiceFixture f;
    f.replies["*STB?"] = "80\r\n";
    f.replies["STATus:OPERation:CONDition?"] = "1\r\n";
    RegistersPanel *p = f.open<RegistersPanel>();
    p->cmdGetIEEE_Click(7);
    p->cmdGetReg_Click(0);
    QCOMPARE(LitBits(p, RegisterId::Stb), (QList<int>{4, 6}));
    QCOMPARE(LitBits(p, RegisterId::Oper), QList<int>{0});
    QCOMPARE(Results(p), (QStringList{"1", "00 01", "0000 0000 0000 0001"}));
    f.replies["*STB?"] = "16\r\n";
    p->cmdGetIEEE_Click(7);
    QCOMPARE(LitBits(p, RegisterId::Stb), QList<int>{4});
    QVERIFY(!p->lamp(RegisterId::Stb, 6)->isLit());
    QCOMPARE(LitBits(p, RegisterId::Oper), QList<int>{0});
}

void TestRegistersPanel::timeOutShowsZeroAndReenablesTheFrame()
{
    ServiceFixture f;
    f.replies["*ESR?"] = "255\r\n";
    RegistersPanel *p = f.open<RegistersPanel>();
    p->cmdGetIEEE_Click(6);
    QCOMPARE(LitBits(p, RegisterId::Esr).size(), 8);
    f.replies.remove("*ESR?");
    p->cmdGetIEEE_Click(6);
    QCOMPARE(f.prompter->texts(), QStringList{CommText::TimedOut});
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QVERIFY(p->fraCmds->isEnabled() && p->menuBar()->isEnabled());
    QCOMPARE(LitBits(p, RegisterId::Esr), QList<int>{});
    QCOMPARE(Results(p), (QStringList{"0", "00", "0000 0000"}));
}

void TestRegistersPanel::simulatedModeShowsTheFixedReply()
{
    ServiceFixture f(LinkKind::Simulated);
    RegistersPanel *p = f.open<RegistersPanel>();
    p->cmdGetIEEE_Click(7); // "9.999" rounds to 10
    QCOMPARE(LitBits(p, RegisterId::Stb), (QList<int>{1, 3}));
    QCOMPARE(Results(p), (QStringList{"10", "0A", "0000 1010"}));
    p->cmdGetReg_Click(1);
    QCOMPARE(LitBits(p, RegisterId::Ques), (QList<int>{1, 3}));
    QCOMPARE(Results(p), (QStringList{"10", "00 0A", "0000 0000 0000 1010"}));
    QVERIFY(f.prompter->shown.isEmpty());
}

void TestRegistersPanel::writeSendsTheEntryInTheSelectedFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sent");
    QTest::newRow("ESE hex 2C") << 1 << "2C" << "cmdSetIEEE(0)" << "*ESE 44";
    QTest::newRow("SRE binary 0001 0000") << 2 << "0001 0000" << "cmdSetIEEE(1)" << "*SRE 16";
    QTest::newRow("SRE binary 1021") << 2 << "1021" << "cmdSetIEEE(1)" << "*SRE 0";
    QTest::newRow("SRE binary with a letter") << 2 << "10x1" << "cmdSetIEEE(1)" << "*SRE 0";
    QTest::newRow("ESE decimal empty") << 0 << "" << "cmdSetIEEE(0)" << "*ESE ";
    QTest::newRow("ESE decimal as typed") << 0 << "36" << "cmdSetIEEE(0)" << "*ESE 36";
    QTest::newRow("SRE decimal negative, unchecked") << 0 << "-4" << "cmdSetIEEE(1)" << "*SRE -4";
    QTest::newRow("SRE hex above FF") << 1 << "1ff" << "cmdSetIEEE(1)" << "*SRE 511";
    QTest::newRow("ESE hex empty") << 1 << "" << "cmdSetIEEE(0)" << "*ESE 0";
}

void TestRegistersPanel::writeSendsTheEntryInTheSelectedFormat()
{
    QFETCH(int, format);
    QFETCH(QString, entry);
    QFETCH(QString, button);
    QFETCH(QString, sent);
    ServiceFixture f;
    RegistersPanel *p = f.open<RegistersPanel>();
    f.sent();
    QTest::mouseClick(p->optFormat[format], Qt::LeftButton);
    QCOMPARE(int(p->selectedFormat()), format);
    p->txtValue[0]->setText(entry);
    bool waited = false;
    f.whileWaiting = [&] { waited = true; };
    QTest::mouseClick(p->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(f.sent(), QStringList{sent});
    QVERIFY(!waited); // no reply is read, the register is not read back
    QVERIFY(p->rtbTranx->logText().endsWith(sent + "\n"));
    QCOMPARE(p->txtValue[0]->text(), entry);
    QVERIFY(f.prompter->shown.isEmpty());
}

void TestRegistersPanel::entryTooLargeForARegisterIsNotSent_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("entry");
    QTest::newRow("hex beyond 32 bits") << 1 << "100000000";
    QTest::newRow("binary beyond 32 bits") << 2 << QString(36, '1');
}

void TestRegistersPanel::entryTooLargeForARegisterIsNotSent()
{
    QFETCH(int, format);
    QFETCH(QString, entry);
    ServiceFixture f;
    RegistersPanel *p = f.open<RegistersPanel>();
    f.sent();
    p->optFormat[format]->setChecked(true);
    p->txtValue[0]->setText(entry);
    p->cmdSetIEEE_Click(0);
    QCOMPARE(f.sent(), QStringList{});
    QCOMPARE(f.prompter->shown.size(), 1);
    QCOMPARE(f.prompter->shown.first().title, QString("Data Error"));
    QCOMPARE(f.prompter->shown.first().text, RegistersPanel::TooLargeText);
}

void TestRegistersPanel::closeSendsTheCloseCommand()
{
    ServiceFixture f;
    RegistersPanel *p = f.open<RegistersPanel>();
    f.sent();
    p->close();
    QCOMPARE(f.sent(), QStringList{"<>CLR 0"});
    QCOMPARE(f.programEnded, 1);
}

QTEST_MAIN(TestRegistersPanel)
#include "test_registerspanel.moc"
