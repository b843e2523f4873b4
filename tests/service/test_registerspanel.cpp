// The Register Panel on a scripted link (its tab order: test_taborder): what it sends when it
// opens, the query of each read button, the lamps lit per bit and the three result forms,
// writes of ESE and SRE from the three entry formats (and entries that cannot be written),
// replies that are not register values, and the frame disabled while a reply is awaited.

#include "servicefixture.h"
#include "ui/transactionlog.h"

#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
// Whether a lamp, as painted, shows `colour` anywhere (its light).
bool Shows(RegisterLamp *lamp, const QColor &colour)
{
    const QImage image = lamp->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
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
    void opensSilentlyInDecimalWithEveryLampDark();
    void readLightsTheBitsAndShowsTheValue_data();
    void readLightsTheBitsAndShowsTheValue();
    void readsInTurnThenTimeOut();
    void writeSendsTheEntryInTheSelectedFormat_data();
    void writeSendsTheEntryInTheSelectedFormat();
};

void TestRegistersPanel::opensSilentlyInDecimalWithEveryLampDark()
{
    ServiceFixture f;
    RegistersPanel *p = f.open<RegistersPanel>();
    // Sent without echo: the log holds nothing of it.
    QCOMPARE(f.sent(), QStringList{"<>CHG 0,-1,0"});
    QVERIFY(!p->rtbTranx->logText().contains("<>CHG"));
    QCOMPARE(p->selectedFormat(), EntryFormat::Decimal);
    QStringList boxes; // the entry, then three results
    for (int i = 0; i < 4; ++i)
        boxes << (p->txtValue[i]->isReadOnly() ? "result:" : "entry:") + p->txtValue[i]->text();
    QCOMPARE(boxes, (QStringList{"entry:", "result:", "result:", "result:"}));
    for (RegisterId id : AllRegisters) {
        QCOMPARE(LitBits(p, id), QList<int>{});
        for (int bit = 0; bit < RegisterInfoFor(id).bitCount(); ++bit)
            QVERIFY(p->lamp(id, bit)->textFormat() == Qt::PlainText
                    && p->fraCmds->isAncestorOf(p->lamp(id, bit)));
    }
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
    // Lit in the register's colour, as painted too.
    const QColor colour = id == RegisterId::Oper ? QColor(0, 192, 0) : QColor(255, 0, 0);
    for (int bit = 0; bit < RegisterInfoFor(id).bitCount(); ++bit)
        QCOMPARE(Shows(p->lamp(id, bit), colour) && p->lamp(id, bit)->colour() == colour, lit.contains(bit));
    QCOMPARE(Results(p), results);
    QVERIFY(p->rtbTranx->logText().endsWith(QString::fromLatin1(query + "\n" + reply)));
    QVERIFY(f.prompter->shown.isEmpty());
}

// Each read overwrites only its own register's lamps; the results follow the last read. A
// time-out shows 0 and gives the frame back.
void TestRegistersPanel::readsInTurnThenTimeOut()
{
    ServiceFixture f;
    f.replies["*STB?"] = "80\r\n";
    f.replies["STATus:OPERation:CONDition?"] = "1\r\n";
    f.replies["*ESR?"] = "255\r\n";
    RegistersPanel *p = f.open<RegistersPanel>();
    const auto lit = [&] { return QList<QList<int>>{LitBits(p, RegisterId::Stb), LitBits(p, RegisterId::Oper),
                                                    LitBits(p, RegisterId::Esr)}; };
    p->cmdGetIEEE_Click(7);
    p->cmdGetReg_Click(0);
    p->cmdGetIEEE_Click(6);
    QCOMPARE(lit(), (QList<QList<int>>{{4, 6}, {0}, {0, 1, 2, 3, 4, 5, 6, 7}}));
    f.replies["*STB?"] = "16\r\n";
    p->cmdGetIEEE_Click(7);
    QCOMPARE(Results(p), (QStringList{"16", "10", "0001 0000"}));
    f.replies.remove("*ESR?");
    p->cmdGetIEEE_Click(6);
    QCOMPARE(lit(), (QList<QList<int>>{{4}, {0}, {}}));
    QCOMPARE(Results(p), (QStringList{"0", "00", "0000 0000"}));
    QCOMPARE(f.prompter->texts(), QStringList{CommText::TimedOut});
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QVERIFY(p->fraCmds->isEnabled() && p->menuBar()->isEnabled());
}

void TestRegistersPanel::writeSendsTheEntryInTheSelectedFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sent");
    QTest::newRow("ESE hex 2C") << 1 << "2C" << "cmdSetIEEE(0)" << "*ESE 44";
    QTest::newRow("SRE binary 0001 0000") << 2 << "0001 0000" << "cmdSetIEEE(1)" << "*SRE 16";
    QTest::newRow("ESE decimal empty") << 0 << "" << "cmdSetIEEE(0)" << "*ESE ";
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
    QVERIFY(!waited); // no reply is read, the register is not read back
    QCOMPARE(p->txtValue[0]->text(), entry);
    QCOMPARE(f.sent(), QStringList{sent});
    QVERIFY(p->rtbTranx->logText().endsWith(sent + "\n") && f.prompter->shown.isEmpty());
}

QTEST_MAIN(TestRegistersPanel)
#include "test_registerspanel.moc"
