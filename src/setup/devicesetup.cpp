#include "setup/devicesetup.h"

#include "link/linkkind.h"
#include "setup/frmcommsetup.h"
#include "setup/frmfindtcpip.h"

namespace zop {

void RegisterDeviceSetupDialogs()
{
    SetFindDeviceDialog(LinkKind::TcpIp,
                        [](QWidget *parent, qint16) { return FindTcpIpDevice(parent); });
}

} // namespace zop
