#pragma once
// Every time-out and wait of the program is measured on a Clock, never on the wall clock, so a
// wait behaves the same across midnight and tests can run a 10-second time-out in microseconds.

#include <QElapsedTimer>
#include <QtGlobal>

namespace zop {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary fixed point; never goes backwards.
    virtual qint64 elapsedMs() const = 0;
    // Blocks for the given time without letting window events run.
    virtual void sleepMs(qint64 ms) = 0;
};

class SteadyClock : public Clock {
public:
    SteadyClock() { m_timer.start(); }
    qint64 elapsedMs() const override { return m_timer.elapsed(); }
    void sleepMs(qint64 ms) override;

private:
    QElapsedTimer m_timer;
};

// A clock that only moves when told to; sleeping advances it at once.
class ManualClock : public Clock {
public:
    qint64 elapsedMs() const override { return m_now; }
    void sleepMs(qint64 ms) override { advance(ms); }
    void advance(qint64 ms) { m_now += ms > 0 ? ms : 0; }

private:
    qint64 m_now = 1000;
};

} // namespace zop
