#pragma once
// Ctrl-C (SIGINT) and SIGTERM: the first one ends every command of zopctl within a second. It
// is seen two ways: as an event (raised) for the waits that let events run (monitor, flash),
// and as a flag (requested) that the link's waits look at every few milliseconds while they
// block. A wait that cannot look (a GPIB transfer inside its library) is cut short by a
// deadline that ends the program just under a second after the signal. A second signal ends
// the program at once.

#include <QObject>

namespace zop::cli {

class Interrupt : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one instance per program.
    Interrupt();
    bool requested() const;
    // The first signal received (SIGINT or SIGTERM); 0 before one came.
    int signalNumber() const;
    // The exit status for it: 128 + the signal's number, as shells report it (130, 143).
    int exitCode() const { return 128 + signalNumber(); }

signals:
    void raised();

private:
    bool m_requested = false;
};

// Waits `ms` milliseconds letting events run; returns early when `interrupt` is raised.
void WaitInterruptibly(qint64 ms, const Interrupt &interrupt);

} // namespace zop::cli
