#include "panels/calmod/calibrationrows.h"

#include "link/linkkind.h"
#include "core/numbertext.h"

#include <algorithm>
#include <cmath>

namespace zop {

namespace {

const QString HardwareRevisionMark = QStringLiteral("Hardware Rev.");

CalibrationRow Row(int index, const char *label, bool hasGet, bool hasData,
                   const char *labelName = nullptr)
{
    return {index, QString::fromLatin1(label),
            labelName ? QString::fromLatin1(labelName) : QStringLiteral("lblSCPI(%1)").arg(index),
            hasGet, hasData};
}

} // namespace

const QList<CalibrationRow> &CalibrationRows()
{
    using namespace CalIndex;
    static const QList<CalibrationRow> rows = {
        Row(Password, "Password", false, true),
        Row(VoltScale, "Volt Scale", true, true),
        Row(CurrScale, "Curr Scale", true, true),
        Row(InputScale, "Input Scale", true, true),
        Row(Defaults, "Default Pots", false, false),
        Row(EndCal, "End Cal", false, false),
        Row(CalString, "Cal String", true, true),
        Row(SystemVersion, "System Ver", true, true, "Label1"),
        Row(NetSerial, "Ethernet Serial Number", true, true, "SerialNumberlLabel"),
        Row(NetHardware, "Ethernet HW Version", true, true, "HWVersionLabel"),
    };
    return rows;
}

const CalibrationRow *FindCalibrationRow(int index)
{
    for (const CalibrationRow &row : CalibrationRows()) {
        if (row.index == index)
            return &row;
    }
    return nullptr;
}

CalLock LockFor(const QString &password)
{
    if (password == ScaleAccessCode)
        return CalLock::All;
    if (password == PotAccessCode)
        return CalLock::Pots;
    return CalLock::Locked;
}

QString CalGetText(const QString &header) { return header + QLatin1Char('?'); }

QString CalSetText(const CalibrationRow &row, const QString &header, const QString &data,
                   const QString &password)
{
    if (!row.hasData)
        return header;
    QString text = header + QLatin1Char(' ') + data;
    const bool networkRow = row.index == CalIndex::NetSerial || row.index == CalIndex::NetHardware;
    if (networkRow && password == ScaleAccessCode)
        text += QLatin1Char(' ') + ScaleAccessCode;
    return text;
}

QString PotGetText(const QString &header, int pot)
{
    return header + QStringLiteral("? ") + QString::number(pot + 1);
}

QString PotSetText(const QString &header, int pot, const QString &data)
{
    return header + QLatin1Char(' ') + QString::number(pot + 1) + QLatin1Char(',') + data;
}

QString PotStepText(int pot, int value)
{
    return QStringLiteral("CAL:POT %1,%2").arg(pot + 1).arg(value);
}

int SteppedPotValue(const QString &boxText, int direction)
{
    const double typed = RoundHalfEven(LeadingDecimal(boxText));
    // A typed value far outside the range must not overflow on its way back into it.
    const double stepped = std::clamp(typed + direction, double(PotMin), double(PotMax));
    return int(stepped);
}

QString WithoutLineBreaks(const QString &reply)
{
    QString text = reply;
    text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return text;
}

std::optional<QString> HardwareRevisionFrom(const QString &reply)
{
    const qsizetype at = reply.indexOf(HardwareRevisionMark);
    if (at < 0)
        return std::nullopt;
    return reply.mid(at + HardwareRevisionMark.size()).trimmed();
}

bool SystemVersionShown(bool scalesUnlocked) { return scalesUnlocked; }

bool NetworkRowsShown(bool scalesUnlocked, qint16 commKind)
{
    return scalesUnlocked && commKind == LinkKind::TcpIp;
}

int LastShownRow(bool scalesUnlocked, qint16 commKind)
{
    if (NetworkRowsShown(scalesUnlocked, commKind))
        return CalIndex::NetHardware;
    return SystemVersionShown(scalesUnlocked) ? CalIndex::SystemVersion : CalIndex::CalString;
}

} // namespace zop
