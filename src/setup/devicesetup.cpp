#include "setup/devicesetup.h"

#include "link/linkkind.h"
#include "setup/findgpib.h"
#include "setup/frmchange.h"
#include "setup/frmchangetcpip.h"
#include "setup/frmcommsetup.h"
#include "setup/frmfindtcpip.h"

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
        if (commType == LinkKind::TcpIp)
            return ChangeNetworkSettings(parent);
        return ChangeDeviceAddress(parent, commType, address);
    });
}

} // namespace zop
