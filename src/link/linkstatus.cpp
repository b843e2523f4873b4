#include "link/linkstatus.h"

#include "link/linkkind.h"

namespace zop {

namespace {

// The serial device: its path (with the port number that found it), else the port number.
QString SerialEnd(const LinkEnds &link)
{
    const QString port = QStringLiteral("Port %1").arg(link.port);
    if (!link.deviceKey.isEmpty())
        return link.devicePath.isEmpty() ? link.deviceKey : link.devicePath;
    if (link.devicePath.isEmpty())
        return port;
    return link.devicePath + QStringLiteral(" (") + port + QLatin1Char(')');
}

} // namespace

QString LinkText(const LinkEnds &link)
{
    switch (link.kind) {
    case LinkKind::Gpib:
        return QStringLiteral("GPIB 0, address ") + link.address;
    case LinkKind::Rs232:
        return QStringLiteral("RS-232 ") + SerialEnd(link);
    case LinkKind::TcpIp:
        return QStringLiteral("TCP/IP %1:%2").arg(link.address).arg(link.port);
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed:
        return QStringLiteral("RS-485 %1, address %2, %3")
            .arg(link.kind == LinkKind::Rs485Framed ? QStringLiteral("framed")
                                                    : QStringLiteral("selected"),
                 link.address, SerialEnd(link));
    case LinkKind::Simulated:
        return QStringLiteral("Simulated");
    default:
        return QStringLiteral("no link");
    }
}

LinkStatus DescribeLinkStatus(qint16 kind, const QString &linkText, bool connected,
                              const LinkFallBack &fallBack)
{
    if (kind >= LinkKind::Gpib && kind <= LinkKind::Rs485Framed) {
        if (connected)
            return {LinkState::Live, linkText};
        return {LinkState::NotConnected, linkText + QStringLiteral(": not connected")};
    }
    QString text = QStringLiteral("Simulated: no instrument");
    const QString because = fallBack.reason.isEmpty()
        ? QString()
        : QStringLiteral(" (") + fallBack.reason + QLatin1Char(')');
    switch (fallBack.cause) {
    case LinkFallBack::Cause::None:
        break;
    case LinkFallBack::Cause::NoLinkConfigured:
        text += QStringLiteral(", no link is configured");
        break;
    case LinkFallBack::Cause::TimedOut:
        text += QStringLiteral(", after a time-out on ") + fallBack.link;
        break;
    case LinkFallBack::Cause::OpenFailed:
        text += QStringLiteral(", after ") + fallBack.link + QStringLiteral(" could not be opened")
            + because;
        break;
    case LinkFallBack::Cause::WriteFailed:
    case LinkFallBack::Cause::ReadFailed:
        text += QStringLiteral(", after ") + fallBack.link + QStringLiteral(" failed") + because;
        break;
    }
    return {LinkState::Simulated, text};
}

QString FallBackDetails(const LinkFallBack &fallBack)
{
    if (fallBack.cause == LinkFallBack::Cause::None
        || fallBack.cause == LinkFallBack::Cause::NoLinkConfigured)
        return QString();
    QString details = QStringLiteral("Link: ") + fallBack.link;
    QString reason = fallBack.reason;
    if (fallBack.cause == LinkFallBack::Cause::TimedOut)
        reason = QStringLiteral("no complete reply within %1 s").arg(fallBack.timeoutSeconds);
    if (!reason.isEmpty())
        details += QStringLiteral("\nReason: ") + reason;
    return details;
}

} // namespace zop
