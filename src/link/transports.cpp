#include "link/transports.h"

#include "app/moddata.h"
#include "link/tcptransport.h"

namespace zop {

std::unique_ptr<Transport> MakeTransport(qint16 kind)
{
    const ModData &data = modData();
    switch (kind) {
    case LinkKind::TcpIp:
        return std::make_unique<TcpTransport>(data.CommAddress, data.CommPort);
    default:
        return nullptr;
    }
}

} // namespace zop
