#include "setup/networksettings.h"

#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/linkaddress.h"
#include "setup/devicequery.h"
#include "core/numbertext.h"

#include <QCoreApplication>
#include <cmath>

#ifdef Q_OS_WIN
#include <QProcess>
#include <windows.h>
#endif

namespace zop {

namespace {

bool IsValidPort(const QString &text)
{
    if (!IsNumericText(text) || text.contains(QLatin1Char('.')))
        return false;
    const double value = LeadingDecimal(text);
    // "15e-1" has no decimal point but is no port either.
    return value == std::floor(value) && value >= NetworkPortMin && value <= NetworkPortMax;
}

// A set command: the header, a blank and the value; its one-line answer is read and ignored.
void WriteSetting(const QString &header, const QString &value)
{
    SendCommand(header + QLatin1Char(' ') + value, true);
    QString reply;
    ReadReply(reply, DeviceReplySeconds, true);
}

} // namespace

NetworkField FirstInvalidNetworkSetting(const NetworkSettings &settings)
{
    if (!IsValidPort(settings.port))
        return NetworkField::Port;
    if (settings.dhcp)
        return NetworkField::None;
    if (!IsValidIPAddress(settings.ipAddress))
        return NetworkField::IPAddress;
    if (!IsValidIPAddress(settings.subnetMask))
        return NetworkField::SubnetMask;
    if (!IsValidIPAddress(settings.gateway))
        return NetworkField::Gateway;
    return NetworkField::None;
}

QString InvalidNetworkSettingMessage(NetworkField field)
{
    switch (field) {
    case NetworkField::None: return QString();
    case NetworkField::Port: return NetworkText::PortInvalid;
    case NetworkField::IPAddress:
    case NetworkField::SubnetMask:
    case NetworkField::Gateway: return NetworkText::IpInvalid;
    }
    return QString();
}

bool WriteNetworkSettings(const NetworkSettings &settings)
{
    WriteSetting(NetworkCommand::Dhcp, settings.dhcp ? QStringLiteral("1") : QStringLiteral("0"));
    // The number that was checked, as digits: "1e3", "+80" or " 80" as typed would reach the
    // instrument in a form it was never checked in.
    WriteSetting(NetworkCommand::Port, QString::number(PortNumber(settings.port)));
    modData().clock->sleepMs(NetworkPortPauseMs);
    if (!settings.dhcp) {
        WriteSetting(NetworkCommand::Address, settings.ipAddress);
        WriteSetting(NetworkCommand::Subnet, settings.subnetMask);
        WriteSetting(NetworkCommand::Gateway, settings.gateway);
    }
    SendCommand(NetworkCommand::Restart, true);
    QCoreApplication::processEvents();
    PurgeNameCache();
    return true;
}

QString ReachableAddress(const NetworkSettings &settings)
{
    return settings.dhcp ? settings.name : settings.ipAddress;
}

qint32 PortNumber(const QString &portText)
{
    return IsNumericText(portText) ? SaturatedInt32(LeadingDecimal(portText)) : 0;
}

void PurgeNameCache()
{
#ifdef Q_OS_WIN
    QProcess process;
    process.setProgram(QStringLiteral("nbtstat"));
    process.setArguments({QStringLiteral("-R")});
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *arguments) { arguments->flags |= CREATE_NO_WINDOW; });
    process.startDetached(); // a failure to start it changes nothing that matters
#endif
}

} // namespace zop
