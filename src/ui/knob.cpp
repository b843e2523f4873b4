#include "ui/knob.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QConicalGradient>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QWheelEvent>
#include <QtMath>
#include <cmath>

namespace zop {

// What screen readers see: a dial with a value they can read and set. Setting it is a whole
// turn (turning, then turnEnded), as if the user had turned the knob to that value.
class KnobAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit KnobAccessible(Knob *knob) : QAccessibleWidget(knob, QAccessible::Dial) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(knob()->value(), 'g', 6);
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return knob()->value(); }
    void setCurrentValue(const QVariant &value) override
    {
        if (!knob()->isEnabled())
            return;
        knob()->turnTo(value.toFloat());
        knob()->endTurn();
    }
    QVariant maximumValue() const override { return knob()->maximum(); }
    QVariant minimumValue() const override { return 0.0f; }
    QVariant minimumStepSize() const override { return knob()->singleStep(); }

private:
    Knob *knob() const { return static_cast<Knob *>(widget()); }
};

namespace {

QAccessibleInterface *KnobAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(Knob::staticMetaObject.className()) && object
        && object->isWidgetType())
        return new KnobAccessible(static_cast<Knob *>(object));
    return nullptr;
}

constexpr int WheelNotch = 120;
constexpr int MajorTicks = 10;
constexpr int MinorPerMajor = 5;
constexpr int GripLines = 48;

QPointF OnCircle(const QPointF &centre, double radius, double degrees)
{
    const double a = qDegreesToRadians(degrees);
    return centre + QPointF(radius * std::cos(a), -radius * std::sin(a));
}

} // namespace

Knob::Knob(QWidget *parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(KnobAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_backColour = palette().color(QPalette::Window);
    m_wheelTimer.setSingleShot(true);
    m_wheelTimer.setInterval(DefaultWheelQuietMs);
    connect(&m_wheelTimer, &QTimer::timeout, this, [this] {
        if (!m_dragging && !m_keyHeld)
            endTurn();
    });
}

void Knob::setValue(float value) { storeValue(value); }

void Knob::setMaximum(float maximum)
{
    m_maximum = maximum > 0 && std::isfinite(maximum) ? maximum : 0;
    storeValue(m_value);
    update();
}

float Knob::singleStep() const
{
    if (m_singleStep > 0)
        return m_singleStep;
    if (m_maximum <= 0)
        return 0;
    return float(std::pow(10.0, std::floor(std::log10(double(m_maximum)))) / 100.0);
}

void Knob::setBackColour(const QColor &colour)
{
    m_backColour = colour;
    update();
}

double Knob::angleForValue(float value) const
{
    const double fraction = m_maximum > 0 ? qBound(0.0, double(value) / m_maximum, 1.0) : 0.0;
    return ZeroAngleDegrees - SweepDegrees * fraction;
}

QSize Knob::sizeHint() const { return QSize(96, 96); }
QSize Knob::minimumSizeHint() const { return QSize(48, 48); }

void Knob::storeValue(float value)
{
    if (!std::isfinite(value))
        value = 0;
    const float clamped = qBound(0.0f, value, m_maximum);
    if (clamped == m_value)
        return;
    m_value = clamped;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, m_value);
        QAccessible::updateAccessibility(&event);
    }
}

void Knob::turnTo(float value)
{
    const float before = m_value;
    storeValue(value);
    if (m_value == before)
        return;
    m_turning = true;
    emit turning(m_value);
}

void Knob::endTurn()
{
    m_wheelTimer.stop();
    m_wheelRemainder = 0;
    if (!m_turning)
        return;
    m_turning = false;
    emit turnEnded(m_value);
}

double Knob::pointerAngle(const QPointF &pos) const
{
    const QPointF d = pos - QRectF(rect()).center();
    return qRadiansToDegrees(std::atan2(-d.y(), d.x()));
}

bool Knob::isTurningKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return true;
    default: return false;
    }
}

void Knob::mousePressEvent(QMouseEvent *event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_lastAngle = pointerAngle(event->position());
    event->accept();
}

void Knob::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !isEnabled()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // Near the centre the angle jumps about; wait until the pointer is clear of it.
    const QPointF d = event->position() - QRectF(rect()).center();
    if (std::hypot(d.x(), d.y()) < std::min(width(), height()) * 0.06)
        return;
    const double angle = pointerAngle(event->position());
    double delta = m_lastAngle - angle; // clockwise is up
    while (delta > 180)
        delta -= 360;
    while (delta <= -180)
        delta += 360;
    m_lastAngle = angle;
    turnTo(m_value + float(delta / SweepDegrees * m_maximum));
    event->accept();
}

void Knob::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    endTurn();
    event->accept();
}

void Knob::wheelEvent(QWheelEvent *event)
{
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    const QPoint delta = event->angleDelta();
    m_wheelRemainder += delta.y() != 0 ? delta.y() : -delta.x();
    const int notches = m_wheelRemainder / WheelNotch;
    m_wheelRemainder %= WheelNotch;
    const float step = event->modifiers() & Qt::ControlModifier ? pageStep() : singleStep();
    if (notches != 0)
        turnTo(m_value + notches * step);
    if (m_turning)
        m_wheelTimer.start();
    event->accept();
}

void Knob::keyPressEvent(QKeyEvent *event)
{
    if (!isEnabled() || !isTurningKey(event->key())) {
        QWidget::keyPressEvent(event);
        return;
    }
    float target = m_value;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right: target += singleStep(); break;
    case Qt::Key_Down:
    case Qt::Key_Left: target -= singleStep(); break;
    case Qt::Key_PageUp: target += pageStep(); break;
    case Qt::Key_PageDown: target -= pageStep(); break;
    }
    m_keyHeld = event->key();
    turnTo(target);
    event->accept();
}

void Knob::keyReleaseEvent(QKeyEvent *event)
{
    if (!isTurningKey(event->key())) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || event->key() != m_keyHeld)
        return;
    m_keyHeld = 0;
    if (!m_dragging)
        endTurn();
}

void Knob::focusOutEvent(QFocusEvent *event)
{
    if (m_keyHeld) {
        m_keyHeld = 0;
        if (!m_dragging)
            endTurn();
    }
    QWidget::focusOutEvent(event);
}

void Knob::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        // A turn cut short still ends, so whoever stopped work for it can carry on.
        m_dragging = false;
        m_keyHeld = 0;
        endTurn();
    }
    QWidget::changeEvent(event);
    update();
}

void Knob::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const QPointF c = QRectF(rect()).center();
    const double outer = std::min(width(), height()) / 2.0 - 3;
    if (outer < 8)
        return;
    // The back colour is the round dial plate the scale is printed on.
    p.setPen(QPen(m_backColour.darker(125), 1.0));
    p.setBrush(m_backColour);
    p.drawEllipse(c, outer + 1.5, outer + 1.5);
    const double body = outer * 0.70;
    const bool enabled = isEnabled();
    const bool darkBack = m_backColour.lightness() < 128;
    const QColor tickColour = darkBack ? QColor(215, 215, 215) : QColor(70, 70, 70);
    const QColor accent = enabled ? QColor(230, 140, 20) : tickColour;

    // The scale: a major tick every tenth of the range, minor ticks between; the ticks up to
    // the value are drawn in the accent colour.
    const double valueAngle = angleForValue(m_value);
    const int ticks = MajorTicks * MinorPerMajor;
    for (int i = 0; i <= ticks; ++i) {
        const double a = ZeroAngleDegrees - SweepDegrees * i / ticks;
        const bool major = i % MinorPerMajor == 0;
        const bool reached = m_maximum > 0 && m_value > 0 && a >= valueAngle - 1e-6;
        QPen pen(reached ? accent : tickColour, major ? std::max(1.5, outer * 0.035) : 1.0);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(OnCircle(c, outer * (major ? 0.80 : 0.87), a), OnCircle(c, outer * 0.96, a));
    }

    // Shadow under the knob.
    QRadialGradient shadow(c + QPointF(0, body * 0.08), body * 1.12);
    shadow.setColorAt(0.80, QColor(0, 0, 0, 110));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(c + QPointF(0, body * 0.08), body * 1.12, body * 1.12);

    // Knurled rim: light from the upper left.
    QLinearGradient rim(c - QPointF(body, body), c + QPointF(body, body));
    rim.setColorAt(0.0, QColor(250, 250, 250));
    rim.setColorAt(0.5, QColor(165, 165, 168));
    rim.setColorAt(1.0, QColor(70, 70, 74));
    p.setBrush(rim);
    p.setPen(QPen(QColor(40, 40, 40, 180), 1.0));
    p.drawEllipse(c, body, body);
    p.setPen(QPen(QColor(0, 0, 0, 45), 1.0));
    for (int i = 0; i < GripLines; ++i) {
        const double a = 360.0 * i / GripLines;
        p.drawLine(OnCircle(c, body * 0.86, a), OnCircle(c, body * 0.985, a));
    }

    // Brushed face: a conical sheen.
    const double face = body * 0.84;
    QConicalGradient sheen(c, 45);
    const QColor light(246, 246, 246), mid(200, 201, 204), deep(160, 161, 165);
    sheen.setColorAt(0.00, light);
    sheen.setColorAt(0.12, mid);
    sheen.setColorAt(0.25, deep);
    sheen.setColorAt(0.38, mid);
    sheen.setColorAt(0.50, light);
    sheen.setColorAt(0.62, mid);
    sheen.setColorAt(0.75, deep);
    sheen.setColorAt(0.88, mid);
    sheen.setColorAt(1.00, light);
    p.setBrush(sheen);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.0));
    p.drawEllipse(c, face, face);

    // The pointer: a dark groove from near the centre to the edge of the face.
    QPen groove(enabled ? QColor(35, 35, 38) : QColor(120, 120, 120),
                std::max(2.0, body * 0.10));
    groove.setCapStyle(Qt::RoundCap);
    p.setPen(groove);
    p.drawLine(OnCircle(c, face * 0.30, valueAngle), OnCircle(c, face * 0.86, valueAngle));
    if (enabled) {
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(OnCircle(c, face * 0.86, valueAngle), body * 0.045, body * 0.045);
    }

    if (!enabled) {
        QColor veil = m_backColour;
        veil.setAlpha(90);
        p.setPen(Qt::NoPen);
        p.setBrush(veil);
        p.drawEllipse(c, body, body);
    }

    if (hasFocus()) {
        QPen ring(palette().color(QPalette::Highlight), 2.0, Qt::DotLine);
        p.setPen(ring);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, body * 1.10, body * 1.10);
    }
}

} // namespace zop
