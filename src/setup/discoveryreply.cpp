#include "setup/discoveryreply.h"

#include "app/configuration.h"
#include "core/inifile.h"

#include <QHostAddress>
#include <QList>

namespace zop {

namespace {

QString PlainField(QByteArrayView bytes)
{
    QString text;
    text.reserve(qMin<qsizetype>(bytes.size(), Discovery::MaxFieldChars));
    for (char c : bytes) {
        const uchar u = uchar(c);
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            continue;
        text.append(QChar(u));
        if (text.size() == Discovery::MaxFieldChars)
            break;
    }
    return text;
}

} // namespace

std::optional<DiscoveryReply> ParseDiscoveryReply(QByteArrayView datagram)
{
    if (datagram.isEmpty() || datagram.size() > Discovery::MaxDatagramBytes)
        return std::nullopt;
    QList<QByteArrayView> fields;
    for (qsizetype from = 0; fields.size() < 3;) {
        const qsizetype end = QByteArrayView(datagram).indexOf(QByteArrayView("\r\n"), from);
        if (end < 0) {
            fields.append(datagram.sliced(from));
            break;
        }
        fields.append(datagram.sliced(from, end - from));
        from = end + 2;
    }
    if (fields.size() < 3)
        return std::nullopt;
    return DiscoveryReply{PlainField(fields[0]), PlainField(fields[1]), PlainField(fields[2])};
}

QString SenderAddressText(const QHostAddress &sender)
{
    bool isIPv4 = false;
    const quint32 ip = sender.toIPv4Address(&isIPv4);
    if (!isIPv4)
        return QString();
    return QStringLiteral("%1.%2.%3.%4")
        .arg(ip >> 24)
        .arg((ip >> 16) & 0xFF)
        .arg((ip >> 8) & 0xFF)
        .arg(ip & 0xFF);
}

namespace {
// The IPv4 address a "Communication" key names, `fallback` when it is missing or empty.
std::optional<QHostAddress> ConfiguredIpv4(const QString &key, const QString &fallback)
{
    QString text = ReadProfileString(ConfigFilePath(), QStringLiteral("Communication"), key,
                                     QString(), ProfileBufferSize)
                       .trimmed();
    if (text.isEmpty())
        text = fallback;
    const QHostAddress address(text);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address;
}
} // namespace

std::optional<QHostAddress> DiscoveryTarget()
{
    return ConfiguredIpv4(Discovery::TargetKey, Discovery::DefaultTarget);
}

std::optional<QHostAddress> DiscoveryBindAddress()
{
    return ConfiguredIpv4(Discovery::BindKey, QStringLiteral("0.0.0.0"));
}

} // namespace zop
