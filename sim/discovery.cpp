#include "discovery.h"

#include "powersupply.h"
#include "trace.h"

#include <QNetworkDatagram>

namespace zopsim {

DiscoveryResponder::DiscoveryResponder(PowerSupply &supply, Trace *trace, QObject *parent)
    : QObject(parent), m_supply(supply), m_trace(trace)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &DiscoveryResponder::readDatagrams);
}

bool DiscoveryResponder::bind(const QHostAddress &address, QString *error)
{
    if (!address.isLoopback() || address.protocol() != QAbstractSocket::IPv4Protocol) {
        *error = QStringLiteral("the discovery responder needs an IPv4 loopback address "
                                "(127.x.x.x), not \"%1\"").arg(address.toString());
        return false;
    }
    if (!m_socket.bind(address, Port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QStringLiteral("cannot bind UDP %1:%2: %3")
                     .arg(address.toString()).arg(Port).arg(m_socket.errorString());
        return false;
    }
    return true;
}

QByteArray DiscoveryResponder::reply() const
{
    const InterfaceSettings &n = m_supply.interfaces();
    return (n.host + QStringLiteral("\r\n") + n.mac + QStringLiteral("\r\n") + n.port
            + QStringLiteral("\r\n"))
        .toLatin1();
}

void DiscoveryResponder::readDatagrams()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram request = m_socket.receiveDatagram(64);
        if (m_trace)
            m_trace->note("UDP from " + request.senderAddress().toString().toLatin1() + " "
                          + Trace::escape(request.data()).toLatin1());
        if (request.data() != "D" || !request.senderAddress().isLoopback())
            continue;
        const QByteArray answer = reply();
        m_socket.writeDatagram(answer, request.senderAddress(), quint16(request.senderPort()));
        if (m_trace)
            m_trace->note("UDP reply " + Trace::escape(answer).toLatin1());
    }
}

} // namespace zopsim
