#pragma once
// What the panels' status line and the link's messages say about the link: which link is in
// use ("TCP/IP 127.0.0.1:50505"), whether it is live, and, in Simulated mode, why the program
// got there when a failure put it there.

#include <QString>
#include <QtGlobal>

namespace zop {

// The link as configured, with the serial device in use when one is known.
struct LinkEnds {
    qint16 kind = 0;
    QString address;
    qint32 port = 0;
    // The "Device" key of the configuration: names the serial device itself.
    QString deviceKey;
    // The serial device opened (found from the port number or named by "Device"); may be
    // empty before an opening or when the port number names no device.
    QString devicePath;
};

// The link as people name it: "TCP/IP 127.0.0.1:50505", "RS-232 /dev/ttyUSB0 (Port 1)",
// "RS-232 /dev/pts/3" (named by "Device"), "RS-485 framed, address 17, /dev/ttyS0 (Port 1)",
// "GPIB 0, address 5", "Simulated"; "no link" for a kind outside the list.
QString LinkText(const LinkEnds &link);

// The last fall-back to Simulated mode: what failed, on which link and why.
struct LinkFallBack {
    enum class Cause { None, NoLinkConfigured, OpenFailed, WriteFailed, ReadFailed, TimedOut };
    Cause cause = Cause::None;
    QString link;       // LinkText of the link that failed
    QString reason;     // what the transport said ("Connection refused"); empty for a time-out
    int timeoutSeconds = 0; // the wait that ran out (TimedOut)
};

enum class LinkState { Live, NotConnected, Simulated };
struct LinkStatus {
    LinkState state = LinkState::Simulated;
    QString text;
};

// The status line: the link text while a real link is in use (with ": not connected" when it
// cannot carry traffic now); in Simulated mode "Simulated: no instrument", followed by the
// reason when a fall-back caused it (", after a time-out on TCP/IP 127.0.0.1:50505").
LinkStatus DescribeLinkStatus(qint16 kind, const QString &linkText, bool connected,
                              const LinkFallBack &fallBack);

// The details a fall-back's message box gives under its text: "Link: " and the link, then
// "Reason: " and what the transport said (or the wait that ran out), one per line; empty when
// no link failed.
QString FallBackDetails(const LinkFallBack &fallBack);

} // namespace zop
