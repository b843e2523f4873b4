#pragma once
// The program's side effects, one set for the whole run: message boxes, the clock and the debug
// file. Every layer reaches them here, so the lowest (the link) needs nothing above it; tests
// replace the prompter and the clock to watch and drive them.

#include "core/clock.h"
#include "core/debuglog.h"
#include "core/prompter.h"

#include <memory>

namespace zop {

struct Ground {
    std::shared_ptr<Prompter> prompter = std::make_shared<ConsolePrompter>();
    std::shared_ptr<Clock> clock = std::make_shared<SteadyClock>();
    DebugLog debugLog;
};

Ground &ground();
// A fresh set (the start of every test, with the global state).
void ResetGround();

} // namespace zop
