#include "link/linkurl.h"

#include "link/linkkind.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace zop {

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

const QString RawPortOnly = QStringLiteral("--port goes only with a TCPIP::HOST::INSTR link");

// A VISA resource string (the link starts with TCPIP, ASRL or GPIB and a board number or "::").
std::optional<LinkSettings> ParseVisaResource(const QString &text, qint32 rawPort, QString *error)
{
    constexpr auto Caseless = QRegularExpression::CaseInsensitiveOption;
    // A host: a name or address without colons, or an IPv6 address in brackets.
    static const QString host = QStringLiteral("(\\[[0-9A-Fa-f:.]+\\]|[^:\\[\\]]+)");
    static const QRegularExpression socket(
        QStringLiteral("^TCPIP\\d*::%1::(\\d{1,5})::SOCKET$").arg(host), Caseless);
    static const QRegularExpression instr(
        QStringLiteral("^TCPIP\\d*::%1(?:::[A-Za-z0-9_]+)?::INSTR$").arg(host), Caseless);
    static const QRegularExpression asrlNumber(QStringLiteral("^ASRL(\\d{1,3})::INSTR$"),
                                               Caseless);
    static const QRegularExpression asrlPath(QStringLiteral("^ASRL(/[^:]+)::INSTR$"), Caseless);
    static const QRegularExpression gpib(
        QStringLiteral("^GPIB(\\d*)::(\\d{1,2})(::\\d+)?::INSTR$"), Caseless);
    const auto bare = [](QString h) {
        return h.startsWith(QLatin1Char('[')) ? h.mid(1, h.size() - 2) : h;
    };

    LinkSettings link;
    bool takesRawPort = false;
    if (const auto m = socket.match(text); m.hasMatch()) {
        link.kind = LinkKind::TcpIp;
        link.address = bare(m.captured(1));
        link.port = m.captured(2).toInt();
        if (link.port < 1 || link.port > 65535) {
            *error = QStringLiteral("the port of \"%1\" must be 1 to 65535").arg(text);
            return std::nullopt;
        }
    } else if (const auto m = instr.match(text); m.hasMatch()) {
        if (rawPort == 0) {
            *error = QStringLiteral("the instrument has no VXI-11 server: give its raw TCP port "
                                    "with --port N (50505 unless changed) for \"%1\", or use "
                                    "TCPIP0::HOST::PORT::SOCKET")
                         .arg(text);
            return std::nullopt;
        }
        link.kind = LinkKind::TcpIp;
        link.address = bare(m.captured(1));
        link.port = rawPort;
        takesRawPort = true;
    } else if (const auto m = asrlNumber.match(text); m.hasMatch()) {
        link.kind = LinkKind::Rs232;
        link.port = m.captured(1).toInt();
        if (link.port < 1) {
            *error = QStringLiteral("serial ports are numbered from ASRL1 (COM1)");
            return std::nullopt;
        }
    } else if (const auto m = asrlPath.match(text); m.hasMatch()) {
        link.kind = LinkKind::Rs232;
        link.device = m.captured(1);
    } else if (const auto m = gpib.match(text); m.hasMatch()) {
        const int address = m.captured(2).toInt();
        if (m.captured(1).toInt() != 0 || address > MaxGpibAddress || m.hasCaptured(3)) {
            *error = QStringLiteral("a GPIB link is GPIB0::ADDRESS::INSTR: board 0, primary "
                                    "address 0 to 30, no secondary address, not \"%1\"")
                         .arg(text);
            return std::nullopt;
        }
        link.kind = LinkKind::Gpib;
        link.address = QString::number(address);
    } else {
        *error = QStringLiteral("\"%1\" is no VISA resource this program can use "
                                "(TCPIP0::HOST::PORT::SOCKET, TCPIP::HOST::INSTR with --port, "
                                "ASRL/dev/ttyUSB0::INSTR, ASRL3::INSTR, GPIB0::5::INSTR)")
                     .arg(text);
        return std::nullopt;
    }
    if (rawPort != 0 && !takesRawPort) {
        *error = RawPortOnly;
        return std::nullopt;
    }
    return link;
}

} // namespace

std::optional<LinkSettings> ParseLinkUrl(const QString &url, QString *error, qint32 rawPort)
{
    static const QRegularExpression visa(QStringLiteral("^(TCPIP|ASRL|GPIB)\\d*(::|/)"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (visa.match(url).hasMatch())
        return ParseVisaResource(url, rawPort, error);
    if (rawPort != 0) {
        *error = RawPortOnly;
        return std::nullopt;
    }
    const qsizetype sep = url.indexOf(QLatin1String("://"));
    if (sep <= 0) {
        *error = QStringLiteral("\"%1\" is no link URL (tcp://, serial://, rs485://, "
                                "rs485+framed://, gpib://, sim://) or VISA resource "
                                "(TCPIP0::HOST::PORT::SOCKET, ASRL3::INSTR, GPIB0::5::INSTR)")
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

} // namespace zop
