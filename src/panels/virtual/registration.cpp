#include "panels/virtual/registration.h"

#include "frame/panelregistry.h"
#include "engine/seriesspec.h"
#include "panels/virtual/virtualpanel.h"

namespace zop {

void RegisterVirtualPanels()
{
    for (const SeriesSpec *series : AllSeriesSpecs())
        RegisterPanel(series->panel, [id = series->panel] { return new VirtualPanel(id); });
}

} // namespace zop
