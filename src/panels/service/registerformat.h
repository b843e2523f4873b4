#pragma once
// The status registers as the Register Panel shows them: what each register is called, which
// query reads it, the names of its bits, and how its value is written out (decimal,
// hexadecimal, binary groups) and read back from what the user types. No widgets here.

#include <QString>
#include <QStringList>


namespace zop {

// The six registers, in the order of their lamp columns.
enum class RegisterId { Oper, Ques, Ese, Esr, Sre, Stb };
inline constexpr RegisterId AllRegisters[] = {RegisterId::Oper, RegisterId::Ques,
                                              RegisterId::Ese,  RegisterId::Esr,
                                              RegisterId::Sre,  RegisterId::Stb};

// Colours of a lamp whose bit is set, as 0xRRGGBB (a QColor converts from it).
inline constexpr quint32 OperBitColour = 0x00C000;
inline constexpr quint32 AlarmBitColour = 0xFF0000;

struct RegisterInfo {
    RegisterId id;
    QString lampArray;     // "lblOPER": lamp k is "lblOPER(k)"
    QString title;         // what a screen reader calls the column ("Operation condition")
    bool wide;             // 16 bits (condition registers) or 8
    QString readButton;    // "cmdGetReg(0)", "cmdGetIEEE(6)"
    QString readCaption;   // "Get Oper"
    bool readsScpi;        // read with SCPICommand[tableIndex], else IEEECommand[tableIndex]
    int tableIndex;
    QString writeButton;   // "cmdSetIEEE(0)", empty for read-only registers
    QString writeCaption;  // "Set ESE"
    quint32 setColour;
    QStringList bitNames;  // bit 0 first; as many as the register has lamps
    int bitCount() const { return int(bitNames.size()); }
};

const RegisterInfo &RegisterInfoFor(RegisterId id);

// ---- the value of a reply

// The register value in a reply: carriage returns and line feeds removed, the leading number
// (blanks skipped; 0 when the text does not start with a number), rounded half to even. A
// register holds no negative value and none beyond 32 bits: such a reply is not a register
// value and reads as 0, like a reply that is not a number.
qint32 RegisterValue(const QString &reply);

// ---- the three result forms

// The low 8 bits (wide false) or 16 bits (wide true) as 4-bit groups, most significant
// first, separated by one blank: 5 gives "0000 0101" and "0000 0000 0000 0101".
QString FormatBinaryGroups(qint32 value, bool wide);
// The low 16 bits as two 2-digit upper-case hexadecimal groups, high byte first: 5 gives
// "00 05", 2565 gives "0A 05".
QString FormatHexBytes(qint32 value);
// An 8-bit register's "Hex:" result: upper-case hexadecimal, at least two digits (5 gives
// "05", 255 "FF"); a larger value keeps all its digits.
QString FormatHexByte(qint32 value);

struct RegisterResults {
    QString decimal;
    QString hex;
    QString binary;
};
// The "Decimal:", "Hex:" and "Binary:" texts of a value read from a register.
RegisterResults FormatRegisterResults(qint32 value, bool wide);

// Whether lamp `bit` of a register is lit for a value (the value's bit is set).
bool BitIsSet(qint32 value, int bit);

// ---- what the user types for a write

enum class EntryFormat { Decimal = 0, Hex = 1, Binary = 2 };

// Entries beyond 32 bits are sent as the largest 32-bit number, 4294967295: the instrument
// then refuses the value itself and says so in its error queue, where a number cut to its low
// bits would quietly set bits nobody typed.

// The number a binary entry stands for: blanks are removed and the characters read left to
// right as binary digits. An entry holding any character other than 0, 1 and blanks gives 0,
// and so does an empty one.
quint32 ParseBinaryText(const QString &text);
// The number a hexadecimal entry stands for: the digits (either case) from its first
// character up to the first character that is not one; none gives 0 (" 2C" and "0x10" give
// 0, "1 0" gives 1).
quint32 ParseHexEntry(const QString &text);

// The text a write of an enable register sends after its header and a blank: a decimal entry
// exactly as typed, a hexadecimal or binary one as the decimal number it stands for.
QString EnableValueText(const QString &entry, EntryFormat format);

} // namespace zop
