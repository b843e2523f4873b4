// The shared panel frame on a demo panel: menus, the panel switch, the close rule, "Exit",
// "Simulate Inst", "Setup", the log area and "Save to File".

#include "app/frame/framehooks.h"
#include "app/frame/panelregistry.h"
#include "app/frame/panelwindow.h"
#include "demopanel.h"
#include "link/linkkind.h"
#include "testsupport.h"
#include "ui/selectfile.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

const QStringList AllPanels{"frmGZ",          "frmTLB",        "frmKM",
                            "frmTW",          "frmCommand",    "frmRegisters",
                            "frmCalibration", "frmModulation", "FrmLoader"};

class ScriptedChooser : public FileChooser {
public:
    QString choose(const FileRequest &request) override
    {
        requests << request;
        return answer;
    }
    QList<FileRequest> requests;
    QString answer;
};

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void AnswerLikeAnInstrument(ScriptedLine &line)
{
    line.answer("<>SCL", "7530,C350\r\n");
    line.answer("<>ALL", "2EE0,1388,33E4,5DC0,3E8,3,1194\r\n");
    line.answer("SYST:VERS?", "ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n");
    line.answer("SYST:ERR?", "0,\"No error\"\r\n");
}

} // namespace

class TestPanelFrame : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void menuBar_data();
    void menuBar();
    void modulationEntryFollowsSystemType_data();
    void modulationEntryFollowsSystemType();
    void unregisteredPanelsAreInert();

    void switchPanel_data();
    void switchPanel();
    void virtualControlPanelRefreshesThenSwitches_data();
    void virtualControlPanelRefreshesThenSwitches();
    void closeEndsProgram_data();
    void closeEndsProgram();
    void closeReplacedKeepsProgramRunning();
    void exitEndsAtOnce();

    void simulateInstrument_data();
    void simulateInstrument();
    void setupRefreshesAndReappliesRule();
    void setupIsInertWithoutDialog();

    void logArea_data();
    void logArea();
    void logFrameNotPlacedIsNotLost();
    void saveToFile();
    void saveToFileLowersTypedName();
    void saveToFileCancelledWritesNothing();
    void saveToFileFailureShowsMessage();

private:
    DemoPanel *open(const QString &name);
    QList<QPointer<PanelWindow>> m_panels;
    QStringList m_events;
    std::unique_ptr<Fixture> m_f;
    std::shared_ptr<ScriptedChooser> m_chooser;
    int m_ended = 0;
};

void TestPanelFrame::init()
{
    m_f = std::make_unique<Fixture>();
    m_events.clear();
    m_ended = 0;
    SetProgramEnder([this] { ++m_ended; });
    m_chooser = std::make_shared<ScriptedChooser>();
    SetFileChooser(m_chooser);
    for (const QString &name : AllPanels)
        RegisterPanel(name, [this, name] {
            auto *panel = new DemoPanel(name, &m_events);
            m_panels << panel;
            return panel;
        });
    ModData &data = modData();
    data.SystemType = 2;
    data.CommKind = LinkKind::TcpIp;
    OpenLink();
    m_f->line->written.clear();
}

void TestPanelFrame::cleanup()
{
    for (const QPointer<PanelWindow> &p : std::as_const(m_panels))
        delete p.data();
    m_panels.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ClearPanelRegistry();
    SetProgramEnder(nullptr);
    SetFileChooser(nullptr);
    SetSetupDialog(nullptr);
    m_f.reset();
}

DemoPanel *TestPanelFrame::open(const QString &name)
{
    auto *panel = static_cast<DemoPanel *>(OpenPanel(name));
    modData().CurrentPanel = panel;
    m_events.clear();
    return panel;
}

// ---- Menus ---------------------------------------------------------------------------------

void TestPanelFrame::menuBar_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("viewEntries"); // name=caption, "-" prefix: disabled

    const QString vcp = "mnuVirtual=Virtual Control Panel";
    const QString cmd = "mnuCommand=Command Panel";
    const QString reg = "mnuRegisters=Register Panel";
    const QString cal = "mnuCalibration=Calibration Panel";
    const QString fw = "mnuFirmware=Firmware Panel";
    const QString mod = "mnuModulation=Modulation Panel";
    QTest::newRow("frmTLB") << "frmTLB" << QStringList{"-" + vcp, cmd, reg, cal, fw, mod};
    QTest::newRow("frmKM") << "frmKM" << QStringList{"-" + vcp, cmd, reg, cal, fw, mod};
    QTest::newRow("frmTW") << "frmTW" << QStringList{"-" + vcp, cmd, reg, cal, fw, mod};
    QTest::newRow("frmGZ has no Modulation entry")
        << "frmGZ" << QStringList{"-" + vcp, cmd, reg, cal, fw};
    QTest::newRow("frmCommand") << "frmCommand" << QStringList{vcp, "-" + cmd, reg, cal, fw, mod};
    QTest::newRow("frmRegisters")
        << "frmRegisters" << QStringList{vcp, cmd, "-" + reg, cal, fw, mod};
    QTest::newRow("frmCalibration: short captions")
        << "frmCalibration"
        << QStringList{vcp, "mnuCommand=Command", "mnuRegisters=Registers", "-" + cal, fw, mod};
    QTest::newRow("frmModulation")
        << "frmModulation" << QStringList{vcp, cmd, reg, cal, fw, "-" + mod};
    QTest::newRow("FrmLoader: short captions")
        << "FrmLoader"
        << QStringList{vcp, "mnuCommand=Command", "mnuRegisters=Registers", cal, "-" + fw, mod};
}

void TestPanelFrame::menuBar()
{
    QFETCH(QString, panel);
    QFETCH(QStringList, viewEntries);
    DemoPanel *p = open(panel);

    QStringList top;
    for (QAction *a : p->menuBar()->actions())
        top << (a->menu() ? a->menu()->objectName() : a->objectName()) + "=" + a->text();
    QCOMPARE(top, (QStringList{"mnuFile=File", "mnuView=View", "mnuComm=Communication",
                               "mnuAbout=About"}));

    auto entries = [](QMenu *menu) {
        QStringList list;
        for (QAction *a : menu->actions())
            list << QString(a->isEnabled() ? "" : "-") + a->objectName() + "=" + a->text();
        return list;
    };
    QCOMPARE(entries(p->findChild<QMenu *>("mnuFile")), QStringList{"mnuExit=Exit"});
    QCOMPARE(entries(p->findChild<QMenu *>("mnuView")), viewEntries);
    QCOMPARE(entries(p->findChild<QMenu *>("mnuComm")),
             (QStringList{"mnuSimulate=Simulate Inst", "mnuSetup=Setup"}));

    // The panel's own log is where the link writes.
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(p->rtbTranx));
}

void TestPanelFrame::modulationEntryFollowsSystemType_data()
{
    QTest::addColumn<int>("systemType");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("0 GZ") << 0 << false;
    QTest::newRow("1 GZ") << 1 << false;
    QTest::newRow("2 TLB") << 2 << true;
    QTest::newRow("3 KM") << 3 << true;
    QTest::newRow("4 TW") << 4 << true;
    QTest::newRow("5") << 5 << false;
    QTest::newRow("99 not configured") << 99 << false;
}

void TestPanelFrame::modulationEntryFollowsSystemType()
{
    QFETCH(int, systemType);
    QFETCH(bool, enabled);
    modData().SystemType = qint16(systemType);
    for (const QString &name : AllPanels) {
        DemoPanel *p = open(name);
        QAction *entry = p->findChild<QAction *>("mnuModulation");
        if (name == "frmGZ") {
            QVERIFY(!entry);
        } else if (name == "frmModulation") {
            QVERIFY(!entry->isEnabled()); // its own entry
        } else {
            QVERIFY2(entry->isEnabled() == enabled, qPrintable(name));
        }
        delete p;
    }
}

void TestPanelFrame::unregisteredPanelsAreInert()
{
    ClearPanelRegistry();
    RegisterPanel(PanelId::Command, [this] {
        auto *panel = new DemoPanel("frmCommand", &m_events);
        m_panels << panel;
        return panel;
    });
    DemoPanel *p = open("frmCommand");
    for (const char *name : {"mnuRegisters", "mnuCalibration", "mnuFirmware", "mnuModulation"}) {
        QAction *entry = p->findChild<QAction *>(name);
        QVERIFY2(entry && !entry->isEnabled(), name);
        entry->trigger();
    }
    // The virtual panel of the series is not there either: nothing is refreshed or sent.
    p->findChild<QAction *>("mnuVirtual")->trigger();
    QCOMPARE(m_f->line->commands(), QStringList());
    QCOMPARE(modData().CurrentPanel.data(), p);
    QVERIFY(p->isVisible());
    QCOMPARE(m_panels.size(), 1);
}

// ---- Switching and closing -----------------------------------------------------------------

void TestPanelFrame::switchPanel_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("Command to Register Panel")
        << "frmCommand" << "mnuRegisters" << "frmRegisters" << QStringList{"<>CLR 0"};
    QTest::newRow("TLB to Calibration Panel")
        << "frmTLB" << "mnuCalibration" << "frmCalibration" << QStringList{"<>CLR 0"};
    QTest::newRow("Registers to Firmware Panel")
        << "frmRegisters" << "mnuFirmware" << "FrmLoader" << QStringList{"<>CLR 0"};
    QTest::newRow("Firmware Panel sends nothing when it goes")
        << "FrmLoader" << "mnuCommand" << "frmCommand" << QStringList{};
    QTest::newRow("Calibration to Modulation Panel")
        << "frmCalibration" << "mnuModulation" << "frmModulation" << QStringList{"<>CLR 0"};
}

void TestPanelFrame::switchPanel()
{
    QFETCH(QString, from);
    QFETCH(QString, entry);
    QFETCH(QString, to);
    QFETCH(QStringList, sent);
    QPointer<DemoPanel> old = open(from);
    old->rtbTranx->setLogText("kept\r\n");

    old->findChild<QAction *>(entry)->trigger();

    auto *current = qobject_cast<PanelWindow *>(modData().CurrentPanel.data());
    QVERIFY(current);
    QCOMPARE(current->objectName(), to);
    QVERIFY(current->isVisible());
    QVERIFY(old); // closed, deleted later
    QVERIFY(!old->isVisible());
    QVERIFY(!old->Switching);
    QCOMPARE(m_events, (QStringList{"stop:" + from, "create:" + to, "closing:" + from}));
    QCOMPARE(m_f->line->commands(), sent);
    QCOMPARE(m_ended, 0);
    // The close command is not logged; the new panel's log receives the traffic.
    QCOMPARE(old->rtbTranx->logText(), QStringLiteral("kept\r\n"));
    QCOMPARE(current->rtbTranx->logText(), QString());
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(current->rtbTranx));

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!old);
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(current->rtbTranx));
    QCOMPARE(m_ended, 0);
}

void TestPanelFrame::virtualControlPanelRefreshesThenSwitches_data()
{
    QTest::addColumn<int>("systemType");
    QTest::addColumn<QString>("target");
    QTest::newRow("0 GZ") << 0 << "frmGZ";
    QTest::newRow("1 GZ") << 1 << "frmGZ";
    QTest::newRow("2 TLB") << 2 << "frmTLB";
    QTest::newRow("3 KM") << 3 << "frmKM";
    QTest::newRow("4 TW") << 4 << "frmTW";
    QTest::newRow("7 TLB") << 7 << "frmTLB";
}

void TestPanelFrame::virtualControlPanelRefreshesThenSwitches()
{
    QFETCH(int, systemType);
    QFETCH(QString, target);
    modData().SystemType = qint16(systemType);
    AnswerLikeAnInstrument(*m_f->line);
    QPointer<DemoPanel> old = open("frmRegisters");

    old->findChild<QAction *>("mnuVirtual")->trigger();

    QCOMPARE(modData().CurrentPanel->objectName(), target);
    const QStringList sent = m_f->line->commands();
    QVERIFY2(sent.size() >= 4, qPrintable(sent.join('|')));
    QCOMPARE(sent.first(), QStringLiteral("<>SCL"));
    QCOMPARE(sent.at(sent.size() - 2), QStringLiteral("SYST:ERR?"));
    QCOMPARE(sent.last(), QStringLiteral("<>CLR 0"));
    QCOMPARE(modData().Ratings.VoltMax, 30.0f); // 0x7530 thousandths
    QCOMPARE(m_f->prompter->shown.size(), 0);
    QCOMPARE(m_ended, 0);
}

void TestPanelFrame::closeEndsProgram_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<bool>("logClose");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("log");
    QTest::newRow("Command Panel") << "frmCommand" << false << QStringList{"<>CLR 0"} << "";
    QTest::newRow("virtual panel") << "frmKM" << false << QStringList{"<>CLR 0"} << "";
    QTest::newRow("virtual panel in debug mode logs it")
        << "frmTLB" << true << QStringList{"<>CLR 0"} << "<>CLR 0\n";
    QTest::newRow("Firmware Panel sends nothing") << "FrmLoader" << false << QStringList{} << "";
}

void TestPanelFrame::closeEndsProgram()
{
    QFETCH(QString, panel);
    QFETCH(bool, logClose);
    QFETCH(QStringList, sent);
    QFETCH(QString, log);
    QPointer<DemoPanel> p = open(panel);
    p->logClose = logClose;

    QVERIFY(p->close()); // the close box

    QCOMPARE(m_f->line->commands(), sent);
    QCOMPARE(p->rtbTranx->logText(), log);
    QCOMPARE(m_ended, 1);
    QCOMPARE(m_events, (QStringList{"stop:" + panel, "closing:" + panel}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!p);
    QCOMPARE(Comm().LogTarget, nullptr);
}

void TestPanelFrame::closeReplacedKeepsProgramRunning()
{
    // A virtual panel that finds another panel current closes itself this way.
    QPointer<DemoPanel> p = open("frmTLB");
    p->closeReplaced();
    QCOMPARE(m_events, (QStringList{"stop:frmTLB", "closing:frmTLB"}));
    QCOMPARE(m_f->line->commands(), QStringList{"<>CLR 0"});
    QCOMPARE(m_ended, 0);
    QVERIFY(!p->Switching);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!p);
}

void TestPanelFrame::exitEndsAtOnce()
{
    QPointer<DemoPanel> p = open("frmCommand");
    p->findChild<QAction *>("mnuExit")->trigger();
    QCOMPARE(m_ended, 1);
    QCOMPARE(m_f->line->commands(), QStringList());
    QCOMPARE(m_events, QStringList()); // no close handler ran
    QVERIFY(p->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(p);
}

// ---- Communication menu --------------------------------------------------------------------

void TestPanelFrame::simulateInstrument_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("log");
    QTest::addColumn<bool>("linkStaysOpen");
    QTest::newRow("Command Panel re-opens the link")
        << "frmCommand" << "Simulated - Initialized\r\n" << false;
    QTest::newRow("Firmware Panel re-opens the link")
        << "FrmLoader" << "Simulated - Initialized\r\n" << false;
    QTest::newRow("virtual panel only changes the kind") << "frmTLB" << "earlier\r\n" << true;
}

void TestPanelFrame::simulateInstrument()
{
    QFETCH(QString, panel);
    QFETCH(QString, log);
    QFETCH(bool, linkStaysOpen);
    DemoPanel *p = open(panel);
    p->rtbTranx->setLogText("earlier\r\n");
    QVERIFY(m_f->line->open);

    p->findChild<QAction *>("mnuSimulate")->trigger();

    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QCOMPARE(p->rtbTranx->logText(), log);
    QCOMPARE(m_f->line->open, linkStaysOpen);
    QCOMPARE(m_f->line->commands(), QStringList());
    QCOMPARE(m_f->prompter->shown.size(), 0);
}

void TestPanelFrame::setupRefreshesAndReappliesRule()
{
    modData().SystemType = 0;
    AnswerLikeAnInstrument(*m_f->line);
    DemoPanel *p = open("frmCommand");
    QAction *modulation = p->findChild<QAction *>("mnuModulation");
    QVERIFY(!modulation->isEnabled());
    int shown = 0;
    SetSetupDialog([&](QWidget *parent) {
        ++shown;
        QCOMPARE(parent, p);
        QCOMPARE(m_f->line->commands(), QStringList()); // the refresh comes after
        modData().SystemType = 3;
    });

    p->findChild<QAction *>("mnuSetup")->trigger();

    QCOMPARE(shown, 1);
    QVERIFY(modulation->isEnabled());
    QCOMPARE(m_f->line->commands().value(0), QStringLiteral("<>SCL"));
    QCOMPARE(m_f->line->commands().last(), QStringLiteral("SYST:ERR?"));
    QCOMPARE(m_events, QStringList{"afterSetup:frmCommand"});
}

void TestPanelFrame::setupIsInertWithoutDialog()
{
    DemoPanel *p = open("frmCommand");
    p->findChild<QAction *>("mnuSetup")->trigger();
    QCOMPARE(m_f->line->commands(), QStringList());
    QCOMPARE(m_events, QStringList());
}

// ---- Log area ------------------------------------------------------------------------------

void TestPanelFrame::logArea_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("clearName");
    QTest::addColumn<QString>("clearCaption");
    QTest::addColumn<QString>("saveCaption");
    QTest::newRow("service panel") << "frmCommand" << "cmdClear" << "Clear" << "Save to File";
    QTest::newRow("virtual panel") << "frmGZ" << "cmdClearText" << "Clear" << "Save to File";
    QTest::newRow("Modulation Panel")
        << "frmModulation" << "cmdClear" << "Clear Output" << "Save Output to File";
}

void TestPanelFrame::logArea()
{
    QFETCH(QString, panel);
    QFETCH(QString, clearName);
    QFETCH(QString, clearCaption);
    QFETCH(QString, saveCaption);
    DemoPanel *p = open(panel);

    auto *frame = p->findChild<QGroupBox *>("fraIn");
    QVERIFY(frame);
    QCOMPARE(frame->title(), QStringLiteral("Output"));
    auto *log = frame->findChild<TransactionLog *>("rtbTranx");
    auto *clear = frame->findChild<QPushButton *>(clearName);
    auto *save = frame->findChild<QPushButton *>("cmdSave");
    QVERIFY(log && clear && save);
    QCOMPARE(clear->text(), clearCaption);
    QCOMPARE(save->text(), saveCaption);
    for (QWidget *w : {static_cast<QWidget *>(log), static_cast<QWidget *>(clear),
                       static_cast<QWidget *>(save)})
        QVERIFY(w->focusPolicy() & Qt::TabFocus);

    SendCommand(QStringLiteral("VOLT 5"), true);
    QCOMPARE(log->logText(), QStringLiteral("VOLT 5\n"));
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(log->logText(), QString());
    QCOMPARE(log->toPlainText(), QString());
}

void TestPanelFrame::logFrameNotPlacedIsNotLost()
{
    QPointer<QGroupBox> frame;
    {
        PanelWindow bare("frmRegisters");
        frame = bare.fraIn;
        bare.show();
        QVERIFY(!frame->isVisible()); // not floating over the window
        QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(bare.rtbTranx));
    }
    QVERIFY(!frame);
    QCOMPARE(Comm().LogTarget, nullptr);
}

void TestPanelFrame::saveToFile()
{
    DemoPanel *p = open("frmCommand");
    p->rtbTranx->setLogText("Simulated - Initialized\r\nVOLT 5\n");
    const QString path = m_f->path("out.txt");
    m_f->writeFile("out.txt", QByteArray(4096, 'x')); // replaced, not appended to
    m_chooser->answer = path;

    QTest::mouseClick(p->cmdSave, Qt::LeftButton);

    QCOMPARE(m_chooser->requests.size(), 1);
    const FileRequest &r = m_chooser->requests.first();
    QCOMPARE(r.title, QStringLiteral("ZOP Panel - Select or Enter File"));
    QCOMPARE(r.folder, modData().ProgramFolder);
    QCOMPARE(r.filter, QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*"));
    QVERIFY(!r.open);
    QCOMPARE(ReadAll(path), QByteArray("Simulated - Initialized\r\nVOLT 5\n\r\n"));
    QCOMPARE(m_f->prompter->shown.size(), 0);
}

void TestPanelFrame::saveToFileLowersTypedName()
{
    DemoPanel *p = open("frmCommand");
    p->rtbTranx->setLogText("RUN");
    QVERIFY(QDir(m_f->dir.path()).mkdir("Bench Logs"));
    m_chooser->answer = m_f->path("Bench Logs/RUN1.TXT");

    p->saveLog();

    QCOMPARE(ReadAll(m_f->path("Bench Logs/run1.txt")), QByteArray("RUN\r\n"));
    QCOMPARE(QDir(m_f->path("Bench Logs")).entryList(QDir::Files), QStringList{"run1.txt"});
}

void TestPanelFrame::saveToFileCancelledWritesNothing()
{
    DemoPanel *p = open("frmCommand");
    p->rtbTranx->setLogText("RUN");
    const QStringList before = QDir(m_f->dir.path()).entryList(QDir::Files | QDir::Hidden);
    m_chooser->answer = QString();

    p->saveLog();

    QCOMPARE(m_chooser->requests.size(), 1);
    QCOMPARE(QDir(m_f->dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    QCOMPARE(m_f->prompter->shown.size(), 0);
}

void TestPanelFrame::saveToFileFailureShowsMessage()
{
    DemoPanel *p = open("frmCommand");
    p->rtbTranx->setLogText("RUN");
    m_chooser->answer = m_f->path("no such folder/log.txt");

    p->saveLog();

    QCOMPARE(m_f->prompter->shown.size(), 1);
    const Prompt &shown = m_f->prompter->shown.first();
    QCOMPARE(shown.title, QStringLiteral("ZOP Panel"));
    QCOMPARE(shown.icon, MsgIcon::Critical);
    QCOMPARE(shown.buttons, MsgButtons::Ok);
    QVERIFY(shown.text.contains(m_f->path("no such folder/log.txt")));
    QVERIFY(!QFileInfo::exists(m_f->path("no such folder")));
    QCOMPARE(p->rtbTranx->logText(), QStringLiteral("RUN"));
}

QTEST_MAIN(TestPanelFrame)
#include "test_panelframe.moc"
