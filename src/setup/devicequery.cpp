#include "setup/devicequery.h"

#include "link/commlayer.h"

namespace zop {

QString QuerySettingRaw(const QString &header)
{
    SendCommand(header + QLatin1Char('?'), true);
    QString reply;
    ReadReply(reply, DeviceReplySeconds, true);
    return reply;
}

QString QuerySetting(const QString &header)
{
    QString reply = QuerySettingRaw(header);
    reply.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return reply;
}

} // namespace zop
