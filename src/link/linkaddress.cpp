#include "link/linkaddress.h"

#include "link/linkkind.h"

#include <QStringList>

namespace zop {

bool IsValidIPAddress(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        if (part.isEmpty())
            return false;
        int value = 0;
        for (const QChar c : part) {
            if (c < u'0' || c > u'9')
                return false;
            value = value * 10 + (c.unicode() - u'0');
            if (value > 255)
                return false;
        }
    }
    return true;
}

bool IsValidHostName(const QString &text, bool allowDotAndUnderscore)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool allowed = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z')
                             || (c >= u'A' && c <= u'Z') || c == u'-'
                             || (allowDotAndUnderscore && (c == u'.' || c == u'_'));
        if (!allowed)
            return false;
    }
    return allowDotAndUnderscore || !IsNumericText(text);
}

QString DescribeLink(qint16 commType, const QString &port, const QString &address)
{
    switch (commType) {
    case LinkKind::Gpib: return QStringLiteral("GPIB Address ") + address;
    case LinkKind::TcpIp:
        return QStringLiteral("TCP/IP Address ") + address + QStringLiteral(" and Port ") + port;
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed:
        return QStringLiteral("RS486 Port ") + port + QStringLiteral(" and address ") + address;
    default: return QString();
    }
}

} // namespace zop
