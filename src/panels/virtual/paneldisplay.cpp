#include "panels/virtual/paneldisplay.h"

#include <QFontDatabase>

namespace zop {

PanelDisplay::PanelDisplay(const QString &name, const QString &accessibleName, int digits,
                           const QColor &digitColour, QWidget *parent)
    : QLabel(parent), m_colour(digitColour)
{
    setObjectName(name);
    setAccessibleName(accessibleName);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusPolicy(Qt::TabFocus); // a screen-reader user can land on it and hear the value
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(34);
    font.setBold(true);
    setFont(font);
    // The digits, the frame and padding of the style, and room for the glyphs' overhang, so a
    // one-digit display does not clip its digit.
    const int width = QFontMetrics(font).horizontalAdvance(QString(digits, QLatin1Char('8'))) + 36;
    setMinimumSize(width, 54);
    applyStyle();
}

void PanelDisplay::show(const QString &text)
{
    if (text != this->text()) {
        setText(text);
        setAccessibleDescription(text.trimmed().isEmpty() ? QStringLiteral("blank") : text);
    }
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
    setStyleSheet(QStringLiteral("QLabel { background: #0b0d0c; color: %1; border: 2px inset #3a3f3c;"
                                 " border-radius: 4px; padding: 2px 8px; }"
                                 "QLabel:focus { border: 2px solid #5a9bd8; }")
                      .arg(digits.name()));
}

} // namespace zop
