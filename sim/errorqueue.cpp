#include "errorqueue.h"

namespace zopsim {

ErrorQueue::ErrorQueue(int capacity) : m_capacity(qMax(2, capacity)) {}

void ErrorQueue::push(int code, const QString &text)
{
    if (m_entries.size() >= m_capacity) {
        m_entries.last() = {Err::QueueOverflow, QStringLiteral("Queue overflow")};
        return;
    }
    m_entries.append({code, text});
}

InstrumentError ErrorQueue::pop()
{
    if (m_entries.isEmpty())
        return {Err::NoError, QStringLiteral("No error")};
    return m_entries.takeFirst();
}

QString ErrorQueue::format(const InstrumentError &error)
{
    return QStringLiteral("%1,\"%2\"").arg(error.code).arg(error.text);
}

} // namespace zopsim
