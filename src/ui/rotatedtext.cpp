#include "ui/rotatedtext.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace zop {

namespace {
constexpr int MaxFaceNameChars = 31;
constexpr int BoldWeight = 700;
constexpr int ReferencePixels = 400;
constexpr qreal LogicalUnitsDpi = 96;
} // namespace

QFont RotatedTextFont(const QString &fontName, int height, bool bold, bool italic,
                      const QPaintDevice *device)
{
    QFont font(fontName.left(MaxFaceNameChars));
    font.setWeight(bold ? QFont::Weight(BoldWeight) : QFont::Normal);
    font.setItalic(italic);
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        // A cell height (ascent + descent) in logical units of a 96-dpi surface, so the text
        // grows with the rest of the window's text on a finer screen. The font's proportions
        // are measured at a large size, where hinting and rounding do not count, so the size
        // found does not depend on the session's font settings.
        QFont reference = font;
        reference.setPixelSize(ReferencePixels);
        const qreal cell = device ? QFontMetricsF(reference, device).height()
                                  : QFontMetricsF(reference).height();
        const qreal dpi = device ? device->logicalDpiY() : QFontMetricsF(reference).fontDpi();
        const qreal pixels = height * dpi / LogicalUnitsDpi;
        font.setPixelSize(std::max(1, int(pixels * ReferencePixels / cell + 0.5)));
    }
    return font;
}

void DrawRotatedText(QPainter &painter, const QString &text, int x, int y, int angle,
                     const QString &fontName, int height, bool bold, bool italic)
{
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFont font = RotatedTextFont(fontName, height, bold, italic, painter.device());
    painter.setFont(font);
    painter.translate(x, y);
    painter.rotate(-angle / 10.0);
    painter.drawText(QPointF(0, QFontMetricsF(font).ascent()), text);
    painter.restore();
}

void DrawRotatedText(QWidget *window, const QString &text, int x, int y, int angle,
                     const QString &fontName, int height, bool bold, bool italic)
{
    if (!window)
        return;
    QPainter painter(window);
    if (!painter.isActive())
        return;
    painter.setPen(window->palette().color(window->foregroundRole()));
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawRotatedText(painter, text, x, y, angle, fontName, height, bold, italic);
}

} // namespace zop
