#pragma once
// Runs a checked sequence (engine/sequence.h) against the instrument, with the commands the
// panels send ("VOLT ", "CURR ", "OUTP:START", "OUTP:STOP"), paced by a monotonic clock.
// Between steps, and every PollIntervalMs while a step lasts, it reads the status ("<>STA");
// with the file's check-errors also the error queue ("SYST:ERR?") after every step.
//
// It stops at once and applies the file's stop action (output off unless the file says hold)
// on stop() (the user's Stop, Ctrl-C), on any alarm bit in the status word (a protection
// trip among them), when the link fails (and then says whether the output could be made
// safe), on a reply that does not come or cannot be read, and on an instrument error when the
// file asks for error checks.
//
// No thread and no timer of its own: the owner calls tick() when it returns due (a window's
// single-shot QTimer, or zopctl's interruptible wait) and may call pause(), resume() and
// stop() at any time, also from inside a wait of the link that runs window events (nothing
// more is sent after the stop action then); step and time left can be asked at any moment.
// Everything it sends goes through a SequenceLink, so tests give it a scripted one.

#include "core/clock.h"
#include "engine/eventlog.h"
#include "engine/readinglog.h"
#include "engine/sequence.h"
#include "state/statusbits.h"

#include <QString>

#include <functional>

namespace zop {

// Every bit of word B is an alarm but REMOTE, which only says who is in control; OVT and OCT
// are the protection trips.
constexpr qint32 AlarmMask = 0xFFFF & ~(1 << AlarmBit::Remote);
constexpr qint32 TripMask = (1 << AlarmBit::Ovt) | (1 << AlarmBit::Oct);
// The alarm bits by name ("OVT OCT"); the summary bit ALARM only when no other says more.
QString AlarmNames(qint32 bits);

struct LinkReply {
    // Cancelled: a signal cut the exchange short (zopctl's Ctrl-C): the run stops.
    enum class Status { Ok, Lost, TimedOut, Cancelled };
    Status status = Status::Ok;
    QString text; // a query's reply, without its line end
};

// The link as the engine uses it. The panel's goes through the communication layer (a fall-
// back to Simulated mode is a lost link); zopctl's through its session.
class SequenceLink {
public:
    virtual ~SequenceLink() = default;
    virtual LinkReply send(const QString &command) = 0;
    virtual LinkReply query(const QString &command) = 0;
};

class SequenceRunner {
public:
    static constexpr qint64 PollIntervalMs = 200;

    enum class State { Ready, Running, Paused, Ended };
    enum class End {
        None,
        Done,
        Stopped, // stop(): the user or a signal
        Alarm, // an alarm bit, a protection trip among them
        LinkLost,
        TimedOut,
        BadReply,
        InstrumentError,
    };

    SequenceRunner(Sequence sequence, SequenceLink &link, const Clock &clock);

    // Sends the first step; tick() does the rest.
    void start();
    // Does what is due; returns the milliseconds until something is due next, -1 once ended.
    qint64 tick();
    // Pause holds the output as it is and stops the clock of the sequence (the status is
    // still read); resume goes on with the time the step had left.
    void pause();
    void resume();
    // Ends the run with the stop action; `why` is told in the event ("Ctrl-C").
    void stop(const QString &why = QStringLiteral("stopped by the user"));

    State state() const { return m_state; }
    End end() const { return m_end; }
    // Why the run ended, as the event told it.
    QString endMessage() const { return m_endMessage; }
    // False when the stop action could not be carried out (the link was gone).
    bool outputMadeSafe() const { return m_safe; }
    const Sequence &sequence() const { return m_sequence; }
    // The step under way (0-based; -1 before the start), its time left and the whole run's.
    int currentStep() const { return m_step; }
    qint64 stepRemainingMs() const;
    qint64 remainingMs() const;

    // Told of every event (start, end, trip, alarm, link, instrument error).
    std::function<void(const LogEvent &)> onEvent;
    // Told of every status read, for the reading log and the trend.
    std::function<void(const ReadingRow &)> onReading;
    // Told as each step starts: its index and how late it started (ms after its time).
    std::function<void(int step, qint64 lateMs)> onStep;

private:
    qint64 now() const;
    qint64 dueOf(int step) const; // when a step starts, on the sequence's own clock
    void runStep(int step);
    bool send(const QString &command);
    bool pollStatus();
    bool checkErrors();
    bool failed(const LinkReply &reply, const QString &what);
    void finish(End end, EventKind kind, const QString &message, bool stopAction);
    void event(EventKind kind, const QString &text);

    Sequence m_sequence;
    SequenceLink &m_link;
    const Clock &m_clock;
    std::vector<qint64> m_offsets; // each step's start after the first's
    State m_state = State::Ready;
    End m_end = End::None;
    QString m_endMessage;
    bool m_safe = true;
    int m_step = -1;
    qint64 m_startMs = 0;
    qint64 m_pausedMs = 0; // time spent paused so far
    qint64 m_pausedAt = 0;
    qint64 m_nextPoll = 0;
    std::optional<double> m_voltSet;
    std::optional<double> m_currSet;
};

} // namespace zop
