#pragma once
#include <QString>
#include <QtGlobal>

namespace zop {

// Values of `CommKind`: the link in use.
namespace LinkKind {
constexpr qint16 Gpib = 0;
constexpr qint16 Rs232 = 1;
constexpr qint16 TcpIp = 2;
constexpr qint16 Rs485Selected = 3;
constexpr qint16 Rs485Framed = 4;
constexpr qint16 Simulated = 5;
constexpr qint16 NotConfigured = 99;
} // namespace LinkKind

// The name the link writes at the head of the transaction log ("TCP/IP " + "- Initialized").
inline QString LinkLogName(qint16 kind)
{
    switch (kind) {
    case LinkKind::Gpib: return QStringLiteral("GPIB ");
    case LinkKind::Rs232: return QStringLiteral("RS232 ");
    case LinkKind::TcpIp: return QStringLiteral("TCP/IP ");
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed: return QStringLiteral("RS485 ");
    case LinkKind::Simulated: return QStringLiteral("Simulated ");
    default: return QString();
    }
}

inline bool IsSerialKind(qint16 kind)
{
    return kind == LinkKind::Rs232 || kind == LinkKind::Rs485Selected
        || kind == LinkKind::Rs485Framed;
}

} // namespace zop
