// The Modulation Panel over a scripted link on a manual clock: "Get All Data" through jumps,
// gaps and damaged rows, the three command rows, the EEPROM button per series, Simulated mode,
// saving (refusals, overwriting, a failed save that keeps the old file) and loading, and the
// way it gives way to the Command Panel after Setup.

#include "modtable/modtablefile.h"
#include "panels/calmod/modulationpanel.h"
#include "../service/servicefixture.h"
#include "ui/transactionlog.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// A panel on the scripted line; every row answers "row(0.1,0.2)" unless a test says otherwise.
struct PanelFixture : ServiceFixture {
    explicit PanelFixture(qint16 commKind = LinkKind::TcpIp, qint16 systemType = 2)
        : ServiceFixture(commKind, systemType)
    {
        RegisterModulationPanel();
        SetFileChooser(chooser);
        replies["MOD:TYPE:SEL?"] = "1,0\r\n";
        for (int row = 1; row <= ModulationPanel::NumRows; ++row)
            replies["MOD:TABL? " + QByteArray::number(row)] =
                QByteArray::number(row) + "(0.1,0.2)\r\n";
        replies["MODulation:TABLe:SlewLIM?"] = "0.500\r\n";
    }
    ~PanelFixture() { SetFileChooser(nullptr); }
    ModulationPanel *openPanel()
    {
        ModulationPanel *p = open<ModulationPanel>();
        sent();
        return p;
    }
    std::shared_ptr<RecordingChooser> chooser = std::make_shared<RecordingChooser>();
};

QStringList Boxes(ModulationPanel *p, int index)
{
    QStringList texts;
    if (index == ModulationPanel::SlewRow)
        return {p->txtSCPI->text()};
    for (int box = 1; p->txtData(box, index); ++box)
        texts << p->txtData(box, index)->text();
    return texts;
}

// What the panel shows of the selection: its two labels, the output column's header and
// the function label.
QStringList Shown(ModulationPanel *p)
{
    return {p->lblTable->text(), p->lblType->text(), p->outputHeader(), p->lblFunction->text()};
}

void SetBoxes(ModulationPanel *p, int index, const QStringList &texts)
{
    for (int box = 0; box < texts.size(); ++box) {
        QLineEdit *edit = index == ModulationPanel::SlewRow ? p->txtSCPI : p->txtData(box + 1, index);
        edit->setText(texts.at(box));
    }
}

} // namespace

class TestModulationPanel : public QObject {
    Q_OBJECT
private slots:
    void getAllDataFollowsTheReportedPositions()
    {
        PanelFixture f;
        f.replies["MOD:TYPE:SEL?"] = "2,1\r\n";
        f.replies["MOD:TABL? 3"] = "7(1.5 , 2.0 )\r\n";        // jumps to row 8
        f.replies["MOD:TABL? 9"] = "no table selected\r\n";    // skipped silently
        f.replies["MOD:TABL? 10"] = "zz\r\n";                  // invalid position
        f.replies["MOD:TABL? 11"] = "11 1,2\r\n";              // invalid elements
        f.replies["MOD:TABL? 13"] = "2(9,9)\r\n";              // backwards: row 2 again, on to 14
        f.replies["MOD:TABL? 20"] = "60(1,1)\r\n";             // past the table: the end
        ModulationPanel *p = f.openPanel();
        p->cmdPopulate->click();

        QStringList expected{"MOD:TYPE:SEL?"};
        for (int row : {1, 2, 3, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20})
            expected << QStringLiteral("MOD:TABL? %1").arg(row);
        QCOMPARE(f.sent(), expected);
        QCOMPARE(p->itemKeys(), QStringList({"key1", "key2", "key7", "key8", "key12", "key14",
                                             "key15", "key16", "key17", "key18", "key19"}));
        QCOMPARE(p->itemTexts(2), QStringList({"7", "1.5 ", "2.0"}));
        QCOMPARE(p->itemTexts(1), QStringList({"2", "9", "9"}));
        QVERIFY(p->lvModTable->isColumnHidden(0)); // the keys
        QCOMPARE(f.prompter->texts(), QStringList({"Invalid position 10!",
                                                   "Invalid Elements at position 11!"}));
        QCOMPARE(f.prompter->shown.first().icon, MsgIcon::Critical);
        QCOMPARE(Shown(p), QStringList({"Control Input:          Current", "Modulation Type:    Addition", "Ios", "Ios"}));
        QCOMPARE(Boxes(p, 36), QStringList({"19", "0.1", "0.2"}));
        QCOMPARE(p->CtrlInput, -1); // shown, not stored
        // The selection query goes unlogged, its reply and the row queries are logged.
        const QString log = p->rtbTranx->logText();
        QVERIFY(!log.contains("MOD:TYPE:SEL?"));
        QVERIFY(log.contains("2,1") && log.contains("MOD:TABL? 20"));

        // A click on an item fills the row boxes; "Clear All Data" empties only the list.
        p->lvModTable->selectRow(0);
        QCOMPARE(Boxes(p, 36), QStringList({"1", "0.1", "0.2"}));
        p->cmdClearTbl->click();
        QCOMPARE(p->lvModTable->rowCount(), 0);
        QCOMPARE(p->lblType->text(), QStringLiteral("Modulation Type:"));
        QCOMPARE(Boxes(p, 36), QStringList({"1", "0.1", "0.2"}));
    }

    void survivesClicksAndClosingWhileWaiting()
    {
        PanelFixture f;
        ModulationPanel *p = f.openPanel();
        int waits = 0;
        f.whileWaiting = [&] {
            ++waits;
            if (waits == 1) {
                p->cmdGetSCPI(35)->click(); // ignored: a table read is running
                p->cmdLoadMod->click();
                QVERIFY(!p->menuBar()->isEnabled());
            }
            if (waits == 4)
                p->close();
        };
        p->cmdPopulate->click();
        QCOMPARE(f.sent(), QStringList({"MOD:TYPE:SEL?", "MOD:TABL? 1", "MOD:TABL? 2",
                                        "MOD:TABL? 3", "<>CLR 0"}));
        QVERIFY(f.chooser->requests.isEmpty());
        QCOMPARE(f.programEnded, 1);
    }

    void badSelectionReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("input") << QByteArray("7,0\r\n") << "Invalid Control Input!"
                               << QStringList{"-1", "-1"};
        QTest::newRow("type") << QByteArray("1,5\r\n") << "Invalid Modulation Type!"
                              << QStringList{"1", "-1"};
    }
    void badSelectionReplies()
    {
        QFETCH(QByteArray, reply);
        PanelFixture f;
        f.replies["MOD:TYPE:SEL?"] = reply;
        ModulationPanel *p = f.openPanel();
        p->cmdGetSCPI(35)->click();
        QTEST(f.prompter->texts().value(0), "message");
        QTEST(Boxes(p, 35), "boxes");
        QCOMPARE(p->lblTable->text(), QStringLiteral("Control Input:")); // labels unchanged
        QVERIFY(p->fraCmd->isEnabled());
    }

    void commandRows_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("get");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, int index, bool get, const QStringList &boxes, const QStringList &sent,
                            const QStringList &after, const QString &message = {}) {
            QTest::newRow(name) << index << get << boxes << sent << after << message;
        };
        const QString incomplete = "Complete Data for Command";
        const QStringList row1{"1", "0.1", "0.2"}, row50{"50", "0.1", "0.2"};
        row("get selection", 35, true, {"", ""}, {"MOD:TYPE:SEL?"}, {"1", "0"});
        row("set input only", 35, false, {"2", ""}, {"MODulation:TYPE:SELect 2", "MOD:TYPE:SEL?"}, {"1", "0"});
        row("set input and type", 35, false, {"2", "1"}, {"MODulation:TYPE:SELect 2,1", "MOD:TYPE:SEL?"}, {"1", "0"});
        row("set without input", 35, false, {"", "1"}, {}, {"", "1"}, incomplete);
        row("get row, empty box", 36, true, {"", "", ""}, {"MOD:TABL? 1"}, row1);
        row("get row 75", 36, true, {"75", "", ""}, {"MOD:TABL? 50"}, row50);
        row("get row 0", 36, true, {"0", "", ""}, {"MOD:TABL? 1"}, row1);
        row("set row 0", 36, false, {"0", "0.5", "1"}, {"MODulation:TABLe 1(0.5,1)", "MOD:TABL? 1"}, row1);
        row("set row 99", 36, false, {"99", "0.5", "1"}, {"MODulation:TABLe 50(0.5,1)", "MOD:TABL? 50"}, row50);
        row("set row without value", 36, false, {"3", "0.5", ""}, {}, {"3", "0.5", ""}, incomplete);
        row("get slew", 43, true, {""}, {"MODulation:TABLe:SlewLIM?"}, {"0.500"});
        row("set slew", 43, false, {"0.7"}, {"MODulation:TABLe:SlewLIM 0.7"}, {"0.7"});
    }
    void commandRows()
    {
        QFETCH(int, index);
        QFETCH(bool, get);
        QFETCH(QStringList, boxes);
        PanelFixture f;
        ModulationPanel *p = f.openPanel();
        SetBoxes(p, index, boxes);
        bool frameDisabledWhileWaiting = false;
        f.whileWaiting = [&] { frameDisabledWhileWaiting |= !p->fraCmd->isEnabled(); };
        (get ? p->cmdGetSCPI(index) : p->cmdSetSCPI(index))->click();
        QTEST(f.sent(), "sent");
        QTEST(Boxes(p, index), "after");
        QTEST(f.prompter->texts().join(QString()), "message");
        QCOMPARE(frameDisabledWhileWaiting, get);
        QVERIFY(p->fraCmd->isEnabled());
    }

    void eepromButtonFollowsTheFirmware_data()
    {
        QTest::addColumn<qint16>("systemType");
        QTest::addColumn<qint16>("commKind");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("TLB 4.60") << qint16(2) << LinkKind::TcpIp << QByteArray("4.60") << false;
        QTest::newRow("TLB 4.70") << qint16(2) << LinkKind::TcpIp << QByteArray("4.70") << true;
        QTest::newRow("TW 4.60") << qint16(4) << LinkKind::TcpIp << QByteArray("4.60") << false;
        QTest::newRow("KM 1.30") << qint16(3) << LinkKind::TcpIp << QByteArray("1.30") << false;
        QTest::newRow("KM 1.40") << qint16(3) << LinkKind::TcpIp << QByteArray("1.40") << true;
        QTest::newRow("KM simulated (1.0)") << qint16(3) << LinkKind::Simulated << QByteArray() << false;
    }
    void eepromButtonFollowsTheFirmware()
    {
        QFETCH(qint16, systemType);
        QFETCH(qint16, commKind);
        QFETCH(QByteArray, firmware);
        PanelFixture f(commKind, systemType);
        f.replies["SYST:VERS?"] = "ZOP-SIM Firmware " + firmware + " Hardware Revision 1.30\r\n";
        ModulationPanel *p = f.openPanel();
        QTEST(p->cmdSaveToEeprom->isEnabled(), "enabled");
        if (p->cmdSaveToEeprom->isEnabled()) {
            p->cmdSaveToEeprom->click();
            QCOMPARE(f.sent(), QStringList({"MOD:TABL:SAVE"}));
            QVERIFY(p->rtbTranx->logText().contains("MOD:TABL:SAVE"));
        }
    }

    void simulatedModeUsesTheBoxes()
    {
        PanelFixture f(LinkKind::Simulated);
        ModulationPanel *p = f.openPanel();
        SetBoxes(p, 35, {"2", "1"});
        p->cmdGetSCPI(35)->click();
        QCOMPARE(Shown(p).mid(0, 3), QStringList({"Control Input:          Current", "Modulation Type:    Addition", "Ios"}));
        QCOMPARE(p->CtrlInput, 2);
        SetBoxes(p, 35, {"7", ""});
        p->cmdGetSCPI(35)->click();
        QCOMPARE(p->lblTable->text(), QStringLiteral("Control Input:          7"));
        QCOMPARE(Boxes(p, 35), QStringList({"7", "1"})); // the type kept

        SetBoxes(p, 36, {"4", "0.3", ""});
        p->cmdGetSCPI(36)->click();
        QCOMPARE(Boxes(p, 36), QStringList({"4", "0.3", "0"}));
        QCOMPARE(p->itemKeys(), QStringList({"key4"}));
        p->cmdPopulate->click();
        QCOMPARE(p->lvModTable->rowCount(), ModulationPanel::NumRows);
        QCOMPARE(p->itemTexts(49), QStringList({"50", "0.3", "0"}));
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void saving()
    {
        PanelFixture f;
        ModulationPanel *p = f.openPanel();
        p->cmdPopulate->click();
        p->cmdSaveMod->click(); // the selection is still unknown
        p->cmdClearTbl->click();
        p->cmdGetSCPI(35)->click();
        p->cmdSaveMod->click(); // nothing in the list
        QCOMPARE(f.prompter->texts(), QStringList({"Please select the Control Input table first.",
                                                   "No entries in the table to save."}));
        QCOMPARE(f.prompter->shown.first().icon, MsgIcon::None);
        QVERIFY(f.chooser->requests.isEmpty());

        for (const char *row : {"MOD:TABL? 10", "MOD:TABL? 2", "MOD:TABL? 1"}) {
            SetBoxes(p, 36, {QString::fromLatin1(row).mid(10), "", ""});
            p->cmdGetSCPI(36)->click();
        }
        f.prompter->shown.clear();
        f.chooser->answer = f.path("folder");
        QDir(f.dir.path()).mkdir("folder");
        p->cmdSaveMod->click();
        QCOMPARE(f.chooser->requests.first().title, QStringLiteral("ZOP Panel - Select or Enter File"));
        QCOMPARE(f.chooser->requests.first().filter,
                 QStringLiteral("Modulation Table Files (*.modTable)|*.modTable|All Files (*.*)|*.*"));
        QVERIFY(!f.chooser->requests.first().open);

        const QString path = f.path("table.modtable");
        f.chooser->answer = path;
        f.writeFile("table.modtable", "old table");
        f.prompter->answers = {MsgAnswer::Cancel};
        p->cmdSaveMod->click();
        QCOMPARE(FileBytes(path), QByteArray("old table"));

        // A save that fails on the way (here: the file may not grow) keeps the old file.
        f.prompter->answers = {MsgAnswer::Ok};
        {
            const FileSizeLimit full(16);
            p->cmdSaveMod->click();
        }
        QCOMPARE(FileBytes(path), QByteArray("old table"));

        f.prompter->answers = {MsgAnswer::Ok};
        p->cmdSaveMod->click();
        QCOMPARE(FileBytes(path), QByteArray("[Config]\r\nTable=1\r\nType=0\r\n[Table]\r\n"
                                           "key1Mod=0.1\r\nkey1Out=0.2\r\nkey2Mod=0.1\r\n"
                                           "key2Out=0.2\r\nkey10Mod=0.1\r\nkey10Out=0.2\r\n"));
        QCOMPARE(f.prompter->texts(),
                 QStringList({"Invalid File", "File exists, are you sure you wish to overwrite it?",
                              "File exists, are you sure you wish to overwrite it?",
                              "Unable to overwrite file, save aborted.",
                              "File exists, are you sure you wish to overwrite it?",
                              "Modulation Table Saved to " + path}));
        QCOMPARE(f.prompter->shown.last().title, QStringLiteral("File saved"));
        QCOMPARE(f.prompter->shown.last().buttons, MsgButtons::OkCancel);
        QCOMPARE(f.prompter->shown.at(3).icon, MsgIcon::Critical);
    }

    void loading_data()
    {
        QTest::addColumn<QByteArray>("file"); // "(none)": no file; "(folder)": a folder
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("message"); // %1: the path
        QStringList missingKeys{"MODulation:TYPE:SELect -999, -999", "MOD:TYPE:SEL?",
                                "MOD:TABL? 1", "MOD:TABL 2(1.25,-3)", "MOD:TABL? 2"};
        for (int row = 3; row <= ModulationPanel::NumRows; ++row)
            missingKeys << QStringLiteral("MOD:TABL? %1").arg(row);
        QTest::newRow("missing keys")
            << QByteArray("[Table]\nkey2Mod= 1.25 \nkey2Out=-3\nkey4Mod=0.5\nkey5Mod=abc\nkey5Out=1\n")
            << missingKeys << "";
        // A file refused sends nothing.
        const auto refused = [](const char *name, const QByteArray &file, const QString &message) {
            QTest::newRow(name) << file << QStringList() << message;
        };
        refused("control input 3", "[Config]\nTable=3\n", "Invalid Control Input in Saved File %1");
        refused("control input 0", "[Config]\nTable=0\nType=0\n", "Invalid Control Input in Saved File %1");
        refused("type 2", "[Config]\nTable=1\nType=2\n", "Invalid Modulation Type in Saved File %1");
        refused("no such file", "(none)", "Unable to open %1:\r\nNo such file or directory");
        refused("a folder", "(folder)", "Unable to open %1:\r\nIt is a folder, not a file.");
    }

    void loading()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        PanelFixture f;
        ModulationPanel *p = f.openPanel();
        if (file == "(folder)")
            QVERIFY(QDir(f.dir.path()).mkdir("In Tables.modTable"));
        else if (file != "(none)")
            f.writeFile("In Tables.modTable", file);
        f.chooser->answer = f.path("In Tables.modTable");
        p->cmdLoadMod->click();
        QVERIFY(f.chooser->requests.first().open);
        QTEST(f.sent(), "sent");
        QCOMPARE(f.prompter->texts().join(QString()),
                 message.isEmpty() ? message : message.arg(f.chooser->answer));
        for (const Prompt &shown : f.prompter->shown)
            QCOMPARE(shown.icon, MsgIcon::Critical);
        if (message.isEmpty()) {
            QCOMPARE(Boxes(p, 35), QStringList({"-999", "-999"}));
            QCOMPARE(p->CtrlInput, -999);
            QCOMPARE(p->lvModTable->rowCount(), ModulationPanel::NumRows);
            QCOMPARE(Boxes(p, 36), QStringList({"50", "0.1", "0.2"}));
        }
    }

    void givesWayAfterSetup()
    {
        PanelFixture f(LinkKind::TcpIp, 3);
        ModulationPanel *p = f.openPanel();
        QPointer<ModulationPanel> alive(p);
        p->afterSetup();
        QVERIFY(alive && modData().CurrentPanel == p);
        modData().SystemType = 1;
        p->afterSetup();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);
        QCOMPARE(modData().CurrentPanel->objectName(), QStringLiteral("frmCommand"));
        QCOMPARE(f.programEnded, 0);
        delete modData().CurrentPanel.data();
    }
};

QTEST_MAIN(TestModulationPanel)
#include "test_modulationpanel.moc"
