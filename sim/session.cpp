#include "session.h"

#include "faults.h"
#include "instrument.h"

namespace zopsim {

Session::Session(Instrument &instrument, FaultPlan *faults)
    : m_instrument(instrument), m_faults(faults), m_lines(Instrument::MaxLineLength)
{
}

QList<LinkAction> Session::receive(QByteArrayView chunk)
{
    QList<LinkAction> actions;
    for (const LineAssembler::Line &line : m_lines.feed(chunk)) {
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
    }
    return {};
}

} // namespace zopsim
