#include "ui/linkstatusline.h"

#include "app/moddata.h"
#include "ui/look.h"

#include <QAccessible>

namespace zop {

namespace {
// Text on ground: live green on the window's own ground, amber for Simulated, red for a link
// that cannot carry traffic. The text says the same, for those who cannot tell the colours.
QString StyleFor(LinkState state)
{
    switch (state) {
    case LinkState::Live:
        return QStringLiteral("QLabel { color: %1; padding: 1px 6px; }").arg(Look().received.name());
    case LinkState::NotConnected:
        return QStringLiteral("QLabel { color: #ffffff; background: #b71c1c; padding: 1px 6px; "
                              "font-weight: bold; }");
    case LinkState::Simulated:
        break;
    }
    return QStringLiteral("QLabel { color: #000000; background: #ffc107; padding: 1px 6px; "
                          "font-weight: bold; }");
}
} // namespace

QString ElideAtWord(const QString &text, int width,
                    const std::function<int(const QString &)> &widthOf)
{
    if (widthOf(text) <= width)
        return text;
    const QString ellipsis = QStringLiteral("\u2026");
    // Cut before a blank, the latest first.
    for (qsizetype blank = text.lastIndexOf(QLatin1Char(' ')); blank > 0;
         blank = text.lastIndexOf(QLatin1Char(' '), blank - 1)) {
        QString shown = text.left(blank);
        while (shown.endsWith(QLatin1Char(' ')))
            shown.chop(1);
        if (shown.isEmpty())
            break;
        shown += ellipsis;
        if (widthOf(shown) <= width)
            return shown;
    }
    for (qsizetype length = text.size() - 1; length > 0; --length) {
        const QString shown = text.left(length) + ellipsis;
        if (widthOf(shown) <= width)
            return shown;
    }
    return ellipsis;
}

LinkStatusLine::LinkStatusLine(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("lblLinkStatus"));
    setTextFormat(Qt::PlainText); // addresses and reasons come from files and transports
    setAccessibleDescription(QStringLiteral("Link status"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long reason must not widen the panel: the line is cut, its tool tip holds it whole.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_timer.setInterval(RefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &LinkStatusLine::refresh);
    m_timer.start();
    refresh();
}

void LinkStatusLine::refresh()
{
    if (const ModData *data = ModDataIfAlive())
        display(data->comm.Status());
}

void LinkStatusLine::display(const LinkStatus &status)
{
    if (!m_first && status.state == m_shown.state && status.text == m_shown.text)
        return;
    m_first = false;
    m_shown = status;
    setStyleSheet(StyleFor(status.state));
    fitText();
    setToolTip(status.text);
    // The accessible name carries the whole line; a screen reader is told of each change.
    setAccessibleName(QStringLiteral("Link: ") + status.text);
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void LinkStatusLine::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitText();
}

void LinkStatusLine::fitText()
{
    ensurePolished(); // the style sheet's bold face is measured, not the plain one
    const QFontMetrics metrics(font());
    const QString shown = ElideAtWord(m_shown.text, contentsRect().width(),
                                      [&metrics](const QString &t) { return metrics.horizontalAdvance(t); });
    if (shown != text())
        setText(shown);
}

} // namespace zop
