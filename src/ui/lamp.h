#pragma once
// A status lamp: a label whose text colour shows the state, lit in a colour or dark (the
// system's grey-text colour). Its tag holds the bit number of the status word it shows.

#include <QColor>
#include <QLabel>

namespace zop {

// Lamp colours as blue-green-red integers (0x00BBGGRR), the way the panels name them.
namespace LampColour {
constexpr quint32 Green = 65280;   // 0x00FF00
constexpr quint32 Red = 255;       // 0x0000FF
constexpr quint32 Yellow = 65535;  // 0x00FFFF
constexpr quint32 Orange = 33023;  // 0x0080FF
// A system colour rather than a value: the grey text of disabled controls.
constexpr quint32 GreyText = 0x80000011;
} // namespace LampColour

// The colour of a blue-green-red integer. Values with the top bit set name a system colour;
// only the grey-text colour is known (any other gives the normal text colour).
QColor ColourFromBgr(quint32 bgr);
// The dark lamp colour: the palette's text colour of a disabled control.
QColor DarkLampColour();
// "green", "red", "yellow", "orange" for the lamp colours, else the colour's "#rrggbb" name.
QString LampColourName(const QColor &colour);

class Lamp : public QLabel {
    Q_OBJECT
    Q_PROPERTY(int tag READ tag WRITE setTag)
    Q_PROPERTY(bool lit READ isLit)
public:
    explicit Lamp(const QString &text = QString(), QWidget *parent = nullptr);

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    void setLit(const QColor &colour);
    void setLit(quint32 bgr) { setLit(ColourFromBgr(bgr)); }
    void setDark();
    // How a dark lamp is drawn on a background where the system's grey text would read as
    // lit (a dark front panel); colour() still reports the dark colour.
    void setDarkShade(const QColor &shade);
    bool isLit() const { return m_lit; }
    // The text colour now shown.
    QColor colour() const { return m_colour; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void apply();

    int m_tag = 0;
    bool m_lit = false;
    QColor m_colour;
    QColor m_darkShade;
};

} // namespace zop
