// The Modulation Panel against zop-sim over TCP/IP on loopback: a table with unused rows read
// through the positions the instrument reports, rows and the selection written and read back,
// the slew limit, the EEPROM copy surviving a reset, and a saved file loaded back.

#include "../service/servicefixture.h"
#include "filedialoganswer.h"
#include "panels/calmod/modulationpanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

struct SimPanel : SimPanels {
    explicit SimPanel(const QStringList &simArguments, SimLine line = SimLine::Tcp)
        : SimPanels(simArguments, line)
    {
        SetFileChooser(chooser);
        RegisterModulationPanel();
        panel = open<ModulationPanel>();
    }
    ~SimPanel() { SetFileChooser(nullptr); }
    // Every line the emulator received since the last call, once it has handled them all.
    QStringList received()
    {
        QStringList lines = receivedSoFar();
        lines.removeAll(QStringLiteral("*OPC?"));
        const QStringList fresh = lines.mid(seen);
        seen = lines.size();
        return fresh;
    }
    void setRow(int index, const QStringList &texts)
    {
        for (int box = 0; box < texts.size(); ++box)
            panel->txtData(box + 1, index)->setText(texts.at(box));
        panel->cmdSetSCPI(index)->click();
    }
    QStringList rowBoxes() const
    {
        return {panel->txtData(1, 36)->text(), panel->txtData(2, 36)->text(),
                panel->txtData(3, 36)->text()};
    }

    std::shared_ptr<RecordingChooser> chooser = std::make_shared<RecordingChooser>();
    QPointer<ModulationPanel> panel;
    qsizetype seen = 0;
};

} // namespace

class TestModulationAgainstSim : public QObject {
    Q_OBJECT
private slots:
    void readsWritesAndStoresTheTable()
    {
        SimPanel s({"--mod-blank", "3-6"});
        QVERIFY(s.sim.port() != 0);
        ModulationPanel *p = s.panel;
        QVERIFY(p->cmdSaveToEeprom->isEnabled()); // the emulator reports firmware 4.70
        s.received();

        // Rows 3 to 6 are not in use: asked for row 3, the instrument reports row 7.
        p->cmdPopulate->click();
        QStringList expected{"MOD:TYPE:SEL?", "MOD:TABL? 1", "MOD:TABL? 2", "MOD:TABL? 3"};
        for (int row = 8; row <= ModulationPanel::NumRows; ++row)
            expected << QStringLiteral("MOD:TABL? %1").arg(row);
        QCOMPARE(s.received(), expected);
        QCOMPARE(p->lvModTable->rowCount(), 46);
        QCOMPARE(p->itemKeys().mid(0, 3), QStringList({"key1", "key2", "key7"}));
        QCOMPARE(p->itemTexts(2), QStringList({"7", "1.20", "1.00"}));
        QCOMPARE(p->lblTable->text(), QStringLiteral("Control Input:          Voltage"));

        s.setRow(35, {"2", "1"});
        QCOMPARE(p->outputHeader(), QStringLiteral("Ios"));
        QCOMPARE(p->CtrlInput, 2);
        s.setRow(36, {"4", "1.5", "2"});
        QCOMPARE(s.rowBoxes(), QStringList({"4", "1.50", "2.00"}));
        QCOMPARE(p->itemKeys().mid(0, 4), QStringList({"key1", "key2", "key4", "key7"}));
        p->txtSCPI->setText("0.25");
        p->cmdSetSCPI(43)->click();
        p->txtSCPI->clear();
        p->cmdGetSCPI(43)->click();
        QCOMPARE(p->txtSCPI->text(), QStringLiteral("0.250"));
        QCOMPARE(s.received(), QStringList({"MODulation:TYPE:SELect 2,1", "MOD:TYPE:SEL?",
                                            "MODulation:TABLe 4(1.5,2)", "MOD:TABL? 4",
                                            "MODulation:TABLe:SlewLIM 0.25",
                                            "MODulation:TABLe:SlewLIM?"}));

        // The EEPROM copy survives a reset; what was not stored does not.
        p->cmdSaveToEeprom->click();
        s.setRow(36, {"4", "8", "8"});
        s.send("*RST");
        p->txtData(1, 36)->setText("4");
        p->cmdGetSCPI(36)->click();
        QCOMPARE(s.rowBoxes(), QStringList({"4", "1.50", "2.00"}));

        // Saved to a file through the real dialog, under the name typed; changed; and the
        // same table, renamed as a user would, loaded back through the dialog.
        p->cmdPopulate->click();
        const QString saved = s.dir.filePath("Sweep.modTable");
        {
            FileDialogAnswer user(saved);
            p->cmdSaveMod->click();
            QCOMPARE(user.shown, QStringList{"save ZOP Panel - Select or Enter File"});
        }
        QCOMPARE(s.prompter->texts().value(0), QStringLiteral("Modulation Table Saved to ") + saved);
        QVERIFY(QDir(s.dir.path()).entryList(QDir::Files).contains("Sweep.modTable"));
        const QString ramp = s.dir.filePath("Bench Tables/Ramp.modTable");
        QVERIFY(QDir(s.dir.path()).mkdir("Bench Tables") && QFile::rename(saved, ramp));
        s.setRow(36, {"9", "0", "0"});
        s.setRow(35, {"1", "0"});
        {
            FileDialogAnswer user(ramp);
            p->cmdLoadMod->click();
            QCOMPARE(user.shown, QStringList{"open ZOP Panel - Select or Enter File"});
        }
        SetFileChooser(s.chooser);
        QCOMPARE(p->outputHeader(), QStringLiteral("Ios"));
        QCOMPARE(p->lvModTable->rowCount(), 47);
        QCOMPARE(p->itemTexts(p->itemKeys().indexOf("key9")), QStringList({"9", "1.60", "1.00"}));
        QVERIFY(s.received().contains("MOD:TABL 9(1.60,1.00)"));

        // Without a control input there is no table to read.
        s.setRow(35, {"0", ""});
        p->cmdPopulate->click();
        QCOMPARE(p->lvModTable->rowCount(), 0);
        QCOMPARE(s.prompter->texts().size(), 1);
    }

    void readsTheTableOverASerialLine()
    {
        SimPanel s({"--mod-blank", "49-50"}, SimLine::Pty);
        QVERIFY(!s.sim.linkPath().isEmpty());
        QCOMPARE(modData().CommKind, LinkKind::Rs232);
        s.panel->cmdPopulate->click();
        QCOMPARE(s.panel->lvModTable->rowCount(), 50); // past the last row in use: zeros
        QCOMPARE(s.panel->itemTexts(49), QStringList({"50", "0.00", "0.00"}));
        QCOMPARE(s.panel->itemTexts(47), QStringList({"48", "9.40", "1.00"}));
        QVERIFY(s.prompter->shown.isEmpty());
    }
};

QTEST_MAIN(TestModulationAgainstSim)
#include "test_modulationagainstsim.moc"
