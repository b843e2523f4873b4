#pragma once
// A panel's sequence, reading log and event log, without a window: the Sequence view shows it
// and forwards its buttons here.
//
// A file is read and checked whole (parsed, then against the instrument's ratings) when it is
// opened; Start is refused, with nothing sent, for no file, a file with a fault, a panel in a
// menu, and the Simulated link. While a sequence runs the front panel is locked (its STOP
// stops the run, then the output) and the runner is paced by a single-shot timer on its own
// tick(); everything it sends goes through the communication layer (CommSequenceLink).
//
// Every status poll of the panel comes through reading(): a row in the log file when one is
// open, and a trip or alarm that newly shows becomes an event (a trip with a notice). The link
// lost and restored, and a sequence's start and end with the reason, are events as well; all
// of them go into the log file too.

#include "engine/eventlog.h"
#include "engine/readinglog.h"
#include "engine/sequence.h"
#include "engine/sequencerunner.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

namespace zop {

class CommSequenceLink;
class FrontPanel;

class SequenceControl : public QObject {
    Q_OBJECT
public:
    explicit SequenceControl(FrontPanel &panel, QObject *parent = nullptr);
    ~SequenceControl() override;

    // Reads and checks a file; on a fault the file is not kept and `problem` says why
    // ("line 3: ...").
    bool open(const QString &path, QString *problem);
    QString fileName() const { return m_path; }
    const Sequence *sequence() const { return m_sequence ? &*m_sequence : nullptr; }

    // Why Start cannot be pressed now; empty when it can.
    QString startRefusal() const;
    bool start(QString *problem = nullptr);
    void pause();
    void resume();
    void stop(const QString &why = QStringLiteral("stopped by the user"));
    // Running or paused.
    bool running() const;
    bool paused() const;
    // The run under way or the last one (null before the first).
    const SequenceRunner *runner() const { return m_runner.get(); }
    // The pacing timer's tick, public so tests run it after moving the clock.
    void tick();
    bool tickPending() const { return m_timer.isActive(); }

    // The log file: rows from now on in the shared layout, a header only when the file is new.
    bool openLog(const QString &path, QString *problem);
    void closeLog();
    const LogFile &logFile() const { return m_log; }

    // A status poll's fields (voltage, current, word A, word B, ...): the panel's polls come
    // here by themselves.
    void reading(const std::vector<qint32> &fields);
    // The setpoints the sequence last sent, when one ran.
    std::optional<double> voltSet() const { return m_voltSet; }

    EventLog &events() { return m_events; }

signals:
    // The run started, paused, resumed, moved to another step or ended.
    void changed();
    void eventAdded(const zop::LogEvent &event);
    // A protection trip: the text of the notice to show.
    void tripped(const QString &notice);
    // The log file could not take a row (it is closed then).
    void logFailed(const QString &problem);

private:
    void addEvent(EventKind kind, const QString &text);
    void noteAlarms(qint32 wordB);
    void noteLink();
    void schedule(qint64 ms);
    void ended();
    void append(const QString &line);

    FrontPanel &m_panel;
    std::unique_ptr<CommSequenceLink> m_link;
    std::unique_ptr<SequenceRunner> m_runner;
    std::optional<Sequence> m_sequence;
    QString m_path;
    QString m_fault; // why the file last opened was refused
    QTimer m_timer;
    LogFile m_log;
    EventLog m_events;
    qint32 m_alarms = 0; // the alarm bits last seen
    bool m_linkUp = true;
    std::optional<double> m_voltSet;
    std::optional<double> m_currSet;
};

} // namespace zop
