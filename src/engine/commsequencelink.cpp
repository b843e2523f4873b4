#include "engine/commsequencelink.h"

#include "app/moddata.h"
#include "link/commlayer.h"
#include "engine/instrumentstate.h"

namespace zop {

bool CommSequenceLink::available() { return modData().CommKind != LinkKind::Simulated; }

LinkReply CommSequenceLink::send(const QString &command)
{
    if (!available())
        return {LinkReply::Status::Lost, {}};
    SendCommand(command, m_log);
    return {available() ? LinkReply::Status::Ok : LinkReply::Status::Lost, {}};
}

LinkReply CommSequenceLink::query(const QString &command)
{
    const LinkReply sent = send(command);
    if (sent.status != LinkReply::Status::Ok)
        return sent;
    QString reply;
    const qint32 length = ReadStatusReply(reply, qint16(ReplyTimeoutSeconds), m_log);
    if (!available() || length == 0)
        return {LinkReply::Status::Lost, {}};
    if (length < 0)
        return {LinkReply::Status::TimedOut, {}};
    while (reply.endsWith(QLatin1Char('\n')) || reply.endsWith(QLatin1Char('\r')))
        reply.chop(1);
    return {LinkReply::Status::Ok, reply};
}

} // namespace zop
