#include "cli/runcommand.h"

#include "core/clock.h"
#include "app/moddata.h"
#include "core/regularfile.h"
#include "engine/eventlog.h"
#include "engine/readinglog.h"
#include "engine/sequencerunner.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <unistd.h>

namespace zop::cli {

namespace {

// The engine's link: the session's commands, their failures turned into the engine's.
class SessionLink : public SequenceLink {
public:
    SessionLink(LinkSession &link, const Interrupt &interrupt)
        : m_link(link), m_interrupt(interrupt)
    {
    }
    LinkReply send(const QString &command) override
    {
        // After a signal the only command the engine sends is its stop action.
        if (m_interrupt.requested())
            return {m_link.sendRegardless(command) ? LinkReply::Status::Ok
                                                   : LinkReply::Status::Lost,
                    {}};
        return call([&] {
            m_link.send(command);
            return QString();
        });
    }
    LinkReply query(const QString &command) override
    {
        return call([&] { return m_link.query(command); });
    }

private:
    template <typename F>
    LinkReply call(F &&f)
    {
        try {
            return {LinkReply::Status::Ok, f()};
        } catch (const Failure &failure) {
            if (m_interrupt.requested())
                return {LinkReply::Status::Cancelled, {}};
            return {failure.code == Exit::LinkFailed ? LinkReply::Status::Lost
                                                     : LinkReply::Status::TimedOut,
                    {}};
        }
    }
    LinkSession &m_link;
    const Interrupt &m_interrupt;
};

QString StepText(const SequenceStep &s)
{
    QStringList parts;
    switch (s.kind) {
    case SequenceStep::Kind::Setpoints:
        if (s.volts)
            parts << SetpointText(*s.volts) + QStringLiteral(" V");
        if (s.amps)
            parts << SetpointText(*s.amps) + QStringLiteral(" A");
        break;
    case SequenceStep::Kind::Output:
        parts << (s.outputOn ? QStringLiteral("output on") : QStringLiteral("output off"));
        break;
    case SequenceStep::Kind::Wait: parts << QStringLiteral("wait"); break;
    }
    if (s.dwellMs > 0)
        parts << QStringLiteral("for %1 s").arg(SetpointText(s.dwellMs / 1000.0));
    return parts.join(QStringLiteral(", "));
}

void PrintJsonLine(const QJsonObject &o)
{
    Print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

} // namespace

void RunSequence(CommandContext &c)
{
    if (c.arguments.size() != 1)
        throw Failure{Exit::Usage, QStringLiteral("run takes one sequence file (see zopctl --help)")};
    const QString path = c.arguments.first();
    QString problem;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, SequenceLimit::MaxFileBytes, &problem);
    if (!bytes)
        throw Failure{Exit::BadFile, QStringLiteral("cannot read %1: %2").arg(path, problem)};
    Sequence sequence;
    if (const auto error = ParseSequence(QString::fromUtf8(*bytes), &sequence))
        throw Failure{Exit::BadFile, QStringLiteral("%1: %2").arg(path, error->message())};
    if (c.onStop == QLatin1String("hold"))
        sequence.onStop = StopAction::Hold;
    else if (c.onStop == QLatin1String("off"))
        sequence.onStop = StopAction::OutputOff;
    else if (!c.onStop.isEmpty())
        throw Failure{Exit::Usage, QStringLiteral("--on-stop must be off or hold")};
    sequence.checkErrors = sequence.checkErrors || c.checkErrors;

    // The whole file is checked against the instrument's ratings before anything is sent.
    ReadRecord(c, QStringLiteral("<>SCL"), ReadScales);
    const ModData &data = modData();
    if (const auto error = CheckRatings(sequence, data.Ratings.VoltMax, data.Ratings.CurrMax))
        throw Failure{Exit::BadFile, QStringLiteral("%1: %2").arg(path, error->message())};
    if (c.checkOnly) {
        Print(QStringLiteral("%1: %2 steps, %3 s; within the rated %4 V and %5 A\n")
                  .arg(path)
                  .arg(sequence.steps.size())
                  .arg(SetpointText(sequence.totalMs() / 1000.0), SetpointText(data.Ratings.VoltMax),
                       SetpointText(data.Ratings.CurrMax)));
        return;
    }
    if (c.link.simulated())
        throw Failure{Exit::LinkFailed,
                      QStringLiteral("a sequence never runs on the Simulated link: give the "
                                     "instrument's link with --link URL")};

    LogFile log;
    if (!c.logPath.isEmpty() && !log.open(c.logPath, &problem))
        throw Failure{Exit::BadFile, QStringLiteral("cannot write %1: %2").arg(c.logPath, problem)};
    QString logProblem;
    EventLog events;
    events.setFile(&log);

    const bool terminal = !c.json && ::isatty(fileno(stdout));
    const int count = int(sequence.steps.size());
    SessionLink link(c.link, c.interrupt);
    SteadyClock clock;
    SequenceRunner runner(sequence, link, clock);
    runner.onEvent = [&](const LogEvent &e) {
        if (!events.add(e, &problem) && logProblem.isEmpty())
            logProblem = problem;
        if (c.json) {
            PrintJsonLine({{QStringLiteral("event"), EventKindName(e.kind)},
                           {QStringLiteral("time"), IsoTime(e.time)},
                           {QStringLiteral("step"), e.step + 1},
                           {QStringLiteral("text"), e.text}});
        } else {
            Print(QStringLiteral("%1%2 %3: %4\n")
                      .arg(terminal ? QStringLiteral("\r\x1b[K") : QString(),
                           e.time.toString(QStringLiteral("HH:mm:ss.zzz")), EventKindName(e.kind),
                           e.text));
        }
        CheckOutput();
    };
    runner.onReading = [&](const ReadingRow &row) {
        if (log.isOpen()
            && !log.append(ReadingCsvLine(row, LookOf(row, c.series, data.VoltageFormat,
                                                      data.CurrentFormat)),
                           &problem)
            && logProblem.isEmpty())
            logProblem = problem;
    };
    runner.onStep = [&](int step, qint64 lateMs) {
        const SequenceStep &s = runner.sequence().steps[size_t(step)];
        const double left = runner.remainingMs() / 1000.0;
        const QString leftText = QString::number(left, 'f', 1);
        if (c.json) {
            PrintJsonLine({{QStringLiteral("event"), QStringLiteral("step")},
                           {QStringLiteral("step"), step + 1},
                           {QStringLiteral("of"), count},
                           {QStringLiteral("line"), s.line},
                           {QStringLiteral("text"), StepText(s)},
                           {QStringLiteral("late_ms"), lateMs},
                           {QStringLiteral("left_s"), left}});
        } else {
            Print(QStringLiteral("%1step %2/%3 (line %4): %5; %6 s left%7")
                      .arg(terminal ? QStringLiteral("\r\x1b[K") : QString())
                      .arg(step + 1)
                      .arg(count)
                      .arg(s.line)
                      .arg(StepText(s), leftText,
                           terminal ? QString() : QStringLiteral("\n")));
        }
        CheckOutput();
    };

    const auto signalName = [&] {
        return c.interrupt.exitCode() == Exit::Interrupted ? QStringLiteral("Ctrl-C")
                                                           : QStringLiteral("SIGTERM");
    };
    runner.start();
    for (;;) {
        const qint64 wait = runner.tick();
        if (runner.state() == SequenceRunner::State::Ended)
            break;
        if (!logProblem.isEmpty()) {
            runner.stop(QStringLiteral("the log %1 cannot be written: %2").arg(c.logPath, logProblem));
            break;
        }
        WaitInterruptibly(wait, c.interrupt);
        if (c.interrupt.requested()) {
            runner.stop(QStringLiteral("interrupted by %1").arg(signalName()));
            break;
        }
    }
    if (terminal)
        Print(QStringLiteral("\n"));
    CheckOutput();
    const QString where = QStringLiteral("step %1 (line %2): ")
                              .arg(runner.currentStep() + 1)
                              .arg(runner.sequence().steps[size_t(std::max(0, runner.currentStep()))].line);
    switch (runner.end()) {
    case SequenceRunner::End::Done:
    case SequenceRunner::End::None: return;
    case SequenceRunner::End::Stopped:
        if (c.interrupt.requested()) { // "interrupted by Ctrl-C at step 3 (line 2)"
            const QString after = runner.endMessage().section(QLatin1Char(';'), 1);
            throw Failure{c.interrupt.exitCode(),
                          QStringLiteral("interrupted by %1 at %2%3")
                              .arg(signalName(), where.chopped(2),
                                   after.isEmpty() ? QString() : QLatin1Char(';') + after)};
        }
        throw Failure{Exit::BadFile, QStringLiteral("run stopped at ") + where + runner.endMessage()};
    case SequenceRunner::End::Alarm:
        throw Failure{Exit::Alarm, QStringLiteral("run stopped at ") + where + runner.endMessage()};
    case SequenceRunner::End::LinkLost:
        throw Failure{Exit::LinkFailed, QStringLiteral("run stopped at ") + where + runner.endMessage()};
    case SequenceRunner::End::TimedOut:
        throw Failure{Exit::TimedOut, QStringLiteral("run stopped at ") + where + runner.endMessage()};
    case SequenceRunner::End::BadReply:
        throw Failure{Exit::BadReply, QStringLiteral("run stopped at ") + where + runner.endMessage()};
    case SequenceRunner::End::InstrumentError:
        throw Failure{Exit::InstrumentError,
                      QStringLiteral("run stopped at ") + where + runner.endMessage()};
    }
}

} // namespace zop::cli
