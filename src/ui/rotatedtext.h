#pragma once
// Text drawn at an angle, for the vertical captions of a panel's key frame.

#include <QString>

class QPainter;
class QWidget;
class QFont;
class QPaintDevice;

namespace zop {

// The font DrawRotatedText uses: `height` is the character cell height in pixels (a negative
// value gives the character height without internal leading, 0 the default size); a cell
// height counts in units of a 96-dpi surface and is scaled to the resolution of `device` (the
// surface drawn on; null: the screen's); bold gives weight 700, else 400; only the first 31
// characters of the font name count.
QFont RotatedTextFont(const QString &fontName, int height, bool bold, bool italic,
                      const QPaintDevice *device = nullptr);

// Draws `text` with its reference point (the top-left corner of the unrotated text) at (x, y)
// in pixels, turned counter-clockwise by `angle` tenths of a degree (900: the text runs
// upward), on a transparent background. The painter's own font and settings are restored.
void DrawRotatedText(QPainter &painter, const QString &text, int x, int y, int angle,
                     const QString &fontName, int height, bool bold, bool italic);

// The same on a widget. Call it while the widget handles a paint event: from its paintEvent,
// or from an event filter on its QEvent::Paint (which is how a panel draws onto a child frame).
void DrawRotatedText(QWidget *window, const QString &text, int x, int y, int angle,
                     const QString &fontName, int height, bool bold, bool italic);

} // namespace zop
