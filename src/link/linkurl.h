#pragma once
// The links zopctl's --link names: a URL of its own or a VISA resource string as test
// engineers paste them from their VISA tools. Which link kind, address, port and serial
// device each stands for:
//   tcp://HOST[:PORT]                  TCP/IP (port 50505 when left out)
//   serial:///dev/ttyUSB0, serial://COM3, serial://ttyUSB0   RS-232
//   rs485://DEVICE?address=N           RS-485, the instrument selected once at opening
//   rs485+framed://DEVICE?address=N    RS-485, every command framed with the address
//   gpib://0/ADDRESS                   GPIB, board 0, the instrument's primary address
//   sim://                             Simulated mode: no instrument, every reply "9.999"
//   TCPIP0::HOST::PORT::SOCKET         TCP/IP to PORT
//   TCPIP::HOST::INSTR                 TCP/IP to the raw port given apart (zopctl --port): the
//                                      instrument has no VXI-11 server, only its raw socket
//   ASRL/dev/ttyUSB0::INSTR            RS-232 on that device
//   ASRL3::INSTR                       RS-232 on COM3 (the port number's usual rule)
//   GPIB0::5::INSTR                    GPIB, board 0, primary address 5
// VISA keywords are matched without regard to case; a board number may be left out.

#include <QString>
#include <optional>

namespace zop {

struct LinkSettings {
    qint16 kind = 0;
    QString address; // TCP host, RS-485 or GPIB address (decimal text)
    qint32 port = 0; // TCP port or serial port number (COMn)
    QString device; // serial device path; empty: the port number picks it
};

// The settings `link` stands for, or nothing with the reason in `error`. `rawPort` is the
// instrument's raw TCP port for a TCPIP::HOST::INSTR resource, 0 when none was given (any
// other link refuses one).
std::optional<LinkSettings> ParseLinkUrl(const QString &link, QString *error, qint32 rawPort = 0);

} // namespace zop
