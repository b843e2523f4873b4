#pragma once
// The --link URLs: which link kind, address, port and serial device a URL stands for.
//   tcp://HOST[:PORT]                  TCP/IP (port 50505 when left out)
//   serial:///dev/ttyUSB0, serial://COM3, serial://ttyUSB0   RS-232
//   rs485://DEVICE?address=N           RS-485, the instrument selected once at opening
//   rs485+framed://DEVICE?address=N    RS-485, every command framed with the address
//   gpib://0/ADDRESS                   GPIB, board 0, the instrument's primary address
//   sim://                             Simulated mode: no instrument, every reply "9.999"

#include <QString>
#include <optional>

namespace zop::cli {

struct LinkSettings {
    qint16 kind = 0;
    QString address; // TCP host, RS-485 or GPIB address (decimal text)
    qint32 port = 0; // TCP port or serial port number (COMn)
    QString device; // serial device path; empty: the port number picks it
};

// The settings a URL stands for, or nothing with the reason in `error`.
std::optional<LinkSettings> ParseLinkUrl(const QString &url, QString *error);

} // namespace zop::cli
