#pragma once
// zopctl's commands: one row each, with the options it takes and whether it reads (so takes
// --json). A new command is one more row and its function.

#include "cli/interrupt.h"
#include "cli/session.h"
#include "panels/virtual/series.h"

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
const Command *FindCommand(const QString &name);

// Commands as --help lists them.
QString CommandsHelp();

// Writes text to standard output.
void Print(const QString &text);

} // namespace zop::cli
