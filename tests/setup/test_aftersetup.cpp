// What the panels do after "Communication" > "Setup": a virtual panel gives way to the panel
// of the newly configured series; and the whole road through both real dialogs from the
// Command Panel (kind, address and port typed, OK, the file written, the link re-opened,
// the state refreshed, the panel's rows re-applied).

#include "../virtual/panelfixture.h"
#include "frame/framehooks.h"
#include "frame/frmsetup.h"
#include "frame/panelregistry.h"
#include "panels/service/commandpanel.h"
#include "panels/service/registration.h"
#include "panels/virtual/registration.h"
#include "setup/frmcommsetup.h"
#include "setupfixture.h"
#include "ui/transactionlog.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
// Runs `step` on the modal dialog of type T once it is up.
template <typename T, typename Step>
void WhenModal(Step step)
{
    QTimer::singleShot(0, [step] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget()))
            step(dialog);
        else
            QFAIL("no modal dialog of the expected kind");
    });
}
} // namespace

class TestAfterSetup : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetSetupDialog(nullptr);
        ClearPanelRegistry();
    }

    void virtualPanelGivesWay_data()
    {
        QTest::addColumn<int>("systemType");
        QTest::addColumn<QString>("panel");
        QTest::newRow("same series") << 2 << "frmTLB";
        QTest::newRow("KM") << 3 << "frmKM";
        QTest::newRow("GZ") << 1 << "frmGZ";
        QTest::newRow("unknown type") << 99 << "frmTLB";
    }

    void virtualPanelGivesWay()
    {
        QFETCH(int, systemType);
        QFETCH(QString, panel);
        PanelFixture f(PanelId::TLB);
        modData().SystemType = 2;
        RegisterVirtualPanels();
        SetSetupDialog([&](QWidget *) { modData().SystemType = qint16(systemType); });
        QPointer<VirtualPanel> before = f.panel;
        before->mnuSetup->trigger();
        QCoreApplication::processEvents();
        QObject *current = modData().CurrentPanel;
        QCOMPARE(current ? current->objectName() : QString(), panel);
        QCOMPARE(current == before.data(), panel == "frmTLB");
        QCOMPARE(f.programEnded, 0);
        if (current != before.data())
            delete current;
    }

    void throughBothDialogsFromTheCommandPanel()
    {
        SetupFixture f({{"Communication", "Comm", "Simulated"}, {"System", "Type", "GZ Plus Series"}});
        FillCommandTables();
        AnswerStateRefresh(*f.line);
        OpenLink();
        RegisterServicePanels();
        SetSetupDialog(RunConfigurationSetup);
        SetProgramEnder([] {});
        auto *panel = new CommandPanel;
        panel->show();
        modData().CurrentPanel = panel;
        QVERIFY(!panel->dataBox(CommandTable::Scpi, PeriodIndex)->isEnabled());

        bool commSetupSeen = false;
        WhenModal<frmSetup>([&](frmSetup *setup) {
            setup->cmbPanel->setCurrentIndex(setup->cmbPanel->findText("TLB Series"));
            // Choosing TCP/IP opens Communication Setup at once.
            WhenModal<frmCommSetup>([&](frmCommSetup *comm) {
                commSetupSeen = true;
                QCOMPARE(comm->fraCommType->title(), QString("TCP/IP Setup"));
                QCOMPARE(comm->txtAddress->text(), QString("127.0.0.1"));
                comm->txtAddress->setText("localhost");
                comm->cmbPort->setEditText("5025");
                comm->cmdOK->click();
            });
            setup->cmbComm->setCurrentIndex(setup->cmbComm->findText("TCP/IP"));
            QCOMPARE(setup->lblAddressDisplay->text() + ":" + setup->lblPortDisplay->text(), QString("localhost:5025"));
            setup->cmdOK->click();
        });
        panel->mnuSetup->trigger();

        QVERIFY(commSetupSeen);
        QCOMPARE(f.prompter->texts(), QStringList());
        QCOMPARE(f.links, QStringList{"2 localhost:5025"});
        QCOMPARE((QList<qint16>{modData().CommKind, modData().SystemType}), (QList<qint16>{LinkKind::TcpIp, 2}));
        // The state refresh on the new link, then the panel's own step.
        QCOMPARE(f.line->commands().value(0), QString("<>SCL"));
        QVERIFY(panel->rtbTranx->logText().startsWith("TCP/IP - Initialized\r\n"));
        QVERIFY(panel->dataBox(CommandTable::Scpi, PeriodIndex)->isEnabled());
        delete panel;
        SetProgramEnder(nullptr);
    }

    void noPollWhileTheLinkIsLentToAProbe()
    {
        PanelFixture f(PanelId::TLB);
        Comm().QuietMode = true;
        f.poll();
        QCOMPARE(f.sent(), QStringList());
        Comm().QuietMode = false;
        f.poll();
        QCOMPARE(f.sent(), QStringList{"<>STA"});
    }
};

QTEST_MAIN(TestAfterSetup)
#include "test_aftersetup.moc"
