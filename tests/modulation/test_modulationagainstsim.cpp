// The Modulation Panel against zop-sim over a serial line: "Get All Data" through the row
// positions the instrument reports (asked for an unused row, it reports the next one in use),
// and past its last row in use. The rows, the selection, the
// slew limit and the EEPROM copy as the emulator keeps them: tst_instrument; what the panel
// sends and shows for each: test_modulationpanel.

#include "../service/servicefixture.h"
#include "panels/calmod/modulationpanel.h"

#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestModulationAgainstSim : public QObject {
    Q_OBJECT
private slots:
    void readsTheTableOverASerialLine()
    {
        SimPanels s({"--mod-blank", "3-6,49-50"}, SimLine::Pty);
        QVERIFY(!s.sim.linkPath().isEmpty());
        RegisterModulationPanel();
        ModulationPanel *p = s.open<ModulationPanel>();
        QCOMPARE(modData().CommKind, LinkKind::Rs232);
        p->cmdPopulate->click();
        QCOMPARE(p->lvModTable->rowCount(), 46);
        QCOMPARE(p->itemKeys().mid(0, 3), QStringList({"key1", "key2", "key7"}));
        QCOMPARE(p->itemTexts(2), QStringList({"7", "1.20", "1.00"}));
        QCOMPARE(p->itemTexts(43), QStringList({"48", "9.40", "1.00"}));
        QCOMPARE(p->itemTexts(45), QStringList({"50", "0.00", "0.00"})); // past the last in use
        QVERIFY(s.prompter->shown.isEmpty());
    }
};

QTEST_MAIN(TestModulationAgainstSim)
#include "test_modulationagainstsim.moc"
