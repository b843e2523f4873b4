#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

namespace zopsim {

class PowerSupply;
class Trace;

// The network module's discovery responder: on UDP port 30303 of one loopback address, every
// request "D" is answered, to its sender, with the module's name, MAC address and command
// port, each followed by CR LF. The three come from the network settings of the model, so
// they follow its changes ("SYST:COMM:NET:PORT" and "<>RST"). Other datagrams are ignored.
class DiscoveryResponder : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 Port = 30303;

    // trace may be null.
    DiscoveryResponder(PowerSupply &supply, Trace *trace, QObject *parent = nullptr);

    // Binds `address`, sharing the port with the panel (which listens on every address).
    // Only loopback addresses are taken: the emulator never answers on a real network.
    bool bind(const QHostAddress &address, QString *error);

    QByteArray reply() const;

private:
    void readDatagrams();

    PowerSupply &m_supply;
    Trace *m_trace;
    QUdpSocket m_socket;
};

} // namespace zopsim
