#include "panels/service/consoleline.h"

#include "app/moddata.h"

#include <QKeyEvent>

namespace zop {

ConsoleLine::ConsoleLine(ConsoleHistory &history, QWidget *parent)
    : QLineEdit(parent), m_history(history)
{
}

bool ConsoleLine::event(QEvent *event)
{
    // Tab reaches keyPressEvent only when taken here; without anything to complete it moves
    // the focus as usual.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && complete())
            return true;
    }
    return QLineEdit::event(event);
}

void ConsoleLine::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up && event->modifiers() == Qt::NoModifier) {
        setText(m_history.previous(text()));
        return;
    }
    if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier) {
        setText(m_history.next(text()));
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool ConsoleLine::complete()
{
    const QString before = text().left(cursorPosition());
    if (before.trimmed().isEmpty())
        return false;
    const ModData &data = modData();
    const HeaderCompletion found = CompleteHeader(before, data.IEEECommand, data.SCPICommand);
    if (found.completed != before) {
        const QString after = text().mid(cursorPosition());
        setText(found.completed + after);
        setCursorPosition(int(found.completed.size()));
        m_shownCandidates.clear();
        if (found.candidates.size() > 1)
            emit candidatesFound(found.candidates);
        return true;
    }
    // Nothing to add: the first Tab lists the choices, the next moves on.
    if (found.candidates.size() > 1 && found.candidates != m_shownCandidates) {
        m_shownCandidates = found.candidates;
        emit candidatesFound(found.candidates);
        return true;
    }
    return false;
}

} // namespace zop
