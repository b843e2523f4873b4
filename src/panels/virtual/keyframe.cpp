#include "panels/virtual/keyframe.h"

#include "ui/look.h"
#include "ui/rotatedtext.h"

#include <QGridLayout>
#include <QPainter>

namespace zop {

KeyFrame::KeyFrame(const QStringList &captions, QWidget *parent)
    : QFrame(parent), m_captions(captions)
{
    setObjectName(QStringLiteral("fraButtons"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(m_captions.isEmpty() ? 8 : 36, 8, 8, 8); // room for the captions
    grid->setSpacing(8);
}

void KeyFrame::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_captions.isEmpty())
        return;
    QPainter painter(this);
    auto *grid = static_cast<QGridLayout *>(layout());
    const QFont font = RotatedTextFont(QStringLiteral("Arial"), 11, true, false, this);
    for (int i = 0; i < 3 && i < m_captions.size(); ++i) {
        const QRect top = grid->cellRect(2 * i, 0);
        const QRect bottom = grid->cellRect(2 * i + 1, 0);
        const int textWidth = QFontMetrics(font, this).horizontalAdvance(m_captions[i]);
        const int y = (top.top() + bottom.bottom()) / 2 + textWidth / 2;
        painter.setPen(FaceColours().border);
        painter.drawLine(top.left() - 10, top.top(), top.left() - 10, bottom.bottom());
        painter.setPen(FaceColours().text);
        DrawRotatedText(painter, m_captions[i], top.left() - 14, y, 900, QStringLiteral("Arial"),
                        11, true, false);
    }
}

} // namespace zop
