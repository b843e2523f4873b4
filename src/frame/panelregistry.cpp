#include "frame/panelregistry.h"

#include "frame/panelwindow.h"

#include "app/usersettings.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>

namespace zop {

namespace {
QHash<QString, PanelCreator> &Creators()
{
    static QHash<QString, PanelCreator> creators;
    return creators;
}
} // namespace

void RegisterPanel(PanelId id, PanelCreator creator) { RegisterPanel(PanelName(id), std::move(creator)); }

void RegisterPanel(const QString &formName, PanelCreator creator)
{
    if (formName.isEmpty())
        return;
    if (creator)
        Creators().insert(formName, std::move(creator));
    else
        Creators().remove(formName);
}

bool IsPanelRegistered(const QString &formName) { return Creators().contains(formName); }
bool IsPanelRegistered(PanelId id) { return IsPanelRegistered(PanelName(id)); }

void ClearPanelRegistry() { Creators().clear(); }

PanelWindow *OpenPanel(const QString &formName, const QWidget *inPlaceOf)
{
    const auto found = Creators().constFind(formName);
    if (found == Creators().constEnd())
        return nullptr;
    const PanelCreator creator = found.value(); // a creator may register others
    PanelWindow *panel = creator();
    if (!panel)
        return nullptr;
    if (const std::optional<QRect> saved = Prefs().windowGeometry(formName)) {
        // Where the user left this kind of panel, on a screen and no smaller than it needs.
        QList<QRect> screens;
        for (const QScreen *screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        panel->setGeometry(FitWindowOnScreens(*saved, panel->sizeHint(), screens));
    } else if (inPlaceOf && inPlaceOf->isVisible()) {
        // Where the old panel stood, at the new panel's own size: squeezed to a smaller
        // window's size its knobs and displays shrink, pulled to a larger one's it loses its
        // instrument look.
        panel->move(inPlaceOf->pos());
        panel->resize(panel->sizeHint()
                          .expandedTo(panel->minimumSizeHint())
                          .boundedTo(panel->maximumSize()));
    }
    panel->show();
    return panel;
}

PanelWindow *OpenPanel(PanelId id) { return OpenPanel(PanelName(id)); }

} // namespace zop
