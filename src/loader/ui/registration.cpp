#include "loader/ui/registration.h"

#include "frame/panelregistry.h"
#include "loader/ui/frmloader.h"

namespace zop {

void RegisterFirmwarePanel()
{
    RegisterPanel(PanelId::Firmware, [] { return new FrmLoader; });
}

} // namespace zop
