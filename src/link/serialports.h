#pragma once
// Which device a configured serial port number names.
//
// The configured port number keeps its Windows meaning: port n is COMn. On Windows it is
// handed to the system as "COMn". Elsewhere the serial ports the system lists are numbered
// from 1 in a fixed order (SerialPortOrder) and port n is the n-th of them. The configuration
// key "Device" of section "Communication", when not empty, names the device directly and wins
// over the port number for every serial link kind.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace zop {

// The serial ports present on this machine ("/dev/ttyUSB0", "/dev/ttyS0"), in any order.
// Injected by tests so that they never look at the machine's real ports.
using SerialPortLister = std::function<QStringList()>;

// The ports the system lists (QSerialPortInfo), by their device paths.
QStringList SystemSerialPorts();

// Puts ports in COM-number order, by the file name of each: first the built-in ports (every
// name that is not a USB port: ttyS0, ttyS1, ..., ttyAMA0, ...), then USB serial adapters
// (ttyUSB0, ttyUSB1, ...), then USB modem-class ports (ttyACM0, ...). Within a group names
// sort by their text and then by their trailing number as a number, so ttyS2 comes before
// ttyS10.
QStringList SerialPortOrder(QStringList names);

// The device to open for port number `port` and the "Device" key `device`. Returns an empty
// text when there is none, with the reason in `problem`.
QString SerialPortLocation(qint32 port, const QString &device, const SerialPortLister &lister,
                           QString *problem);

// Where udev keeps links named after each USB adapter's maker, model and serial number.
inline const QString SerialByIdFolder = QStringLiteral("/dev/serial/by-id");

// One serial port as zopctl ports lists it: its port number (COMn), its device, and the links
// in SerialByIdFolder that lead to it (they keep naming the adapter whichever socket it is
// plugged into).
struct SerialPortRow {
    qint32 port = 0;
    QString device;
    QStringList byId;
};

// The ports in port-number order, each with the links of `byIdFolder` that lead to it.
QList<SerialPortRow> SerialPortTable(const QStringList &ports,
                                       const QString &byIdFolder = SerialByIdFolder);

} // namespace zop
