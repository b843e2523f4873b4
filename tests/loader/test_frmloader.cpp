// The Firmware Panel on the offscreen platform over the scripted line of the run tests: the
// link settings it reads on opening, the link refusals that lead to Setup, what a run shows,
// and closing, switching or choosing Exit in the middle of a run.

#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "loader/ui/frmloader.h"
#include "loader/ui/registration.h"
#include "loaderfixture.h"
#include "panels/service/registration.h"
#include "filedialoganswer.h"
#include "core/apptitle.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

struct PanelFixture : LoaderFixture {
    PanelFixture()
    {
        SetProgramEnder([this] { ++ended; });
        SetSetupDialog([this](QWidget *) { ++setups; });
        RegisterFirmwarePanel();
        RegisterServicePanels();
        ModData &data = modData();
        data.CommList = {"gpib", "rs232", "tcp/ip", "rs485", "rs485 framed", "simulated"};
        writeFile(QStringLiteral("ZOP_Panel.ini"), "[Communication]\r\nComm=RS232\r\nAddress=5\r\nPort=3\r\n");
        data.CommKind = LinkKind::Simulated;
        panel = OpenPanel(PanelId::Firmware);
        data.CurrentPanel = panel.data();
        loader = qobject_cast<FrmLoader *>(panel.data());
        ticked = [this] { return loader ? loader->run() : nullptr; };
    }
    ~PanelFixture()
    {
        QList<QPointer<PanelWindow>> panels;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *p = qobject_cast<PanelWindow *>(w))
                panels << p;
        for (const QPointer<PanelWindow> &p : panels)
            delete p.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ClearPanelRegistry();
        SetProgramEnder(nullptr);
        SetSetupDialog(nullptr);
    }
    void start(const QByteArray &text)
    {
        loader->txtFirmware->setText(writeHex(text));
        QTest::mouseClick(loader->cmdStart, Qt::LeftButton);
    }
    QColor statusShade() const { return loader->txtStatus->palette().color(QPalette::Base); }

    QPointer<PanelWindow> panel;
    QPointer<FrmLoader> loader;
    int ended = 0;
    int setups = 0;
};

const QByteArray SmallImage = HexText(Pattern(16 * 20));
} // namespace

class TestFrmLoader : public QObject {
    Q_OBJECT
private slots:
    void refusalsOpenSetup_data()
    {
        QTest::addColumn<qint16>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("simulated") << LinkKind::Simulated << LoaderText::Simulated;
        QTest::newRow("gpib") << LinkKind::Gpib << LoaderText::NotRs232;
        QTest::newRow("tcp/ip") << LinkKind::TcpIp << LoaderText::NotRs232;
        QTest::newRow("rs485") << LinkKind::Rs485Selected << LoaderText::NotRs232;
        QTest::newRow("rs485 framed") << LinkKind::Rs485Framed << LoaderText::NotRs232;
    }

    void refusalsOpenSetup()
    {
        QFETCH(qint16, kind);
        QFETCH(QString, message);
        PanelFixture f;
        f.boot.receive(Create_Reset()); // the instrument answers the refresh after Setup
        modData().CommKind = kind;
        f.line->written.clear();
        f.start(SmallImage);
        QCOMPARE(f.prompter->texts(), QStringList{message});
        QCOMPARE(f.prompter->shown.first().title, ApplicationTitle);
        QCOMPARE(f.setups, 1);
        QVERIFY(!f.loader->run()->isActive());
        for (const QByteArray &w : f.line->written)
            QVERIFY2(!w.startsWith('\x0F'), w.toHex().constData());
    }

    void selectKeepsTheChosenName()
    {
        PanelFixture f;
        const QString chosen = f.writeHex(SmallImage, QStringLiteral("New Firmware.HEX"));
        FileDialogAnswer user(chosen); // through the real dialog
        QTest::mouseClick(f.loader->cmdSelect, Qt::LeftButton);
        QCOMPARE(f.loader->txtFirmware->text(), chosen);
        QCOMPARE(user.shown, QStringList{"open ZOP Panel - Select File"});
        QCOMPARE(user.filters, QStringLiteral("Hex Files (*.hex);;All Files (*.*)"));
    }

    // Opened on the link settings of the file (the run needs RS-232), it shows the run.
    void showsTheRun()
    {
        PanelFixture f;
        QVERIFY(!f.loader->mnuFirmware->isEnabled());
        QCOMPARE(QStringList({QString::number(modData().CommKind), modData().CommAddress, QString::number(modData().CommPort)}),
                 QStringList({QString::number(LinkKind::Rs232), "5", "3"}));
        f.start(QByteArray(":00000001FF\r\n"));
        QCOMPARE(f.loader->txtStatus->text(), QStringLiteral("Invalid File"));
        QCOMPARE(f.statusShade(), QColor(255, 0, 0));
        QVERIFY(f.loader->cmdStart->isEnabled());

        f.start(SmallImage);
        QVERIFY(!f.loader->cmdStart->isEnabled());
        QVERIFY(f.tickUntil([&] { return f.loader->txtStatus->text() == QLatin1String("Erasing"); }));
        QCOMPARE(f.loader->pgbStatus->maximum(), 32);
        QVERIFY(f.tickUntil([&] { return f.loader->pgbStatus->value() == 5; }));
        QCOMPARE(f.loader->txtAdr->text(), QStringLiteral("0 40 00"));
        QVERIFY(f.tickUntil([&] { return f.loader->txtStatus->text() == QLatin1String("Loading"); }));
        QCOMPARE(f.loader->pgbStatus->maximum(), 21);
        QVERIFY(f.tickUntil([&] { return f.loader->cmdStart->isEnabled(); }));
        QCOMPARE(f.loader->txtStatus->text(), QStringLiteral("Finished"));
        QCOMPARE(f.statusShade(), QColor(0, 192, 0));
        QCOMPARE(f.loader->txtAdr->text(), QStringLiteral("0 01 30"));
        // Nothing of the loader traffic reached the log.
        QVERIFY(!f.loader->rtbTranx->logText().contains(QLatin1String("VOLT")));
    }

    void endsCleanlyMidRun_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("ended");
        QTest::newRow("close") << "close" << 1;
        QTest::newRow("switch to the Command Panel") << "switch" << 0;
        QTest::newRow("exit") << "exit" << 1;
    }

    void endsCleanlyMidRun()
    {
        QFETCH(QString, how);
        PanelFixture f;
        f.start(SmallImage);
        QVERIFY(f.tickUntil([&] { return f.loader->txtStatus->text() == QLatin1String("Loading"); }));
        f.line->written.clear();
        if (how == QLatin1String("close"))
            f.loader->close();
        else if (how == QLatin1String("switch"))
            f.loader->mnuCommand->trigger();
        else
            f.loader->mnuExit->trigger();
        QTEST(f.ended, "ended");
        if (how == QLatin1String("exit")) // the program ends; its windows go with it
            delete f.panel.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!f.loader);
        QVERIFY(!modData().comm.KeepAliveOff);
        // Nothing more reaches the instrument from the loader, not even "<>CLR 0".
        f.clock->advance(3000);
        QTest::qWait(3 * ProgrammingRun::TickMs);
        for (const QByteArray &w : f.line->written)
            QVERIFY2(!w.startsWith('\x0F') && !w.startsWith("<>CLR"), w.toHex().constData());
        if (how == QLatin1String("switch"))
            QCOMPARE(qobject_cast<PanelWindow *>(modData().CurrentPanel.data())->formName(),
                     QStringLiteral("frmCommand"));
    }
};

QTEST_MAIN(TestFrmLoader)
#include "test_frmloader.moc"
