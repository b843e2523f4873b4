#pragma once
// Numbers as the instrument and the configuration file write them, and as the displays show
// them.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace zop {

// Thrown when a field does not fit the number it must become (a hexadecimal field above
// 7FFFFFFF, a potentiometer position outside 16 bits, a missing field).
struct DecodeError {
    QString what;
};

// The value of a hexadecimal digit (either case); -1 for any other character.
int HexDigitValue(QChar c);

// The leading hexadecimal digits of a field (either case) as a 32-bit signed number; reading
// stops at the first other character, so terminators are ignored; an empty field gives 0.
// Throws DecodeError above 7FFFFFFF.
qint32 HexFieldValue(QStringView field);

// The text split at every `separator`, where an empty text has no parts at all.
QStringList SplitFields(const QString &text, QChar separator);

// Splits a "<>" reply at its commas and converts every field (HexFieldValue).
std::vector<double> HexFields(const QString &reply);

// The leading decimal number of a text (blanks skipped, optional sign, digits, decimal point,
// exponent); 0 when the text does not start with a number.
double LeadingDecimal(QStringView text);

// Rounds to the nearest whole number, halves to even.
double RoundHalfEven(double value);

// A number as a 32-bit integer: rounded half to even, and beyond the 32-bit range held at its
// ends (NaN gives 0), so an extreme value from an instrument never overflows.
qint32 SaturatedInt32(double value);

// Whether a memory location read from a poll differs from the one the settings record holds.
// The record keeps it in single precision, so the polled number is compared as the record
// would hold it: a large number (7FFFFFFF) is not taken for a change on every poll.
bool MemoryLocationChanged(qint32 polled, float stored);

// Formats a value with a display pattern: "0" (whole), "0." (whole with a trailing point),
// "0.0", "0.00", ... (fixed decimals, halves away from zero); an empty pattern gives the plain
// general form.
QString FormatNumber(double value, const QString &pattern);

// The usual test whether a text is a number: blanks around it allowed, an optional sign,
// decimal digits with at most one decimal point (at least one digit), an optional exponent.
bool IsNumericText(const QString &text);

} // namespace zop
