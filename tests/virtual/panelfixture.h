#pragma once
// A virtual panel window on the scripted instrument of EngineFixture: for what needs a window
// (its controls, their names and wiring, switching and closing).

#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "enginefixture.h"
#include "panels/virtual/virtualpanel.h"

#include <QPointer>

namespace zop::test {

struct PanelFixture : EngineFixture {
    explicit PanelFixture(PanelId series = PanelId::TLB, bool open = true)
        : EngineFixture(series, false)
    {
        SetProgramEnder([this] { ++programEnded; });
        if (open)
            openPanel(series);
    }
    ~PanelFixture()
    {
        SetProgramEnder(nullptr);
        delete panel.data();
    }

    void openPanel(PanelId series)
    {
        panel = new VirtualPanel(series);
        panel->show();
        modData().CurrentPanel = panel.data();
        e = &panel->engine();
        line->written.clear();
    }
    template <typename T = QWidget>
    T *widget(const char *name) const
    {
        return panel->findChild<T *>(QLatin1String(name));
    }

    QPointer<VirtualPanel> panel;
    int programEnded = 0;
};

} // namespace zop::test
