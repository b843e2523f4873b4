#include "panels/service/servicewidgets.h"

#include "frame/panelwindow.h"
#include "link/commlayer.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>

namespace zop {

QString ServicePanelStyle()
{
    // Frames, column heads and read-only boxes come with the program's look (ui/look.h).
    return QStringLiteral(
        "QFrame#fraLegend { border: 1px solid palette(mid); border-radius: 3px;"
        " padding: 3px 6px; }"
        "QFrame#fraLegend QLabel { border: none; padding: 0; }"
        "QLineEdit[dataBox=\"true\"] { font-family: monospace; }"
        "QLineEdit:read-only, QLineEdit:disabled { background: palette(button); }");
}

QPushButton *ServiceButton(const QString &name, const QString &caption,
                           const QString &accessibleName, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLabel *ColumnHead(const QString &text, QWidget *parent)
{
    auto *head = new QLabel(text, parent);
    head->setTextFormat(Qt::PlainText);
    head->setProperty("columnHead", true);
    return head;
}

bool AskInstrument(PanelWindow *panel, const QList<QWidget *> &frames, const QString &query,
                   QString &reply, bool log, bool *answered)
{
    QPointer<PanelWindow> self(panel);
    QPointer<QWidget> focused = QApplication::focusWidget();
    SendCommand(query, log);

    // While the reply is awaited nothing else may start an exchange: neither a second button
    // nor a menu entry (a panel switch or the Setup dialog would talk to the instrument in the
    // middle of this one).
    QList<QPointer<QWidget>> disabled;
    for (QWidget *frame : frames) {
        if (frame->isEnabled()) {
            frame->setEnabled(false);
            disabled << frame;
        }
    }
    QPointer<QMenuBar> menus = panel->menuBar();
    const bool menusWereEnabled = menus && menus->isEnabled();
    if (menusWereEnabled)
        menus->setEnabled(false);

    if (answered)
        *answered = ReadStatusReply(reply, ServiceReplyTimeoutSeconds, log) > 0;
    else
        ReadReply(reply, ServiceReplyTimeoutSeconds, log);

    if (!self)
        return false;
    for (const QPointer<QWidget> &frame : disabled) {
        if (frame)
            frame->setEnabled(true);
    }
    if (menus && menusWereEnabled)
        menus->setEnabled(true);
    if (focused && focused->isEnabled() && focused->window() == self)
        focused->setFocus(Qt::OtherFocusReason);
    return true;
}

} // namespace zop
