#include "panels/service/registerlamp.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPalette>

namespace zop {

namespace {
// The indicator's round light, left of the caption.
constexpr int LightDiameter = 11;
constexpr int LightLeft = 3;
constexpr int CaptionLeft = LightLeft + LightDiameter + 5;
} // namespace

RegisterLamp::RegisterLamp(const QString &caption, int bit, const QString &registerTitle,
                           QWidget *parent)
    : QLabel(caption, parent), m_bit(bit), m_registerTitle(registerTitle)
{
    setTextFormat(Qt::PlainText);
    // An indicator, not a key: a round light and its caption, flat on the frame.
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setFrameShape(QFrame::NoFrame);
    setContentsMargins(CaptionLeft, 0, 2, 0);
    setMinimumSize(84, 20);
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
    // A bit without a meaning reads quieter than the named ones.
    const bool unused = text() == QLatin1String("Unused");
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText,
                 QApplication::palette().color(unused && !m_lit ? QPalette::Disabled
                                                                : QPalette::Active,
                                               QPalette::WindowText));
    setPalette(pal);
    setAccessibleDescription(m_lit ? QStringLiteral("set") : QStringLiteral("clear"));
    update();
}

void RegisterLamp::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = colour();
    const QColor rim = m_lit ? fill.darker(160)
                             : QApplication::palette().color(isEnabled() ? QPalette::Active
                                                                         : QPalette::Disabled,
                                                             QPalette::Dark);
    painter.setPen(QPen(rim, 1.2));
    painter.setBrush(fill);
    const qreal top = (height() - LightDiameter) / 2.0;
    painter.drawEllipse(QRectF(LightLeft + 0.5, top + 0.5, LightDiameter, LightDiameter));
}

void RegisterLamp::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange)
        apply();
}

} // namespace zop
