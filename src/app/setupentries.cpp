#include "app/setupentries.h"

#include "link/linkaddress.h"
#include "link/linkkind.h"

#include <QRegularExpression>

namespace zop {

void ChangeLinkKind(SetupAddresses &e, int position)
{
    if (position != LinkKind::TcpIp && !IsNumericText(e.Address)) {
        e.SavedNetAddress = e.Address;
        e.Address = e.SavedNumAddress.isEmpty() ? QStringLiteral("1") : e.SavedNumAddress;
    } else if (position == LinkKind::TcpIp && (e.Address.isEmpty() || IsNumericText(e.Address))) {
        e.SavedNumAddress = e.Address;
        e.Address = e.SavedNetAddress;
    }
    // A TCP port is no serial port.
    if (position == LinkKind::Rs232 && IsNumericText(e.Port) && e.Port.size() >= 3)
        e.Port = QStringLiteral("1");
}

SetupFields SetupFieldsFor(int position)
{
    SetupFields f;
    f.addressCaption = QStringLiteral("Address");
    f.portCaption = QStringLiteral("Port");
    switch (position) {
    case LinkKind::Gpib: f.addressShown = true; break;
    case LinkKind::Rs232:
        f.portShown = true;
        f.portCaption = QStringLiteral("Comm Port");
        break;
    case LinkKind::TcpIp:
        f.addressShown = true;
        f.portShown = true;
        break;
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed:
        f.addressShown = true;
        f.addressCaption = QStringLiteral("RS485 Address");
        f.portShown = true;
        f.portCaption = QStringLiteral("Comm Port");
        break;
    default: return f;
    }
    f.configureShown = true;
    return f;
}

QString CheckLinkEntries(int kind, QString &address, QString &port)
{
    const int keep = ProfileBufferSize - 1;
    const bool fits = address.size() <= keep && port.size() <= keep;
    switch (kind) {
    case LinkKind::Gpib:
        port.clear();
        return !address.isEmpty() && fits ? QString() : SetupText::CheckAddress;
    case LinkKind::Rs232:
        address.clear();
        return !port.isEmpty() && fits ? QString() : SetupText::CheckPort;
    case LinkKind::TcpIp:
        return !port.isEmpty() && fits
                       && (IsValidHostName(address, true) || IsValidIPAddress(address))
                   ? QString()
                   : SetupText::CheckAddressAndPort;
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed:
        return !address.isEmpty() && !port.isEmpty() && fits ? QString()
                                                             : SetupText::CheckAddressAndPort;
    case LinkKind::Simulated:
        address.clear();
        port.clear();
        return QString();
    default: return SetupText::CheckBus;
    }
}

SerialPortEntry ParseSerialPortEntry(const QString &text, const QString &previousPort)
{
    const QString t = text.trimmed();
    static const QRegularExpression item(QStringLiteral("^(\\d+)\\s*(:.*)?$"));
    if (const auto m = item.match(t); m.hasMatch())
        return {m.captured(1), QString()};
    if (t.isEmpty() || IsNumericText(t))
        return {t, QString()};
    const bool serialNumber = IsNumericText(previousPort) && previousPort.trimmed().size() < 3
                              && previousPort.trimmed() != QLatin1String("0");
    return {serialNumber ? previousPort.trimmed() : QStringLiteral("1"), t};
}

namespace {
SerialPortLister &PortLister()
{
    static SerialPortLister lister = SystemSerialPorts;
    return lister;
}
} // namespace

void SetSetupPortLister(SerialPortLister lister)
{
    PortLister() = lister ? std::move(lister) : SerialPortLister(SystemSerialPorts);
}

const SerialPortLister &SetupPortLister() { return PortLister(); }

QString SerialPortLabel(int number, const SerialPortLister &lister)
{
#ifdef Q_OS_WIN
    Q_UNUSED(lister);
    return QString::number(number);
#else
    const QString device = SerialPortLocation(number, QString(), lister, nullptr);
    return QStringLiteral("%1: %2").arg(number).arg(device.isEmpty() ? QStringLiteral("not present")
                                                                     : device);
#endif
}

DeviceKeyChange DeviceKeyFor(int kind, const QString &device)
{
    if (!IsSerialKind(qint16(kind)))
        return {};
    if (device.trimmed().isEmpty())
        return {DeviceKeyChange::Action::Remove, QString()};
    return {DeviceKeyChange::Action::Write, device.trimmed()};
}

} // namespace zop
