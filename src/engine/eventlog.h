#pragma once
// The event log: what happened to the instrument and to a running sequence (protection trips,
// alarms, the link lost and restored, a sequence's start and end with the reason, instrument
// errors), each with its time. The log keeps the latest events for a window to list and
// appends each one to the log file when one is open.

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace zop {

class LogFile;

enum class EventKind {
    Trip, // a protection trip latched (OVT, OCT, ...)
    Alarm, // another alarm bit
    LinkLost,
    LinkRestored,
    SequenceStart,
    SequenceDone,
    SequenceStop, // stopped by the user or a signal
    SequenceAbort, // stopped by a trip, an alarm, the link or an instrument error
    InstrumentError,
};

struct LogEvent {
    QDateTime time;
    EventKind kind = EventKind::Alarm;
    QString text;
    int step = -1; // the sequence step (0-based) when one runs
};

// "trip", "alarm", "link lost", "link restored", "sequence start", "sequence done",
// "sequence stop", "sequence abort", "instrument error".
QString EventKindName(EventKind kind);

class EventLog {
public:
    static constexpr int Kept = 1000;

    // Appends to `file` too from now on (null: to none). The file stays the caller's.
    void setFile(LogFile *file) { m_file = file; }
    // Keeps the event and appends it to the file; false with the reason when the file could
    // not take it (the event is kept either way).
    bool add(const LogEvent &event, QString *problem = nullptr);
    const QList<LogEvent> &events() const { return m_events; }
    // Told of every event as it is added (a window's list, a notice on a trip).
    std::function<void(const LogEvent &)> onAdded;

private:
    QList<LogEvent> m_events;
    LogFile *m_file = nullptr;
};

} // namespace zop
