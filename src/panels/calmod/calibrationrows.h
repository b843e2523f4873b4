#pragma once
// The Calibration Panel without its widgets: the command rows (each uses one entry of the SCPI
// command table, whose index its controls carry), the texts the buttons send, the three lock
// states the access codes give, the step of the potentiometer buttons, and which rows are
// shown and where the command frame ends.

#include <QList>
#include <QString>
#include <optional>

namespace zop {

// SCPI command table indices of the rows.
namespace CalIndex {
constexpr int CalString = 14;     // "CALibrate:IDN"
constexpr int SystemVersion = 19; // "SYSTem:Version"
constexpr int Password = 29;      // "CALibrate:PASSword"
constexpr int Pot = 30;           // "CALibrate:POT", used by the potentiometer rows
constexpr int VoltScale = 31;
constexpr int CurrScale = 32;
constexpr int Defaults = 33;
constexpr int EndCal = 34;
constexpr int NetSerial = 40;   // "SYSTem:NET:SERial"
constexpr int NetHardware = 41; // "SYSTem:NET:VERS"
constexpr int InputScale = 42;
} // namespace CalIndex

// Access codes typed into the Password row: the first unlocks the potentiometers, the second
// everything (and goes with the network Set commands).
inline const QString PotAccessCode = QStringLiteral("3846");
inline const QString ScaleAccessCode = QStringLiteral("6043");

constexpr int PotCount = 5;
constexpr int PotMin = 0;
constexpr int PotMax = 255;

struct CalibrationRow {
    int index;          // into SCPICommand; also the control-array index of its controls
    QString label;      // "Volt Scale"
    QString labelName;  // "lblSCPI(31)"; the version rows: "Label1", "SerialNumberlLabel", ...
    bool hasGet;
    bool hasData;       // a data box; a row without one sends its bare command

    QString getButtonName() const { return QStringLiteral("cmdGetSCPI(%1)").arg(index); }
    QString setButtonName() const { return QStringLiteral("cmdSetSCPI(%1)").arg(index); }
    QString dataBoxName() const { return QStringLiteral("txtSCPI(%1)").arg(index); }
};

// The rows of the command frame, top to bottom (every row has a Set button).
const QList<CalibrationRow> &CalibrationRows();
// The row whose controls carry `index`; null when there is none.
const CalibrationRow *FindCalibrationRow(int index);

// What the Password row's text unlocks (the text must be exactly a code).
enum class CalLock { Locked, Pots, All };
CalLock LockFor(const QString &password);

// The text a Get sends: the entry followed by "?".
QString CalGetText(const QString &header);
// The text a Set sends: the bare entry on a row without data; on the network rows, while the
// Password box holds the scale code, the entry, the data and the code; otherwise the entry, one
// blank and the data as typed.
QString CalSetText(const CalibrationRow &row, const QString &header, const QString &data,
                   const QString &password);
// The potentiometer commands; `pot` is 0 to 4, numbered 1 to 5 on the wire.
QString PotGetText(const QString &header, int pot);
QString PotSetText(const QString &header, int pot, const QString &data);
QString PotStepText(int pot, int value);
// The value after one step of UP (+1) or DN (-1) from a box's text, taken as a number and
// rounded: kept within 0..255, so at a bound the same value is sent again.
int SteppedPotValue(const QString &boxText, int direction);

// A reply with every carriage return and line feed removed.
QString WithoutLineBreaks(const QString &reply);
// The revision in a network hardware reply: the text after "Hardware Rev.", blanks trimmed;
// nothing when the reply does not hold it.
std::optional<QString> HardwareRevisionFrom(const QString &reply);

// Which rows show: the system version row with the scales unlocked, the two network rows only
// then and on a TCP/IP link.
bool SystemVersionShown(bool scalesUnlocked);
bool NetworkRowsShown(bool scalesUnlocked, qint16 commKind);
// The command frame ends just above the first hidden row (the top of row 19 or of row 40), or
// this far below row 41 when every row shows.
constexpr int FrameGapBelowNetworkRowsTwips = 120;
// The last row shown: 14, 19 or 41.
int LastShownRow(bool scalesUnlocked, qint16 commKind);

} // namespace zop
