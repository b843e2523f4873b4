#pragma once
// The Command Panel's free command line: a one-line text box where Enter sends, Up and Down
// walk the history, and Tab completes the header from the command tables (when there is
// something to complete; otherwise it moves the focus on, as everywhere).

#include "engine/console.h"

#include <QLineEdit>

namespace zop {

class ConsoleLine : public QLineEdit {
    Q_OBJECT
public:
    ConsoleLine(ConsoleHistory &history, QWidget *parent = nullptr);

signals:
    // The headers Tab found, more than one: the panel shows them.
    void candidatesFound(const QStringList &candidates);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Completes the header before the caret; false when there was nothing to do.
    bool complete();

    ConsoleHistory &m_history;
    QStringList m_shownCandidates;
};

} // namespace zop
