#pragma once
// The network settings of an instrument's network interface as the user enters them, their
// check, the commands that write them and restart the interface, and the address and port by
// which the instrument is reached afterwards. The dialog (setup/frmchangetcpip.h) only shows
// them.

#include <QString>
#include <QtGlobal>

namespace zop {

namespace NetworkText {
inline const QString PortInvalid = QStringLiteral(
    "Port is invalid.  Check that it is an integer greater than 0 and less than 65535.");
inline const QString IpInvalid = QStringLiteral("Check IP for validity.");
// Shown in the three address boxes while DHCP sets them.
inline const QString SetByDhcp = QStringLiteral("Set by DHCP");
} // namespace NetworkText

namespace NetworkCommand {
inline const QString Dhcp = QStringLiteral("SYST:COMM:NET:DHCP");
inline const QString Port = QStringLiteral("SYST:COMM:NET:PORT");
inline const QString Address = QStringLiteral("SYST:COMM:NET:ADDR");
inline const QString Subnet = QStringLiteral("SYST:COMM:NET:SUBN");
inline const QString Gateway = QStringLiteral("SYST:COMM:NET:GATE");
inline const QString Version = QStringLiteral("SYST:COMM:NET:VERS");
inline const QString Mac = QStringLiteral("SYST:COMM:NET:MAC");
inline const QString Host = QStringLiteral("SYST:COMM:NET:HOST");
// Restarts the network interface with the settings written; it is not answered.
inline const QString Restart = QStringLiteral("<>RST");
} // namespace NetworkCommand

// The interface takes the port before it is given its addresses after this pause.
constexpr qint64 NetworkPortPauseMs = 50;
constexpr int NetworkPortMin = 1;
constexpr int NetworkPortMax = 65534;

struct NetworkSettings {
    bool dhcp = false;
    QString name; // shown, never written
    QString port;
    QString ipAddress; // these three only for a static address
    QString subnetMask;
    QString gateway;
};

// The entry a check stops at, in the order checked.
enum class NetworkField { None, Port, IPAddress, SubnetMask, Gateway };

// The first entry that is not good: a port that is not a whole number from 1 to 65534
// written without a decimal point, then (static address only) the IP address, subnet mask
// and gateway, each four numbers from 0 to 255. The network name is always good.
NetworkField FirstInvalidNetworkSetting(const NetworkSettings &settings);
// The message for that entry; empty for None.
QString InvalidNetworkSettingMessage(NetworkField field);

// Writes the settings over the link, reading the one-line answer to each: the address method,
// the port (the number checked, in plain digits: "1e3" goes as "1000"), after a pause (on the program's clock) the static addresses, then restarts the
// interface (nothing read) and lets pending window events run. Everything is echoed to the
// log. Then the computer's name cache is purged where it has one. Returns true.
bool WriteNetworkSettings(const NetworkSettings &settings);

// Where the instrument is reached once it restarted: its static IP address, or with DHCP its
// network name; and the port as a number (0 when the text is not one).
QString ReachableAddress(const NetworkSettings &settings);
qint32 PortNumber(const QString &portText);

// Purges the computer's cache of network names (on Windows "nbtstat -R", started hidden and
// not waited for). Linux keeps no such cache: there it does nothing.
void PurgeNameCache();

} // namespace zop
