#pragma once
// The readings of the last hour, as the status poll brings them in: a bounded ring (the oldest
// reading gives way to the newest), and its export as CSV text. No window is needed, so the
// chart, the tests and a command line share it.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <vector>

class QTimeZone;

namespace zop {
struct SeriesSpec;
}

namespace zop {

struct TrendSample {
    qint64 timeMs = 0;  // wall-clock time of the reply, milliseconds since 1970 (UTC)
    double volts = 0;   // the readings (reply fields / 1000)
    double amps = 0;
    float voltSet = 0;  // the setpoints in force when the reply came
    float currSet = 0;
    qint32 wordA = 0;   // status word A (operation)
    qint32 wordB = 0;   // status word B (alarms)
};

class TrendBuffer {
public:
    // One hour of readings at five a second.
    static constexpr int DefaultCapacity = 60 * 60 * 5;

    explicit TrendBuffer(int capacity = DefaultCapacity);

    // Adds the newest sample; when full, the oldest is dropped.
    void add(const TrendSample &sample);
    void clear();

    int size() const { return int(m_count); }
    int capacity() const { return int(m_ring.size()); }
    bool isEmpty() const { return m_count == 0; }
    // 0 is the oldest sample held, size() - 1 the newest.
    const TrendSample &at(int index) const;
    const TrendSample &newest() const { return at(size() - 1); }
    // The index of the first of the trailing samples taken at or after `timeMs`: the readings
    // of the last minutes. Should the wall clock have gone back, only the samples since then
    // count.
    int firstSince(qint64 timeMs) const;

private:
    std::vector<TrendSample> m_ring;
    size_t m_head = 0; // where the next sample goes
    size_t m_count = 0;
};

// The readings of this run of the program, fed by every virtual panel's poll (a switch to
// another panel and back keeps them).
TrendBuffer &RunReadings();

// The buffer as CSV text in the reading log's layout (engine/readinglog.h), oldest first,
// CR LF line ends: the time stamps in `zone`, the readings in the panel's display formats
// (cut or rounded as the series' displays show them), the lamps of `spec`.
QByteArray TrendCsv(const TrendBuffer &buffer, const SeriesSpec &spec,
                    const QString &voltageFormat, const QString &currentFormat,
                    const QTimeZone &zone);

// A value axis from 0 to at least `top` on round ticks: a step of 1, 2 or 5 times a power of
// ten, at most MaxIntervals of them (15.75 V gives 0, 5, 10, 15, 20).
struct RoundTicks {
    static constexpr int MaxIntervals = 6;
    double top = 1;
    int tickCount = 2; // ticks drawn, 0 and the top included
};
RoundTicks RoundAxisTicks(double top);

} // namespace zop
