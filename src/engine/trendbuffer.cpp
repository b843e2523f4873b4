#include "engine/trendbuffer.h"

#include "engine/panellogic.h"
#include "engine/readinglog.h"
#include "engine/seriesspec.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace zop {

TrendBuffer::TrendBuffer(int capacity) : m_ring(size_t(std::max(1, capacity))) {}

void TrendBuffer::add(const TrendSample &sample)
{
    m_ring[m_head] = sample;
    m_head = (m_head + 1) % m_ring.size();
    m_count = std::min(m_count + 1, m_ring.size());
}

TrendBuffer &RunReadings()
{
    static TrendBuffer readings;
    return readings;
}

void TrendBuffer::clear()
{
    m_head = 0;
    m_count = 0;
}

const TrendSample &TrendBuffer::at(int index) const
{
    Q_ASSERT(index >= 0 && size_t(index) < m_count);
    const size_t oldest = (m_head + m_ring.size() - m_count) % m_ring.size();
    return m_ring[(oldest + size_t(index)) % m_ring.size()];
}

int TrendBuffer::firstSince(qint64 timeMs) const
{
    // Back from the newest while the samples are in the span and in time order: samples from
    // before the clock was set back are not part of the last minutes.
    int first = size();
    while (first > 0 && at(first - 1).timeMs >= timeMs
           && (first == size() || at(first - 1).timeMs <= at(first).timeMs))
        --first;
    return first;
}

QByteArray TrendCsv(const TrendBuffer &buffer, const SeriesSpec &spec,
                    const QString &voltageFormat, const QString &currentFormat,
                    const QTimeZone &zone)
{
    const QString crlf = QStringLiteral("\r\n");
    QString text = ReadingCsvHeader + crlf;
    text.reserve(buffer.size() * 96 + text.size());
    for (int i = 0; i < buffer.size(); ++i) {
        const TrendSample &s = buffer.at(i);
        const ReadingRow row{QDateTime::fromMSecsSinceEpoch(s.timeMs, zone), s.volts, s.amps,
                             ShortestText(s.voltSet).toDouble(), ShortestText(s.currSet).toDouble(),
                             s.wordA, s.wordB, -1};
        text += ReadingCsvLine(row, LookOf(row, spec, voltageFormat, currentFormat)) + crlf;
    }
    return text.toUtf8();
}

RoundTicks RoundAxisTicks(double top)
{
    RoundTicks ticks;
    if (!(top > 0) || !std::isfinite(top))
        return ticks;
    const double smallest = top / RoundTicks::MaxIntervals;
    const double power = std::pow(10.0, std::floor(std::log10(smallest)));
    double step = 10 * power;
    for (double factor : {1.0, 2.0, 5.0}) {
        // A hair of tolerance: 1.2 / 6 is not quite 0.2 in binary.
        if (factor * power >= smallest * (1 - 1e-9)) {
            step = factor * power;
            break;
        }
    }
    const int intervals = std::max(1, int(std::ceil(top / step - 1e-9)));
    ticks.top = intervals * step;
    ticks.tickCount = intervals + 1;
    return ticks;
}

} // namespace zop
