#include "panels/service/registerformat.h"

#include "core/numbertext.h"

#include <algorithm>

#include <cmath>
#include <limits>

namespace zop {

namespace {

QStringList Unused(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("Unused");
    return names;
}

QStringList Masks()
{
    QStringList names;
    for (int i = 0; i < 8; ++i)
        names << QStringLiteral("Mask%1").arg(i);
    return names;
}

const QString FourBitGroups[16] = {
    QStringLiteral("0000"), QStringLiteral("0001"), QStringLiteral("0010"), QStringLiteral("0011"),
    QStringLiteral("0100"), QStringLiteral("0101"), QStringLiteral("0110"), QStringLiteral("0111"),
    QStringLiteral("1000"), QStringLiteral("1001"), QStringLiteral("1010"), QStringLiteral("1011"),
    QStringLiteral("1100"), QStringLiteral("1101"), QStringLiteral("1110"), QStringLiteral("1111"),
};

const char HexDigits[] = "0123456789ABCDEF";

} // namespace

const RegisterInfo &RegisterInfoFor(RegisterId id)
{
    static const RegisterInfo registers[] = {
        {RegisterId::Oper, QStringLiteral("lblOPER"), QStringLiteral("Operation condition"), true,
         QStringLiteral("cmdGetReg(0)"), QStringLiteral("Get Oper"), true, 20, QString(), QString(),
         OperBitColour,
         QStringList{"ARM", "SS", "LOCK", "INT", "EXT", "WTG", "STBY", "PWR", "CV", "RSEN", "CC",
                     "STBY/ALM"}
             + Unused(4)},
        {RegisterId::Ques, QStringLiteral("lblQUES"), QStringLiteral("Questionable condition"),
         true, QStringLiteral("cmdGetReg(1)"), QStringLiteral("Get Ques"), true, 21, QString(),
         QString(), AlarmBitColour,
         QStringList{"OV", "OC", "PB", "PGM", "OT", "FUSE", "Unused", "ALM", "ILOC", "REM"}
             + Unused(6)},
        {RegisterId::Ese, QStringLiteral("lblESE"), QStringLiteral("Standard event status enable"),
         false, QStringLiteral("cmdGetIEEE(0)"), QStringLiteral("Get ESE"), false, 0,
         QStringLiteral("cmdSetIEEE(0)"), QStringLiteral("Set ESE"), AlarmBitColour, Masks()},
        {RegisterId::Esr, QStringLiteral("lblESR"), QStringLiteral("Standard event status"), false,
         QStringLiteral("cmdGetIEEE(6)"), QStringLiteral("Get ESR"), false, 6, QString(), QString(),
         AlarmBitColour,
         QStringList{"OPC", "Unused", "QE", "DDE", "EE", "CE", "Unused", "PO"}},
        {RegisterId::Sre, QStringLiteral("lblSRE"), QStringLiteral("Service request enable"),
         false, QStringLiteral("cmdGetIEEE(1)"), QStringLiteral("Get SRE"), false, 1,
         QStringLiteral("cmdSetIEEE(1)"), QStringLiteral("Set SRE"), AlarmBitColour, Masks()},
        {RegisterId::Stb, QStringLiteral("lblSTB"), QStringLiteral("Status byte"), false,
         QStringLiteral("cmdGetIEEE(7)"), QStringLiteral("Get STB"), false, 7, QString(), QString(),
         AlarmBitColour,
         QStringList{"Unused", "Unused", "Unused", "Unused", "MAV", "ESB", "MSS", "Unused"}},
    };
    return registers[int(id)];
}

qint32 RegisterValue(const QString &reply)
{
    QString text = reply;
    text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    const double rounded = RoundHalfEven(LeadingDecimal(text));
    if (!(rounded >= 0) || rounded > double(std::numeric_limits<qint32>::max()))
        return 0;
    return qint32(rounded);
}

QString FormatBinaryGroups(qint32 value, bool wide)
{
    const quint32 bits = quint32(value);
    const int groups = wide ? 4 : 2;
    QStringList parts;
    for (int g = groups - 1; g >= 0; --g)
        parts << FourBitGroups[(bits >> (4 * g)) & 0xF];
    return parts.join(QLatin1Char(' '));
}

QString FormatHexBytes(qint32 value)
{
    const quint32 bits = quint32(value);
    QString text;
    for (int nibble = 3; nibble >= 0; --nibble) {
        if (nibble == 1)
            text += QLatin1Char(' ');
        text += QLatin1Char(HexDigits[(bits >> (4 * nibble)) & 0xF]);
    }
    return text;
}

QString FormatHexByte(qint32 value)
{
    return QString::number(quint32(value), 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

RegisterResults FormatRegisterResults(qint32 value, bool wide)
{
    return {QString::number(value), wide ? FormatHexBytes(value) : FormatHexByte(value),
            FormatBinaryGroups(value, wide)};
}

bool BitIsSet(qint32 value, int bit)
{
    return bit >= 0 && bit < 32 && (quint32(value) >> bit) & 1u;
}

namespace {
// Adds a digit to a number that saturates at the largest 32-bit value.
quint64 Accumulate(quint64 value, int base, int digit)
{
    constexpr quint64 Largest = std::numeric_limits<quint32>::max();
    return std::min<quint64>(value * quint64(base) + quint64(digit), Largest);
}
} // namespace

quint32 ParseBinaryText(const QString &text)
{
    quint64 result = 0;
    for (QChar c : text) {
        if (c == QLatin1Char(' '))
            continue;
        if (c != QLatin1Char('0') && c != QLatin1Char('1'))
            return 0;
        result = Accumulate(result, 2, c == QLatin1Char('1') ? 1 : 0);
    }
    return quint32(result);
}

quint32 ParseHexEntry(const QString &text)
{
    quint64 result = 0;
    for (QChar c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        result = Accumulate(result, 16, digit);
    }
    return quint32(result);
}

QString EnableValueText(const QString &entry, EntryFormat format)
{
    switch (format) {
    case EntryFormat::Hex:
        return QString::number(ParseHexEntry(entry));
    case EntryFormat::Binary:
        return QString::number(ParseBinaryText(entry));
    case EntryFormat::Decimal:
        break;
    }
    return entry;
}

} // namespace zop
