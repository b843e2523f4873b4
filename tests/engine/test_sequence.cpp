// Sequence files (every fault with its line), the engine that runs them (pacing, pause, stop
// actions, trips, a lost link, error checks) against a scripted link and a manual clock, and
// the reading log's rows and file.

#include "app/moddata.h"
#include "engine/commsequencelink.h"
#include "engine/readinglog.h"
#include "engine/sequencerunner.h"
#include "engine/seriesspec.h"
#include "testsupport.h"

#include <QTimeZone>
#include <QtTest>

using namespace zop;

namespace {

// The steps in short: "V1.5 A0.5 100ms", "on", "off", "wait 2000ms"; the options in front.
QString Describe(const Sequence &s)
{
    QStringList parts;
    if (s.onStop == StopAction::Hold)
        parts << QStringLiteral("hold");
    if (s.checkErrors)
        parts << QStringLiteral("check");
    for (const SequenceStep &step : s.steps) {
        QStringList p;
        if (step.kind == SequenceStep::Kind::Output)
            p << (step.outputOn ? QStringLiteral("on") : QStringLiteral("off"));
        if (step.kind == SequenceStep::Kind::Wait)
            p << QStringLiteral("wait");
        if (step.volts)
            p << QLatin1Char('V') + SetpointText(*step.volts);
        if (step.amps)
            p << QLatin1Char('A') + SetpointText(*step.amps);
        if (step.dwellMs)
            p << QStringLiteral("%1ms").arg(step.dwellMs);
        parts << QStringLiteral("%1:%2").arg(step.line).arg(p.join(QLatin1Char(' ')));
    }
    return parts.join(QStringLiteral(" | "));
}

// Answers as an instrument would, and fails on request. `script`: "alarm=N:WORD" makes the
// N-th "<>STA" and every later one report alarm word WORD (hexadecimal); "lost=N" loses the
// link at the N-th command; "timeout=N" leaves the N-th unanswered; "error=N" makes the N-th
// "SYST:ERR?" report an error; "stop=N" calls onWait during the N-th command, as a window's
// Stop would come while the link waits. The log holds every command but "<>STA", with its
// time.
class ScriptedLink : public SequenceLink {
public:
    ScriptedLink(const ManualClock &clock, const QString &script) : m_clock(clock)
    {
        for (const QString &item : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList kv = item.split(QLatin1Char('='));
            const QStringList v = kv.value(1).split(QLatin1Char(':'));
            m_script[kv.first()] = v.first().toInt();
            if (v.size() > 1)
                m_alarmWord = v[1].toInt(nullptr, 16);
        }
    }
    LinkReply send(const QString &command) override { return handle(command); }
    LinkReply query(const QString &command) override { return handle(command); }
    QStringList log;
    std::function<void()> onWait;

private:
    LinkReply handle(const QString &command)
    {
        ++m_commands;
        if (command != QLatin1String("<>STA"))
            log << QStringLiteral("%1 %2").arg(m_clock.elapsedMs() - 1000).arg(command);
        if (m_commands == m_script.value(QStringLiteral("stop"), -1) && onWait)
            onWait();
        if (m_script.value(QStringLiteral("lost"), -1) > 0 && m_commands >= m_script[QStringLiteral("lost")])
            return {LinkReply::Status::Lost, {}};
        if (m_commands == m_script.value(QStringLiteral("timeout"), -1))
            return {LinkReply::Status::TimedOut, {}};
        if (command == QLatin1String("<>STA")) {
            ++m_polls;
            const int alarmAt = m_script.value(QStringLiteral("alarm"), -1);
            // REMOTE (bit 9) is always set and never stops a run.
            const int wordB = 0x200 | (alarmAt > 0 && m_polls >= alarmAt ? m_alarmWord : 0);
            return {LinkReply::Status::Ok, QStringLiteral("2EE0,1388,180,%1,0").arg(wordB, 0, 16)};
        }
        if (command == QLatin1String("SYST:ERR?"))
            return {LinkReply::Status::Ok,
                    ++m_errors == m_script.value(QStringLiteral("error"), -1)
                        ? QStringLiteral("-222,\"Data out of range\"")
                        : QStringLiteral("0,\"No error\"")};
        return {};
    }
    const ManualClock &m_clock;
    QHash<QString, int> m_script;
    int m_alarmWord = 0;
    int m_commands = 0;
    int m_polls = 0;
    int m_errors = 0;
};

} // namespace

class TestSequence : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void run_data();
    void run();
    void readingLog();
    void commLink_data();
    void commLink();
};

void TestSequence::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // the steps, or "line N: reason"

    // Steps, units, comments, ramps, repeats, options.
    QTest::newRow("units and comments")
        << "# a header comment\n\nset 12V 500mA 1.5s  # trailing\nvolt 250mV 2min\ncurr 2 1h\n"
           "wait 20ms\noutput on\nOUTPUT OFF\n"
        << "3:V12 A0.5 1500ms | 4:V0.25 120000ms | 5:A2 3600000ms | 6:wait 20ms | 7:on | 8:off";
    QTest::newRow("ramp up, uneven last step")
        << "ramp volt 0V 2.5V 1s 1V"
        << "1:V0 333ms | 1:V1 333ms | 1:V2 334ms | 1:V2.5";
    QTest::newRow("ramp down in mA")
        << "ramp curr 1A 0.5A 200ms 250mA" << "1:A1 100ms | 1:A0.75 100ms | 1:A0.5";
    QTest::newRow("nested repeats, options")
        << "on-stop hold\ncheck-errors\nrepeat 2\n  volt 1V\n  repeat 2\n    wait 1s\n  end\nend"
        << "hold | check | 4:V1 | 6:wait 1000ms | 6:wait 1000ms | 4:V1 | 6:wait 1000ms | "
           "6:wait 1000ms";

    // Every fault, with its line.
    QTest::newRow("unknown") << "# c\n\njump 3" << "line 3: unknown step \"jump\"";
    QTest::newRow("no value") << "volt" << "line 1: \"volt\" takes a voltage and an optional time";
    QTest::newRow("too many") << "curr 1A 1s 2s" << "line 1: \"curr\" takes a current and an optional time";
    QTest::newRow("wrong unit") << "curr 2V" << "line 1: \"2V\" is not a current (A, mA)";
    QTest::newRow("not a number") << "volt twelve" << "line 1: \"twelve\" is not a voltage (V, mV)";
    QTest::newRow("not a time") << "wait 1e3s" << "line 1: \"1e3s\" is not a time (s, ms, min, h)";
    QTest::newRow("negative setpoint") << "volt -1V" << "line 1: a setpoint cannot be negative";
    QTest::newRow("negative time") << "wait -1s" << "line 1: a time cannot be negative";
    QTest::newRow("zero time") << "volt 1V 0s" << "line 1: a time must be above 0 (\"0s\")";
    QTest::newRow("too long") << "wait 3000h" << "line 1: \"3000h\" is longer than 100 days";
    QTest::newRow("output") << "output maybe" << "line 1: \"output\" takes on or off";
    QTest::newRow("ramp form") << "ramp volt 0V 12V 10s"
        << "line 1: \"ramp\" needs volt or curr, then FROM TO TIME STEP (ramp volt 0V 12V 10s 1V)";
    QTest::newRow("ramp step 0") << "ramp volt 0V 12V 10s 0V" << "line 1: a ramp's step must be above 0";
    QTest::newRow("ramp flat") << "ramp curr 5A 5A 1s 1A" << "line 1: a ramp must go from one value to another";
    QTest::newRow("ramp count") << "ramp volt 0V 12V 10min 1mV" << "line 1: the ramp has more than 10000 steps";
    QTest::newRow("ramp fast") << "ramp curr 0A 10A 100ms 1A"
        << "line 1: the ramp's 10 steps would last 10 ms each; each needs at least 50 ms";
    QTest::newRow("repeat count") << "repeat 0\nwait 1s\nend" << "line 1: \"repeat\" takes a count from 1 to 1000000";
    QTest::newRow("end alone") << "wait 1s\nend" << "line 2: \"end\" without \"repeat\"";
    QTest::newRow("no end") << "wait 1s\nrepeat 2\nwait 1s" << "line 2: \"repeat\" without \"end\"";
    QTest::newRow("empty block") << "repeat 2\nend" << "line 2: the block of line 1 repeats nothing";
    QTest::newRow("too many steps") << "repeat 1000\nrepeat 1001\nwait 1s\nend\nend"
        << "line 5: the sequence would run more than 1000000 steps";
    QTest::newRow("on-stop") << "on-stop later" << "line 1: \"on-stop\" takes off or hold";
    QTest::newRow("check-errors") << "check-errors now" << "line 1: \"check-errors\" takes nothing";
    QTest::newRow("no step") << "# only a comment\non-stop hold\n" << "line 1: the file holds no step";
    // Against the ratings (15 V, 100 A): the whole file before anything is sent.
    QTest::newRow("above rated voltage") << "volt 1V\nramp volt 10V 16V 6s 1V"
        << "line 2: 16 V is above the rated 15 V";
    QTest::newRow("above rated current") << "set 1V 100.5A" << "line 1: 100.5 A is above the rated 100 A";
}

void TestSequence::parse()
{
    QFETCH(QString, text);
    Sequence s;
    std::optional<SequenceError> error = ParseSequence(text, &s);
    if (!error)
        error = CheckRatings(s, 15, 100);
    QTEST(error ? error->message() : Describe(s), "expected");
}

void TestSequence::run_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("script"); // ScriptedLink
    QTest::addColumn<QString>("actions"); // "pause@T", "resume@T", "stop@T", "probe@T" (ms)
    QTest::addColumn<QString>("log"); // the commands with their times, and what probes saw
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("safe");

    using End = SequenceRunner::End;
    QTest::newRow("pacing of a ramp, done without a stop action")
        << "output on\nramp volt 0V 3V 300ms 1V\nwait 100ms" << "" << "probe@150"
        << "0 OUTP:START; 0 VOLT 0; 100 VOLT 1; probe step 3, 50 ms of 250; 200 VOLT 2; "
           "300 VOLT 3" << int(End::Done) << true;
    QTest::newRow("both setpoints, repeated")
        << "repeat 2\nset 1.5V 500mA 0.1s\nend" << "" << ""
        << "0 VOLT 1.5; 0 CURR 0.5; 100 VOLT 1.5; 100 CURR 0.5" << int(End::Done) << true;
    QTest::newRow("pause holds the step's time")
        << "volt 1V 200ms\nvolt 2V 200ms" << "" << "pause@100 probe@400 resume@600"
        << "0 VOLT 1; probe step 1, 100 ms of 300; 700 VOLT 2" << int(End::Done) << true;
    QTest::newRow("stop: output off") << "output on\nwait 1s" << "" << "stop@300"
        << "0 OUTP:START; 300 OUTP:STOP" << int(End::Stopped) << true;
    QTest::newRow("stop while paused: hold") << "on-stop hold\noutput on\nwait 1s" << ""
        << "pause@100 stop@300" << "0 OUTP:START" << int(End::Stopped) << true;
    QTest::newRow("trip mid-ramp") << "output on\nramp volt 0V 5V 500ms 1V" << "alarm=4:1" << ""
        << "0 OUTP:START; 0 VOLT 0; 100 VOLT 1; 200 VOLT 2; 200 OUTP:STOP" << int(End::Alarm)
        << true;
    QTest::newRow("alarm while a step lasts") << "output on\nwait 1s" << "alarm=3:100" << ""
        << "0 OUTP:START; 200 OUTP:STOP" << int(End::Alarm) << true;
    QTest::newRow("link lost: the output cannot be made safe")
        << "volt 1V 100ms\nvolt 2V 100ms" << "lost=3" << ""
        << "0 VOLT 1; 100 VOLT 2; 100 OUTP:STOP" << int(End::LinkLost) << false;
    QTest::newRow("stop while the link waits: nothing after the stop action")
        << "check-errors\nvolt 1V 100ms\nvolt 2V 100ms" << "stop=5" << ""
        << "0 VOLT 1; 0 SYST:ERR?; 100 VOLT 2; 100 OUTP:STOP" << int(End::Stopped) << true;
    QTest::newRow("status not answered") << "volt 1V 100ms" << "timeout=2" << ""
        << "0 VOLT 1; 0 OUTP:STOP" << int(End::TimedOut) << true;
    QTest::newRow("instrument error, checked")
        << "check-errors\nvolt 1V 100ms\nvolt 2V 100ms" << "error=2" << ""
        << "0 VOLT 1; 0 SYST:ERR?; 100 VOLT 2; 100 SYST:ERR?; 100 OUTP:STOP"
        << int(End::InstrumentError) << true;
    QTest::newRow("instrument error, not checked") << "volt 1V 100ms\nvolt 2V 100ms"
        << "error=2" << "" << "0 VOLT 1; 100 VOLT 2" << int(End::Done) << true;
}

void TestSequence::run()
{
    QFETCH(QString, file);
    QFETCH(QString, script);
    QFETCH(QString, actions);
    Sequence sequence;
    QVERIFY(!ParseSequence(file, &sequence));
    ManualClock clock;
    ScriptedLink link(clock, script);
    SequenceRunner runner(sequence, link, clock);
    QList<EventKind> events;
    runner.onEvent = [&](const LogEvent &e) { events << e.kind; };
    link.onWait = [&] { runner.stop(); };
    QStringList pending = actions.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const qint64 start = clock.elapsedMs();
    runner.start();
    for (int guard = 0; runner.state() != SequenceRunner::State::Ended; ++guard) {
        QVERIFY(guard < 1000);
        const qint64 wait = runner.tick();
        if (runner.state() == SequenceRunner::State::Ended)
            break;
        const qint64 at = pending.isEmpty() ? -1 : pending.first().section(QLatin1Char('@'), 1).toLongLong();
        if (at < 0 || clock.elapsedMs() + wait < start + at) {
            clock.advance(wait);
            continue;
        }
        clock.advance(start + at - clock.elapsedMs());
        const QString action = pending.takeFirst().section(QLatin1Char('@'), 0, 0);
        if (action == QLatin1String("pause"))
            runner.pause();
        else if (action == QLatin1String("resume"))
            runner.resume();
        else if (action == QLatin1String("stop"))
            runner.stop();
        else
            link.log << QStringLiteral("probe step %1, %2 ms of %3")
                            .arg(runner.currentStep() + 1)
                            .arg(runner.stepRemainingMs())
                            .arg(runner.remainingMs());
    }
    QFETCH(int, end);
    QTEST(link.log.join(QStringLiteral("; ")), "log");
    QCOMPARE(int(runner.end()), end);
    QTEST(runner.outputMadeSafe(), "safe");
    // The events tell the start, what went wrong, and the end.
    const EventKind last = end == int(SequenceRunner::End::Done) ? EventKind::SequenceDone
        : end == int(SequenceRunner::End::Stopped)               ? EventKind::SequenceStop
                                                                 : EventKind::SequenceAbort;
    QCOMPARE(events.first(), EventKind::SequenceStart);
    QCOMPARE(events.last(), last);
    if (script.startsWith(QLatin1String("alarm")))
        QCOMPARE(events.at(events.size() - 2), script.endsWith(QLatin1String(":1")) ? EventKind::Trip : EventKind::Alarm);
    if (script.startsWith(QLatin1String("lost")))
        QCOMPARE(events.at(events.size() - 2), EventKind::LinkLost);
}

// One row per reading and per event in the shared layout; the file is appended to, with its
// header only when new, and a file of another layout is refused.
void TestSequence::readingLog()
{
    const QDateTime time(QDate(2026, 12, 8), QTime(10, 15, 2, 125), QTimeZone(-5 * 3600));
    const ReadingRow row{time, 12.346, 0.5, 12.5, std::nullopt, 0x180, 0x201, 2};
    const QString reading = ReadingCsvLine(
        row, LookOf(row, SeriesSpecFor(PanelId::TLB), QStringLiteral("0.00"), QStringLiteral("0.000")));
    QCOMPARE(reading, QStringLiteral("2026-12-08T10:15:02.125-05:00,12.35,0.500,12.5,,on,180,201,"
                                     "POWER;CTL (voltage);OVT;REMOTE,3,"));
    const LogEvent event{time, EventKind::Trip, QStringLiteral("OVT, at \"VOLT 3\""), 2};

    test::Fixture f;
    const QString path = f.path(QStringLiteral("run.csv"));
    LogFile file;
    QVERIFY(file.open(path));
    QVERIFY(file.append(reading));
    file.close();
    QVERIFY(file.open(path));
    EventLog events;
    events.setFile(&file);
    QVERIFY(events.add(event));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), (ReadingCsvHeader + QStringLiteral("\r\n") + reading
                                 + QStringLiteral("\r\n2026-12-08T10:15:02.125-05:00,,,,,,,,,3,"
                                                  "\"trip: OVT, at \"\"VOLT 3\"\"\"\r\n"))
                                    .toUtf8());

    f.writeFile(QStringLiteral("other.csv"), "Time,Voltage (V)\r\n");
    QString problem;
    QVERIFY(!file.open(f.path(QStringLiteral("other.csv")), &problem));
    QCOMPARE(problem, QStringLiteral("It holds rows of another layout; choose a new file."));
}

// The window's link: replies, a reply that does not come (no message, no fall-back), a lost
// link, and Simulated mode, where nothing is sent.
void TestSequence::commLink_data()
{
    QTest::addColumn<QString>("fault"); // "", "silent", "lost", "simulated"
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<int>("messages");

    using S = LinkReply::Status;
    const QStringList both{"VOLT 2", "<>STA"};
    QTest::newRow("answered") << "" << int(S::Ok) << "2EE0,1388,180,200,0" << both << 0;
    QTest::newRow("no reply") << "silent" << int(S::TimedOut) << "" << both << 0;
    QTest::newRow("lost") << "lost" << int(S::Lost) << "" << QStringList() << 1;
    QTest::newRow("simulated") << "simulated" << int(S::Lost) << "" << QStringList() << 0;
}

void TestSequence::commLink()
{
    QFETCH(QString, fault);
    test::Fixture f;
    modData().CommKind = LinkKind::TcpIp;
    QVERIFY(OpenLink());
    if (fault != QLatin1String("silent"))
        f.line->answer(QStringLiteral("<>STA"), "2EE0,1388,180,200,0\r\n");
    f.line->lost = fault == QLatin1String("lost");
    if (fault == QLatin1String("simulated"))
        modData().CommKind = LinkKind::Simulated;
    CommSequenceLink link;
    const LinkReply sent = link.send(QStringLiteral("VOLT 2"));
    const LinkReply read = sent.status == LinkReply::Status::Ok
        ? link.query(QStringLiteral("<>STA"))
        : sent;
    QTEST(int(read.status), "status");
    QTEST(read.text, "reply");
    QTEST(f.line->commands(), "written");
    QTEST(int(f.prompter->shown.size()), "messages");
}

QTEST_GUILESS_MAIN(TestSequence)
#include "test_sequence.moc"
