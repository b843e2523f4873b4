#include "cli/discovercommand.h"

#include "setup/discoveryreply.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>

namespace zop::cli {

namespace {

struct Found {
    QString name;
    QString address;
    QString port;
    QString mac;
};

QHostAddress Ipv4(const QString &text, const QString &option)
{
    const QHostAddress address(text);
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        throw Failure{Exit::Usage,
                      QStringLiteral("--%1 needs an IPv4 address, not \"%2\"").arg(option, text)};
    return address;
}

QString Table(const QList<Found> &found)
{
    const QStringList headers{QStringLiteral("Name"), QStringLiteral("IP Address"),
                              QStringLiteral("Port"), QStringLiteral("MAC Address")};
    QList<QStringList> rows{headers};
    for (const Found &f : found)
        rows << QStringList{f.name, f.address, f.port, f.mac};
    QList<int> widths(headers.size(), 0);
    for (const QStringList &row : rows) {
        for (int i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], int(row[i].size()));
    }
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        text += line + QLatin1Char('\n');
    }
    return text;
}

// The address an option gives, else the one ZOP_Panel.ini's `key` gives (`configured`).
QHostAddress GivenOrConfigured(const QString &given, const QString &option,
                               const std::optional<QHostAddress> &configured, const QString &key)
{
    if (!given.isEmpty())
        return Ipv4(given, option);
    if (!configured)
        throw Failure{Exit::Usage, QStringLiteral("%1 of ZOP_Panel.ini names no IPv4 address").arg(key)};
    return *configured;
}

} // namespace

void RunDiscover(CommandContext &c)
{
    const QHostAddress local = GivenOrConfigured(c.bindAddress, QStringLiteral("bind"),
                                                 DiscoveryBindAddress(), Discovery::BindKey);
    const QHostAddress target = GivenOrConfigured(c.target, QStringLiteral("target"),
                                                  DiscoveryTarget(), Discovery::TargetKey);

    QUdpSocket socket;
    // Never shared, as the panel's search: with SO_REUSEADDR another account could bind the
    // port too and take the replies.
    if (!socket.bind(local, Discovery::Port, QUdpSocket::DontShareAddress))
        throw Failure{Exit::LinkFailed, QStringLiteral("Unable to bind to UDP Port %1: %2")
                                            .arg(Discovery::Port)
                                            .arg(socket.errorString())};
    if (socket.writeDatagram(Discovery::Request, 1, target, Discovery::Port) != 1)
        throw Failure{Exit::LinkFailed, QStringLiteral("cannot send the request to %1: %2")
                                            .arg(target.toString(), socket.errorString())};

    QList<Found> found;
    QEventLoop loop;
    const auto enough = [&] { return c.count >= 0 && found.size() >= c.count; };
    const auto take = [&] {
        while (socket.hasPendingDatagrams() && !enough()) {
            const qint64 size = socket.pendingDatagramSize();
            if (size < 0 || size > Discovery::MaxDatagramBytes) {
                socket.readDatagram(nullptr, 0); // dropped unread
                continue;
            }
            const QNetworkDatagram datagram = socket.receiveDatagram(size);
            if (found.size() >= Discovery::MaxRows)
                continue;
            if (const auto reply = ParseDiscoveryReply(datagram.data()))
                found << Found{reply->name, SenderAddressText(datagram.senderAddress()),
                               reply->port, reply->mac};
        }
        if (enough())
            loop.quit();
    };
    QObject::connect(&socket, &QUdpSocket::readyRead, &loop, take);
    QObject::connect(&c.interrupt, &Interrupt::raised, &loop, &QEventLoop::quit);
    QTimer::singleShot(int(c.timeoutSeconds * 1000.0 + 0.5), &loop, &QEventLoop::quit);
    if (!c.interrupt.requested() && !enough())
        loop.exec();

    if (found.isEmpty())
        throw Failure{Exit::TimedOut,
                      QStringLiteral("no instrument answered at %1 within %2 s")
                          .arg(target.toString())
                          .arg(c.timeoutSeconds)};
    if (c.json) {
        QJsonArray array;
        for (const Found &f : found)
            array.append(QJsonObject{{QStringLiteral("name"), f.name},
                                     {QStringLiteral("address"), f.address},
                                     {QStringLiteral("port"), f.port},
                                     {QStringLiteral("mac"), f.mac}});
        Print(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
    } else {
        Print(Table(found));
    }
}

} // namespace zop::cli
