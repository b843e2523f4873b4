#include "cli/linkurl.h"

#include "link/linkkind.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace zop::cli {

namespace {

constexpr qint32 DefaultTcpPort = 50505;
constexpr int MaxGpibAddress = 30;

// The serial part of a URL: a path, "COMn" (the port number keeps its Windows meaning) or a
// bare device name under /dev.
bool ParseSerialTarget(const QString &target, LinkSettings &link, QString *error)
{
    static const QRegularExpression com(QStringLiteral("^COM(\\d{1,3})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (target.isEmpty()) {
        *error = QStringLiteral(
            "a serial link needs a device, as in serial:///dev/ttyUSB0 or serial://COM1");
        return false;
    }
    if (const auto m = com.match(target); m.hasMatch()) {
        link.port = m.captured(1).toInt();
        if (link.port < 1) {
            *error = QStringLiteral("serial ports are numbered from COM1");
            return false;
        }
    } else {
        link.device = target.contains(QLatin1Char('/')) ? target : QStringLiteral("/dev/") + target;
    }
    return true;
}

} // namespace

std::optional<LinkSettings> ParseLinkUrl(const QString &url, QString *error)
{
    const qsizetype sep = url.indexOf(QLatin1String("://"));
    if (sep <= 0) {
        *error = QStringLiteral(
                     "\"%1\" is no link URL (tcp://, serial://, rs485://, rs485+framed://, gpib://, "
                                    "sim://)")
                     .arg(url);
        return std::nullopt;
    }
    const QString scheme = url.left(sep).toLower();
    QString rest = url.mid(sep + 3);
    QString query;
    if (const qsizetype q = rest.indexOf(QLatin1Char('?')); q >= 0) {
        query = rest.mid(q + 1);
        rest.truncate(q);
    }

    LinkSettings link;
    const QUrlQuery params(query);
    QStringList allowed;
    if (scheme == QLatin1String("tcp")) {
        link.kind = LinkKind::TcpIp;
        const QUrl parsed(QStringLiteral("tcp://") + rest);
        link.address = parsed.host();
        link.port = parsed.port(DefaultTcpPort);
        if (!parsed.isValid() || link.address.isEmpty() || !parsed.path().isEmpty()
            || link.port < 1) {
            *error = QStringLiteral("a TCP/IP link is tcp://HOST:PORT, not \"%1\"").arg(url);
            return std::nullopt;
        }
    } else if (scheme == QLatin1String("serial")) {
        link.kind = LinkKind::Rs232;
        if (!ParseSerialTarget(rest, link, error))
            return std::nullopt;
    } else if (scheme == QLatin1String("rs485") || scheme == QLatin1String("rs485+framed")) {
        link.kind
            = scheme == QLatin1String("rs485") ? LinkKind::Rs485Selected : LinkKind::Rs485Framed;
        if (!ParseSerialTarget(rest, link, error))
            return std::nullopt;
        bool ok = false;
        const int address = params.queryItemValue(QStringLiteral("address")).toInt(&ok);
        if (!ok || address < 0 || address > 255) {
            *error = QStringLiteral("an RS-485 link needs the instrument's address, "
                                    "?address=N with N from 0 to 255");
            return std::nullopt;
        }
        link.address = QString::number(address);
        allowed << QStringLiteral("address");
    } else if (scheme == QLatin1String("sim")) {
        link.kind = LinkKind::Simulated;
        if (!rest.isEmpty()) {
            *error = QStringLiteral("a simulated link is just sim://");
            return std::nullopt;
        }
    } else if (scheme == QLatin1String("gpib")) {
        // gpib://BOARD/ADDRESS: the program is the controller of board 0.
        static const QRegularExpression gpib(QStringLiteral("^(\\d{1,2})/(\\d{1,2})$"));
        const auto m = gpib.match(rest);
        const int address = m.hasMatch() ? m.captured(2).toInt() : -1;
        if (!m.hasMatch() || m.captured(1).toInt() != 0 || address > MaxGpibAddress) {
            *error = QStringLiteral("a GPIB link is gpib://0/ADDRESS: board 0, primary address 0 "
                                    "to 30, not \"%1\"")
                         .arg(url);
            return std::nullopt;
        }
        link.kind = LinkKind::Gpib;
        link.address = QString::number(address);
    } else {
        *error = QStringLiteral("unknown link type \"%1://\"").arg(scheme);
        return std::nullopt;
    }
    for (const auto &item : params.queryItems()) {
        if (!allowed.contains(item.first)) {
            *error = QStringLiteral("\"%1\" is no setting of a %2:// link").arg(item.first, scheme);
            return std::nullopt;
        }
    }
    return link;
}

} // namespace zop::cli
