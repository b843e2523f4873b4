#pragma once
// What the Configuration Setup and Communication Setup dialogs decide, without a screen: the
// addresses kept aside while the link kind changes, the fields each kind shows, the checks on
// OK, the serial port entry (a port number or a device path) and what becomes of the "Device"
// key.

#include "app/configuration.h"
#include "link/serialports.h"

#include <QString>

namespace zop {

namespace SetupText {
inline const QString DataErrorTitle = QStringLiteral("Data Error");
inline const QString CheckAddress = QStringLiteral("Check Address for Validity");
inline const QString CheckPort = QStringLiteral("Check Port for Validity");
inline const QString CheckAddressAndPort = QStringLiteral("Check the Address and Port for Validity");
inline const QString CheckBus = QStringLiteral("Check the Communication Bus Selection");
inline const QString CheckStartup = QStringLiteral("Check the Start-Up Panel for Validity");
inline const QString CheckSystem = QStringLiteral("Check the System Type for Validity");
} // namespace SetupText

// Start-up panel and system-type names shorter than this are refused.
constexpr int MinSetupNameLength = 5;
// Link-kind names of this length or shorter are not offered.
constexpr int MaxHiddenLinkNameLength = 1;

// The address and port being edited, and the address of the other family kept aside: the
// network address while a numbered link (GPIB, RS-232, RS-485) is chosen, the number while
// TCP/IP is chosen.
struct SetupAddresses {
    QString Address;
    QString Port;
    QString SavedNetAddress;
    QString SavedNumAddress;
};
// A new link kind was chosen (`position` in the link list, the link kind).
void ChangeLinkKind(SetupAddresses &entries, int position);

// The fields of the Configuration Setup dialog for a link kind (-1: none chosen).
struct SetupFields {
    bool addressShown = false;
    QString addressCaption;
    bool portShown = false;
    QString portCaption;
    bool configureShown = false;
};
SetupFields SetupFieldsFor(int position);

// The check both dialogs make on OK for link kind `kind` (-1: none chosen): clears what the
// kind does not use and returns the "Data Error" message, or empty text when the entries are
// good. An address or port longer than the file keeps (ProfileBufferSize - 1) is refused too:
// it would come back cut when the file is read.
QString CheckLinkEntries(int kind, QString &address, QString &port);

// A serial port as the user gave it: a port number ("3", or a list item "3: /dev/ttyUSB2")
// or a device path ("/dev/ttyUSB0", "/tmp/zop-line").
struct SerialPortEntry {
    QString port;
    QString device;
};
// With a device path the port keeps `previousPort` when that is a serial port number (a
// number of one or two characters), otherwise it becomes "1".
SerialPortEntry ParseSerialPortEntry(const QString &text, const QString &previousPort);

// The list item for serial port `number`: "1: /dev/ttyUSB0", "5: not present" (on Windows
// the bare number, which is the port's own name).
QString SerialPortLabel(int number, const SerialPortLister &lister);
// The ports the dialogs label; tests replace it so they never look at the machine's ports.
// Null puts the system's list back.
void SetSetupPortLister(SerialPortLister lister);
const SerialPortLister &SetupPortLister();

// A serial link kind writes a typed device path as "Device" and removes the key for a
// numbered port; the other kinds leave it alone.
DeviceKeyChange DeviceKeyFor(int kind, const QString &device);

} // namespace zop
