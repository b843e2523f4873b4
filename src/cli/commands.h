#pragma once
// zopctl's commands: one row each, with the options it takes and whether it reads (so takes
// --json). A new command is one more row and its function.

#include "cli/interrupt.h"
#include "cli/session.h"
#include "engine/instrumentstate.h"
#include "engine/seriesspec.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace zop::cli {

// What a command runs with.
struct CommandContext {
    LinkSession &link;
    QStringList arguments; // after the command's name
    const SeriesSpec &series;
    bool json = false;
    // monitor
    double intervalSeconds = 0.2;
    qint64 count = -1; // -1: until interrupted
    QString csvPath; // "-": the CSV goes to standard output
    const Interrupt &interrupt;
    // discover
    QString target; // where the request goes; empty: the configured target
    QString bindAddress; // the local address listened on; empty: every IPv4 address
    double timeoutSeconds = 2; // also how long discover listens
    bool checkErrors = false; // --check-errors (run: after every step; shell: after each line)
    // run
    QString logPath; // --log: the reading and event log, appended to
    QString onStop; // --on-stop: "off" or "hold"; empty: as the file says
    bool checkOnly = false; // --check: validate, send nothing that changes the instrument
};

struct Command {
    QString name;
    QString synopsis; // the arguments, as --help shows them
    QString summary;
    bool reads; // takes --json
    QStringList options; // command options it accepts besides the global ones
    bool argumentsAllowed; // takes arguments after its name
    std::function<void(CommandContext &)> run; // throws Failure
    bool needsLink = true; // false: runs without opening the instrument's link (discover)
};

const QList<Command> &Commands();

// Runs a record reader ("<>SCL": ReadScales), then checks the link and the reply; throws
// Failure.
void ReadRecord(CommandContext &c, const QString &command, RecordRead (*reader)());
const Command *FindCommand(const QString &name);

// Commands as --help lists them.
QString CommandsHelp();

// Writes text to standard output. A failed write is kept for CheckOutput.
void Print(const QString &text);
// Flushes standard output; throws Failure (BadFile) when something written to it did not go
// out (a full disk behind a redirection).
void CheckOutput();

// What the instrument sent may hold control characters (ESC sequences that retitle or clear a
// terminal). Escaped, each shows as "\x1b"; otherwise its bytes go out as they came.
void SetEscapedOutput(bool escaped);
// `text` with every control character but the tab (and the line feed, when `keepLineEnds`)
// written as "\xHH".
QString EscapeControls(const QString &text, bool keepLineEnds);
// One reply and a line end: escaped, or its bytes exactly.
void PrintReply(const QString &reply);
// Text that holds what the instrument sent (a table): escaped when the output is.
void PrintText(const QString &text);

} // namespace zop::cli
