// The shared panel frame on a demo panel: menus, the panel switch, the close rule, "Exit",
// "Simulate Inst", "Setup", the log area and "Save to File".

#include "app/configuration.h"
#include "app/usersettings.h"
#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "frame/panelwindow.h"
#include "demopanel.h"
#include "link/linkkind.h"
#include "link/transports.h"
#include "simprocess.h"
#include "testsupport.h"
#include "ui/linkstatusline.h"
#include "ui/transactionlog.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <unistd.h>

using namespace zop;
using namespace zop::test;

namespace {

const QStringList AllPanels{"frmGZ",          "frmTLB",        "frmKM",
                            "frmTW",          "frmCommand",    "frmRegisters",
                            "frmCalibration", "frmModulation", "FrmLoader"};

// Menu entries as "name=caption", a disabled one with a leading "-".
QStringList Entries(QMenu *menu)
{
    QStringList list;
    for (QAction *a : menu->actions())
        list << QString(a->isEnabled() ? "" : "-") + a->objectName() + "=" + a->text();
    return list;
}

} // namespace

class TestPanelFrame : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void menuBar_data();
    void menuBar();

    void switchPanel_data();
    void switchPanel();
    void virtualControlPanelRefreshesThenSwitches_data();
    void virtualControlPanelRefreshesThenSwitches();
    void closeEndsProgram_data();
    void closeEndsProgram();

    void simulateInstrument();
    void setupRefreshesAndReappliesRule();
    void statusLineFollowsTheLink();
    void reconnectAndRecentLinks();

    void logArea_data();
    void logArea();
    void saveToFile_data();
    void saveToFile();

private:
    void registerDemo(const QString &name);
    DemoPanel *open(const QString &name);
    QList<QPointer<PanelWindow>> m_panels;
    QStringList m_events;
    std::unique_ptr<Fixture> m_f;
    std::shared_ptr<RecordingChooser> m_chooser;
    int m_ended = 0;
};

void TestPanelFrame::init()
{
    m_f = std::make_unique<Fixture>();
    m_events.clear();
    m_ended = 0;
    SetProgramEnder([this] { ++m_ended; });
    m_chooser = std::make_shared<RecordingChooser>();
    SetFileChooser(m_chooser);
    for (const QString &name : AllPanels)
        registerDemo(name);
    modData().SystemType = 2;
    modData().CommKind = LinkKind::TcpIp;
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

void TestPanelFrame::registerDemo(const QString &name)
{
    RegisterPanel(name, [this, name] {
        auto *panel = new DemoPanel(name, &m_events);
        m_panels << panel;
        return panel;
    });
}

DemoPanel *TestPanelFrame::open(const QString &name)
{
    auto *panel = static_cast<DemoPanel *>(OpenPanel(name));
    modData().CurrentPanel = panel;
    m_events.clear();
    return panel;
}

// ---- Menus ---------------------------------------------------------------------------------

// The menus of each kind of panel; "Modulation Panel" is there but on frmGZ, on for system
// types 2 to 4, off on its own panel. An entry for a panel the program lacks is off, and the
// virtual panel's, when that panel is missing, does nothing.
void TestPanelFrame::menuBar_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("systemType");
    QTest::addColumn<bool>("alone"); // the only panel registered
    QTest::addColumn<QStringList>("viewEntries");
    const QString vcp = "mnuVirtual=&Virtual Control Panel", cmd = "mnuCommand=&Command Panel";
    const QString reg = "mnuRegisters=&Register Panel", cal = "mnuCalibration=C&alibration Panel";
    const QString fw = "mnuFirmware=&Firmware Panel", mod = "mnuModulation=&Modulation Panel";
    const QString shortCmd = "mnuCommand=&Command", shortReg = "mnuRegisters=&Registers";
    QTest::newRow("frmTLB, type 2") << "frmTLB" << 2 << false << QStringList{"-" + vcp, cmd, reg, cal, fw, mod};
    QTest::newRow("frmKM, type 3") << "frmKM" << 3 << false << QStringList{"-" + vcp, cmd, reg, cal, fw, mod};
    QTest::newRow("frmGZ: no modulation entry") << "frmGZ" << 3 << false << QStringList{"-" + vcp, cmd, reg, cal, fw};
    QTest::newRow("frmCommand, type 4") << "frmCommand" << 4 << false << QStringList{vcp, "-" + cmd, reg, cal, fw, mod};
    QTest::newRow("frmCalibration: short captions, type 1")
        << "frmCalibration" << 1 << false << QStringList{vcp, shortCmd, shortReg, "-" + cal, fw, "-" + mod};
    QTest::newRow("FrmLoader: short captions, type 5")
        << "FrmLoader" << 5 << false << QStringList{vcp, shortCmd, shortReg, cal, "-" + fw, "-" + mod};
    QTest::newRow("frmRegisters, type 99")
        << "frmRegisters" << 99 << false << QStringList{vcp, cmd, "-" + reg, cal, fw, "-" + mod};
    QTest::newRow("frmModulation: its own entry off")
        << "frmModulation" << 3 << false << QStringList{vcp, cmd, reg, cal, fw, "-" + mod};
    QTest::newRow("frmCommand alone")
        << "frmCommand" << 2 << true << QStringList{vcp, "-" + cmd, "-" + reg, "-" + cal, "-" + fw, "-" + mod};
}

void TestPanelFrame::menuBar()
{
    QFETCH(QString, panel);
    QFETCH(int, systemType);
    QFETCH(bool, alone);
    modData().SystemType = qint16(systemType);
    if (alone) {
        ClearPanelRegistry();
        registerDemo(panel);
    }
    DemoPanel *p = open(panel);

    QStringList top;
    for (QAction *a : p->menuBar()->actions())
        top << (a->menu() ? a->menu()->objectName() : a->objectName()) + "=" + a->text();
    // The captions as given, each with its access key.
    QCOMPARE(top, (QStringList{"mnuFile=&File", "mnuView=&View", "mnuComm=&Communication",
                               "mnuAboutMenu=&About"}));
    QCOMPARE(Entries(p->findChild<QMenu *>("mnuFile")), QStringList{"mnuExit=E&xit"});
    QTEST(Entries(p->findChild<QMenu *>("mnuView")), "viewEntries");
    QCOMPARE(Entries(p->findChild<QMenu *>("mnuComm")),
             (QStringList{"mnuSimulate=&Simulate Inst", "mnuSetup=Set&up",
                          "mnuReconnect=&Reconnect", "-mnuRecentLinks=Recent &Links", "=",
                          "mnuOutputOff=&Output Off"}));
    QCOMPARE(Entries(p->findChild<QMenu *>("mnuAboutMenu")),
             (QStringList{"mnuGuide=User &Guide", "mnuAbout=&About Zoptrel"}));
    QCOMPARE((QList<QKeySequence>{p->mnuExit->shortcut(), p->mnuOutputOff->shortcut(),
                                  p->mnuGuide->shortcut(), p->cmdSave->shortcut()}),
             (QList<QKeySequence>{QKeySequence("Ctrl+Q"), QKeySequence("Ctrl+Shift+O"),
                                  QKeySequence("F1"), QKeySequence("Ctrl+S")}));
    // The panel's own log is where the link writes.
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(p->rtbTranx));
    if (!alone)
        return;
    p->mnuVirtual->trigger(); // no refresh, no switch
    QCOMPARE(m_f->line->commands(), QStringList());
    QVERIFY(modData().CurrentPanel.data() == p && p->isVisible() && m_panels.size() == 1);
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
    QTest::newRow("Registers to Firmware Panel")
        << "frmRegisters" << "mnuFirmware" << "FrmLoader" << QStringList{"<>CLR 0"};
    QTest::newRow("Firmware Panel sends nothing when it goes")
        << "FrmLoader" << "mnuCommand" << "frmCommand" << QStringList{};
}

void TestPanelFrame::switchPanel()
{
    QFETCH(QString, from);
    QFETCH(QString, entry);
    QFETCH(QString, to);
    QPointer<DemoPanel> old = open(from);
    old->rtbTranx->setLogText("kept\r\n");
    // The new panel opens where the old one stood, at its own size: never smaller, so a
    // small window does not shrink the next panel's controls, and never stretched.
    const QRect place(QPoint(137, 91), old->minimumSizeHint() + QSize(3, 2));
    old->move(place.topLeft());
    old->resize(place.size());

    old->findChild<QAction *>(entry)->trigger();

    auto *current = qobject_cast<PanelWindow *>(modData().CurrentPanel.data());
    QVERIFY(current && current->isVisible());
    QVERIFY(old && !old->isVisible() && !old->Switching); // closed, deleted later
    QCOMPARE(QRect(current->pos(), current->size()),
             QRect(place.topLeft(), current->sizeHint().expandedTo(current->minimumSizeHint())));
    QCOMPARE(m_events, (QStringList{"stop:" + from, "create:" + to, "closing:" + from}));
    QTEST(m_f->line->commands(), "sent");
    // The close command is not logged; the new panel's log receives the traffic.
    QCOMPARE((QStringList{current->objectName(), old->rtbTranx->logText(), current->rtbTranx->logText()}),
             (QStringList{to, "kept\r\n", ""}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!old);
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(current->rtbTranx));
    QCOMPARE(m_ended, 0);
    QWidget wide;
    wide.setGeometry(QRect(place.topLeft(), current->sizeHint() + QSize(300, 200)));
    wide.show();
    PanelWindow *again = OpenPanel(to, &wide);
    QCOMPARE(again->size(), again->sizeHint().expandedTo(again->minimumSizeHint()));
    delete again;
    // The kind of panel closed at `place` opens there next time, no smaller than it needs.
    PanelWindow *back = OpenPanel(from);
    QCOMPARE(QRect(back->pos(), back->size()), QRect(place.topLeft(), place.size().expandedTo(back->sizeHint())));
    delete back;
}

// The virtual panel of the configured series (which panel each type has is the start-up
// choice's table; here, that the entry uses it), after a state refresh. A menu entry chosen
// while the refresh waits for a reply that never ends (window events run there on TCP/IP)
// is safe: one panel stays open.
void TestPanelFrame::virtualControlPanelRefreshesThenSwitches_data()
{
    QTest::addColumn<QString>("entry"); // chosen while the refresh waits for a reply
    QTest::addColumn<QString>("current");
    QTest::newRow("nothing chosen meanwhile") << "" << "frmGZ";
    QTest::newRow("Simulate Inst: the switch goes on") << "mnuSimulate" << "frmGZ";
    QTest::newRow("another panel: no switch afterwards") << "mnuCommand" << "frmCommand";
}

void TestPanelFrame::virtualControlPanelRefreshesThenSwitches()
{
    QFETCH(QString, entry);
    modData().SystemType = 1;
    AnswerStateRefresh(*m_f->line);
    if (!entry.isEmpty())
        m_f->line->answer(QStringLiteral("<>SCL"), "7530,");
    QPointer<DemoPanel> old = open("frmRegisters");
    int waits = 0;
    m_f->line->duringWait = [&] {
        if (++waits == 1 && old && !entry.isEmpty())
            old->findChild<QAction *>(entry)->trigger();
    };

    old->findChild<QAction *>("mnuVirtual")->trigger();

    QCOMPARE(m_f->line->deletedInWait + m_f->line->takesAfterClose, 0);
    QTEST(modData().CurrentPanel->objectName(), "current");
    const auto shown = [](const QPointer<PanelWindow> &p) { return p && p->isVisible(); };
    QCOMPARE(int(std::count_if(m_panels.cbegin(), m_panels.cend(), shown)), 1); // one panel open
    QCOMPARE(m_ended, 0);
    if (!entry.isEmpty())
        return;
    const QStringList sent = m_f->line->commands();
    QCOMPARE((QStringList{sent.first(), sent.value(sent.size() - 2), sent.last()}),
             (QStringList{"<>SCL", "SYST:ERR?", "<>CLR 0"}));
    QCOMPARE(modData().Ratings.VoltMax, 30.0f); // 0x7530 thousandths
    QCOMPARE(m_f->prompter->shown.size(), 0);
}

void TestPanelFrame::closeEndsProgram_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("how"); // the close box, another panel took over, "Exit"
    QTest::addColumn<bool>("logClose");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QString>("log");
    QTest::newRow("Command Panel") << "frmCommand" << "close" << false << QStringList{"<>CLR 0"} << "";
    QTest::newRow("virtual panel in debug mode logs it")
        << "frmTLB" << "close" << true << QStringList{"<>CLR 0"} << "<>CLR 0\n";
    QTest::newRow("Firmware Panel sends nothing") << "FrmLoader" << "close" << false << QStringList{} << "";
    QTest::newRow("virtual panel replaced: the program goes on")
        << "frmTLB" << "replaced" << false << QStringList{"<>CLR 0"} << "";
    QTest::newRow("Exit: at once, no close handler") << "frmCommand" << "exit" << false << QStringList{} << "";
}

void TestPanelFrame::closeEndsProgram()
{
    QFETCH(QString, panel);
    QFETCH(QString, how);
    QFETCH(bool, logClose);
    QPointer<DemoPanel> p = open(panel);
    p->logClose = logClose;
    if (how == "replaced")
        p->closeReplaced(); // how a virtual panel that finds another one current goes
    else if (how == "exit")
        p->findChild<QAction *>("mnuExit")->trigger();
    else
        QVERIFY(p->close());
    QTEST(m_f->line->commands(), "sent");
    QTEST(p->rtbTranx->logText(), "log");
    QCOMPARE(m_ended, how == "replaced" ? 0 : 1);
    QVERIFY(!p->Switching);
    QCOMPARE(m_events, (how == "exit" ? QStringList() : QStringList{"stop:" + panel, "closing:" + panel}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(!p, how != "exit");
    if (how == "close")
        QCOMPARE(Comm().LogTarget, nullptr);
}

// ---- Communication menu --------------------------------------------------------------------

// On a virtual panel "Simulate Inst" only changes the kind and the link stays open (the other
// panels re-open it: the Command Panel's tests check that).
void TestPanelFrame::simulateInstrument()
{
    DemoPanel *p = open("frmTLB");
    p->rtbTranx->setLogText("earlier\r\n");
    p->mnuSimulate->trigger();

    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QCOMPARE(p->rtbTranx->logText(), QStringLiteral("earlier\r\n"));
    QVERIFY(m_f->line->open && m_f->line->commands().isEmpty() && m_f->prompter->shown.isEmpty());
}

void TestPanelFrame::setupRefreshesAndReappliesRule()
{
    modData().SystemType = 0;
    AnswerStateRefresh(*m_f->line);
    DemoPanel *p = open("frmCommand");
    QAction *modulation = p->findChild<QAction *>("mnuModulation");
    QVERIFY(!modulation->isEnabled());
    // Without a dialog to show, "Setup" does nothing.
    p->mnuSetup->trigger();
    QCOMPARE(m_f->line->commands() + m_events, QStringList()); // nothing sent, no hook run

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
    QCOMPARE((QStringList{m_f->line->commands().value(0), m_f->line->commands().last()}),
             (QStringList{"<>SCL", "SYST:ERR?"}));
    QCOMPARE(m_events, QStringList{"afterSetup:frmCommand"});
}

// ---- Status line and Reconnect --------------------------------------------------------------

void TestPanelFrame::statusLineFollowsTheLink()
{
    modData().CommAddress = "127.0.0.1";
    modData().CommPort = 50505;
    DemoPanel *p = open("frmTLB");
    LinkStatusLine *line = p->findChild<LinkStatusLine *>("lblLinkStatus");
    QVERIFY(line && p->statusBar()->isAncestorOf(line));
    line->refresh();
    QCOMPARE(line->state(), LinkState::Live);
    QCOMPARE(line->text(), QStringLiteral("TCP/IP 127.0.0.1:50505"));
    const QRgb liveGround = line->grab().toImage().pixel(1, 1);

    // A fall-back: the line says why, in colour, and a screen reader reads the new line.
    m_f->line->failWrite = true;
    SendCommand("<>STA", false);
    line->refresh();

    const QString simulated
        = "Simulated: no instrument, after TCP/IP 127.0.0.1:50505 failed (Not connected)";
    QCOMPARE(line->state(), LinkState::Simulated);
    QCOMPARE((QStringList{line->toolTip(), QAccessible::queryAccessibleInterface(line)->text(QAccessible::Name)}),
             (QStringList{simulated, "Link: " + simulated}));
    QVERIFY(line->grab().toImage().pixel(1, 1) != liveGround);

    // Wide enough, the line shows it whole; too narrow, it is cut after a whole word (the
    // rule is ElideAtWord's) and its tool tip and accessible name stay whole.
    const int needed = line->fontMetrics().horizontalAdvance(simulated);
    line->resize(needed * 2, line->height());
    QCOMPARE(line->text(), simulated);
    line->resize(needed / 2, line->height());
    QVERIFY2(simulated.startsWith(line->text().chopped(1) + ' '), qPrintable(line->text()));
    QCOMPARE(line->toolTip(), simulated);
}

void TestPanelFrame::reconnectAndRecentLinks()
{
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    ModData &data = modData();
    QVERIFY(WritePanelConfig(m_f->dir.path(),
                             {{"Communication", "Comm", "TCP/IP"},
                              {"Communication", "Address", "127.0.0.1"},
                              {"Communication", "Port", QString::number(sim.port())}}));
    ReadConfiguration();
    data.comm.OnLinkOpened = RememberLinkInUse; // as the program does
    // In Simulated mode, as after a fall-back; the file still names the instrument.
    data.CommKind = LinkKind::Simulated;
    OpenLink();
    // From here on the real link to the emulator over loopback.
    data.clock = std::make_shared<SteadyClock>();
    data.comm.setTransportFactory(MakeTransport);
    DemoPanel *p = open("frmCommand");
    p->linkStatus->refresh();
    QCOMPARE(p->linkStatus->state(), LinkState::Simulated);
    const QString before = "Simulated - Initialized\r\nVOLT 5\n9.999\r\nSYST:ERR?";

    p->rtbTranx->setLogText(before);
    p->mnuReconnect->trigger();

    QVERIFY(data.CommKind == LinkKind::TcpIp && p->linkStatus->state() == LinkState::Live);
    // The log kept, the new link's line under it.
    QCOMPARE(p->rtbTranx->logText(), before + "\r\nTCP/IP - Initialized\r\n");
    // The state refresh went to the instrument.
    QTRY_COMPARE(sim.receivedLines(),
                 (QStringList{"<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?"}));
    QCOMPARE(m_events, QStringList()); // no Setup follow-up, no switch

    // The link that opened is offered under "Recent Links". Chosen after the file has come to
    // name another link, it is written to the file as Setup writes it, opened, and the state
    // read again.
    QVERIFY(WritePanelConfig(m_f->dir.path(), {{"Communication", "Comm", "Simulated"}}));
    ReadConfiguration();
    OpenLink();
    emit p->mnuRecentLinks->aboutToShow();
    const QList<QAction *> offered = p->mnuRecentLinks->actions();
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered.first()->text(), QStringLiteral("TCP/IP 127.0.0.1:%1").arg(sim.port()));
    offered.first()->trigger();
    QVERIFY(ReadLinkSettings().kind == LinkKind::TcpIp && ReadLinkSettings().port == QString::number(sim.port()));
    QVERIFY(data.CommKind == LinkKind::TcpIp && p->linkStatus->state() == LinkState::Live);
    QTRY_COMPARE(sim.receivedLines().count("<>ALL"), 2);
    // "Output Off", from any panel: what the STOP key sends.
    p->mnuOutputOff->trigger();
    QTRY_COMPARE(sim.receivedLines().last(), QStringLiteral("OUTP:STOP"));
    QCOMPARE(m_f->prompter->texts(), QStringList());
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
    auto *log = frame->findChild<TransactionLog *>("rtbTranx");
    auto *clear = frame->findChild<QPushButton *>(clearName);
    auto *save = frame->findChild<QPushButton *>("cmdSave");
    QVERIFY(log && clear && save);
    QCOMPARE((QStringList{frame->title(), clear->text(), save->text()}),
             (QStringList{"Output", clearCaption, saveCaption}));
    SendCommand(QStringLiteral("VOLT 5"), true);
    QCOMPARE(log->logText(), QStringLiteral("VOLT 5\n"));
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(log->logText() + log->toPlainText(), QString());
    // A log frame the panel never placed does not float over the window, and goes with it.
    QPointer<QGroupBox> unplaced;
    {
        PanelWindow bare(panel);
        unplaced = bare.fraIn;
        bare.show();
        QVERIFY(!unplaced->isVisible());
    }
    QVERIFY(!unplaced);
}

// "Save to File": the log as 8-bit text (a reply byte E9 came in as one character and goes out
// as one byte) replacing the file named, as typed; the next log dialog opens in that folder and
// offers that file. Cancelled, or into a missing folder, nothing is written. A name as long as
// the system allows leaves no room for a temporary name beside it, as a folder the user may
// not write to does: an existing file is then written in place.
void TestPanelFrame::saveToFile_data()
{
    QTest::addColumn<QString>("answer"); // in the test folder; empty: the dialog was cancelled
    QTest::addColumn<QString>("folder"); // made first, "locked" read-only
    QTest::addColumn<bool>("written");
    QTest::newRow("replaces, name as typed") << "Bench Logs/Session 1.TXT" << "Bench Logs" << true;
    QTest::newRow("cancelled") << "" << "" << false;
    QTest::newRow("folder missing: a message") << "no such folder/log.txt" << "" << false;
    QTest::newRow("no room for a temporary name") << QString(251, 'l') + ".txt" << "" << true;
    QTest::newRow("folder not writable") << "locked/log.txt" << "locked" << true;
}

void TestPanelFrame::saveToFile()
{
    QFETCH(QString, answer);
    QFETCH(QString, folder);
    QFETCH(bool, written);
    if (folder == "locked" && geteuid() == 0)
        QSKIP("permissions do not bind the superuser");
    DemoPanel *p = open("frmCommand");
    const QByteArray log("Simulated - Initialized\r\nVOLT 5\n\xE9\r\n");
    p->rtbTranx->setLogText(QString::fromLatin1(log));
    const QString path = answer.isEmpty() ? QString() : m_f->path(answer);
    if (!folder.isEmpty())
        QVERIFY(QDir(m_f->dir.path()).mkdir(folder));
    if (written)
        m_f->writeFile(answer, QByteArray(4096, 'x')); // replaced, not appended to
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    const QStringList before = QDir(m_f->dir.path()).entryList(all);
    if (folder == "locked")
        QFile::setPermissions(m_f->path("locked"), QFile::ReadOwner | QFile::ExeOwner);
    m_chooser->answer = path;

    QTest::mouseClick(p->cmdSave, Qt::LeftButton);

    QFile::setPermissions(m_f->path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(m_chooser->requests.size(), 1);
    const FileRequest &r = m_chooser->requests.first();
    QCOMPARE((QStringList{r.title, r.folder, r.filter, r.open ? "open" : "save"}),
             (QStringList{"ZOP Panel - Select or Enter File", modData().ProgramFolder,
                          "Text Files (*.txt)|*.txt|All Files (*.*)|*.*", "save"}));
    QStringList after = QDir(m_f->dir.path()).entryList(all);
    after.removeAll(UserSettingsFileName); // the folder chosen is remembered
    QCOMPARE(after, before);
    QCOMPARE(p->rtbTranx->logText(), QString::fromLatin1(log));
    QCOMPARE(m_f->prompter->shown.size(), written || path.isEmpty() ? 0 : 1);
    if (written) {
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), log + "\r\n");
        QStringList beside = QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden);
        beside.removeAll(UserSettingsFileName); // no temporary file left beside it
        QCOMPARE(beside, QStringList{QFileInfo(path).fileName()});
        p->saveLog();
        QCOMPARE(m_chooser->requests.at(1).folder, QFileInfo(path).path());
        QCOMPARE(m_chooser->requests.at(1).recentFiles, QStringList{path});
    } else if (!path.isEmpty()) {
        const Prompt &shown = m_f->prompter->shown.first();
        QVERIFY(shown.title == "ZOP Panel" && shown.icon == MsgIcon::Critical && shown.buttons == MsgButtons::Ok);
        QVERIFY2(shown.text.contains(path) && shown.text.contains("could not be created"), qPrintable(shown.text));
    }
}

QTEST_MAIN(TestPanelFrame)
#include "test_panelframe.moc"
