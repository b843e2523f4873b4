#pragma once
// The modulation table as the instrument reports it: the selection reply ("1,0"), the row reply
// ("5(0.25,1.10)"), the names of the selection and the header of the output column. No widgets
// here; the Modulation Panel shows what these decide.

#include "core/numbertext.h"

#include <QString>

namespace zop {

// Rows of the instrument's modulation table, numbered 1 to 50.
constexpr int ModTableRows = 50;
// "Unknown" for the control input and the modulation type.
constexpr int UnknownSelection = -1;

// "None", "Voltage", "Current" for 0, 1, 2; any other number as it stands.
QString ControlInputName(int controlInput);
// "Multiplication", "Addition" for 0, 1; any other number as it stands.
QString ModTypeName(int type);
// The header of the output column and the caption over the output box: "Vos" for a voltage
// table added to the setpoint (1, 1), "Ios" for a current table added (2, 1), "Mod" otherwise.
QString OutputHeader(int controlInput, int type);

// A reply to "MOD:TYPE:SEL?": the control input is its first character, the type the number
// after the first comma (the whole reply when there is none), rounded.
struct SelectionReply {
    enum class Status { Ok, InvalidControlInput, InvalidType };
    Status status = Status::Ok;
    int controlInput = UnknownSelection;
    int type = UnknownSelection;
};
SelectionReply ParseSelectionReply(const QString &reply);

// A reply to "MOD:TABL? row".
struct RowReply {
    enum class Kind {
        Row,             // a row: position, VMOD (as sent, blanks kept) and value (trimmed)
        NoTable,         // "no table selected": nothing to show
        InvalidPosition, // no position, or one below 1
        InvalidElements, // no "(", "," and ")" in that order after the position
        BeyondTable,     // a position past the last row: the table ends there
    };
    Kind kind = Kind::InvalidPosition;
    int position = 0; // the reported row (Row, InvalidElements, BeyondTable)
    QString vmod;
    QString value;
};
// The reply is taken in lower case, as the panel shows it.
RowReply ParseRowReply(const QString &reply);

// A number typed or read as text, rounded halves to even and kept within 16 bits; 0 when the
// text does not start with a number.
int RowNumberOf(const QString &text);

} // namespace zop
