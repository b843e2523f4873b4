#pragma once
// Network discovery of instruments: a one-character request on UDP port 30303, answered by
// every instrument with its name, MAC address and command port. Anyone on the local network
// can send to that port, so a reply is untrusted text: it is cut to a few plain, printable
// fields before anything shows it.

#include <QByteArrayView>
#include <QString>
#include <optional>

class QHostAddress;

namespace zop {

namespace Discovery {
constexpr quint16 Port = 30303;
// The whole payload of a request.
inline constexpr char Request[] = "D";
// Where requests go unless "DiscoveryTarget" of "Communication" names another address.
inline const QString DefaultTarget = QStringLiteral("255.255.255.255");
inline const QString TargetKey = QStringLiteral("DiscoveryTarget");
// The local address the search listens on: every IPv4 address unless "DiscoveryBind" of
// "Communication" names one (a machine with many networks, and the tests, which keep to
// loopback).
inline const QString BindKey = QStringLiteral("DiscoveryBind");
// Datagrams larger than this are not replies (an Ethernet frame's payload).
constexpr int MaxDatagramBytes = 1500;
// Characters kept of each field, and the rows a search lists at most.
constexpr int MaxFieldChars = 64;
constexpr int MaxRows = 1000;
} // namespace Discovery

// One instrument's reply: fields separated by CR LF, the name first, then the MAC address,
// then the TCP port (as text); later fields are ignored. Each field is taken as 8-bit text,
// with control characters dropped and cut to MaxFieldChars.
struct DiscoveryReply {
    QString name;
    QString mac;
    QString port;
};
// Nothing for a datagram with fewer than three fields, an empty one, one larger than
// MaxDatagramBytes (a request "D" has one field and is ignored too).
std::optional<DiscoveryReply> ParseDiscoveryReply(QByteArrayView datagram);

// The sender as four decimal numbers joined by "." ("192.168.1.213"); IPv4-mapped IPv6
// addresses count as IPv4. Empty when the address is not IPv4.
QString SenderAddressText(const QHostAddress &sender);

// The address requests go to: the "DiscoveryTarget" key of "Communication" in ZOP_Panel.ini,
// 255.255.255.255 when the key is missing or empty. Nothing when the key names no IPv4
// address: a mistyped key sends nowhere rather than to the whole network.
std::optional<QHostAddress> DiscoveryTarget();

// The address the search binds port 30303 on: the "DiscoveryBind" key of "Communication",
// every IPv4 address when it is missing or empty; nothing when it names no IPv4 address. The
// port is never shared: with SO_REUSEADDR another account on the machine could bind it too and
// take the instruments' replies.
std::optional<QHostAddress> DiscoveryBindAddress();

} // namespace zop
