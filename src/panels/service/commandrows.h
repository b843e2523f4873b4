#pragma once
// The rows of the Command Panel: which command table entry each row uses, its label, its
// buttons, and the text each button sends; and when a row is available. No widgets here.

#include <QList>
#include <QString>
#include <QStringList>

namespace zop {

// The command table a row uses: SCPICommand or IEEECommand.
enum class CommandTable { Scpi, Ieee };

// Where a row sits on the panel.
enum class RowBlock {
    Settings,  // left frame: value rows with Get, Set and a data box
    Values,    // right frame, first block: value rows ("Arm", "*RCL", "*SAV")
    SetOnly,   // right frame, second block, left half: bare commands
    GetOnly,   // right frame, second block, right half: queries shown only in the log
};

struct CommandRow {
    CommandTable table;
    int index;        // index into the table; also the control-array index of the row's controls
    QString label;    // "Voltage", "*RCL", "Meas Volt"
    RowBlock block;
    bool hasGet;
    bool hasSet;
    bool valueRow;    // a data box receives the Get reply and supplies the Set value

    // Control names: "cmdGetSCPI(0)", "cmdSetIEEE(2)", "txtSCPI(0)", and the label's name
    // ("lblSCPI(0)"; the two version rows have "lblGPIBVers" and "lblEthernetVers").
    QString getButtonName() const;
    QString setButtonName() const;
    QString dataBoxName() const;
    QString labelName() const;
    // What a screen reader calls the controls: "Get Voltage", "Set Start", "Voltage data".
    QString getAccessibleName() const { return QStringLiteral("Get ") + label; }
    QString setAccessibleName() const { return QStringLiteral("Set ") + label; }
    QString dataAccessibleName() const { return label + QStringLiteral(" data"); }
};

// Every row, frame by frame and top to bottom within each block.
const QList<CommandRow> &CommandRows();
// The rows of one block, in their order.
QList<CommandRow> CommandRowsOf(RowBlock block);
// The row whose controls carry `index` in `table`; null when there is none.
const CommandRow *FindCommandRow(CommandTable table, int index);

// The table entry of a row from the command tables filled at start-up (empty when the tables
// do not hold it).
QString CommandHeader(const CommandRow &row, const QStringList &ieee, const QStringList &scpi);
// The text a Get sends: the entry followed by "?".
QString QueryText(const QString &header);
// The text a Set sends: for a value row the entry, one blank and the data exactly as typed;
// otherwise the bare entry.
QString SetText(const CommandRow &row, const QString &header, const QString &data);
// A value row's data box after a Get: the reply with every carriage return and line feed
// removed.
QString DataFromReply(const QString &reply);

// Which rows can be used.
struct RowAvailability {
    bool periodAndArm = true;   // "Period" (SCPI 6) and "Arm" (SCPI 26): TLB series only
    bool gpibVersion = false;   // "GPIB. Vers." (SCPI 37): on a GPIB link only
    bool ethernetVersion = false; // "Ethernet Vers." (SCPI 38): on a TCP/IP link only
    bool operator==(const RowAvailability &) const = default;
};
RowAvailability CommandRowAvailability(qint16 systemType, qint16 commKind);
// The row availability is applied when the panel opens. After the Configuration Setup
// dialog only "Period" and "Arm" are set again, by a rule of their own: usable for system type
// 2 alone.
bool PeriodAndArmAfterSetup(qint16 systemType);
// Whether the row is usable under the availability (rows without a rule always are).
bool RowAvailable(const CommandRow &row, const RowAvailability &availability);

// The table indices of the rows with an availability rule.
constexpr int PeriodIndex = 6;
constexpr int ArmIndex = 26;
constexpr int GpibVersionIndex = 37;
constexpr int EthernetVersionIndex = 38;

} // namespace zop
