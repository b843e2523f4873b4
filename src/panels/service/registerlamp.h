#pragma once
// One bit of a status register on the Register Panel: an indicator light beside the bit's
// caption, in the register's colour when set and in the button face when clear. Its tag is the
// bit number.

#include <QColor>
#include <QLabel>

namespace zop {

class RegisterLamp : public QLabel {
    Q_OBJECT
    Q_PROPERTY(int tag READ tag)
    Q_PROPERTY(bool lit READ isLit)
public:
    RegisterLamp(const QString &caption, int bit, const QString &registerTitle,
                 QWidget *parent = nullptr);

    int tag() const { return m_bit; }
    bool isLit() const { return m_lit; }
    // The background now shown.
    QColor colour() const;

    void setLit(const QColor &colour);
    void setDark();

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void apply();

    int m_bit;
    QString m_registerTitle;
    bool m_lit = false;
    QColor m_colour;
};

} // namespace zop
