#include "ui/rotatedtext.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace zop {

namespace {
constexpr int MaxFaceNameChars = 31;
constexpr int BoldWeight = 700;
constexpr int ReferencePixels = 400;
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
        // A cell height (ascent + descent). The font's proportions are measured at a large
        // size, where hinting and rounding do not count, so the size found is the same on
        // every screen and in every session; small sizes would round each metric to whole
        // pixels, differently under each hinting setting.
        QFont reference = font;
        reference.setPixelSize(ReferencePixels);
        const qreal cell = device ? QFontMetricsF(reference, device).height()
                                  : QFontMetricsF(reference).height();
        font.setPixelSize(std::max(1, int(height * ReferencePixels / cell + 0.5)));
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
