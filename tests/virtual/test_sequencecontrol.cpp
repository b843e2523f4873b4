// A panel's sequence control against the scripted line and the manual clock: what a start is
// refused for (nothing sent), the panel locked while a run goes on, STOP and a trip ending it,
// and the log file.

#include "engine/sequencecontrol.h"
#include "enginefixture.h"

#include <QSignalSpy>

using namespace zop;
using namespace zop::test;

class TestSequenceControl : public QObject {
    Q_OBJECT
private slots:
    void startRefused_data();
    void startRefused();
    void lockedWhileRunning_data();
    void lockedWhileRunning();
    void tripEndsRun();
    void logFile();
};

namespace {

const QByteArray Ramp = "output on\nramp volt 1V 3V 2s 1V\nwait 5s\n";

struct Control : EngineFixture {
    explicit Control(PanelId series = PanelId::TLB) : EngineFixture(series), control(*e) {}
    bool open(const QByteArray &text)
    {
        writeFile("seq.txt", text);
        return control.open(path("seq.txt"), &problem);
    }
    // Runs the pacing timer's ticks for `ms` on the manual clock.
    void runFor(qint64 ms)
    {
        for (qint64 t = 0; t < ms && control.tickPending(); t += 10) {
            clock->advance(10);
            control.tick();
        }
    }
    SequenceControl control;
    QString problem;
};

} // namespace

void TestSequenceControl::startRefused_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: none opened
    QTest::addColumn<QString>("before"); // "simulated", "menu"
    QTest::addColumn<QString>("reason");
    QTest::newRow("no file") << QByteArray() << "" << "Open a sequence file first";
    QTest::newRow("fault in the file") << QByteArray("volt 5V\nvolt five\n") << ""
                                       << "Open a sequence file first";
    QTest::newRow("over the rating") << QByteArray("output on\nvolt 15.5V 1s\n") << ""
                                     << "line 2";
    QTest::newRow("simulated link") << Ramp << "simulated" << "Simulated link";
    QTest::newRow("panel in a menu") << Ramp << "menu" << "menu";
}

void TestSequenceControl::startRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, before);
    QFETCH(QString, reason);
    Control f;
    if (!file.isEmpty())
        f.open(file);
    if (before == "simulated")
        modData().CommKind = LinkKind::Simulated;
    if (before == "menu")
        f.click(FrontKey::Menu);
    f.sent();
    QVERIFY(!f.control.start(&f.problem));
    QVERIFY2(f.problem.contains(reason), qPrintable(f.problem));
    QCOMPARE(f.control.startRefusal(), f.problem);
    QCOMPARE(f.sent(), QStringList());
    QVERIFY(!f.e->locked());
}

void TestSequenceControl::lockedWhileRunning_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QString>("keys"); // keys, knob and entry used while the run goes on: nothing may go out
    QTest::newRow("TLB") << PanelId::TLB << "MENU ITEM UP DN ENTER CLEAR START ARM MEM DISPLAY knob:V=9 '7";
    QTest::newRow("KM") << PanelId::KM << "MENU ITEM ENTER CLEAR START VOLT CURR OVT OCT TRIP knob:V=9 '7";
}

void TestSequenceControl::lockedWhileRunning()
{
    QFETCH(PanelId, series);
    QFETCH(QString, keys);
    Control f(series);
    QVERIFY2(f.open(Ramp), qPrintable(f.problem));
    QVERIFY(f.control.start());
    QCOMPARE(f.sentWithoutPolls(), QStringList({"OUTP:START", "VOLT 1"}));
    QVERIFY(f.view.disabled.value(FrontKey::Menu) && !f.view.disabled.value(FrontKey::Stop));
    QVERIFY(!f.view.knobsEnabled);
    f.play(keys);
    f.runFor(1100);
    QCOMPARE(f.sentWithoutPolls(), QStringList({"VOLT 2"}));
    QCOMPARE(f.control.runner()->currentStep(), 2);

    f.click(FrontKey::Stop);
    QVERIFY(!f.control.running());
    QCOMPARE(f.control.runner()->end(), SequenceRunner::End::Stopped);
    const QStringList stopped = f.sentWithoutPolls();
    QCOMPARE(stopped.first(), "OUTP:STOP"); // the run's stop action, then the panel's STOP
    QVERIFY(stopped.count("OUTP:STOP") >= 1 && !stopped.contains("VOLT 3"));
    QVERIFY(!f.e->locked() && !f.view.disabled.value(FrontKey::Menu) && f.view.knobsEnabled);
    f.runFor(3000);
    QCOMPARE(f.sentWithoutPolls().filter("VOLT"), QStringList());
}

void TestSequenceControl::tripEndsRun()
{
    Control f;
    QVERIFY(f.open(Ramp));
    QSignalSpy notices(&f.control, &SequenceControl::tripped);
    QVERIFY(f.control.start());
    f.runFor(300);
    f.staReply = "0,0,48,1,3\r\n"; // word B: OVT
    f.poll(); // the panel's poll sees it first, the run's own poll ends the run
    f.runFor(300);
    QVERIFY(!f.control.running());
    QCOMPARE(f.control.runner()->end(), SequenceRunner::End::Alarm);
    QVERIFY(f.sentWithoutPolls().endsWith("OUTP:STOP"));
    QVERIFY(!f.e->locked());
    QStringList kinds;
    for (const LogEvent &event : f.control.events().events())
        kinds << EventKindName(event.kind) + ": " + event.text;
    QCOMPARE(kinds.filter(QRegularExpression("^trip")), QStringList({"trip: OVT"}));
    QCOMPARE(kinds.last(), "sequence abort: protection trip OVT");
    QCOMPARE(notices.size(), 1);
    QVERIFY(notices.first().first().toString().contains("OVT"));
}

void TestSequenceControl::logFile()
{
    Control f;
    const QString log = f.path("log.csv");
    QVERIFY2(f.control.openLog(log, &f.problem), qPrintable(f.problem));
    f.poll();
    f.poll();
    f.control.closeLog();
    QVERIFY(f.open(Ramp));
    QVERIFY(f.control.openLog(log, nullptr)); // appended to, under the one header
    QVERIFY(f.control.start());
    f.poll();
    f.control.stop();
    f.control.closeLog();
    f.poll(); // closed: no row
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.count(ReadingCsvHeader), 1);
    QCOMPARE(lines.first(), ReadingCsvHeader);
    // Two polls outside the run, one inside it (at step 2, after "output on"), and the events.
    const QStringList readings = lines.filter(",0.00,0.0,");
    QCOMPARE(readings.size(), 3);
    QVERIFY2(readings.last().endsWith(",2,"), qPrintable(readings.last()));
    QCOMPARE(lines.filter("sequence start: 5 steps").size(), 1);
    QCOMPARE(lines.filter(",sequence stop: stopped by the user").size(), 1);
}

QTEST_MAIN(TestSequenceControl)
#include "test_sequencecontrol.moc"
