#include "engine/sequencerunner.h"

#include "state/statusbits.h"
#include "core/numbertext.h"

namespace zop {

QString AlarmNames(qint32 bits)
{
    static const char *const Names[] = {"OVT", "OCT", "PHL", "PGL", "THL", "FSE", nullptr,
                                        "ALARM", "LOC"};
    // The summary bit ALARM is named only when no other alarm says more.
    if (bits & ~(1 << AlarmBit::Latched))
        bits &= ~(1 << AlarmBit::Latched);
    QStringList names;
    for (int bit = 0; bit < 16; ++bit) {
        if (!(bits & (1 << bit)))
            continue;
        names << (bit < 9 && Names[bit] ? QString::fromLatin1(Names[bit])
                                        : QStringLiteral("bit %1").arg(bit));
    }
    return names.join(QLatin1Char(' '));
}

SequenceRunner::SequenceRunner(Sequence sequence, SequenceLink &link, const Clock &clock)
    : m_sequence(std::move(sequence)), m_link(link), m_clock(clock)
{
    qint64 offset = 0;
    for (const SequenceStep &s : m_sequence.steps) {
        m_offsets.push_back(offset);
        offset += s.dwellMs;
    }
    m_offsets.push_back(offset);
}

qint64 SequenceRunner::now() const { return m_clock.elapsedMs(); }

qint64 SequenceRunner::dueOf(int step) const
{
    return m_startMs + m_pausedMs + m_offsets[size_t(step)];
}

void SequenceRunner::event(EventKind kind, const QString &text)
{
    if (onEvent)
        onEvent(LogEvent{QDateTime::currentDateTime(), kind, text, m_step});
}

void SequenceRunner::start()
{
    if (m_state != State::Ready)
        return;
    m_startMs = now();
    m_state = State::Running;
    event(EventKind::SequenceStart,
          QStringLiteral("%1 steps, %2 s").arg(m_sequence.steps.size()).arg(
              SetpointText(m_sequence.totalMs() / 1000.0)));
    runStep(0);
}

void SequenceRunner::runStep(int step)
{
    m_step = step;
    if (onStep)
        onStep(step, now() - dueOf(step));
    const SequenceStep &s = m_sequence.steps[size_t(step)];
    if (s.kind == SequenceStep::Kind::Setpoints) {
        if (s.volts) {
            if (!send(QStringLiteral("VOLT ") + SetpointText(*s.volts)))
                return;
            m_voltSet = s.volts;
        }
        if (s.amps) {
            if (!send(QStringLiteral("CURR ") + SetpointText(*s.amps)))
                return;
            m_currSet = s.amps;
        }
    } else if (s.kind == SequenceStep::Kind::Output) {
        if (!send(s.outputOn ? QStringLiteral("OUTP:START") : QStringLiteral("OUTP:STOP")))
            return;
    }
    if (!pollStatus())
        return;
    if (m_sequence.checkErrors && !checkErrors())
        return;
    m_nextPoll = now() + PollIntervalMs;
}

qint64 SequenceRunner::tick()
{
    if (m_state == State::Ready || m_state == State::Ended)
        return -1;
    const qint64 t = now();
    if (m_state == State::Paused) {
        if (t >= m_nextPoll) {
            if (!pollStatus())
                return -1;
            m_nextPoll = t + PollIntervalMs;
        }
        return std::max<qint64>(0, m_nextPoll - now());
    }
    const int count = int(m_sequence.steps.size());
    while (m_step + 1 < count && t >= dueOf(m_step + 1)) {
        runStep(m_step + 1);
        if (m_state == State::Ended)
            return -1;
    }
    const qint64 endAt = dueOf(count);
    if (m_step + 1 >= count && t >= endAt) {
        finish(End::Done, EventKind::SequenceDone,
               QStringLiteral("all %1 steps done").arg(count), false);
        return -1;
    }
    if (t >= m_nextPoll) {
        if (!pollStatus())
            return -1;
        m_nextPoll = t + PollIntervalMs;
    }
    const qint64 next = std::min(m_nextPoll, m_step + 1 < count ? dueOf(m_step + 1) : endAt);
    return std::max<qint64>(0, next - now());
}

void SequenceRunner::pause()
{
    if (m_state != State::Running)
        return;
    m_state = State::Paused;
    m_pausedAt = now();
}

void SequenceRunner::resume()
{
    if (m_state != State::Paused)
        return;
    m_pausedMs += now() - m_pausedAt;
    m_state = State::Running;
}

void SequenceRunner::stop(const QString &why)
{
    if (m_state == State::Running || m_state == State::Paused)
        finish(End::Stopped, EventKind::SequenceStop, why, true);
}

qint64 SequenceRunner::stepRemainingMs() const
{
    if (m_step < 0 || m_state == State::Ended)
        return 0;
    const qint64 t = m_state == State::Paused ? m_pausedAt : now();
    return std::max<qint64>(0, dueOf(m_step + 1) - t);
}

qint64 SequenceRunner::remainingMs() const
{
    if (m_state == State::Ended)
        return 0;
    if (m_step < 0)
        return m_sequence.totalMs();
    const qint64 t = m_state == State::Paused ? m_pausedAt : now();
    return std::max<qint64>(0, dueOf(int(m_sequence.steps.size())) - t);
}

bool SequenceRunner::failed(const LinkReply &reply, const QString &what)
{
    // The run was stopped while the link waited (a window's events run in a TCP/IP wait, and
    // its Stop with them): nothing more may go out.
    if (m_state == State::Ended)
        return true;
    switch (reply.status) {
    case LinkReply::Status::Ok: return false;
    case LinkReply::Status::Lost:
        event(EventKind::LinkLost, QStringLiteral("at \"%1\"").arg(what));
        finish(End::LinkLost, EventKind::SequenceAbort,
               QStringLiteral("the link was lost at \"%1\"").arg(what), true);
        return true;
    case LinkReply::Status::Cancelled:
        finish(End::Stopped, EventKind::SequenceStop,
               QStringLiteral("interrupted at \"%1\"").arg(what), true);
        return true;
    case LinkReply::Status::TimedOut:
        finish(End::TimedOut, EventKind::SequenceAbort,
               QStringLiteral("no reply in time to \"%1\"").arg(what), true);
        return true;
    }
    return true;
}

bool SequenceRunner::send(const QString &command)
{
    return !failed(m_link.send(command), command);
}

bool SequenceRunner::pollStatus()
{
    const QString command = QStringLiteral("<>STA");
    const LinkReply reply = m_link.query(command);
    if (failed(reply, command))
        return false;
    std::vector<qint32> fields;
    try {
        for (const QString &field : SplitFields(reply.text, QLatin1Char(',')))
            fields.push_back(HexFieldValue(field));
    } catch (const DecodeError &) {
        fields.clear();
    }
    if (fields.size() < 4) {
        finish(End::BadReply, EventKind::SequenceAbort,
               QStringLiteral("unreadable reply to <>STA \"%1\"").arg(reply.text), true);
        return false;
    }
    if (onReading)
        onReading(ReadingRow{QDateTime::currentDateTime(), fields[0] / 1000.0, fields[1] / 1000.0,
                             m_voltSet, m_currSet, fields[2], fields[3], m_step});
    const qint32 alarms = fields[3] & AlarmMask;
    if (alarms == 0)
        return true;
    const bool trip = alarms & TripMask;
    const QString names = AlarmNames(alarms);
    event(trip ? EventKind::Trip : EventKind::Alarm, names);
    finish(End::Alarm, EventKind::SequenceAbort,
           (trip ? QStringLiteral("protection trip ") : QStringLiteral("alarm ")) + names, true);
    return false;
}

bool SequenceRunner::checkErrors()
{
    const QString command = QStringLiteral("SYST:ERR?");
    const LinkReply reply = m_link.query(command);
    if (failed(reply, command))
        return false;
    if (LeadingDecimal(reply.text) == 0)
        return true;
    event(EventKind::InstrumentError, reply.text);
    finish(End::InstrumentError, EventKind::SequenceAbort,
           QStringLiteral("instrument error %1").arg(reply.text), true);
    return false;
}

void SequenceRunner::finish(End end, EventKind kind, const QString &message, bool stopAction)
{
    if (m_state == State::Ended)
        return;
    m_state = State::Ended;
    m_end = end;
    m_endMessage = message;
    if (stopAction && m_sequence.onStop == StopAction::OutputOff) {
        m_safe = m_link.send(QStringLiteral("OUTP:STOP")).status == LinkReply::Status::Ok;
        if (!m_safe)
            m_endMessage += QStringLiteral("; the output could not be made safe (\"OUTP:STOP\" "
                                           "did not go out)");
    } else if (stopAction) {
        m_endMessage += QStringLiteral("; the output is held as it was");
    }
    event(kind, m_endMessage);
}

} // namespace zop
