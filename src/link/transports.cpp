#include "link/transports.h"

#include "link/commlayer.h"
#include "link/gpiblink.h"
#include "link/rs485.h"
#include "link/serialtransport.h"
#include "link/tcptransport.h"

namespace zop {

std::unique_ptr<Transport> MakeTransport(qint16 kind)
{
    const CommLayer &data = Comm();
    switch (kind) {
    case LinkKind::Gpib:
        return std::make_unique<GpibTransport>();
    case LinkKind::TcpIp:
        return std::make_unique<TcpTransport>(data.CommAddress, data.CommPort);
    case LinkKind::Rs232:
    case LinkKind::Rs485Selected:
    case LinkKind::Rs485Framed:
        return MakeSerialTransport(kind, SystemSerialPorts);
    default:
        return nullptr;
    }
}

std::unique_ptr<Transport> MakeSerialTransport(qint16 kind, SerialPortLister lister)
{
    const CommLayer &data = Comm();
    switch (kind) {
    case LinkKind::Rs232:
        return std::make_unique<SerialTransport>(data.CommPort, data.CommDevice, std::move(lister));
    case LinkKind::Rs485Selected:
        return std::make_unique<Rs485SelectedTransport>(data.CommPort, data.CommDevice,
                                                        std::move(lister));
    case LinkKind::Rs485Framed:
        return std::make_unique<Rs485FramedTransport>(data.CommPort, data.CommDevice,
                                                      std::move(lister));
    default:
        return nullptr;
    }
}

} // namespace zop
