// The "Find Devices" dialog over the stand-in library and zop-sim's bus: the rows a search
// gives, what it leaves behind, and choosing, cancelling and sorting.

#include "gpibbus.h"
#include "link/linkkind.h"
#include "setup/devicesetup.h"
#include "setup/findgpib.h"
#include "setup/frmcommsetup.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
const QString Idn = QStringLiteral("Zoptrel,ZOP-SIM TLB,0,4.70");

QStringList Rows(const frmFindGPIB &dialog, int column = 0)
{
    QStringList rows;
    for (int i = 0; i < dialog.lvDevices->topLevelItemCount(); ++i)
        rows << dialog.lvDevices->topLevelItem(i)->text(column);
    return rows;
}

QPoint RowCentre(const frmFindGPIB &dialog, int row)
{
    return dialog.lvDevices->visualItemRect(dialog.lvDevices->topLevelItem(row)).center();
}

void ClickHeader(const frmFindGPIB &dialog, int column)
{
    QHeaderView *header = dialog.lvDevices->header();
    const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}
} // namespace

class TestFindGpib : public QObject {
    Q_OBJECT
private slots:
    void search_data()
    {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<bool>("library");
        QTest::addColumn<QStringList>("rows");
        // A hung instrument at 20 is found as a listener but fails the "*IDN?" write: no row.
        QTest::newRow("instruments at 5 and 12")
            << QStringList{"--gpib-address", "5,12", "--gpib-hung", "20"} << true
            << QStringList{"5", "12"};
        QTest::newRow("no GPIB library") << QStringList{} << false << QStringList{};
    }

    void search()
    {
        QFETCH(QStringList, simArguments);
        QFETCH(bool, library);
        QFETCH(QStringList, rows);
        GpibBus bus(simArguments, "5");
        QVERIFY(!bus.sim.linkPath().isEmpty());
        if (library)
            QVERIFY(OpenLink());
        else
            qputenv(GpibLibrary::PathVariable, "/nonexistent/libgpib.so.0");

        frmFindGPIB dialog;
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Find Devices"));
        QCOMPARE(Rows(dialog), rows);
        QCOMPARE(Rows(dialog, 1), QStringList(rows.size(), Idn));
        QCOMPARE(dialog.cmdOK->isEnabled(), !rows.isEmpty());
        if (!rows.isEmpty())
            QCOMPARE(dialog.lvDevices->selectedItems().value(0), dialog.lvDevices->topLevelItem(0));
        QCOMPARE(modData().CommAddress, QString("5"));
        QVERIFY(!Comm().QuietMode);
        // Without a library the empty list is explained: the file asked for and why it failed.
        QCOMPARE(bus.f.prompter->texts(), library ? QStringList{} : QStringList{frmFindGPIB::NoLibraryText});
        if (!library)
            QVERIFY(bus.f.prompter->shown.value(0).details.startsWith(
                "File not found: /nonexistent/libgpib.so.0 (/nonexistent/libgpib.so.0: "));
        QCOMPARE(dialog.lvDevices->columnWidth(0), dialog.lvDevices->viewport()->width() / 4);
        if (!library)
            return;
        // The identification column fits its text; the link talks to the configured device
        // again, not to the one probed last.
        QVERIFY(dialog.lvDevices->columnWidth(1) >= dialog.lvDevices->fontMetrics().horizontalAdvance(Idn));
        SendCommand(QStringLiteral("GPIB:ADDR?"), false);
        QString reply;
        QVERIFY(ReadReply(reply, 2, false) > 0);
        QCOMPARE(reply, QString("5\r\n"));
    }

    void choosing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("address"); // empty: not accepted
        QTest::newRow("OK on the second row") << "ok" << "12";
        QTest::newRow("double-click on the first row") << "double-click" << "5";
        QTest::newRow("double-click on empty space") << "double-click empty" << "";
        QTest::newRow("Cancel") << "cancel" << "";
    }

    void choosing()
    {
        QFETCH(QString, how);
        QFETCH(QString, address);
        GpibBus bus({"--gpib-address", "5,12"});
        frmFindGPIB dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QWidget *list = dialog.lvDevices->viewport();
        if (how == "ok") {
            QTest::mouseClick(list, Qt::LeftButton, {}, RowCentre(dialog, 1));
            QTest::mouseClick(dialog.cmdOK, Qt::LeftButton);
        } else if (how.startsWith("double-click")) {
            // A double-click is a click followed by the double-click event.
            const QPoint at = how == "double-click" ? RowCentre(dialog, 0) : QPoint(10, list->height() - 5);
            QTest::mouseClick(list, Qt::LeftButton, {}, at);
            QTest::mouseDClick(list, Qt::LeftButton, {}, at);
        } else {
            QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
        }
        QCOMPARE(dialog.Address, address);
        QCOMPARE(dialog.Accepted, !address.isEmpty());
        QCOMPARE(dialog.isVisible(), how == "double-click empty");
    }

    void sortingAndRefresh()
    {
        GpibBus bus({"--gpib-address", "5,12"});
        // Reached through "Find Device..." of the Communication Setup dialog on a GPIB link.
        RegisterDeviceSetupDialogs();
        frmCommSetup setup;
        setup.SetCommType(LinkKind::Gpib);
        setup.SetPort(QStringLiteral("5"));
        setup.ArrangeFields();
        QTimer::singleShot(0, [] {
            if (auto *dialog = qobject_cast<frmFindGPIB *>(QApplication::activeModalWidget())) {
                ClickHeader(*dialog, 0);
                QCOMPARE(Rows(*dialog), (QStringList{"12", "5"})); // as text
                ClickHeader(*dialog, 0);
                QCOMPARE(Rows(*dialog), (QStringList{"5", "12"}));
                ClickHeader(*dialog, 0);
                dialog->cmdRefresh->click(); // keeps the order the user chose
                QCOMPARE(Rows(*dialog), (QStringList{"12", "5"}));
                QCOMPARE(dialog->lvDevices->currentItem()->text(0), QString("12"));
                dialog->cmdOK->click();
            }
        });
        setup.cmdFind->click();
        QCOMPARE(setup.cmbPort->currentText(), QString("12")); // the chosen address
        QCOMPARE(bus.sim.notes().filter("find listeners: 5 12").size(), 2);
    }

    void cleanIdentification()
    {
        QCOMPARE(CleanIdentification("  Zoptrel,X,0,1.00\r\n" + QByteArray(70, ' ')),
                 QString("Zoptrel,X,0,1.00"));
        QCOMPARE(CleanIdentification("a\rb\nc"), QString("a b c"));
        QCOMPARE(CleanIdentification(QByteArray(100, ' ')), QString());
    }
};

QTEST_MAIN(TestFindGpib)
#include "test_findgpib.moc"
