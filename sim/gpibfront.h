#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QCommandLineParser;
class QCommandLineOption;
class QLocalServer;
class QLocalSocket;
class QTimer;

namespace zopsim {

class Clock;
class FaultPlan;
class Instrument;
class PowerSupply;
class Session;
class Trace;
struct SupplyConfig;

// A GPIB bus with one or more instruments at primary addresses, served over a Unix socket to
// the stand-in GPIB library (sim/gpibstandin), which turns the library's calls into requests:
// interface clear, write, read, device clear and find-listeners. The bus behaves like a real
// one as far as the program can see: a write to an address nobody listens at, or a read from a
// device with nothing to say, ends with ERR and TIMO once the caller's time-out has passed; a
// call on a bus without any instrument fails at once with ENOL; a read stops at the count, at
// the eos character (with REOS) or at the end of the reply (END). A new command discards an
// unread reply, as an instrument's output queue does.
class GpibFront : public QObject
{
    Q_OBJECT

public:
    // faults and trace may be null. The first instrument sits at the first address; every
    // further address gets an instrument of its own, built like the first.
    GpibFront(Instrument &first, const SupplyConfig &config, const Clock &clock,
              const QList<int> &addresses, FaultPlan *faults, Trace *trace,
              QObject *parent = nullptr);
    // A hung instrument at `pad`: it answers the find-listeners test but never takes or gives
    // a byte, so every transfer with it times out.
    void addHung(int pad);
    ~GpibFront() override;

    bool listen(const QString &path, QString *error);
    QList<int> addresses() const { return m_devices.keys(); }

    // The command-line options of the bus, and the hook main() calls: serves the bus when
    // --gpib is given (returns the exit code), else returns -1 and does nothing.
    static QList<QCommandLineOption> options();
    static int serveIfAsked(const QCommandLineParser &parser, Instrument &first,
                            const SupplyConfig &config, const Clock &clock, FaultPlan *faults,
                            Trace *trace);

private:
    struct Device;
    struct Client;
    struct Request
    {
        QByteArray op;
        int pad = 0;
        int timeoutMs = 0;
        qint64 argument = 0;
        QByteArray payload;
    };

    void accept();
    void readFrom(Client *client);
    void handle(Client *client, const Request &request);
    // Answers a read or a write that waits (for a reply, or for nothing until the time-out).
    void park(Client *client, const Request &request);
    void tryParked(Client *client, bool timedOut);
    bool read(Device &device, const Request &request, Client *client);
    void write(Device &device, const Request &request, Client *client);
    void deliver(int pad, const QByteArray &bytes);
    void rekey(Device &device);
    void answer(Client *client, int sta, int err, qint64 count, const QByteArray &payload = {});
    void note(const QString &text);
    void addressed(int pad);
    Device *present(int pad);
    bool busEmpty() const;

    QLocalServer *m_server = nullptr;
    QMap<int, std::shared_ptr<Device>> m_devices;
    QList<Client *> m_clients;
    std::vector<std::unique_ptr<PowerSupply>> m_supplies;
    std::vector<std::unique_ptr<Instrument>> m_instruments;
    FaultPlan *m_faults;
    Trace *m_trace;
    int m_lastPad = -1;
};

} // namespace zopsim
