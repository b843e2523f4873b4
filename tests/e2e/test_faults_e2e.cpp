// zop-panel against a misbehaving instrument, both as processes: every fault the emulator can
// play, over TCP/IP and over a serial line, on a virtual panel and on the Command Panel. For
// each the panel must come to the specified outcome (the message and the fall-back to
// Simulated mode, or polling on with the bad replies ignored), within the time-outs, and then
// sit quietly: no traffic after a fall-back, little CPU, no memory growth, and a window that
// still answers.

#include "simprocess.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zop::test;

// AddressSanitizer keeps freed memory aside (its quarantine, 256 MiB) to catch late uses, so a
// sanitized panel's resident memory grows with every allocation: memory is checked on the
// plain build only.
#if defined(__SANITIZE_ADDRESS__)
#define ZOP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOP_ASAN 1
#endif
#endif
#ifdef ZOP_ASAN
constexpr bool MemoryIsMeasurable = false;
#else
constexpr bool MemoryIsMeasurable = true;
#endif

namespace {

const QString TimedOut = QStringLiteral("Device Timed Out.  Entering Simulated Mode!");
const QString NotFound = QStringLiteral("Device not Found.  Entering Simulated Mode!");
// A serial poll holds the window for up to its time-outs (2 s, then 1 s for the second try: a
// flood keeps it reading that long), so the window may take that long, and a little, to answer.
constexpr int AnswerWithinMs = 5000;

const QString VirtualPanel = QStringLiteral("Virtual Control Panel");
const QString CommandPanel = QStringLiteral("Command Panel");
// The Command Panel's Get of the voltage setpoint, its data box and the query it sends.
const QByteArray GetVoltage = "cmdGetSCPI(0)";
const QByteArray VoltageBox = "txtSCPI(0)";
const QString VoltageQuery = QStringLiteral("SOURce:VOLTage:LEVel:IMMediate:AMPLitude?");

// What the instrument does wrong, and what the panel must make of it.
struct FaultCase {
    QStringList simArguments;
    bool vanish = false;     // the emulator is killed once the panel runs
    QString message;         // the message shown, empty for none
    bool messageMayNotCome = false;
    QByteArrayList records;  // the headings recorded in debug.txt, in order ("...?": may be
                             // missing, when the fault came between two exchanges)
};

QStringList Fault(const QString &kind, const QString &prefix)
{
    return {QStringLiteral("--fault"), prefix.isEmpty() ? kind : kind + QLatin1Char(':') + prefix};
}

} // namespace

class TestFaultsE2e : public QObject {
    Q_OBJECT
private slots:
    void overTcp_data();
    void overTcp() { run(SimLine::Tcp); }
    void overSerialLine_data();
    void overSerialLine() { run(SimLine::Pty); }

private:
    static void addRows(SimLine line);
    void run(SimLine line);
};

void TestFaultsE2e::addRows(SimLine line)
{
    QTest::addColumn<QString>("startup");
    QTest::addColumn<FaultCase>("fault");
    // No emulator arguments: the emulator is killed once the panel runs.
    const auto row = [](const QString &startup, const QString &name, const QStringList &sim, const QString &message,
                        const QByteArrayList &records = {}, bool messageMayNotCome = false) {
        QTest::newRow(qPrintable((startup == VirtualPanel ? "virtual, " : "command, ") + name))
            << startup << FaultCase{sim, sim.isEmpty(), message, messageMayNotCome, records};
    };
    const QString poll = QStringLiteral("<>STA");
    // On a virtual panel the faults meet the polls; a status read that gets no line in time
    // is asked once more with the time-out that falls back.
    for (const QString kind : {"silent", "late=5000", "cut", "stream"})
        row(VirtualPanel, kind.section(QLatin1Char('='), 0, 0), Fault(kind, poll), TimedOut);
    // The status read finds the connection gone (recorded only), the next poll's send falls
    // back.
    row(VirtualPanel, "close", Fault("close", poll), NotFound, {"Read Error:", "Write Error:"});
    // Replies that are not status records are dropped, and polling goes on.
    for (const QString kind : {"garbage", "binary", "bytewise"})
        row(VirtualPanel, kind, Fault(kind, poll), {});
    // A reply is whatever came when the last byte in is a line feed: in megabytes of lines
    // a read ends where a piece of the stream happens to end on one (junk, dropped), or it
    // runs into the time-out.
    row(VirtualPanel, "flood", Fault("flood=16", poll), TimedOut, {}, true);
    if (line == SimLine::Tcp)
        row(VirtualPanel, "connection dropped", Fault("drop", {}), NotFound);
    else
        row(VirtualPanel, "line vanishes", {}, NotFound, {"Read Error:?", "Write Error:"});

    // On the Command Panel the faults meet a Get.
    row(CommandPanel, "silent", Fault("silent", VoltageQuery), TimedOut);
    row(CommandPanel, "stream", Fault("stream", VoltageQuery), TimedOut);
    row(CommandPanel, "close", Fault("close", VoltageQuery), NotFound, {"Read Error:"});
    row(CommandPanel, "garbage", Fault("garbage", VoltageQuery), {});
}

void TestFaultsE2e::overTcp_data() { addRows(SimLine::Tcp); }
void TestFaultsE2e::overSerialLine_data() { addRows(SimLine::Pty); }

void TestFaultsE2e::run(SimLine line)
{
    QFETCH(QString, startup);
    QFETCH(FaultCase, fault);
    const bool onCommandPanel = startup == CommandPanel;

    SimProcess sim(fault.simArguments, line);
    QVERIFY(line == SimLine::Tcp ? sim.port() != 0 : !sim.linkPath().isEmpty());
    QTemporaryDir dir;
    QList<ConfigKey> keys = {{"Application", "Start-Up", startup}};
    if (line == SimLine::Tcp)
        keys += {{"Communication", "Comm", "TCP/IP"},
                 {"Communication", "Port", QString::number(sim.port())}};
    else
        keys += {{"Communication", "Comm", "RS-232"}, {"Communication", "Device", sim.linkPath()}};
    QVERIFY(WritePanelConfig(dir.path(), keys));
    RemotePanel panel;
    QVERIFY(panel.start(dir.path()));
    RemoteClient &remote = panel.remote;

    // The message the fault must bring, answered as a user would; the link is Simulated then.
    QJsonObject state;
    const auto awaitMessage = [&](int withinMs) {
        QDeadlineTimer deadline(withinMs);
        while (!deadline.hasExpired() && !BoxTexts(state).contains(fault.message)) {
            QTest::qWait(100);
            state = remote.ask("state", AnswerWithinMs);
        }
        if (fault.messageMayNotCome && BoxTexts(state).isEmpty())
            return;
        QVERIFY2(BoxTexts(state).contains(fault.message), qPrintable(BoxTexts(state).join(QLatin1Char('|'))));
        QCOMPARE(BoxTexts(state).size(), 1); // one message, not one a poll
        QCOMPARE(state.value(QStringLiteral("boxes")).toArray().at(0).toObject()
                     .value(QStringLiteral("title")).toString(), QStringLiteral("Comm Error"));
        remote.ask("dismiss");
        QTRY_VERIFY_WITH_TIMEOUT(BoxTexts(state = remote.ask("state")).isEmpty(), 3000);
    };

    // Start-up, up to the panel; a connection dropped at once fails there already.
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        state = remote.ask("state", 3000);
        if (!state.value(QStringLiteral("panel")).toString().isEmpty() || !BoxTexts(state).isEmpty())
            break;
        QTest::qWait(100);
    }
    QVERIFY2(!state.isEmpty(), "the panel does not answer during start-up");
    const bool failedAtStartup = !BoxTexts(state).isEmpty();
    if (failedAtStartup) {
        awaitMessage(0);
        QTRY_VERIFY_WITH_TIMEOUT(
            !remote.ask("state").value(QStringLiteral("panel")).toString().isEmpty(), 5000);
    }
    QTest::qWait(1000); // a few polls, or the window settled
    const qint64 rssBefore = ProcessRssKiB(panel.process.processId());

    if (fault.vanish)
        sim.kill();
    if (onCommandPanel)
        QVERIFY(!remote.ask("press " + GetVoltage).contains(QStringLiteral("error")));

    // The outcome: the message within the time-outs (2 s and 1 s for a poll, 2 s for a Get),
    // or none while the bad replies go by.
    if (fault.message.isEmpty())
        QTest::qWait(3500);
    else if (!failedAtStartup)
        awaitMessage(8000);
    if (QTest::currentTestFailed())
        return;
    state = remote.ask("state", AnswerWithinMs);
    QVERIFY2(BoxTexts(state).isEmpty(), qPrintable(BoxTexts(state).join(QLatin1Char('|'))));
    const QString link = state.value(QStringLiteral("link")).toString();
    const bool fellBack = link == QStringLiteral("Simulated");
    if (!fault.messageMayNotCome)
        QCOMPARE(fellBack, !fault.message.isEmpty());
    if (!fellBack)
        QCOMPARE(link, line == SimLine::Tcp ? QStringLiteral("TCP/IP") : QStringLiteral("RS232"));

    // Afterwards: quiet after a fall-back, polling on otherwise; little CPU either way.
    const qsizetype linesBefore = sim.receivedLines().size();
    // Watched for ten seconds: a slow climb of CPU or memory shows only over a longer spell.
    constexpr int WatchMs = 10000;
    const double cpuBefore = ProcessCpuSeconds(panel.process.processId());
    QTest::qWait(WatchMs);
    const double cpuUsed = ProcessCpuSeconds(panel.process.processId()) - cpuBefore;
    const qsizetype linesAfter = sim.receivedLines().size();
    // Under 5% of a core; a flood that did not end in a fall-back may still be pouring in, and
    // reading it may take more (the sanitizer build nears 5%), but never a whole core.
    const double share = fellBack || !fault.messageMayNotCome ? 0.05 : 0.5;
    QVERIFY2(cpuUsed < share * WatchMs / 1000,
             qPrintable(QStringLiteral("%1 s of CPU in %2 s").arg(cpuUsed).arg(WatchMs / 1000)));
    if (!fellBack && !onCommandPanel)
        QVERIFY2(linesAfter > linesBefore, "polling stopped");
    else if (fellBack && !fault.vanish)
        QCOMPARE(linesAfter, linesBefore);
    const qint64 rssAfter = ProcessRssKiB(panel.process.processId());
    QVERIFY2(!MemoryIsMeasurable || rssAfter - rssBefore < 8 * 1024,
             qPrintable(QStringLiteral("%1 KiB -> %2 KiB").arg(rssBefore).arg(rssAfter)));

    const QByteArray records = FileBytes(dir.filePath(QStringLiteral("debug.txt")));
    QByteArrayList headings;
    for (const QByteArray &record : records.split('"')) {
        if (record.endsWith(":\r\n") || record.contains(":\r\nError Description"))
            headings << record.left(record.indexOf("\r\n"));
    }
    QByteArrayList expected;
    for (const QByteArray &heading : fault.records) {
        if (!heading.endsWith('?'))
            expected << heading;
        else if (headings.value(expected.size()) == heading.chopped(1))
            expected << heading.chopped(1);
    }
    QVERIFY2(headings == expected, records.constData());

    // The window answers: a widget reads back, and on the Command Panel a Get in Simulated
    // mode (or from the instrument) fills the data box.
    const QJsonObject legend =
        remote.ask(onCommandPanel ? "text " + VoltageBox : "text lblLegend", AnswerWithinMs);
    QVERIFY2(legend.contains(QStringLiteral("text")), "the window does not answer");
    if (onCommandPanel && fault.message.isEmpty()) // the junk as it came, for the user to see
        QCOMPARE(legend.value(QStringLiteral("text")).toString(), QStringLiteral("zz#!?"));
    QCOMPARE(panel.process.state(), QProcess::Running);
    // The emulator misbehaved on purpose, and only so: it did not crash doing it (a
    // sanitizer's abort inside it would otherwise pass for the fault).
    if (!fault.vanish)
        QVERIFY(sim.endedWell());
}

QTEST_GUILESS_MAIN(TestFaultsE2e)
#include "test_faults_e2e.moc"
