#pragma once
// zopctl's exit statuses, so scripts can tell a failure's kind without reading its message.

#include <QString>

namespace zop::cli {

namespace Exit {
constexpr int Ok = 0;
// The instrument answered something that cannot be decoded.
constexpr int BadReply = 1;
// The command line itself is wrong (unknown command or option, bad link URL, bad number).
constexpr int Usage = 2;
// The link cannot be opened, or was lost.
constexpr int LinkFailed = 3;
// The instrument did not answer in time.
constexpr int TimedOut = 4;
// The instrument reported an error in "SYST:ERR?" (--check-errors).
constexpr int InstrumentError = 5;
// A file the command was given cannot be read, written or used (a firmware or table file).
constexpr int BadFile = 6;
// A sequence (run) was stopped by a protection trip or another alarm of the instrument.
constexpr int Alarm = 7;
// Stopped by Ctrl-C (128 + SIGINT, as shells report it); SIGTERM gives 143 (128 + SIGTERM).
constexpr int Interrupted = 130;
} // namespace Exit

// A failure that ends the run with `code`, after `message` is written to standard error.
struct Failure {
    int code;
    QString message;
};

} // namespace zop::cli
