#pragma once
// A rotary knob for an instrument front panel: a float value from 0 to a maximum, turned with
// the mouse (drag around the knob), the wheel, or the keyboard (arrows, PageUp/PageDown). Home
// and End do nothing: a knob drives an output, and one keystroke must never send it to an end
// of its range. While the user turns it, turning(value) is emitted at every change; when the turn
// ends (mouse release, key release, a short quiet spell after a wheel burst, focus or enabled
// state lost mid-turn), turnEnded(value) follows once. setValue moves it silently.
//
// Give every knob an accessible name ("Voltage knob"); screen readers see it as a dial whose
// value can be read and set.

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace zop {

class Knob : public QWidget {
    Q_OBJECT
    Q_PROPERTY(float value READ value WRITE setValue)
    Q_PROPERTY(float maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(QColor backColour READ backColour WRITE setBackColour)
public:
    // Degrees swept from 0 to the maximum, and where 0 sits (mathematical angle: from the
    // positive x axis, counter-clockwise): lower left, turning clockwise to lower right.
    static constexpr double SweepDegrees = 270.0;
    static constexpr double ZeroAngleDegrees = 225.0;
    static constexpr int DefaultWheelQuietMs = 400;

    explicit Knob(QWidget *parent = nullptr);

    float value() const { return m_value; }
    // Clamped to 0..maximum; emits nothing.
    void setValue(float value);
    float maximum() const { return m_maximum; }
    // A negative maximum counts as 0; the value is clamped to the new range.
    void setMaximum(float maximum);

    // One arrow key or wheel notch; 0 (the default) picks a round step from the maximum
    // (a hundredth of its decade: 0.1 for a 60 V knob). A page is ten steps.
    float singleStep() const;
    void setSingleStep(float step) { m_singleStep = step > 0 ? step : 0; }
    float pageStep() const { return singleStep() * 10; }

    QColor backColour() const { return m_backColour; }
    void setBackColour(const QColor &colour);

    // How long the wheel must be still before a wheel turn counts as ended.
    int wheelQuietInterval() const { return m_wheelTimer.interval(); }
    void setWheelQuietInterval(int ms) { m_wheelTimer.setInterval(ms); }

    bool isTurning() const { return m_turning; }
    // The pointer's angle for a value (mathematical degrees).
    double angleForValue(float value) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void turning(float value);
    void turnEnded(float value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    friend class KnobAccessible;
    // A turn by the user (or an assistive tool) to `value`: emits turning.
    void turnTo(float value);
    void endTurn();
    void storeValue(float value);
    double pointerAngle(const QPointF &pos) const;
    static bool isTurningKey(int key);

    float m_value = 0;
    float m_maximum = 0;
    float m_singleStep = 0;
    QColor m_backColour;
    bool m_turning = false;
    bool m_dragging = false;
    int m_keyHeld = 0;
    double m_lastAngle = 0;
    int m_wheelRemainder = 0;
    QTimer m_wheelTimer;
};

} // namespace zop
