#pragma once
#include "link/serialports.h"
#include "link/transport.h"

#include <memory>

namespace zop {

// The transport for a link kind, set up from the configured address and port; null for the
// kinds this build cannot open.
std::unique_ptr<Transport> MakeTransport(qint16 kind);

// The serial transport for kind 1, 3 or 4 (null for any other kind), set up from the
// configured port number and "Device", finding ports with `lister`.
std::unique_ptr<Transport> MakeSerialTransport(qint16 kind, SerialPortLister lister);

} // namespace zop
