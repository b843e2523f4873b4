#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace zopsim {

// Where the emulator takes its "now" from. The running emulator uses a steady clock; tests use
// ManualClock and move time forward themselves, so a timed behaviour needs no real waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since the clock started; never goes backwards.
    virtual qint64 nowMs() const = 0;
};

class SteadyClock final : public Clock
{
public:
    SteadyClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
};

class ManualClock final : public Clock
{
public:
    qint64 nowMs() const override { return m_now; }
    void advance(qint64 ms) { m_now += qMax<qint64>(0, ms); }

private:
    qint64 m_now = 0;
};

} // namespace zopsim
