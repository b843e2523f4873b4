#include "panels/virtual/paneldisplay.h"

#include "link/commlayer.h"
#include "ui/look.h"

#include <QFontDatabase>
#include <QPainter>
#include <algorithm>

namespace zop {

PanelDisplay::PanelDisplay(const QString &name, const QString &accessibleName, int digits,
                           const QColor &digitColour, QWidget *parent)
    : QLabel(parent), m_colour(digitColour), m_digits(digits)
{
    setObjectName(name);
    setAccessibleName(accessibleName);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusPolicy(Qt::TabFocus); // a screen-reader user can land on it and hear the value
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(BaseDigitPixels);
    font.setBold(true);
    setFont(font);
    // The digits, the frame and padding of the style, and room for the glyphs' overhang, so a
    // one-digit display does not clip its digit.
    const int width = QFontMetrics(font).horizontalAdvance(QString(digits, QLatin1Char('8'))) + 36;
    setMinimumSize(width, 54);
    applyStyle();
}

int PanelDisplay::DigitPixelSize(const QSize &size, int digits)
{
    // A fixed-width digit is about 0.6 of its pixel size wide; the frame and padding take 36
    // pixels across and 20 down.
    const int byHeight = (size.height() - 20) * 3 / 4;
    const int byWidth = int((size.width() - 36) / (0.62 * std::max(digits, 1)));
    return std::max(BaseDigitPixels, std::min(byHeight, byWidth));
}

void PanelDisplay::resizeEvent(QResizeEvent *event)
{
    QFont larger = font();
    const int pixels = DigitPixelSize(size(), m_digits);
    if (larger.pixelSize() != pixels) {
        larger.setPixelSize(pixels);
        setFont(larger);
    }
    QLabel::resizeEvent(event);
}

bool PanelDisplay::followLink()
{
    const CommLayer *comm = CommIfAlive();
    const bool simulated = comm && comm->CommKind == LinkKind::Simulated;
    if (simulated == m_simulated)
        return false;
    m_simulated = simulated;
    return true;
}

void PanelDisplay::show(const QString &text)
{
    const bool markChanged = followLink();
    if (text != this->text() || markChanged) {
        setText(text);
        const QString value = text.trimmed().isEmpty() ? QStringLiteral("blank") : text;
        setAccessibleDescription(m_simulated ? value + QStringLiteral(", simulated") : value);
    }
}

void PanelDisplay::paintEvent(QPaintEvent *event)
{
    followLink();
    QLabel::paintEvent(event);
    if (!m_simulated)
        return;
    QPainter painter(this);
    QFont small = font();
    small.setPixelSize(std::max(9, height() / 6));
    small.setBold(true);
    painter.setFont(small);
    painter.setPen(Look().displayText);
    painter.drawText(rect().adjusted(8, 4, -8, -4), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("SIMULATED"));
}

void PanelDisplay::setDimmed(bool dimmed)
{
    if (dimmed == m_dimmed)
        return;
    m_dimmed = dimmed;
    applyStyle();
}

void PanelDisplay::applyStyle()
{
    const QColor digits = m_dimmed ? m_colour.darker(400) : m_colour;
    setStyleSheet(QStringLiteral("QLabel { background: %2; color: %1; border: 2px inset %3;"
                                 " border-radius: 4px; padding: 2px 8px; }"
                                 "QLabel:focus { border: 2px solid %4; }")
                      .arg(digits.name(), Look().display.name(), Look().border.name(),
                           Look().focus.name()));
}

} // namespace zop
