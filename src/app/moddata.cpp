#include "app/moddata.h"

namespace zop {

namespace {
ModData *g_data = nullptr;
bool g_shutDown = false;
} // namespace

ModData &modData()
{
    if (!g_data) {
        g_data = new ModData;
        g_shutDown = false;
    }
    return *g_data;
}

ModData *ModDataIfAlive() { return g_shutDown ? nullptr : g_data; }

void ResetModData()
{
    ModData *old = g_data;
    g_data = nullptr;
    delete old;
    ResetGround();
    g_shutDown = false;
}

void ShutDownModData()
{
    ModData *old = g_data;
    g_data = nullptr;
    g_shutDown = true;
    delete old;
}

CommLayer &Comm() { return modData().comm; }

CommLayer *CommIfAlive()
{
    ModData *data = ModDataIfAlive();
    return data ? &data->comm : nullptr;
}

} // namespace zop
