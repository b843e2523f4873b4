#include "panels/service/registration.h"

#include "frame/panelregistry.h"
#include "panels/service/commandpanel.h"
#include "panels/service/registerspanel.h"

namespace zop {

void RegisterServicePanels()
{
    RegisterPanel(PanelId::Command, [] { return new CommandPanel; });
    RegisterPanel(PanelId::Registers, [] { return new RegistersPanel; });
}

} // namespace zop
