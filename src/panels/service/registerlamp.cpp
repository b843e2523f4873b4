#include "panels/service/registerlamp.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>

namespace zop {

RegisterLamp::RegisterLamp(const QString &caption, int bit, const QString &registerTitle,
                           QWidget *parent)
    : QLabel(caption, parent), m_bit(bit), m_registerTitle(registerTitle)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setMinimumSize(76, 22);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("%1 bit %2, %3").arg(registerTitle).arg(bit).arg(caption));
    apply();
}

QColor RegisterLamp::colour() const
{
    return m_lit ? m_colour : QApplication::palette().color(QPalette::Button);
}

void RegisterLamp::setLit(const QColor &colour)
{
    if (m_lit && m_colour == colour)
        return;
    m_lit = true;
    m_colour = colour;
    apply();
}

void RegisterLamp::setDark()
{
    if (!m_lit)
        return;
    m_lit = false;
    apply();
}

void RegisterLamp::apply()
{
    QPalette pal = palette();
    const QColor background = colour();
    pal.setColor(QPalette::Window, background);
    // The set colours are strong: white text reads best on them.
    pal.setColor(QPalette::WindowText, Qt::white);
    if (!m_lit) {
        // A bit without a meaning reads quieter than the named ones.
        const bool unused = text() == QLatin1String("Unused");
        pal.setColor(QPalette::WindowText,
                     QApplication::palette().color(unused ? QPalette::Disabled : QPalette::Active,
                                                   QPalette::ButtonText));
    }
    setPalette(pal);
    setAccessibleDescription(m_lit ? QStringLiteral("set") : QStringLiteral("clear"));
}

void RegisterLamp::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange)
        apply();
}

} // namespace zop
