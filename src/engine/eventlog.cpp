#include "engine/eventlog.h"

#include "engine/readinglog.h"

namespace zop {

QString EventKindName(EventKind kind)
{
    switch (kind) {
    case EventKind::Trip: return QStringLiteral("trip");
    case EventKind::Alarm: return QStringLiteral("alarm");
    case EventKind::LinkLost: return QStringLiteral("link lost");
    case EventKind::LinkRestored: return QStringLiteral("link restored");
    case EventKind::SequenceStart: return QStringLiteral("sequence start");
    case EventKind::SequenceDone: return QStringLiteral("sequence done");
    case EventKind::SequenceStop: return QStringLiteral("sequence stop");
    case EventKind::SequenceAbort: return QStringLiteral("sequence abort");
    case EventKind::InstrumentError: return QStringLiteral("instrument error");
    }
    return {};
}

bool EventLog::add(const LogEvent &event, QString *problem)
{
    m_events.append(event);
    if (m_events.size() > Kept)
        m_events.removeFirst();
    if (onAdded)
        onAdded(event);
    return !m_file || !m_file->isOpen() || m_file->append(EventCsvLine(event), problem);
}

} // namespace zop
