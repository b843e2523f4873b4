#include "engine/sequencecontrol.h"

#include "app/moddata.h"
#include "core/regularfile.h"
#include "engine/commsequencelink.h"
#include "engine/frontpanel.h"
#include "engine/seriesspec.h"
#include "link/commlayer.h"

#include <QFileInfo>
#include <QPointer>

namespace zop {

namespace {
// A panel poll waits for its reply: the run's next exchange comes this much later.
constexpr int BusyRetryMs = 20;
} // namespace

SequenceControl::SequenceControl(FrontPanel &panel, QObject *parent)
    : QObject(parent), m_panel(panel), m_link(std::make_unique<CommSequenceLink>())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SequenceControl::tick);
    m_panel.onLockedStop = [this] { stop(QStringLiteral("STOP on the panel")); };
    m_panel.onPoll = [this](const std::vector<qint32> &fields) { reading(fields); };
    m_linkUp = CommSequenceLink::available();
}

SequenceControl::~SequenceControl()
{
    m_panel.onLockedStop = nullptr;
    m_panel.onPoll = nullptr;
    // Only the run's stop action: the window around it is going.
    if (running())
        m_runner->stop(QStringLiteral("the panel closed"));
}

bool SequenceControl::open(const QString &path, QString *problem)
{
    QString why;
    const auto bytes = ReadRegularFile(path, SequenceLimit::MaxFileBytes, &why);
    Sequence sequence;
    if (!bytes) {
        if (problem)
            *problem = why;
        return false;
    }
    if (const auto error = ParseSequence(QString::fromUtf8(*bytes), &sequence)) {
        if (problem)
            *problem = error->message();
        return false;
    }
    m_sequence = std::move(sequence);
    m_path = path;
    emit changed();
    return true;
}

QString SequenceControl::startRefusal() const
{
    if (running())
        return QStringLiteral("A sequence is running.");
    if (!m_sequence)
        return QStringLiteral("Open a sequence file first.");
    if (!CommSequenceLink::available())
        return QStringLiteral("A sequence does not run on the Simulated link: connect to the "
                              "instrument (Setup > Communication) first.");
    const ModData &data = modData();
    if (const auto error = CheckRatings(*m_sequence, data.Ratings.VoltMax, data.Ratings.CurrMax))
        return QStringLiteral("%1: %2").arg(QFileInfo(m_path).fileName(), error->message());
    if (!m_panel.idle())
        return QStringLiteral("Leave the panel's menu first.");
    return {};
}

bool SequenceControl::start(QString *problem)
{
    const QString refusal = startRefusal();
    if (!refusal.isEmpty()) {
        if (problem)
            *problem = refusal;
        return false;
    }
    m_runner = std::make_unique<SequenceRunner>(*m_sequence, *m_link, *modData().clock);
    m_runner->onEvent = [this](const LogEvent &event) {
        // Trips, alarms and the link are told from what the readings show, once each.
        if (event.kind == EventKind::Trip || event.kind == EventKind::Alarm)
            return;
        if (event.kind == EventKind::LinkLost)
            return noteLink();
        m_events.add(event);
        emit eventAdded(event);
    };
    m_runner->onReading = [this](const ReadingRow &row) {
        ModData &data = modData();
        // The trend's setpoint lines and the knobs follow the sequence.
        if (row.voltSet)
            data.Settings.VoltSet = float(*row.voltSet);
        if (row.currSet)
            data.Settings.CurrSet = float(*row.currSet);
        m_voltSet = row.voltSet;
        m_currSet = row.currSet;
        noteAlarms(row.wordB);
    };
    m_runner->onStep = [this](int, qint64) { emit changed(); };
    m_panel.setLocked(true);
    QPointer<SequenceControl> self(this);
    m_runner->start();
    if (!self)
        return true;
    if (m_runner->state() == SequenceRunner::State::Ended)
        ended();
    else
        schedule(m_runner->tick());
    return true;
}

void SequenceControl::schedule(qint64 ms)
{
    if (ms < 0)
        return ended();
    m_timer.start(int(std::min<qint64>(ms, SequenceRunner::PollIntervalMs)));
    emit changed();
}

void SequenceControl::tick()
{
    if (!running())
        return;
    // The panel's poll waits for its reply: the run's exchange would take that reply.
    if (Comm().isWaiting()) {
        m_timer.start(BusyRetryMs);
        return;
    }
    QPointer<SequenceControl> self(this);
    const qint64 next = m_runner->tick();
    if (self)
        schedule(next);
}

void SequenceControl::pause()
{
    if (m_runner && m_runner->state() == SequenceRunner::State::Running) {
        m_runner->pause();
        emit changed();
    }
}

void SequenceControl::resume()
{
    if (m_runner && m_runner->state() == SequenceRunner::State::Paused) {
        m_runner->resume();
        emit changed();
    }
}

void SequenceControl::stop(const QString &why)
{
    if (!running())
        return;
    m_runner->stop(why);
    ended();
}

void SequenceControl::ended()
{
    m_timer.stop();
    m_panel.setLocked(false);
    m_panel.syncKnobs();
    emit changed();
}

bool SequenceControl::running() const
{
    return m_runner
        && (m_runner->state() == SequenceRunner::State::Running
            || m_runner->state() == SequenceRunner::State::Paused);
}

bool SequenceControl::paused() const
{
    return m_runner && m_runner->state() == SequenceRunner::State::Paused;
}

bool SequenceControl::openLog(const QString &path, QString *problem)
{
    closeLog();
    if (!m_log.open(path, problem))
        return false;
    m_events.setFile(&m_log);
    return true;
}

void SequenceControl::closeLog()
{
    m_events.setFile(nullptr);
    m_log.close();
}

void SequenceControl::append(const QString &line)
{
    if (!m_log.isOpen())
        return;
    QString problem;
    if (!m_log.append(line, &problem)) {
        closeLog();
        emit logFailed(problem);
    }
}

void SequenceControl::addEvent(EventKind kind, const QString &text)
{
    const LogEvent event{QDateTime::currentDateTime(), kind, text,
                         running() ? m_runner->currentStep() : -1};
    QString problem;
    if (!m_events.add(event, &problem) && m_log.isOpen()) {
        closeLog();
        emit logFailed(problem);
    }
    emit eventAdded(event);
    if (kind == EventKind::Trip)
        emit tripped(QStringLiteral("Protection trip %1 at %2%3")
                         .arg(text, event.time.toString(QStringLiteral("HH:mm:ss")),
                              running() ? QStringLiteral(": the sequence stops")
                                        : QString()));
}

void SequenceControl::noteAlarms(qint32 wordB)
{
    noteLink();
    const qint32 alarms = wordB & AlarmMask;
    const qint32 fresh = alarms & ~m_alarms;
    m_alarms = alarms;
    if (fresh)
        addEvent(fresh & TripMask ? EventKind::Trip : EventKind::Alarm, AlarmNames(fresh));
}

void SequenceControl::noteLink()
{
    const bool up = CommSequenceLink::available();
    if (up == m_linkUp)
        return;
    m_linkUp = up;
    addEvent(up ? EventKind::LinkRestored : EventKind::LinkLost,
             up ? QStringLiteral("the link is back") : QStringLiteral("Simulated mode"));
}

void SequenceControl::reading(const std::vector<qint32> &fields)
{
    if (fields.size() < 4)
        return;
    ReadingRow row{QDateTime::currentDateTime(), fields[0] / 1000.0, fields[1] / 1000.0,
                   std::nullopt, std::nullopt, fields[2], fields[3], -1};
    const ModData &data = modData();
    if (running()) {
        row.voltSet = m_voltSet;
        row.currSet = m_currSet;
        row.step = m_runner->currentStep();
    } else {
        row.voltSet = data.Settings.VoltSet;
        row.currSet = data.Settings.CurrSet;
    }
    append(ReadingCsvLine(row, LookOf(row, m_panel.spec(), data.VoltageFormat, data.CurrentFormat)));
    noteAlarms(fields[3]);
}

} // namespace zop
