#pragma once
// The decisions of the virtual panels that need no window: decoding the "<>STA" poll, the
// menu level cycles, the UP/DN stepping, the typed-entry filter and value clamping.

#include "state/statusbits.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <vector>

namespace zop {

// Power states of a panel.
namespace Power {
constexpr qint16 Standby = 3;
constexpr qint16 On = 4;
constexpr qint16 OnArmed = 5;
} // namespace Power

// Short-reply defaults of the status words after every panel load.
constexpr qint32 DefaultWordA = 72;
constexpr qint32 DefaultWordB = 0;

using StatusBits = std::array<bool, 17>;
StatusBits UnpackBits(qint32 word);

// The fields of a poll reply, each read as hexadecimal (throws DecodeError on overflow).
std::vector<qint32> PollFields(const QString &reply);

// Which lower-case letter makes a TLB poll reply unacceptable ('b' or 'j'), or 0.
char ForbiddenReplyLetter(const QString &reply);

// Clamps: above the maximum becomes the maximum, then below the minimum the minimum.
double ClampValue(double value, double maximum, double minimum);
// The memory number wraps: below 0 becomes 9, above 9 becomes 0.
int WrapMemory(int number);

// The value as the format shows it, read back (lands on the format's grid).
double SnapToFormat(double value, const QString &format);
// The shortest decimal text of a single-precision value ("12.5", "13.284").
QString ShortestText(float value);

// UP/DN while held: the interval before step `count` (0-based) in seconds, the factor for an
// interval, and the unit of one step.
double StepInterval(int count);
int StepFactor(double interval, qint16 level, qint16 slowLevel);
double StepSize(const QString &editFormat, qint16 level, double editValue, qint16 periodLevel);

// Formats of the period value: the editing format and the menu display format.
QString PeriodEditFormat(double period);
QString PeriodDisplayFormat(double period);

// The TLB's typed entry after a change: digits and one point, 4 characters without a point or
// 5 with one, a leading point shown as "0.".
QString FilterTypedEntry(const QString &text);

// The TLB's ITEM step through the value menus with no item selected: 5, 6, ... 10, 11, 5;
// no configuration (10) while the output is on, no calibration (11, 12) while armed.
qint16 NextTlbMenuLevel(qint16 level, qint16 powerState);
// The KM/TW ITEM cycle 7, 8, 9, 10 and GZ's 9, 10 (9 skipped while the output is on).
qint16 NextSeriesMenuLevel(qint16 level, qint16 powerState, bool gz);

// What the displays show while a menu or a display key holds them, as a short legend beside
// them ("OVT", "PERIOD", "POT 3"); empty when they show the readings. `role` is the level in
// the TLB's numbering (2 setpoints, 3 trips on KM/TW/GZ, 4 memory, 5 to 9 the values, 10
// configuration, 11 potentiometers or the code entry, 12 scales), `item` the menu item.
QString MenuLegend(qint16 role, qint16 item);

// The Enter Value dialog's hint: the unit and the range, in the display format
// ("Volts, 0.00 to 60.00").
QString RangeHint(const QString &unit, double minimum, double maximum, const QString &format);

} // namespace zop
