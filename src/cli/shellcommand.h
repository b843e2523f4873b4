#pragma once
// zopctl shell: the free command line on a terminal (line editing, history kept in the user's
// folder, Tab completing headers, Ctrl-D ends, Ctrl-C abandons the line) and line by line when
// standard input is not a terminal (`zopctl shell < script.txt`).

#include "cli/commands.h"

namespace zop::cli {

// The history file in the user's folder ($HOME).
QString ShellHistoryPath();

// Runs the shell; with --check-errors it reads "SYST:ERR?" after each line, and from a script
// it stops at the first error (exit 5). Throws Failure.
void RunShell(CommandContext &c, bool checkErrors);

} // namespace zop::cli
