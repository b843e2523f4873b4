#include "session.h"

#include "faults.h"
#include "instrument.h"

namespace zopsim {

Session::Session(Instrument &instrument, FaultPlan *faults)
    : m_instrument(instrument), m_faults(faults), m_lines(Instrument::MaxLineLength)
{
}

void StreamSource::start(const LinkAction &action)
{
    static const QByteArray endless("0123456789ABCDEF");
    m_pattern = action.bytes.isEmpty() ? endless : action.bytes;
    m_offset = 0;
    m_left = action.limit > 0 ? action.limit : -1;
    m_active = true;
}

QByteArray StreamSource::take(qsizetype most)
{
    if (!m_active)
        return {};
    if (m_left >= 0)
        most = qMin<qint64>(most, m_left);
    QByteArray chunk;
    chunk.reserve(most);
    while (chunk.size() < most) {
        const qsizetype n = qMin(most - chunk.size(), m_pattern.size() - m_offset);
        chunk.append(m_pattern.constData() + m_offset, n);
        m_offset = (m_offset + n) % m_pattern.size();
    }
    if (m_left >= 0) {
        m_left -= chunk.size();
        if (m_left == 0)
            m_active = false;
    }
    return chunk;
}

QList<LinkAction> Session::receive(QByteArrayView chunk)
{
    QList<LinkAction> actions;
    // A const list: a loop over a mutable one would allocate for every byte an RS-485 station
    // passes on, even when no line is complete.
    const QList<LineAssembler::Line> lines = m_lines.feed(chunk);
    for (const LineAssembler::Line &line : lines) {
        if (line.overlong)
            m_instrument.rejectOverlongLine();
        else
            actions += handleLine(line.text);
    }
    return actions;
}

QList<LinkAction> Session::handleLine(const QByteArray &line)
{
    if (Instrument::isBlank(line))
        return {}; // the keep-alive
    const QByteArray reply = m_instrument.handleLine(line);
    const std::optional<Fault> fault = m_faults ? m_faults->next(line) : std::nullopt;
    if (reply.isEmpty())
        return {};
    if (!fault)
        return {{LinkAction::Kind::Send, reply, 0}};

    switch (fault->kind) {
    case Fault::Kind::Silent:
        return {};
    case Fault::Kind::Late:
        return {{LinkAction::Kind::Send, reply, fault->lateMs}};
    case Fault::Kind::Cut:
        return {{LinkAction::Kind::Send, reply.chopped(1), 0}}; // "...\r", no line feed
    case Fault::Kind::Close:
        return {{LinkAction::Kind::Close, {}, 0}};
    case Fault::Kind::Garbage:
        return {{LinkAction::Kind::Send, QByteArray(GarbageReply), 0}};
    case Fault::Kind::Stream:
        return {{LinkAction::Kind::Stream, {}, 0}};
    case Fault::Kind::Flood:
        return {{LinkAction::Kind::Stream, QByteArray(FloodLine), 0, qint64(fault->floodMiB) << 20}};
    case Fault::Kind::Binary:
        return {{LinkAction::Kind::Send,
                 QByteArray(BinaryPrefix, sizeof BinaryPrefix) + reply, 0}};
    case Fault::Kind::Bytewise: {
        QList<LinkAction> bytes;
        for (qsizetype i = 0; i < reply.size(); ++i)
            bytes.append({LinkAction::Kind::Send, reply.mid(i, 1), int(2 * (i + 1))});
        return bytes;
    }
    case Fault::Kind::Drop:
        break; // a matter of the connection, not of a reply
    }
    return {};
}

} // namespace zopsim
