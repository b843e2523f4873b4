#include "netmodule.h"

#include "powersupply.h"
#include "tcpfront.h"
#include "trace.h"

#include <QTimer>

#include <cstdio>

namespace zopsim {

NetModule::NetModule(PowerSupply &supply, TcpFront &front, Trace *trace, QObject *parent)
    : QObject(parent), m_supply(supply), m_front(front), m_trace(trace)
{
    // The command arrives inside a connection's read, which the restart closes: restart once
    // that read has returned.
    m_supply.interfaces().restartHandler = [this] {
        QTimer::singleShot(0, this, &NetModule::restart);
    };
}

NetModule::~NetModule() { m_supply.interfaces().restartHandler = nullptr; }

QHostAddress NetModule::serviceAddress(const InterfaceSettings &settings)
{
    const QHostAddress address(settings.address);
    if (!settings.dhcp && address.protocol() == QAbstractSocket::IPv4Protocol
        && address.isLoopback())
        return address;
    return QHostAddress(LeasedAddress);
}

void NetModule::restart()
{
    InterfaceSettings &n = m_supply.interfaces();
    if (n.dhcp) {
        n.address = LeasedAddress;
        n.subnet = LeasedSubnet;
        n.gateway = LeasedGateway;
    }
    const QHostAddress address = serviceAddress(n);
    bool ok = false;
    quint16 port = n.port.toUShort(&ok);
    if (!ok || port == 0)
        port = m_front.port();
    const QByteArray wanted = address.toString().toLatin1() + ':' + QByteArray::number(port);
    QString error;
    QByteArray note;
    if (m_front.moveTo(address, port, &error))
        note = "network restarted on " + wanted;
    else
        note = "network restart on " + wanted + " failed (" + error.toLatin1() + ')';
    n.port = QString::number(m_front.port());
    QStringList served;
    for (const QHostAddress &a : m_front.addresses())
        served << a.toString();
    note += ", serving " + served.join(QStringLiteral(", ")).toLatin1() + " at port "
            + n.port.toLatin1();
    if (m_trace)
        m_trace->note(note);
    std::printf("zop-sim: %s\nzop-sim listening on 127.0.0.1:%u\n", note.constData(),
                unsigned(m_front.port()));
    std::fflush(stdout);
}

} // namespace zopsim
