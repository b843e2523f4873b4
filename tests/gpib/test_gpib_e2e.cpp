// zop-panel over the stand-in GPIB library against zop-sim's bus, as processes: the start-up
// and the virtual panel's 5 Hz poll, from the bus's trace.

#include "gpibbus.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestGpibE2e : public QObject {
    Q_OBJECT
private slots:
    void startup();
    void panelPollsFiveTimesASecond();
};

namespace {
bool ConfigureGpib(const QString &folder, const QString &address)
{
    return WritePanelConfig(folder, {{"Communication", "Comm", "GPIB"},
                                     {"Communication", "Address", address}});
}
} // namespace

void TestGpibE2e::startup()
{
    SimProcess sim({"--gpib-address", "9", "--volts", "30", "--amps", "50"}, SimLine::Gpib);
    QVERIFY(!sim.linkPath().isEmpty());
    UseBus(sim);
    QTemporaryDir dir;
    QVERIFY(ConfigureGpib(dir.path(), "9"));
    const QByteArray out = RunPanelStartup(dir.path());
    QVERIFY2(out.contains("link: GPIB\n"), out.constData());
    QVERIFY2(out.contains("rated: 30 V, 50 A\n"), out.constData());
    QCOMPARE(sim.received(), QByteArray("<>SCL\n<>ALL\nSYST:VERS?\nSYST:ERR?\n"));
}

void TestGpibE2e::panelPollsFiveTimesASecond()
{
    SimProcess sim({}, SimLine::Gpib);
    QVERIFY(!sim.linkPath().isEmpty());
    UseBus(sim);
    QTemporaryDir dir;
    QVERIFY(ConfigureGpib(dir.path(), "5"));
    QProcess panel;
    QVERIFY(StartPanel(panel, dir.path()));
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
    // Every poll was answered in time.
    QVERIFY(!sim.notes().join('\n').contains("time-out"));
}

QTEST_GUILESS_MAIN(TestGpibE2e)
#include "test_gpib_e2e.moc"
