#include "setup/devicesetup.h"

#include "app/moddata.h"
#include "link/linkaddress.h"
#include "link/linkkind.h"
#include "setup/findgpib.h"
#include "setup/frmchange.h"
#include "setup/frmcommsetup.h"
#include "setup/frmfindtcpip.h"
#include "ui/apptitle.h"

namespace zop {

void RegisterDeviceSetupDialogs()
{
    SetFindDeviceDialog(LinkKind::TcpIp,
                        [](QWidget *parent, qint16) { return FindTcpIpDevice(parent); });
    SetFindDeviceDialog(LinkKind::Gpib,
                        [](QWidget *parent, qint16) -> std::optional<DeviceChoice> {
                            const QString address = frmFindGPIB::FindDevice(parent);
                            if (address.isEmpty())
                                return std::nullopt;
                            return DeviceChoice{address, {}};
                        });
    SetChangeDeviceDialog([](QWidget *parent, qint16 commType,
                             const QString &address) -> std::optional<DeviceChoice> {
        if (commType == LinkKind::TcpIp) {
            // The network settings dialog is still to come: say that the device answers.
            modData().prompter->Show(QStringLiteral("A device answers on ")
                                         + DescribeLink(commType,
                                                        QString::number(modData().CommPort),
                                                        address)
                                         + QLatin1Char('.'),
                                     ApplicationTitle, MsgIcon::Information, MsgButtons::Ok);
            return std::nullopt;
        }
        return ChangeDeviceAddress(parent, commType, address);
    });
}

} // namespace zop
