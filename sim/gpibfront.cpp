#include "gpibfront.h"

#include "gpibstandin/ib.h"
#include "instrument.h"
#include "powersupply.h"
#include "session.h"
#include "trace.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace zopsim {

namespace {
// What a stream fault makes a device send: characters without end and without a line feed.
const QByteArray StreamPattern("0123456789ABCDEF");
constexpr qsizetype MaxRequestPayload = 1 << 20;
} // namespace

struct GpibFront::Device
{
    int pad = 0;
    Instrument *instrument = nullptr;
    std::unique_ptr<Session> session;
    QByteArray output;      // the reply the device holds for the next read
    bool streaming = false; // a stream fault: endless output
    bool gone = false;      // a close fault: the device has left the bus
    bool hung = false;      // listens, but no transfer with it ever completes
    quint64 generation = 0; // bumped by a device clear, so late replies of before are dropped
};

struct GpibFront::Client
{
    QLocalSocket *socket = nullptr;
    QByteArray buffer;
    std::optional<Request> parked;
    QTimer timer;
};

GpibFront::GpibFront(Instrument &first, const SupplyConfig &config, const Clock &clock,
                     const QList<int> &addresses, FaultPlan *faults, Trace *trace, QObject *parent)
    : QObject(parent), m_faults(faults), m_trace(trace)
{
    for (int pad : addresses) {
        if (m_devices.contains(pad))
            continue;
        Instrument *instrument = &first;
        if (!m_devices.isEmpty()) {
            m_supplies.push_back(std::make_unique<PowerSupply>(config, clock));
            m_instruments.push_back(std::make_unique<Instrument>(*m_supplies.back()));
            instrument = m_instruments.back().get();
        }
        instrument->supply().interfaces().gpibAddress = pad;
        auto device = std::make_shared<Device>();
        device->pad = pad;
        device->instrument = instrument;
        device->session = std::make_unique<Session>(*instrument, faults);
        m_devices.insert(pad, device);
    }
}

void GpibFront::addHung(int pad)
{
    if (m_devices.contains(pad))
        return;
    auto device = std::make_shared<Device>();
    device->pad = pad;
    device->hung = true;
    m_devices.insert(pad, device);
}

GpibFront::~GpibFront() { qDeleteAll(m_clients); }

bool GpibFront::listen(const QString &path, QString *error)
{
    m_server = new QLocalServer(this);
    QLocalServer::removeServer(path);
    // The bus is this user's alone, whatever the umask: the socket is made in a private folder
    // and then given read and write for its owner only.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        *error = m_server->errorString();
        return false;
    }
    QFile::setPermissions(m_server->fullServerName(), QFile::ReadOwner | QFile::WriteOwner);
    connect(m_server, &QLocalServer::newConnection, this, &GpibFront::accept);
    return true;
}

void GpibFront::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        auto *client = new Client;
        client->socket = socket;
        socket->setParent(this);
        client->timer.setSingleShot(true);
        connect(&client->timer, &QTimer::timeout, this, [this, client] { tryParked(client, true); });
        connect(socket, &QLocalSocket::readyRead, this, [this, client] { readFrom(client); });
        connect(socket, &QLocalSocket::disconnected, this, [this, client] {
            m_clients.removeOne(client);
            client->socket->deleteLater();
            delete client;
        });
        m_clients.append(client);
    }
}

void GpibFront::readFrom(Client *client)
{
    client->buffer += client->socket->readAll();
    while (!client->parked) {
        const qsizetype end = client->buffer.indexOf('\n');
        if (end < 0)
            return;
        const QList<QByteArray> fields = client->buffer.left(end).split(' ');
        bool ok = fields.size() == 5;
        Request request;
        qint64 size = 0;
        if (ok) {
            request.op = fields[0];
            request.pad = fields[1].toInt(&ok);
            if (ok) request.timeoutMs = fields[2].toInt(&ok);
            if (ok) request.argument = fields[3].toLongLong(&ok);
            if (ok) size = fields[4].toLongLong(&ok);
            ok = ok && size >= 0 && size <= MaxRequestPayload;
        }
        if (!ok) {
            client->socket->abort(); // not the stand-in library talking
            return;
        }
        if (client->buffer.size() < end + 1 + size)
            return;
        request.payload = client->buffer.mid(end + 1, size);
        client->buffer.remove(0, end + 1 + size);
        handle(client, request);
    }
}

GpibFront::Device *GpibFront::present(int pad)
{
    const auto it = m_devices.find(pad);
    return it != m_devices.end() && !(*it)->gone ? it->get() : nullptr;
}

bool GpibFront::busEmpty() const
{
    for (const auto &device : m_devices) {
        if (!device->gone)
            return false;
    }
    return true;
}

void GpibFront::handle(Client *client, const Request &request)
{
    if (request.op == "SIC") {
        note(QStringLiteral("interface clear"));
        m_lastPad = -1;
        answer(client, CMPL | CIC, 0, 0);
        return;
    }
    if (request.op == "LSN") {
        QByteArray found;
        int count = 0;
        for (const QByteArray &pad : request.payload.split(' ')) {
            bool ok = false;
            const int n = pad.toInt(&ok);
            if (ok && present(n)) {
                found += QByteArray::number(n) + ' ';
                ++count;
            }
        }
        note(QStringLiteral("find listeners: %1").arg(QString::fromLatin1(found.trimmed())));
        answer(client, CMPL | CIC, 0, count, found);
        return;
    }
    const bool known = request.op == "WRT" || request.op == "RD" || request.op == "CLR";
    if (!known) {
        answer(client, ERR, EARG, 0);
        return;
    }
    if (busEmpty()) {
        answer(client, ERR, ENOL, 0);
        return;
    }
    addressed(request.pad);
    Device *device = present(request.pad);
    if (device && device->hung) {
        park(client, request);
        return;
    }
    if (!device) {
        if (request.op == "CLR") {
            answer(client, CMPL | CIC, 0, 0); // the others accept the command bytes
            return;
        }
        note(QStringLiteral("nobody at %1").arg(request.pad));
        park(client, request);
        return;
    }
    if (request.op == "CLR") {
        note(QStringLiteral("device clear %1").arg(request.pad));
        device->output.clear();
        device->streaming = false;
        ++device->generation;
        device->session = std::make_unique<Session>(*device->instrument, m_faults);
        answer(client, CMPL | CIC, 0, 0);
    } else if (request.op == "WRT") {
        write(*device, request, client);
    } else if (!read(*device, request, client)) {
        park(client, request);
    }
}

void GpibFront::write(Device &device, const Request &request, Client *client)
{
    if (m_trace)
        m_trace->received(request.payload);
    // A new command discards a reply nobody read.
    device.output.clear();
    const int pad = device.pad;
    const quint64 generation = device.generation;
    for (const LinkAction &action : device.session->receive(request.payload)) {
        switch (action.kind) {
        case LinkAction::Kind::Send:
            if (action.delayMs <= 0) {
                device.output += action.bytes;
            } else {
                QTimer::singleShot(action.delayMs, this, [this, pad, generation, bytes = action.bytes] {
                    const auto it = m_devices.find(pad);
                    if (it != m_devices.end() && (*it)->generation == generation)
                        deliver(pad, bytes);
                });
            }
            break;
        case LinkAction::Kind::Close:
            note(QStringLiteral("device %1 leaves the bus").arg(pad));
            device.gone = true;
            break;
        case LinkAction::Kind::Stream:
            device.streaming = true;
            break;
        }
    }
    answer(client, CMPL | CIC, 0, request.payload.size());
    rekey(device);
}

// A device whose GPIB address was changed by command answers at its new address from now on.
void GpibFront::rekey(Device &device)
{
    const int wanted = device.instrument->supply().interfaces().gpibAddress;
    if (wanted == device.pad || wanted < 0 || wanted > 30 || m_devices.contains(wanted))
        return;
    std::shared_ptr<Device> moved = m_devices.take(device.pad);
    note(QStringLiteral("device %1 moves to %2").arg(moved->pad).arg(wanted));
    moved->pad = wanted;
    m_devices.insert(wanted, moved);
}

bool GpibFront::read(Device &device, const Request &request, Client *client)
{
    const qsizetype count = qsizetype(request.argument & 0xffffffff);
    const int eos = int(request.argument >> 32);
    if (device.streaming) {
        QByteArray bytes;
        while (bytes.size() < count)
            bytes += StreamPattern;
        bytes.truncate(count);
        if (m_trace)
            m_trace->sent(bytes);
        answer(client, CMPL | CIC, 0, bytes.size(), bytes);
        return true;
    }
    if (device.output.isEmpty())
        return false;
    qsizetype n = qMin(count, device.output.size());
    bool end = n == device.output.size();
    if (eos & REOS) {
        const char stop = char(eos & 0xff);
        const qsizetype at = device.output.left(n).indexOf(stop);
        if (at >= 0) {
            n = at + 1;
            end = true;
        }
    }
    const QByteArray bytes = device.output.left(n);
    device.output.remove(0, n);
    if (m_trace)
        m_trace->sent(bytes);
    answer(client, CMPL | CIC | (end ? END : 0), 0, n, bytes);
    return true;
}

void GpibFront::deliver(int pad, const QByteArray &bytes)
{
    Device *device = present(pad);
    if (!device)
        return;
    device->output += bytes;
    // A read waiting on this device takes it now.
    for (Client *client : QList<Client *>(m_clients)) {
        if (client->parked && client->parked->op == "RD" && client->parked->pad == pad)
            tryParked(client, false);
    }
}

void GpibFront::park(Client *client, const Request &request)
{
    client->parked = request;
    if (request.timeoutMs > 0)
        client->timer.start(request.timeoutMs);
}

void GpibFront::tryParked(Client *client, bool timedOut)
{
    if (!client->parked)
        return;
    const Request request = *client->parked;
    Device *device = present(request.pad);
    if (!timedOut) {
        if (!device || device->hung || request.op != "RD" || !read(*device, request, client))
            return;
    } else {
        note(QStringLiteral("time-out at %1").arg(request.pad));
        answer(client, ERR | TIMO | CMPL | CIC, EABO, 0);
    }
    client->timer.stop();
    client->parked.reset();
    readFrom(client); // requests that came in meanwhile
}

void GpibFront::answer(Client *client, int sta, int err, qint64 count, const QByteArray &payload)
{
    client->socket->write(QByteArray::number(sta) + ' ' + QByteArray::number(err) + ' '
                          + QByteArray::number(count) + ' ' + QByteArray::number(payload.size())
                          + '\n' + payload);
}

void GpibFront::note(const QString &text)
{
    if (m_trace)
        m_trace->note(text.toLatin1());
}

void GpibFront::addressed(int pad)
{
    if (pad != m_lastPad && m_devices.size() > 1)
        note(QStringLiteral("address %1").arg(pad));
    m_lastPad = pad;
}

QList<QCommandLineOption> GpibFront::options()
{
    return {
        {QStringLiteral("gpib"),
         QStringLiteral("Instead of TCP, play a GPIB bus for the stand-in GPIB library, served "
                        "on the Unix socket SOCKET (the library's ZOP_GPIB_SOCKET)."),
         QStringLiteral("SOCKET")},
        {QStringLiteral("gpib-hung"),
         QStringLiteral("A hung instrument on the GPIB bus at N: it is found as a listener, but "
                        "no transfer with it completes. Repeatable."),
         QStringLiteral("N")},
        {QStringLiteral("gpib-address"),
         QStringLiteral("Primary address of an instrument on the GPIB bus, 0 to 30 (default "
                        "5). Repeatable: every further address gets an instrument of its own."),
         QStringLiteral("N")},
    };
}

int GpibFront::serveIfAsked(const QCommandLineParser &parser, Instrument &first,
                            const SupplyConfig &config, const Clock &clock, FaultPlan *faults,
                            Trace *trace)
{
    if (!parser.isSet(QStringLiteral("gpib")))
        return -1;
    QList<int> lists[2];
    const char *names[2] = {"gpib-address", "gpib-hung"};
    for (int i = 0; i < 2; ++i) {
        for (const QString &text : parser.values(QLatin1String(names[i]))) {
            for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                bool ok = false;
                const int pad = part.toInt(&ok);
                if (!ok || pad < 0 || pad > 30) {
                    std::fprintf(stderr, "zop-sim: --%s needs numbers from 0 to 30\n", names[i]);
                    return 2;
                }
                lists[i] << pad;
            }
        }
    }
    if (lists[0].isEmpty())
        lists[0] << 5;
    GpibFront bus(first, config, clock, lists[0], faults, trace);
    for (int pad : lists[1])
        bus.addHung(pad);
    QString error;
    const QString path = parser.value(QStringLiteral("gpib"));
    if (!bus.listen(path, &error)) {
        std::fprintf(stderr, "zop-sim: cannot serve the GPIB bus on %s: %s\n", qPrintable(path),
                     qPrintable(error));
        return 1;
    }
    QStringList pads;
    for (int pad : bus.addresses())
        pads << QString::number(pad);
    std::printf("zop-sim GPIB bus on %s, instruments at %s\n", qPrintable(path),
                qPrintable(pads.join(QLatin1Char(','))));
    std::fflush(stdout);
    const int result = QCoreApplication::exec();
    QLocalServer::removeServer(path);
    return result;
}

} // namespace zopsim
