#include "core/numbertext.h"

#include <cmath>
#include <limits>

namespace zop {

int HexDigitValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

qint32 HexFieldValue(QStringView field)
{
    qint64 value = 0;
    for (QChar c : field) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
        if (value > std::numeric_limits<qint32>::max())
            throw DecodeError{QStringLiteral("Overflow")};
    }
    return qint32(value);
}

QStringList SplitFields(const QString &text, QChar separator)
{
    if (text.isEmpty())
        return {};
    return text.split(separator);
}

std::vector<double> HexFields(const QString &reply)
{
    std::vector<double> values;
    const QStringList fields = SplitFields(reply, QLatin1Char(','));
    values.reserve(fields.size());
    for (const QString &field : fields)
        values.push_back(HexFieldValue(field));
    return values;
}

double LeadingDecimal(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < n && text[i].isDigit())
        ++i;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i].isDigit())
            ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && text[digitsStart] == u'.'))
        return 0;
    // An exponent counts only when digits follow it.
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (j < n && text[j].isDigit()) {
            while (j < n && text[j].isDigit())
                ++j;
            i = j;
        }
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toString().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

double RoundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5)
        return floor + 1;
    if (diff < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

qint32 SaturatedInt32(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = RoundHalfEven(value);
    if (rounded <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    if (rounded >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    return qint32(rounded);
}

bool MemoryLocationChanged(qint32 polled, float stored) { return float(polled) != stored; }

QString FormatNumber(double value, const QString &pattern)
{
    if (pattern.isEmpty())
        return QString::number(value, 'g', 7);
    const qsizetype point = pattern.indexOf(QLatin1Char('.'));
    const int decimals = point < 0 ? 0 : int(pattern.size() - point - 1);
    const double scale = std::pow(10.0, decimals);
    // Halves away from zero; a tiny nudge keeps 12.345 (stored as 12.3449999...) at 12.35.
    double scaled = std::round(value * scale * (1 + 4 * std::numeric_limits<double>::epsilon()));
    if (scaled == 0)
        scaled = 0; // no "-0.00"
    QString text = QString::number(scaled / scale, 'f', decimals);
    if (point >= 0 && decimals == 0)
        text += QLatin1Char('.');
    return text;
}

bool IsNumericText(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = t.size();
    auto digits = [&] {
        const qsizetype from = i;
        while (i < n && t[i] >= u'0' && t[i] <= u'9')
            ++i;
        return i - from;
    };
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype count = digits();
    if (i < n && t[i] == u'.') {
        ++i;
        count += digits();
    }
    if (count == 0)
        return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == n;
}

} // namespace zop
