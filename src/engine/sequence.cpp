#include "engine/sequence.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace zop {

namespace {

enum class Quantity { Volts, Amps, Seconds };

struct Suffix {
    const char *text;
    double scale;
};

// The suffixes of a quantity; the first one names it in messages.
std::vector<Suffix> SuffixesOf(Quantity q)
{
    switch (q) {
    case Quantity::Volts: return {{"V", 1}, {"mV", 1e-3}};
    case Quantity::Amps: return {{"A", 1}, {"mA", 1e-3}};
    case Quantity::Seconds: return {{"s", 1}, {"ms", 1e-3}, {"min", 60}, {"h", 3600}};
    }
    return {};
}

QString NameOf(Quantity q)
{
    switch (q) {
    case Quantity::Volts: return QStringLiteral("a voltage (V, mV)");
    case Quantity::Amps: return QStringLiteral("a current (A, mA)");
    case Quantity::Seconds: return QStringLiteral("a time (s, ms, min, h)");
    }
    return {};
}

struct Fault {
    QString reason;
};

double ParseQuantity(const QString &token, Quantity q)
{
    static const QRegularExpression Number(
        QStringLiteral("^([+-]?(?:\\d+\\.?\\d*|\\.\\d+))([a-zA-Z]*)$"));
    const QRegularExpressionMatch m = Number.match(token);
    if (m.hasMatch()) {
        const QString suffix = m.captured(2);
        for (const Suffix &s : SuffixesOf(q)) {
            if (suffix.isEmpty() || suffix == QLatin1String(s.text)) {
                const double value = m.captured(1).toDouble() * (suffix.isEmpty() ? 1 : s.scale);
                if (value < 0)
                    throw Fault{q == Quantity::Seconds
                                    ? QStringLiteral("a time cannot be negative")
                                    : QStringLiteral("a setpoint cannot be negative")};
                return value;
            }
        }
    }
    throw Fault{QStringLiteral("\"%1\" is not %2").arg(token, NameOf(q))};
}

qint64 ParseDuration(const QString &token)
{
    const double seconds = ParseQuantity(token, Quantity::Seconds);
    const qint64 ms = qint64(std::llround(seconds * 1000));
    if (ms <= 0)
        throw Fault{QStringLiteral("a time must be above 0 (\"%1\")").arg(token)};
    if (seconds > 1e7)
        throw Fault{QStringLiteral("\"%1\" is longer than 100 days").arg(token)};
    return ms;
}

// One open "repeat" block (the outermost is the file itself).
struct Block {
    int line = 0;
    qint64 count = 1;
    std::vector<SequenceStep> steps;
};

void Append(std::vector<SequenceStep> &to, const std::vector<SequenceStep> &steps, qint64 times,
            int line)
{
    if (qint64(to.size()) + qint64(steps.size()) * times > SequenceLimit::MaxSteps)
        throw Fault{QStringLiteral("the sequence would run more than %1 steps")
                        .arg(SequenceLimit::MaxSteps)};
    Q_UNUSED(line)
    for (qint64 i = 0; i < times; ++i)
        to.insert(to.end(), steps.begin(), steps.end());
}

void Ramp(const QStringList &words, int line, std::vector<SequenceStep> &out)
{
    const QString what = words.value(1).toLower();
    if (words.size() != 6 || (what != QLatin1String("volt") && what != QLatin1String("curr")))
        throw Fault{QStringLiteral("\"ramp\" needs volt or curr, then FROM TO TIME STEP "
                                   "(ramp volt 0V 12V 10s 1V)")};
    const Quantity q = what == QLatin1String("volt") ? Quantity::Volts : Quantity::Amps;
    const double from = ParseQuantity(words[2], q);
    const double to = ParseQuantity(words[3], q);
    const qint64 timeMs = ParseDuration(words[4]);
    const double step = ParseQuantity(words[5], q);
    if (!(step > 0))
        throw Fault{QStringLiteral("a ramp's step must be above 0")};
    const double span = std::fabs(to - from);
    if (span < 0.0005)
        throw Fault{QStringLiteral("a ramp must go from one value to another")};
    const double exactCount = std::ceil(span / step - 1e-9);
    if (exactCount > SequenceLimit::MaxRampSteps)
        throw Fault{QStringLiteral("the ramp has more than %1 steps")
                        .arg(SequenceLimit::MaxRampSteps)};
    const int count = int(exactCount);
    const qint64 dwell = timeMs / count;
    if (dwell < SequenceLimit::MinRampStepMs)
        throw Fault{QStringLiteral("the ramp's %1 steps would last %2 ms each; each needs at "
                                   "least %3 ms")
                        .arg(count)
                        .arg(dwell)
                        .arg(SequenceLimit::MinRampStepMs)};
    const double sign = to > from ? 1 : -1;
    for (int k = 0; k <= count; ++k) {
        SequenceStep s;
        s.kind = SequenceStep::Kind::Setpoints;
        s.line = line;
        const double value = k == count ? to : from + sign * step * k;
        (q == Quantity::Volts ? s.volts : s.amps) = value;
        // The steps share the ramp's time, the remainder of the division going to the last.
        s.dwellMs = k == count ? 0 : (k == count - 1 ? timeMs - dwell * (count - 1) : dwell);
        out.push_back(s);
    }
}

void Line(const QStringList &words, int line, std::vector<Block> &blocks, Sequence &sequence)
{
    const QString keyword = words.first().toLower();
    std::vector<SequenceStep> &out = blocks.back().steps;
    SequenceStep step;
    step.line = line;
    const auto arguments = [&](int least, int most, const QString &usage) {
        if (words.size() - 1 < least || words.size() - 1 > most)
            throw Fault{QStringLiteral("\"%1\" takes %2").arg(keyword, usage)};
    };
    const auto dwell = [&](int index) {
        if (words.size() > index)
            step.dwellMs = ParseDuration(words[index]);
    };
    if (keyword == QLatin1String("set")) {
        arguments(2, 3, QStringLiteral("a voltage, a current and an optional time"));
        step.kind = SequenceStep::Kind::Setpoints;
        step.volts = ParseQuantity(words[1], Quantity::Volts);
        step.amps = ParseQuantity(words[2], Quantity::Amps);
        dwell(3);
    } else if (keyword == QLatin1String("volt") || keyword == QLatin1String("curr")) {
        const bool volts = keyword == QLatin1String("volt");
        arguments(1, 2, volts ? QStringLiteral("a voltage and an optional time")
                              : QStringLiteral("a current and an optional time"));
        step.kind = SequenceStep::Kind::Setpoints;
        (volts ? step.volts : step.amps)
            = ParseQuantity(words[1], volts ? Quantity::Volts : Quantity::Amps);
        dwell(2);
    } else if (keyword == QLatin1String("wait")) {
        arguments(1, 1, QStringLiteral("a time"));
        dwell(1);
    } else if (keyword == QLatin1String("output")) {
        const QString state = words.value(1).toLower();
        if (words.size() != 2 || (state != QLatin1String("on") && state != QLatin1String("off")))
            throw Fault{QStringLiteral("\"output\" takes on or off")};
        step.kind = SequenceStep::Kind::Output;
        step.outputOn = state == QLatin1String("on");
    } else if (keyword == QLatin1String("ramp")) {
        Ramp(words, line, out);
        return;
    } else if (keyword == QLatin1String("repeat")) {
        bool ok = false;
        const qint64 count = words.value(1).toLongLong(&ok);
        if (words.size() != 2 || !ok || count < 1 || count > SequenceLimit::MaxRepeat)
            throw Fault{QStringLiteral("\"repeat\" takes a count from 1 to %1")
                            .arg(SequenceLimit::MaxRepeat)};
        blocks.push_back(Block{line, count, {}});
        return;
    } else if (keyword == QLatin1String("end")) {
        arguments(0, 0, QStringLiteral("nothing"));
        if (blocks.size() < 2)
            throw Fault{QStringLiteral("\"end\" without \"repeat\"")};
        const Block block = blocks.back();
        blocks.pop_back();
        if (block.steps.empty())
            throw Fault{QStringLiteral("the block of line %1 repeats nothing").arg(block.line)};
        Append(blocks.back().steps, block.steps, block.count, line);
        return;
    } else if (keyword == QLatin1String("on-stop")) {
        const QString action = words.value(1).toLower();
        if (words.size() != 2 || (action != QLatin1String("off") && action != QLatin1String("hold")))
            throw Fault{QStringLiteral("\"on-stop\" takes off or hold")};
        sequence.onStop = action == QLatin1String("off") ? StopAction::OutputOff : StopAction::Hold;
        return;
    } else if (keyword == QLatin1String("check-errors")) {
        arguments(0, 0, QStringLiteral("nothing"));
        sequence.checkErrors = true;
        return;
    } else {
        throw Fault{QStringLiteral("unknown step \"%1\"").arg(words.first())};
    }
    out.push_back(step);
}

} // namespace

qint64 Sequence::totalMs() const
{
    qint64 total = 0;
    for (const SequenceStep &s : steps)
        total += s.dwellMs;
    return total;
}

std::optional<SequenceError> ParseSequence(const QString &text, Sequence *sequence)
{
    Sequence parsed;
    std::vector<Block> blocks(1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression Blanks(QStringLiteral("\\s+"));
    int number = 0;
    try {
        for (const QString &raw : lines) {
            ++number;
            const QString content = raw.left(raw.indexOf(QLatin1Char('#'))).trimmed();
            if (!content.isEmpty())
                Line(content.split(Blanks), number, blocks, parsed);
        }
    } catch (const Fault &f) {
        return SequenceError{number, f.reason};
    }
    if (blocks.size() > 1)
        return SequenceError{blocks.back().line, QStringLiteral("\"repeat\" without \"end\"")};
    parsed.steps = std::move(blocks.front().steps);
    if (parsed.steps.empty())
        return SequenceError{1, QStringLiteral("the file holds no step")};
    *sequence = std::move(parsed);
    return std::nullopt;
}

std::optional<SequenceError> CheckRatings(const Sequence &sequence, double voltMax, double currMax)
{
    for (const SequenceStep &s : sequence.steps) {
        if (s.volts && *s.volts > voltMax + 1e-9)
            return SequenceError{s.line, QStringLiteral("%1 V is above the rated %2 V")
                                             .arg(SetpointText(*s.volts), SetpointText(voltMax))};
        if (s.amps && *s.amps > currMax + 1e-9)
            return SequenceError{s.line, QStringLiteral("%1 A is above the rated %2 A")
                                             .arg(SetpointText(*s.amps), SetpointText(currMax))};
    }
    return std::nullopt;
}

QString SetpointText(double value)
{
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace zop
