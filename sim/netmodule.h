#pragma once

#include <QHostAddress>
#include <QObject>

namespace zopsim {

class PowerSupply;
struct InterfaceSettings;
class TcpFront;
class Trace;

// The network module's restart ("<>RST"). The settings written with "SYST:COMM:NET:..." take
// effect only then: the module drops its connections and serves commands again on the port
// of its settings, on 127.0.0.1 and the discovery responder's address as always, and at its
// static address when that is a loopback one (127.x.x.x). A static address on a real network
// is not served, and DHCP reports 127.0.0.1 as its lease: the emulator never listens beyond
// the loopback interface.
class NetModule : public QObject
{
    Q_OBJECT

public:
    // DHCP's lease.
    static inline const QString LeasedAddress = QStringLiteral("127.0.0.1");
    static inline const QString LeasedSubnet = QStringLiteral("255.0.0.0");
    static inline const QString LeasedGateway = QStringLiteral("0.0.0.0");

    // trace may be null. Hooks itself to the supply's restarts until destroyed.
    NetModule(PowerSupply &supply, TcpFront &front, Trace *trace, QObject *parent = nullptr);
    ~NetModule() override;

    // Where the command service listens after a restart with these settings.
    static QHostAddress serviceAddress(const InterfaceSettings &settings);

private:
    void restart();

    PowerSupply &m_supply;
    TcpFront &m_front;
    Trace *m_trace;
};

} // namespace zopsim
