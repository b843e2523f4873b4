#pragma once
// A numeric display of the front panel (`txtVolt`, `txtCurr`, `txtMEM`): bright digits on a
// dark window, plain text only. The digits grow with the display; while the link is Simulated
// the display says so in its corner, so nobody takes its reading for a live instrument's.

#include <QLabel>

namespace zop {

class PanelDisplay : public QLabel {
    Q_OBJECT
public:
    // The digits' pixel size at the display's smallest.
    static constexpr int BaseDigitPixels = 34;

    PanelDisplay(const QString &name, const QString &accessibleName, int digits,
                 const QColor &digitColour, QWidget *parent = nullptr);

    // Shows the text, or a blank display for "".
    void show(const QString &text);
    // Lights or darkens the digits (the CLEAR key's blinking) without changing the text.
    void setDimmed(bool dimmed);
    // True while the readings come from the Simulated link (the "SIMULATED" marking).
    bool marksSimulated() const { return m_simulated; }
    // The pixel size of the digits for a display of this size.
    static int DigitPixelSize(const QSize &size, int digits);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void applyStyle();
    bool followLink();
    QColor m_colour;
    int m_digits;
    bool m_dimmed = false;
    bool m_simulated = false;
};

} // namespace zop
