// Keyboard use of every panel: Tab visits each control that takes focus once, in reading
// order (displays, knobs, keys row by row, value fields, the log and its buttons), and comes
// back to the first; every menu entry has an access key no other entry of its menu shares;
// F1 opens the user guide.

#include "../virtual/panelfixture.h"
#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "loader/ui/registration.h"
#include "panels/calmod/calibrationpanel.h"
#include "panels/calmod/modulationpanel.h"
#include "panels/service/registration.h"
#include "panels/virtual/registration.h"
#include "panels/virtual/trendview.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
// Controls that Tab should reach: shown, enabled, taking focus by Tab. Of a group of option
// buttons only the chosen one is a stop; the arrow keys move within the group.
bool Reachable(const QWidget *w)
{
    if (auto *option = qobject_cast<const QRadioButton *>(w); option && !option->isChecked())
        return false;
    return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)
        && !w->focusProxy();
}
} // namespace

class TestTabOrder : public QObject {
    Q_OBJECT
private slots:
    void tabOrder_data();
    void tabOrder();
};

void TestTabOrder::tabOrder_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("inOrder"); // these, in this order, among the controls Tab visits
    const QStringList trend{"cmdPause", "cboSpan", "cmdExport"};
    QTest::newRow("frmTLB") << "frmTLB"
                            << QStringList{"txtVolt", "txtCurr", "txtMEM", "knbVolt", "knbCurr",
                                           "cmdStart", "cmdStop", "cmdArm", "cmdMem", "cmdMenu",
                                           "cmdItem", "cmdDsply", "cmdClear", "cmdUp", "cmdDn",
                                           "txtInput", "cmdEnter"} + trend;
    QTest::newRow("frmGZ") << "frmGZ"
                           << QStringList{"txtVolt", "txtCurr", "knbVolt", "knbCurr", "knbOVP",
                                          "knbOCP", "cmdStart", "cmdStop", "cmdVolt", "cmdCurr",
                                          "cmdOVT", "cmdOCT", "cmdMenu", "cmdItem", "cmdVISet",
                                          "cmdTRIP", "cmdClear", "cmdEnter"} + trend;
    QTest::newRow("frmKM") << "frmKM"
                           << QStringList{"txtVolt", "txtCurr", "knbVolt", "knbCurr", "cmdStart",
                                          "cmdVISet", "cmdClear", "cmdEnter"} + trend;
    const QStringList log{"rtbTranx", "cmdClear", "cmdSave"};
    QTest::newRow("frmCommand") << "frmCommand" << log;
    // The Register Panel's buttons, its results, the entry and the chosen format (the arrow
    // keys move among the options), then the log.
    QTest::newRow("frmRegisters")
        << "frmRegisters" << QStringList{"cmdGetReg(0)", "cmdGetReg(1)", "cmdGetIEEE(0)", "cmdSetIEEE(0)",
                                         "cmdGetIEEE(6)", "cmdGetIEEE(1)", "cmdSetIEEE(1)", "cmdGetIEEE(7)",
                                         "txtValue(1)", "txtValue(2)", "txtValue(3)", "txtValue(0)",
                                         "optFormat(0)"} + log;
    QTest::newRow("frmCalibration") << "frmCalibration" << log;
    QTest::newRow("frmModulation") << "frmModulation" << log;
    QTest::newRow("FrmLoader") << "FrmLoader" << QStringList{"rtbTranx", "cmdClear", "cmdSave"};
}

void TestTabOrder::tabOrder()
{
    QFETCH(QString, panel);
    QFETCH(QStringList, inOrder);
    PanelFixture f(PanelId::TLB, false);
    modData().SystemType = 2;
    RegisterVirtualPanels();
    RegisterServicePanels();
    RegisterCalibrationPanel();
    RegisterModulationPanel();
    RegisterFirmwarePanel();
    QPointer<PanelWindow> window = OpenPanel(panel);
    QVERIFY(window);
    modData().CurrentPanel = window.data();
    if (auto *virtualPanel = qobject_cast<VirtualPanel *>(window.data()))
        virtualPanel->showTrend(true);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    QList<QWidget *> reachable;
    for (QWidget *w : window->findChildren<QWidget *>())
        if (Reachable(w))
            reachable << w;
    QVERIFY(!reachable.isEmpty());
    // Start at the first control of the chain and Tab round once.
    QWidget *first = window->nextInFocusChain();
    while (!Reachable(first))
        first = first->nextInFocusChain();
    first->setFocus(Qt::TabFocusReason);
    QList<QWidget *> visited;
    QStringList names;
    for (int i = 0; i <= reachable.size() && QApplication::focusWidget(); ++i) {
        QWidget *focused = QApplication::focusWidget();
        if (!visited.isEmpty() && focused == visited.first())
            break;
        visited << focused;
        names << focused->objectName();
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QVERIFY2(QApplication::focusWidget() == first, qPrintable("no way back: " + names.join(' ')));
    // Every control once.
    for (QWidget *w : reachable)
        QVERIFY2(visited.count(w) == 1,
                 qPrintable(QStringLiteral("%1 reached %2 times: %3")
                                .arg(w->objectName()).arg(visited.count(w)).arg(names.join(' '))));
    QCOMPARE(visited.size(), reachable.size());
    // In reading order.
    QStringList seen;
    for (const QString &name : names)
        if (inOrder.contains(name) && !seen.contains(name))
            seen << name;
    QCOMPARE(seen, inOrder);
    // Shift+Tab goes back the same way.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), visited.last());
    // The menu bar and each menu: every entry has an access key of its own (Alt+C, then a
    // letter, must pick one entry, not the first of two).
    QList<QList<QAction *>> menus{window->menuBar()->actions()};
    for (QAction *top : window->menuBar()->actions())
        if (top->menu())
            menus << top->menu()->actions();
    for (const QList<QAction *> &entries : menus) {
        QStringList keys;
        for (const QAction *entry : entries) {
            if (entry->isSeparator())
                continue;
            const QString key = QKeySequence::mnemonic(entry->text()).toString();
            QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(entry->text()));
            keys << key;
        }
    }

    // F1, "About" > "User Guide", asks the desktop to show this tree's guide.
    // (Checked first: pressing an F1 that opens the modal About box would hang the test.)
    QCOMPARE(window->mnuGuide->shortcut(), QKeySequence(Qt::Key_F1));
    QStringList opened;
    SetDocumentOpener([&opened](const QUrl &url) {
        opened << QFileInfo(url.toLocalFile()).canonicalFilePath();
        return true;
    });
    QTest::keyClick(window, Qt::Key_F1);
    SetDocumentOpener(nullptr);
    const QString guide = QFINDTESTDATA("../../docs/user-guide.md");
    QVERIFY(!guide.isEmpty());
    QCOMPARE(opened, QStringList{QFileInfo(guide).canonicalFilePath()});

    window->Switching = true;
    delete window.data();
    ClearPanelRegistry();
}

QTEST_MAIN(TestTabOrder)
#include "test_taborder.moc"
