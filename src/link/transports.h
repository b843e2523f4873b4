#pragma once
#include "link/transport.h"

#include <memory>

namespace zop {

// The transport for a link kind, set up from the configured address and port; null for the
// kinds this build cannot open.
std::unique_ptr<Transport> MakeTransport(qint16 kind);

} // namespace zop
