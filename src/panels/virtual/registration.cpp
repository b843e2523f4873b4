#include "panels/virtual/registration.h"

#include "frame/panelregistry.h"
#include "panels/virtual/virtualpanel.h"

namespace zop {

void RegisterVirtualPanels()
{
    for (PanelId id : {PanelId::TLB, PanelId::KM, PanelId::TW, PanelId::GZ})
        RegisterPanel(id, [id] { return new VirtualPanel(id); });
}

} // namespace zop
