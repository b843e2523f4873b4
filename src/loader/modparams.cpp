#include "loader/modparams.h"

#include "link/commlayer.h"
#include "core/numbertext.h"

namespace zop {

namespace {
constexpr qint16 ReadSeconds = 2;

QString Ask(const QString &query)
{
    SendCommand(query, false);
    QString reply;
    ReadReply(reply, ReadSeconds, false);
    return reply;
}
} // namespace

ModSelection Get_ModSel()
{
    const QStringList parts = Ask(QStringLiteral("MOD:TYPE:SEL?")).split(QLatin1Char(','));
    if (parts.size() < 2)
        return {};
    return {int(RoundHalfEven(LeadingDecimal(parts.at(0)))),
            int(RoundHalfEven(LeadingDecimal(parts.at(1))))};
}

void Get_ModTable(ModRow (&rows)[ModTableRows])
{
    for (ModRow &row : rows)
        row = {};
    for (int r = 1; r <= ModTableRows; ++r) {
        const QString reply = Ask(QStringLiteral("MOD:TABL? ") + QString::number(r));
        const qsizetype open = reply.indexOf(QLatin1Char('('));
        if (open < 0)
            return;
        const qsizetype comma = reply.indexOf(QLatin1Char(','), open);
        const QStringView text(reply);
        rows[r - 1].a = float(LeadingDecimal(text.mid(open + 1, comma < 0 ? -1 : comma - open - 1)));
        rows[r - 1].b = comma < 0 ? 0.0f : float(LeadingDecimal(text.mid(comma + 1)));
    }
}

void Set_ModSel(int x, int y)
{
    SendCommand(QStringLiteral("MOD:TYPE:SEL %1,%2").arg(x).arg(y), false);
    Ask(QStringLiteral("MOD:TYPE:SEL?"));
}

void Set_ModRow(int row, int x, int y)
{
    SendCommand(QStringLiteral("MOD:TABL %1(%2,%3)").arg(row).arg(x).arg(y), false);
    Ask(QStringLiteral("MOD:TABL? ") + QString::number(row));
}

void Clear_ModParams()
{
    Set_ModSel(1, 0);
    for (int r = 1; r <= ModTableRows; ++r)
        Set_ModRow(r, 0, 0);
    Set_ModSel(0, 0);
}

void Check_ModParams()
{
    const ModSelection sel = Get_ModSel();
    if (sel.s0 > 3 || sel.s1 > 1) {
        Clear_ModParams();
        return;
    }
    ModRow rows[ModTableRows];
    Get_ModTable(rows);
    for (const ModRow &row : rows) {
        if (row.a < 0 || row.a > 2 || row.b < -2 || row.b > 1000) {
            Clear_ModParams();
            return;
        }
    }
    Set_ModSel(sel.s0, sel.s1);
}

} // namespace zop
