#pragma once
// The frame of a virtual panel's keys, in a grid. On a series that prints its group captions
// on the key frame, each caption stands vertically beside its two rows of keys, with a rule.

#include <QFrame>
#include <QStringList>

namespace zop {

class KeyFrame : public QFrame {
    Q_OBJECT
public:
    // `captions`: the groups of rows 0-1, 2-3 and 4-5 ("MODE", "SETUP", "SET POINT"); none
    // when empty.
    explicit KeyFrame(const QStringList &captions, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList m_captions;
};

} // namespace zop
