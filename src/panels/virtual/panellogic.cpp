#include "panels/virtual/panellogic.h"

#include "core/numbertext.h"

#include <cmath>

namespace zop {

StatusBits UnpackBits(qint32 word)
{
    StatusBits bits{};
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = (qint64(word) & (qint64(1) << i)) != 0;
    return bits;
}

std::vector<qint32> PollFields(const QString &reply)
{
    std::vector<qint32> fields;
    for (const QString &field : SplitFields(reply, QLatin1Char(',')))
        fields.push_back(HexFieldValue(field));
    return fields;
}

char ForbiddenReplyLetter(const QString &reply)
{
    if (reply.contains(QLatin1Char('b')))
        return 'b';
    if (reply.contains(QLatin1Char('j')))
        return 'j';
    return 0;
}

double ClampValue(double value, double maximum, double minimum)
{
    if (value > maximum)
        value = maximum;
    if (value < minimum)
        value = minimum;
    return value;
}

int WrapMemory(int number)
{
    if (number < 0)
        return 9;
    if (number > 9)
        return 0;
    return number;
}

double SnapToFormat(double value, const QString &format)
{
    return LeadingDecimal(FormatNumber(value, format));
}

QString ShortestText(float value)
{
    return QString::number(double(value), 'g', 7);
}

double StepInterval(int count)
{
    if (count < 11)
        return 0.25;
    if (count < 31)
        return 0.15;
    return 0.1;
}

int StepFactor(double interval, qint16 level, qint16 slowLevel)
{
    if (interval >= 0.25)
        return 1;
    if (interval >= 0.15)
        return 3;
    return level < slowLevel ? 13 : 3;
}

double StepSize(const QString &editFormat, qint16 level, double editValue, qint16 periodLevel)
{
    if (level == periodLevel) {
        if (editValue > 1000)
            return 1;
        if (editValue > 100)
            return 0.1;
        return 0.01;
    }
    if (editFormat == QLatin1String("0.0"))
        return 0.101;
    if (editFormat == QLatin1String("0.00"))
        return 0.0101;
    if (editFormat == QLatin1String("0.000"))
        return 0.00101;
    return 1;
}

QString PeriodEditFormat(double period)
{
    if (period > 999.99)
        return QStringLiteral("0");
    if (period > 99.99)
        return QStringLiteral("0.0");
    return QStringLiteral("0.00");
}

QString PeriodDisplayFormat(double period)
{
    if (period > 999.99)
        return QStringLiteral("0.");
    return PeriodEditFormat(period);
}

QString FilterTypedEntry(const QString &text)
{
    QString kept;
    bool point = false;
    for (QChar c : text) {
        if (c.isDigit() && c.unicode() < 128) {
            kept += c;
        } else if (c == u'.' && !point) {
            kept += c;
            point = true;
        }
    }
    kept.truncate(point ? 5 : 4);
    if (kept.startsWith(QLatin1Char('.')))
        kept.prepend(QLatin1Char('0'));
    return kept;
}

qint16 NextTlbMenuLevel(qint16 level, qint16 powerState)
{
    qint16 next = qint16((level + 1) % 13);
    if (next == 12 || next == 0)
        next = 5;
    if (next == 10 && powerState >= Power::On)
        next = 11;
    if (next >= 11 && powerState == Power::OnArmed)
        next = 5;
    return next;
}

qint16 NextSeriesMenuLevel(qint16 level, qint16 powerState, bool gz)
{
    const qint16 first = gz ? 9 : 7;
    qint16 next = qint16(level + 1);
    if (next > 10 || next < first)
        next = first;
    if (next == 9 && powerState >= Power::On)
        next = 10;
    return next;
}

QString MenuLegend(qint16 role, qint16 item)
{
    switch (role) {
    case 2: return QStringLiteral("SET POINTS");
    case 3: return QStringLiteral("TRIPS");
    case 4: return QStringLiteral("MEMORY");
    case 5: return QStringLiteral("VOLT SET");
    case 6: return QStringLiteral("CURR SET");
    case 7: return QStringLiteral("OVT");
    case 8: return QStringLiteral("OCT");
    case 9: return QStringLiteral("PERIOD");
    case 10: return QStringLiteral("CONFIG");
    case 11:
    case 12:
        if (item >= 0 && item <= 4)
            return QStringLiteral("POT %1").arg(item + 1);
        if (item == -1)
            return QStringLiteral("CAL CODE");
        if (item == 5)
            return QStringLiteral("CAL");
        if (role == 12 && item == 6)
            return QStringLiteral("V SCALE");
        if (role == 12 && item == 7)
            return QStringLiteral("I SCALE");
        if (role == 11 && item == 6)
            return QStringLiteral("DEFAULTS");
        return QStringLiteral("RETURN");
    default: return QString();
    }
}

QString RangeHint(const QString &unit, double minimum, double maximum, const QString &format)
{
    return QStringLiteral("%1, %2 to %3")
        .arg(unit, FormatNumber(minimum, format), FormatNumber(maximum, format));
}

} // namespace zop

