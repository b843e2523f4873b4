#pragma once
// A numeric display of the front panel (`txtVolt`, `txtCurr`, `txtMEM`): bright digits on a
// dark window, plain text only.

#include <QLabel>

namespace zop {

class PanelDisplay : public QLabel {
    Q_OBJECT
public:
    PanelDisplay(const QString &name, const QString &accessibleName, int digits,
                 const QColor &digitColour, QWidget *parent = nullptr);

    // Shows the text, or a blank display for "".
    void show(const QString &text);
    // Lights or darkens the digits (the CLEAR key's blinking) without changing the text.
    void setDimmed(bool dimmed);

private:
    void applyStyle();
    QColor m_colour;
    bool m_dimmed = false;
};

} // namespace zop
