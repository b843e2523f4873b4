#pragma once
// zopctl modtable save FILE | load FILE: the instrument's modulation table to and from a
// ".modTable" file, in the format the Modulation Panel saves and loads.

#include "cli/commands.h"

namespace zop::cli {

// Throws Failure.
void RunModTable(CommandContext &c);

} // namespace zop::cli
