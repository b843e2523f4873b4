#pragma once
// zopctl run: a sequence file (engine/sequence.h) run against the instrument.

#include "cli/commands.h"

namespace zop::cli {

void RunSequence(CommandContext &c);

} // namespace zop::cli
