#include "panels/virtual/registration.h"

#include "app/frame/panelregistry.h"
#include "panels/virtual/virtualpanel.h"

namespace zop {

void RegisterVirtualPanels()
{
    RegisterPanel(PanelId::TLB, [] { return new VirtualPanel(PanelId::TLB); });
}

} // namespace zop
