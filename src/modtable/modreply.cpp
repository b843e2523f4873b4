#include "modtable/modreply.h"

#include "core/numbertext.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace zop {

namespace {

// Whether the text (after blanks) starts with a number at all: a reply "1,x" has no type,
// rather than type 0.
bool StartsWithNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[ \\t]*[+-]?(\\d|\\.\\d)"));
    return number.match(text).hasMatch();
}

int ClampedRound(double value)
{
    return int(std::clamp(RoundHalfEven(value), -32768.0, 32767.0));
}

} // namespace

QString ControlInputName(int controlInput)
{
    switch (controlInput) {
    case 0: return QStringLiteral("None");
    case 1: return QStringLiteral("Voltage");
    case 2: return QStringLiteral("Current");
    default: return QString::number(controlInput);
    }
}

QString ModTypeName(int type)
{
    switch (type) {
    case 0: return QStringLiteral("Multiplication");
    case 1: return QStringLiteral("Addition");
    default: return QString::number(type);
    }
}

QString OutputHeader(int controlInput, int type)
{
    if (type == 1 && controlInput == 1)
        return QStringLiteral("Vos");
    if (type == 1 && controlInput == 2)
        return QStringLiteral("Ios");
    return QStringLiteral("Mod");
}

SelectionReply ParseSelectionReply(const QString &reply)
{
    SelectionReply result;
    const QChar first = reply.isEmpty() ? QChar() : reply.front();
    const int input = first >= u'0' && first <= u'9' ? first.unicode() - u'0' : -1;
    if (input < 0 || input > 2) {
        result.status = SelectionReply::Status::InvalidControlInput;
        return result;
    }
    result.controlInput = input;
    const qsizetype comma = reply.indexOf(QLatin1Char(','));
    const QString rest = comma < 0 ? reply : reply.mid(comma + 1);
    const int type = StartsWithNumber(rest) ? ClampedRound(LeadingDecimal(rest)) : -1;
    if (type != 0 && type != 1) {
        result.status = SelectionReply::Status::InvalidType;
        return result;
    }
    result.type = type;
    return result;
}

RowReply ParseRowReply(const QString &text)
{
    RowReply result;
    const QString reply = text.toLower();
    if (reply.contains(QLatin1String("no table selected"))) {
        result.kind = RowReply::Kind::NoTable;
        return result;
    }
    const double position = RoundHalfEven(LeadingDecimal(reply));
    if (position < 1) {
        result.kind = RowReply::Kind::InvalidPosition;
        return result;
    }
    result.position = int(std::min(position, double(ModTableRows + 1)));
    if (position > ModTableRows) {
        result.kind = RowReply::Kind::BeyondTable;
        return result;
    }
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    const qsizetype comma = reply.indexOf(QLatin1Char(','));
    const qsizetype close = reply.indexOf(QLatin1Char(')'));
    if (open < 0 || comma < open || close < comma) {
        result.kind = RowReply::Kind::InvalidElements;
        return result;
    }
    result.kind = RowReply::Kind::Row;
    result.vmod = reply.mid(open + 1, comma - open - 1);
    result.value = reply.mid(comma + 1, close - comma - 1).trimmed();
    return result;
}

int RowNumberOf(const QString &text) { return ClampedRound(LeadingDecimal(text)); }

} // namespace zop
