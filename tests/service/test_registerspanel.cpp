// The Register Panel on a scripted link (its tab order: test_taborder): what it sends when it
// opens, the query of each read button, the lamps lit per bit and the three result forms,
// writes of ESE and SRE from the three entry formats (an empty entry as it stands),
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
    void buttonSendsAndShows_data();
    void buttonSendsAndShows();
    void readsInTurnThenTimeOut();
};

// It opens silently (no echo of its "<>CHG" in the log), in decimal, every lamp dark and plain
// text. A read sends its query with the frame disabled until the reply, lights the register's
// bits in its colour and shows the three forms; a write sends the entry in the chosen format,
// reads no reply and does not read the register back.
void TestRegistersPanel::buttonSendsAndShows_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QByteArray>("data"); // a read: the reply; a write: the entry
    QTest::addColumn<int>("format");      // the entry format chosen
    QTest::addColumn<RegisterId>("id");
    QTest::addColumn<QList<int>>("lit");
    QTest::addColumn<QStringList>("results");
    QTest::newRow("STB 80: MAV and MSS") << "cmdGetIEEE(7)" << "*STB?" << QByteArray("80\r\n") << 0
                                         << RegisterId::Stb << QList<int>{4, 6} << QStringList{"80", "50", "0101 0000"};
    QTest::newRow("OPER 256: CV")
        << "cmdGetReg(0)" << "STATus:OPERation:CONDition?" << QByteArray("256\r\n") << 0
        << RegisterId::Oper << QList<int>{8} << QStringList{"256", "01 00", "0000 0001 0000 0000"};
    QTest::newRow("QUES above 65535")
        << "cmdGetReg(1)" << "STATus:QUEStionable:CONDition?" << QByteArray("70000\r\n") << 0
        << RegisterId::Ques << QList<int>{4, 5, 6, 8, 12} << QStringList{"70000", "11 70", "0001 0001 0111 0000"};
    QTest::newRow("ESE 36") << "cmdGetIEEE(0)" << "*ESE?" << QByteArray("36\r\n") << 0
                            << RegisterId::Ese << QList<int>{2, 5} << QStringList{"36", "24", "0010 0100"};
    QTest::newRow("ESR 160") << "cmdGetIEEE(6)" << "*ESR?" << QByteArray("160\r\n") << 0
                             << RegisterId::Esr << QList<int>{5, 7} << QStringList{"160", "A0", "1010 0000"};
    QTest::newRow("SRE 5") << "cmdGetIEEE(1)" << "*SRE?" << QByteArray("5\r\n") << 0
                           << RegisterId::Sre << QList<int>{0, 2} << QStringList{"5", "05", "0000 0101"};
    const QStringList none{"", "", ""};
    QTest::newRow("write ESE hex 2C")
        << "cmdSetIEEE(0)" << "*ESE 44" << QByteArray("2C") << 1 << RegisterId::Ese << QList<int>{} << none;
    QTest::newRow("write SRE binary 0001 0000")
        << "cmdSetIEEE(1)" << "*SRE 16" << QByteArray("0001 0000") << 2 << RegisterId::Sre << QList<int>{} << none;
    QTest::newRow("write ESE decimal empty")
        << "cmdSetIEEE(0)" << "*ESE " << QByteArray() << 0 << RegisterId::Ese << QList<int>{} << none;
}

void TestRegistersPanel::buttonSendsAndShows()
{
    QFETCH(QString, button);
    QFETCH(QString, sent);
    QFETCH(QByteArray, data);
    QFETCH(int, format);
    QFETCH(RegisterId, id);
    QFETCH(QList<int>, lit);
    const bool read = button.startsWith("cmdGet");
    ServiceFixture f;
    if (read)
        f.replies[sent.toLatin1()] = data;
    RegistersPanel *p = f.open<RegistersPanel>();
    QCOMPARE(f.sent(), QStringList{"<>CHG 0,-1,0"});
    QCOMPARE(p->selectedFormat(), EntryFormat::Decimal);
    QStringList boxes; // the entry, then three results
    for (int i = 0; i < 4; ++i)
        boxes << (p->txtValue[i]->isReadOnly() ? "result:" : "entry:") + p->txtValue[i]->text();
    QCOMPARE(boxes, (QStringList{"entry:", "result:", "result:", "result:"}));
    for (RegisterId other : AllRegisters) {
        QCOMPARE(LitBits(p, other), QList<int>{});
        for (int bit = 0; bit < RegisterInfoFor(other).bitCount(); ++bit)
            QVERIFY(p->lamp(other, bit)->textFormat() == Qt::PlainText
                    && p->fraCmds->isAncestorOf(p->lamp(other, bit)));
    }
    QTest::mouseClick(p->optFormat[format], Qt::LeftButton);
    QCOMPARE(int(p->selectedFormat()), format);
    if (!read)
        p->txtValue[0]->setText(QString::fromLatin1(data));
    QList<bool> enabledWhileWaiting;
    f.whileWaiting = [&] {
        enabledWhileWaiting << p->fraCmds->isEnabled() << p->menuBar()->isEnabled();
    };
    QTest::mouseClick(p->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(f.sent(), QStringList{sent});
    QCOMPARE(enabledWhileWaiting.isEmpty(), !read);
    QVERIFY(!enabledWhileWaiting.contains(true) && p->fraCmds->isEnabled() && p->menuBar()->isEnabled());
    QCOMPARE(LitBits(p, id), lit);
    // Lit in the register's colour, as painted too.
    const QColor colour = id == RegisterId::Oper ? QColor(0, 192, 0) : QColor(255, 0, 0);
    for (int bit = 0; bit < RegisterInfoFor(id).bitCount(); ++bit)
        QCOMPARE(Shows(p->lamp(id, bit), colour) && p->lamp(id, bit)->colour() == colour, lit.contains(bit));
    QTEST(Results(p), "results");
    QCOMPARE(p->txtValue[0]->text(), read ? QString() : QString::fromLatin1(data));
    QVERIFY(p->rtbTranx->logText().endsWith(sent + "\n" + (read ? QString::fromLatin1(data) : QString()))
            && !p->rtbTranx->logText().contains("<>CHG"));
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

QTEST_MAIN(TestRegistersPanel)
#include "test_registerspanel.moc"
