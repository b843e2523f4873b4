#include "ui/lamp.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>

namespace zop {

QColor ColourFromBgr(quint32 bgr)
{
    if (bgr & 0x80000000u) {
        if (bgr == LampColour::GreyText)
            return DarkLampColour();
        return QApplication::palette().color(QPalette::Active, QPalette::WindowText);
    }
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor DarkLampColour()
{
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

QString LampColourName(const QColor &colour)
{
    static const struct {
        quint32 bgr;
        const char *name;
    } known[] = {{LampColour::Green, "green"},
                 {LampColour::Red, "red"},
                 {LampColour::Yellow, "yellow"},
                 {LampColour::Orange, "orange"}};
    for (const auto &k : known)
        if (ColourFromBgr(k.bgr) == colour)
            return QString::fromLatin1(k.name);
    return colour.name();
}

Lamp::Lamp(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    setDark();
}

void Lamp::setLit(const QColor &colour)
{
    if (m_lit && m_colour == colour)
        return;
    m_lit = true;
    m_colour = colour;
    apply();
}

void Lamp::setDark()
{
    const QColor dark = DarkLampColour();
    if (!m_lit && m_colour == dark)
        return;
    m_lit = false;
    m_colour = dark;
    apply();
}

void Lamp::setDarkShade(const QColor &shade)
{
    m_darkShade = shade;
    apply();
}

void Lamp::apply()
{
    // Only the active and inactive groups: the disabled group keeps the dark colour, which is
    // what DarkLampColour() reads.
    const QColor shown = (!m_lit && m_darkShade.isValid()) ? m_darkShade : m_colour;
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, shown);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, shown);
    setPalette(pal);
    setAccessibleDescription(m_lit ? QStringLiteral("lit ") + LampColourName(m_colour)
                                   : QStringLiteral("dark"));
}

void Lamp::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    // A new system palette changes the dark colour.
    if (event->type() == QEvent::ApplicationPaletteChange && !m_lit) {
        m_colour = DarkLampColour();
        apply();
    }
}

} // namespace zop
