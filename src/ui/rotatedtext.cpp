#include "ui/rotatedtext.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

namespace zop {

namespace {
constexpr int MaxFaceNameChars = 31;
constexpr int BoldWeight = 700;
} // namespace

QFont RotatedTextFont(const QString &fontName, int height, bool bold, bool italic)
{
    QFont font(fontName.left(MaxFaceNameChars));
    font.setWeight(bold ? QFont::Weight(BoldWeight) : QFont::Normal);
    font.setItalic(italic);
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        // A cell height: the largest pixel size whose line height fits in it.
        int size = height;
        font.setPixelSize(size);
        while (size > 1 && QFontMetrics(font).height() > height)
            font.setPixelSize(--size);
    }
    return font;
}

void DrawRotatedText(QPainter &painter, const QString &text, int x, int y, int angle,
                     const QString &fontName, int height, bool bold, bool italic)
{
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFont font = RotatedTextFont(fontName, height, bold, italic);
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
