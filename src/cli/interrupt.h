#pragma once
// Ctrl-C (SIGINT) and SIGTERM as an event: a long-running command (monitor) stops cleanly at
// its next step instead of dying mid-line. A second signal ends the program at once.

#include <QObject>

namespace zop::cli {

class Interrupt : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one instance per program.
    Interrupt();
    bool requested() const { return m_requested; }

signals:
    void raised();

private:
    bool m_requested = false;
};

// Waits `ms` milliseconds letting events run; returns early when `interrupt` is raised.
void WaitInterruptibly(qint64 ms, const Interrupt &interrupt);

} // namespace zop::cli
