#include "core/ground.h"

namespace zop {

namespace {
std::unique_ptr<Ground> g_ground;
} // namespace

Ground &ground()
{
    if (!g_ground)
        g_ground = std::make_unique<Ground>();
    return *g_ground;
}

void ResetGround() { g_ground = std::make_unique<Ground>(); }

} // namespace zop
