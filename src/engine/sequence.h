#pragma once
// Sequence files: plain text, one step a line, written by hand and kept in version control.
//
//   # an 11-step voltage ramp, held at the top for a minute
//   on-stop off            what a stop does to the output: off (default) or hold
//   check-errors           read "SYST:ERR?" after every step; an error stops the run
//   set 0V 2A              both setpoints (an optional dwell may follow)
//   output on
//   ramp volt 0V 10V 10s 1V    from, to, over, in steps of
//   wait 1min
//   repeat 3               the lines up to "end", three times (blocks may nest)
//     volt 5V 500ms        one setpoint, then a dwell
//     curr 500mA 0.5s
//   end
//   output off
//
// Numbers are in volts, amperes and seconds; a suffix may say so or scale them: V, mV, A, mA,
// s, ms, min, h. Everything after "#" is a comment. The file is checked whole before anything
// is sent: a file with a fault is refused with its line and the reason.

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace zop {

// What a stop (the user's, a trip's, a lost link's) does to the output.
enum class StopAction { OutputOff, Hold };

struct SequenceStep {
    enum class Kind { Setpoints, Output, Wait };
    Kind kind = Kind::Wait;
    int line = 0; // where the file says it (a ramp's steps share the ramp's line)
    std::optional<double> volts; // Setpoints: the values sent (volts, amperes)
    std::optional<double> amps;
    bool outputOn = false; // Output
    qint64 dwellMs = 0; // how long the step lasts before the next one starts
};

struct Sequence {
    std::vector<SequenceStep> steps;
    StopAction onStop = StopAction::OutputOff;
    bool checkErrors = false;
    qint64 totalMs() const;
};

struct SequenceError {
    int line = 0;
    QString reason;
    QString message() const { return QStringLiteral("line %1: %2").arg(line).arg(reason); }
};

// Limits that keep a file sane.
namespace SequenceLimit {
constexpr int MaxRampSteps = 10000;
constexpr qint64 MinRampStepMs = 50; // the status is read between steps
constexpr qint64 MaxSteps = 1000000; // after repeats are unrolled
constexpr qint64 MaxRepeat = 1000000;
constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;
} // namespace SequenceLimit

// Parses a whole file; the first fault found ends it.
std::optional<SequenceError> ParseSequence(const QString &text, Sequence *sequence);

// The first setpoint outside the instrument's rated range (0 to the ratings of "<>SCL").
std::optional<SequenceError> CheckRatings(const Sequence &sequence, double voltMax,
                                          double currMax);

// A setpoint as the wire takes it: thousandths at most, no trailing zeros ("12", "0.5").
QString SetpointText(double value);

} // namespace zop
