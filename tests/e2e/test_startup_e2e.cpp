// zop-panel and zop-sim as processes: the start-up sequence as the instrument sees it.

#include "app/firstrun.h"
#include "link/gpiblibrary.h"
#include "setup/programversion.h"
#include "simprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace zop::test;

Q_DECLARE_METATYPE(zop::test::SimLine)

class TestStartupE2e : public QObject {
    Q_OBJECT
private slots:
    void startupQueries_data();
    void startupQueries();
    void panelPollsFiveTimesASecond();
    void worksWithoutADisplay_data();
    void worksWithoutADisplay();
    void sigtermEndsCleanly();
    void demoNeverUsesAnotherProgramsPort();
    void firstStartAsksOnceToSetUpTheLink();
};

void TestStartupE2e::panelPollsFiveTimesASecond()
{
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    QVERIFY(WritePanelConfig(dir.path(), {{"Communication", "Comm", "TCP/IP"},
                                          {"Communication", "Port", QString::number(sim.port())}}));

    QProcess panel;
    QVERIFY(StartPanel(panel, dir.path()));
    // Run until a dozen polls have arrived (or give up after 10 s).
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && sim.receivedLines().count(QStringLiteral("<>STA")) < 12)
        QTest::qWait(100);
    panel.kill();
    panel.waitForFinished(3000);

    const QStringList lines = sim.receivedLines();
    QCOMPARE(lines.mid(0, 5), (QStringList{"<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?", "<>CHG 0,-1,0"}));
    const QList<double> polls = ReceivedAt(sim, "<>STA\n");
    QVERIFY2(polls.size() >= 12, qPrintable(QString::number(polls.size())));
    // About every 200 ms: the median gap between polls.
    const double median = MedianGap(polls);
    QVERIFY2(median > 0.15 && median < 0.3, qPrintable(QString::number(median)));
}

// The start-up over every kind of link, the panel and the emulator as processes: the link
// is named and the ratings are the emulator's, read through the real transport.
void TestStartupE2e::startupQueries_data()
{
    QTest::addColumn<SimLine>("line");
    QTest::addColumn<QString>("comm");
    QTest::addColumn<QByteArrayList>("printed");
    const auto read = [](const QByteArray &link) {
        return QByteArrayList{"link: " + link + "\nrated: 30 V, 50 A\n", "firmware: 4.7\nhardware: 1.3\npanel: frmTLB\n"};
    };
    QTest::newRow("TCP/IP") << SimLine::Tcp << "TCP/IP" << read("TCP/IP");
    QTest::newRow("GPIB") << SimLine::Gpib << "GPIB" << read("GPIB");
    QTest::newRow("RS-232") << SimLine::Pty << "RS-232" << read("RS232");
    QTest::newRow("RS-485 selected") << SimLine::Pty << "RS-485" << read("RS485");
    QTest::newRow("RS-485 framed") << SimLine::Pty << "RS-485 Framed" << read("RS485");
    // The instrument never answers: the time-out's message must go to the console, not to a
    // message box nobody can click, and the panel named is the configured series' one.
    QTest::newRow("silent, KM") << SimLine::Tcp << "silent" << QByteArrayList{"link: Simulated\n", "panel: frmKM\n"};
}

void TestStartupE2e::startupQueries()
{
    QFETCH(SimLine, line);
    QFETCH(QString, comm);
    QFETCH(QByteArrayList, printed);
    const bool silent = comm == "silent";
    QStringList arguments{"--volts", "30", "--amps", "50", "--gpib-address", "17", "--rs485-address", "17"};
    SimProcess sim(silent ? arguments + QStringList{"--fault", "silent"} : arguments, line);
    QTemporaryDir dir;
    // Over a serial line the port number names no port, so the device wins.
    QVERIFY(WritePanelConfig(dir.path(), {{"Communication", "Comm", silent ? "TCP/IP" : comm},
                                          {"Communication", "Address", line == SimLine::Tcp ? "127.0.0.1" : "17"},
                                          {"Communication", "Port", line == SimLine::Tcp ? QString::number(sim.port()) : "9"},
                                          {"Communication", "Device", line == SimLine::Pty ? sim.linkPath() : ""},
                                          {"System", "Type", silent ? "KM Series" : "TLB Series"}}));
    qputenv(zop::GpibLibrary::PathVariable, ZOP_GPIB_STANDIN);
    qputenv("ZOP_GPIB_SOCKET", sim.linkPath().toLocal8Bit());
    const QByteArray out = RunPanelStartup(dir.path());
    for (const QByteArray &text : printed)
        QVERIFY2(out.contains(text), out.constData());
    if (line != SimLine::Pty && !silent)
        QCOMPARE(sim.received(), QByteArray("<>SCL\n<>ALL\nSYST:VERS?\nSYST:ERR?\n"));
    // "debug.txt" is emptied at the end of start-up, in the working folder.
    QFile debug(dir.filePath(QStringLiteral("debug.txt")));
    QVERIFY(debug.exists());
    QCOMPARE(debug.size(), 0);
}

void TestStartupE2e::worksWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("works");
    QTest::addColumn<QByteArrayList>("printed");
    QTest::newRow("--help") << QStringList{"--help"} << true << QByteArrayList{"--startup-only"};
    QTest::newRow("--version") << QStringList{"--version"} << true
                               << QByteArrayList{zop::ProgramVersionText().toLatin1()};
    // The shipped settings run Simulated.
    QTest::newRow("--startup-only") << QStringList{"--startup-only"} << true
                                    << QByteArrayList{"link: Simulated\nrated: 15 V, 100 A\n", "firmware: 1.0\n"};
    // Proof that there is no display here: the panel itself cannot open its window.
    QTest::newRow("a window") << QStringList{} << false << QByteArrayList{};
}

void TestStartupE2e::worksWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, works);
    QFETCH(QByteArrayList, printed);
    QTemporaryDir dir;
    QVERIFY(WritePanelConfig(dir.path(), {}));
    QProcess panel;
    panel.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // The desktop's platform, which needs a display.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    panel.setProcessEnvironment(env);
    panel.start(BinaryPath(QStringLiteral("zop-panel")),
                QStringList{QStringLiteral("--dir"), dir.path()} + arguments);
    QVERIFY(panel.waitForFinished(15000));
    const QByteArray out = panel.readAllStandardOutput();
    const bool succeeded = panel.exitStatus() == QProcess::NormalExit && panel.exitCode() == 0;
    QVERIFY2(succeeded == works, (out + panel.readAllStandardError()).constData());
    for (const QByteArray &text : printed)
        QVERIFY2(out.contains(text), out.constData());
}

// SIGTERM ends the panel as "Exit" does: it leaves main(), so its remote-control socket goes
// with it instead of staying behind for the next run to trip over.
void TestStartupE2e::sigtermEndsCleanly()
{
    QTemporaryDir dir;
    QVERIFY(WritePanelConfig(dir.path(), {}));
    const QString control = dir.filePath(QStringLiteral("panel.sock"));
    QProcess panel;
    QVERIFY(StartPanel(panel, dir.path(), {QStringLiteral("--remote-control"), control}));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(control), 10000);
    panel.terminate();
    QVERIFY(panel.waitForFinished(10000));
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QVERIFY(!QFileInfo::exists(control));
}

// scripts/demo.sh with the demo's port 50505 taken by another program: the emulator it starts
// takes a free port, the script says which, and the panel reads its state from that emulator,
// never connecting to the program on 50505.
void TestStartupE2e::demoNeverUsesAnotherProgramsPort()
{
    QTcpServer other;
    if (!other.listen(QHostAddress::LocalHost, 50505))
        QSKIP("port 50505 is in use here, and the test needs to be the program that holds it");
    QProcess demo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZOP_DEMO_PREBUILT"), QStringLiteral("1"));
    env.insert(QStringLiteral("ZOP_BUILD_DIR"), QStringLiteral(ZOP_BUILD_DIR));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    demo.setProcessEnvironment(env);
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(QStringLiteral("bash"), {QStringLiteral(ZOP_SOURCE_DIR "/scripts/demo.sh"),
                                        QStringLiteral("--startup-only")});
    QVERIFY(demo.waitForFinished(60000));
    const QString out = QString::fromUtf8(demo.readAll());
    QVERIFY2(demo.exitCode() == 0, qPrintable(out));
    const QRegularExpressionMatch said = QRegularExpression(
        QStringLiteral("Port 50505 is taken by another program: the emulator listens on "
                       "127\\.0\\.0\\.1:(\\d+)")).match(out);
    QVERIFY2(said.hasMatch() && said.captured(1).toInt() != 50505, qPrintable(out));
    QVERIFY2(out.contains(QLatin1String("link: TCP/IP\n"))
                 && out.contains(QLatin1String("firmware: 4.7\n")),
             qPrintable(out));
    QVERIFY(!other.waitForNewConnection(0));
}

// An installed panel (bin/zop-panel beside share/zop-panel) starting for the first time makes
// its settings from the shipped ones, whose link is Simulated, and asks once whether to set up
// the link: Yes opens the Configuration Setup dialog. The next start of the same user asks
// nothing.
void TestStartupE2e::firstStartAsksOnceToSetUpTheLink()
{
    const QString built = QFileInfo(BinaryPath(QStringLiteral("zop-panel"))).absolutePath();
    // Beside the build's programs, so the panel can be linked there rather than copied.
    QTemporaryDir root(built + QStringLiteral("/../first-start-XXXXXX"));
    const QDir layout(root.path());
    QVERIFY(layout.mkpath(QStringLiteral("bin")) && layout.mkpath(QStringLiteral("share/zop-panel")));
    const QString program = layout.filePath(QStringLiteral("bin/zop-panel"));
    QVERIFY(::link(QFile::encodeName(built + QStringLiteral("/zop-panel")).constData(),
                   QFile::encodeName(program).constData())
                == 0
            || QFile::copy(built + QStringLiteral("/zop-panel"), program));
    QVERIFY(QFile::copy(built + QStringLiteral("/ZOP_Panel.ini"),
                        layout.filePath(QStringLiteral("share/zop-panel/ZOP_Panel.ini"))));
    const QString control = layout.filePath(QStringLiteral("panel.sock"));
    for (const bool first : {true, false}) {
        QProcess panel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), layout.filePath(QStringLiteral("config")));
        panel.setProcessEnvironment(env);
        panel.setWorkingDirectory(root.path());
        panel.start(program, {QStringLiteral("--remote-control"), control});
        QVERIFY(panel.waitForStarted(5000));
        RemoteClient remote;
        QVERIFY(remote.connectTo(control));
        QTRY_VERIFY_WITH_TIMEOUT(
            !remote.ask("state").value(QStringLiteral("panel")).toString().isEmpty()
                || !BoxTexts(remote.ask("state")).isEmpty(),
            10000);
        const QStringList shown = BoxTexts(remote.ask("state", 3000));
        if (first) {
            QCOMPARE(shown, QStringList{zop::FirstStartQuestion});
            QCOMPARE(remote.ask("answer Yes").value(QStringLiteral("answered")).toInt(), 1);
            QTRY_VERIFY_WITH_TIMEOUT(remote.ask("state")
                                         .value(QStringLiteral("windows"))
                                         .toArray()
                                         .contains(QStringLiteral("frmSetup")),
                                     5000);
        } else {
            QCOMPARE(shown, QStringList{});
        }
        panel.kill();
        panel.waitForFinished(5000);
    }
    QVERIFY(QFileInfo::exists(layout.filePath(QStringLiteral("config/zop-panel/")
                                              + zop::LinkSetupOfferedFile)));
}

QTEST_GUILESS_MAIN(TestStartupE2e)
#include "test_startup_e2e.moc"
