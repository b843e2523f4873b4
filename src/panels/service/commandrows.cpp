#include "panels/service/commandrows.h"

#include "link/linkkind.h"

namespace zop {

namespace {

QString TableSuffix(CommandTable table)
{
    return table == CommandTable::Scpi ? QStringLiteral("SCPI") : QStringLiteral("IEEE");
}

CommandRow ValueRow(int index, const char *label)
{
    return {CommandTable::Scpi, index, QString::fromLatin1(label), RowBlock::Settings, true, true,
            true};
}
CommandRow SetRow(CommandTable table, int index, const char *label)
{
    return {table, index, QString::fromLatin1(label), RowBlock::SetOnly, false, true, false};
}
CommandRow GetRow(CommandTable table, int index, const char *label)
{
    return {table, index, QString::fromLatin1(label), RowBlock::GetOnly, true, false, false};
}

} // namespace

QString CommandRow::getButtonName() const
{
    return QStringLiteral("cmdGet%1(%2)").arg(TableSuffix(table)).arg(index);
}

QString CommandRow::setButtonName() const
{
    return QStringLiteral("cmdSet%1(%2)").arg(TableSuffix(table)).arg(index);
}

QString CommandRow::dataBoxName() const
{
    return QStringLiteral("txt%1(%2)").arg(TableSuffix(table)).arg(index);
}

QString CommandRow::labelName() const
{
    if (table == CommandTable::Scpi && index == GpibVersionIndex)
        return QStringLiteral("lblGPIBVers");
    if (table == CommandTable::Scpi && index == EthernetVersionIndex)
        return QStringLiteral("lblEthernetVers");
    return QStringLiteral("lbl%1(%2)").arg(TableSuffix(table)).arg(index);
}

const QList<CommandRow> &CommandRows()
{
    using T = CommandTable;
    static const QList<CommandRow> rows = {
        ValueRow(0, "Voltage"),
        ValueRow(1, "Current"),
        ValueRow(2, "Voltage Prot"),
        ValueRow(3, "Current Prot"),
        ValueRow(4, "Voltage Trig"),
        ValueRow(5, "Current Trig"),
        ValueRow(PeriodIndex, "Period"),
        ValueRow(7, "Mem"),
        ValueRow(15, "Init. Cont."),
        ValueRow(22, "Rem. Sen."),
        ValueRow(23, "Ctrl. Ext."),
        ValueRow(24, "Ctrl. Int."),
        ValueRow(25, "Interlock"),
        ValueRow(39, "Setpoint"),

        {T::Scpi, ArmIndex, QStringLiteral("Arm"), RowBlock::Values, true, true, true},
        {T::Ieee, 2, QStringLiteral("*RCL"), RowBlock::Values, false, true, true},
        {T::Ieee, 3, QStringLiteral("*SAV"), RowBlock::Values, false, true, true},

        SetRow(T::Scpi, 8, "Start"),
        SetRow(T::Scpi, 9, "Stop"),
        SetRow(T::Scpi, 11, "Clear"),
        SetRow(T::Scpi, 13, "Init. Imm."),
        SetRow(T::Scpi, 12, "Trigger"),
        SetRow(T::Scpi, 10, "Abort"),
        SetRow(T::Ieee, 4, "*RST"),
        SetRow(T::Ieee, 9, "*CLS"),

        GetRow(T::Scpi, 16, "Meas Volt"),
        GetRow(T::Scpi, 17, "Meas Curr"),
        GetRow(T::Scpi, 18, "Syst. Err."),
        GetRow(T::Scpi, 19, "Syst. Vers."),
        GetRow(T::Scpi, GpibVersionIndex, "GPIB. Vers."),
        GetRow(T::Scpi, EthernetVersionIndex, "Ethernet Vers."),
        GetRow(T::Scpi, 20, "Oper. Cond."),
        GetRow(T::Scpi, 21, "Ques. Cond."),
        GetRow(T::Scpi, 28, "Outp. State"),
        GetRow(T::Ieee, 8, "*IDN"),
    };
    return rows;
}

QList<CommandRow> CommandRowsOf(RowBlock block)
{
    QList<CommandRow> result;
    for (const CommandRow &row : CommandRows()) {
        if (row.block == block)
            result << row;
    }
    return result;
}

const CommandRow *FindCommandRow(CommandTable table, int index)
{
    for (const CommandRow &row : CommandRows()) {
        if (row.table == table && row.index == index)
            return &row;
    }
    return nullptr;
}

QString CommandHeader(const CommandRow &row, const QStringList &ieee, const QStringList &scpi)
{
    return (row.table == CommandTable::Scpi ? scpi : ieee).value(row.index);
}

QString QueryText(const QString &header) { return header + QLatin1Char('?'); }

QString SetText(const CommandRow &row, const QString &header, const QString &data)
{
    if (!row.valueRow)
        return header;
    return header + QLatin1Char(' ') + data;
}

QString DataFromReply(const QString &reply)
{
    QString data = reply;
    data.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return data;
}

RowAvailability CommandRowAvailability(qint16 systemType, qint16 commKind)
{
    RowAvailability a;
    // The period and ARM belong to the TLB series, whose panel also stands in for a system
    // type that is not one of the other series.
    a.periodAndArm = systemType != 0 && systemType != 1 && systemType != 3 && systemType != 4;
    a.gpibVersion = commKind == LinkKind::Gpib;
    a.ethernetVersion = commKind == LinkKind::TcpIp;
    return a;
}

bool PeriodAndArmAfterSetup(qint16 systemType) { return systemType == 2; }

bool RowAvailable(const CommandRow &row, const RowAvailability &availability)
{
    if (row.table != CommandTable::Scpi)
        return true;
    switch (row.index) {
    case PeriodIndex:
    case ArmIndex:
        return availability.periodAndArm;
    case GpibVersionIndex:
        return availability.gpibVersion;
    case EthernetVersionIndex:
        return availability.ethernetVersion;
    default:
        return true;
    }
}

} // namespace zop
