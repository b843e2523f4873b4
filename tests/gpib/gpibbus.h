#pragma once
// A test's GPIB bus: zop-sim playing it on a Unix socket, the stand-in library loaded as the
// program's GPIB library, and a fresh global state whose link kind 0 opens the real GPIB
// transport. No ends of the program are recorded instead of carried out.

#include "link/gpiblink.h"
#include "link/transports.h"
#include "simprocess.h"
#include "testsupport.h"

namespace zop::test {

inline const QString NoDevicePrompt = QStringLiteral("Device Timeout on Address: %1 Continue?");

struct GpibBus {
    explicit GpibBus(const QStringList &simArguments = {}, const QString &commAddress = "5")
        : sim(simArguments, SimLine::Gpib)
    {
        // The program's GPIB library is the stand-in, on the emulator's bus.
        qputenv(GpibLibrary::PathVariable, ZOP_GPIB_STANDIN);
        qputenv("ZOP_GPIB_SOCKET", sim.linkPath().toLocal8Bit());
        ModData &data = modData();
        data.comm.setTransportFactory(MakeTransport);
        data.CommKind = LinkKind::Gpib;
        data.CommAddress = commAddress;
        data.GpibEos = QStringLiteral("10");
        SetImmediateEnd([this] { ++ends; });
    }
    ~GpibBus() { SetImmediateEnd(nullptr); }

    Fixture f; // first: the state the rest is set up in
    SimProcess sim;
    int ends = 0;
};

} // namespace zop::test
