#pragma once
// The readers of the instrument records. Each sends its query without logging, reads the reply
// with a 2-second time-out and decodes it into the global records (modData). A short reply
// (Simulated mode answers "9.999") gives fixed defaults; a malformed one stops the reader
// silently with what it had already stored.

#include <QString>

namespace zop {

// Every reader waits this long for its reply.
constexpr qint16 ReplyTimeoutSeconds = 2;

// What a reader made of its replies: `decoded` is false when one was too short (the defaults
// were used) or malformed; `command` and `reply` are then that query and its reply, for a
// caller that must not pass defaults off as the instrument's (the command line).
struct RecordRead {
    bool decoded = true;
    QString command;
    QString reply;
};

// "<>ALL", then possibly "SYST:VERS?": Settings, SettingsBackup and the version texts.
RecordRead ReadAllState();
// "<>SCL": Ratings, RatingsBackup and the display formats.
RecordRead ReadScales();
// "<>POT": Pots and PotsBackup.
RecordRead ReadPots();

void BackupSettings();
void RestoreSettings();
void RestoreRatings();
void BackupPots();
void RestorePots();

// Sets VoltageFormat and CurrentFormat from the ratings; false when a rating is above 8000,
// which has no format.
bool ChooseNumberFormats();
// The display format for a rated value.
QString FormatForRating(double rating);

// The state refresh of start-up and of every panel switch: flush, "<>SCL", "<>ALL", then
// "SYST:ERR?" to empty the instrument's error queue. Returns the result of that last read.
qint32 RefreshInstrumentState();

} // namespace zop
