// zop-sim: a stand-in power supply on 127.0.0.1, or on a pseudo-terminal as a serial line,
// for demos, tests and users without an instrument. See --help for the options.

#include "bootloader.h"
#include "clock.h"
#include "discovery.h"
#include "faults.h"
#include "gpibfront.h"
#include "instrument.h"
#include "modulation.h"
#include "netmodule.h"
#include "powersupply.h"
#include "tcpfront.h"
#ifdef Q_OS_UNIX
#include "ptyfront.h"
#endif
#include "trace.h"
#include "core/processsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <optional>

using namespace zopsim;

namespace {

struct Options
{
    quint16 port = 50505;
    SupplyConfig supply;
    QString tracePath;
    FaultPlan faults;
    QString ptyLink;
    int rs485Address = 1;
    bool baudThrottle = false;
    // The boot loader on the serial line (--boot-loader and its companions).
    bool bootLoader = false;
    bool bootOnSync = false;
    QString flashDump;
    double bootFirmware = -1.0; // the version after programming; negative: unchanged
    BootLoader::Faults bootFaults;
};

// "drop=N", "corrupt=N" or "mute=N" into `faults`.
bool parseBootFault(const QString &spec, BootLoader::Faults &faults)
{
    const QStringList parts = spec.split(QLatin1Char('='));
    bool ok = false;
    const int n = parts.size() == 2 ? parts.at(1).toInt(&ok) : 0;
    if (!ok || n < 1)
        return false;
    if (parts.at(0) == QLatin1String("drop"))
        faults.drop = n;
    else if (parts.at(0) == QLatin1String("corrupt"))
        faults.corrupt = n;
    else if (parts.at(0) == QLatin1String("mute"))
        faults.muteFrom = n;
    else
        return false;
    return true;
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "zop-sim: %s\n", qPrintable(message));
    return 2;
}

std::optional<double> positiveNumber(const QCommandLineParser &parser, const QString &name,
                                     bool allowZero, QString *error)
{
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < 0.0 || (!allowZero && value == 0.0) || !qIsFinite(value)) {
        *error = QStringLiteral("--%1 needs a %2 number, not \"%3\"")
                     .arg(name, allowZero ? QStringLiteral("non-negative")
                                          : QStringLiteral("positive"),
                          parser.value(name));
        return std::nullopt;
    }
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zop-sim"));
    // A trace past a file-size limit stops growing; the instrument goes on. SIGTERM, SIGINT and
    // SIGHUP end it as a normal end does: the trace is closed, the pseudo-terminal's link and
    // the GPIB bus socket removed.
    zop::IgnoreFileSizeSignal();
    zop::QuitOnTerminationSignals(app);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZOP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Emulates one programmable DC power supply for the ZOP Panel, on 127.0.0.1 or, with "
        "--pty, on a pseudo-terminal that stands for a serial line (RS-232 and RS-485)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("TCP port on 127.0.0.1, 0 picks a free one (default 50505)."),
         QStringLiteral("P"), QStringLiteral("50505")},
        {QStringLiteral("series"), QStringLiteral("Power-supply series: km, tw, gz or tlb (default tlb)."),
         QStringLiteral("S"), QStringLiteral("tlb")},
        {QStringLiteral("volts"), QStringLiteral("Rated voltage (default 15)."), QStringLiteral("V"),
         QStringLiteral("15")},
        {QStringLiteral("amps"), QStringLiteral("Rated current (default 100)."), QStringLiteral("A"),
         QStringLiteral("100")},
        {QStringLiteral("firmware"), QStringLiteral("Firmware version (default 4.70)."), QStringLiteral("X.YY"),
         QStringLiteral("4.70")},
        {QStringLiteral("hardware"), QStringLiteral("Hardware version (default 1.30)."), QStringLiteral("X.YY"),
         QStringLiteral("1.30")},
        {QStringLiteral("load-ohms"),
         QStringLiteral("Load resistance (default: rated voltage drives half the rated "
                        "current)."),
         QStringLiteral("OHMS")},
        {QStringLiteral("trace"),
         QStringLiteral("Write every byte received (RX) and sent (TX), and every change of the "
                        "setpoints, the output and the alarms (CHG), to FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("fault"),
         QStringLiteral("Misbehave: KIND[:PREFIX], KIND one of silent, late=MS, cut, close, "
                        "garbage, stream, flood=MB, binary, bytewise, drop; PREFIX limits it to "
                        "lines starting so. Repeatable. Or trip=ALARM@TIME: a protection trip "
                        "(OVT, OCT, PHL, PGL, THL, FSE, LOC) that long after the output first "
                        "went on (trip=OVT@5s, trip=OCT@300ms)."),
         QStringLiteral("KIND[:PREFIX]")},
        {QStringLiteral("settle"),
         QStringLiteral("Milliseconds the output takes to follow a new voltage or current "
                        "setpoint (default 0: at once)."),
         QStringLiteral("MS"), QStringLiteral("0")},
        {QStringLiteral("fault-after"),
         QStringLiteral("Start faulting only after N commands were handled (default 0)."),
         QStringLiteral("N"), QStringLiteral("0")},
        {QStringLiteral("pty"),
         QStringLiteral("Instead of TCP, serve a serial line: create a pseudo-terminal and a "
                        "symbolic link LINK to it, for the panel's \"Device\" setting."),
         QStringLiteral("LINK")},
        {QStringLiteral("rs485-address"),
         QStringLiteral("RS-485 address of the instrument on the serial line, 0 to 255 "
                        "(default 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
        {QStringLiteral("mod-blank"),
         QStringLiteral("Leave these rows of the modulation table unused, e.g. \"3-6,9\": asked "
                        "for one, the instrument reports the next row in use."),
         QStringLiteral("ROWS")},
        {QStringLiteral("baud-throttle"),
         QStringLiteral("On the serial line, take and send bytes no faster than the baud "
                        "rate the program set (10 bits per character).")},
        {QStringLiteral("boot-loader"),
         QStringLiteral("On the serial line, start in the boot loader that programs new "
                        "firmware (128 KiB of flash); its restart packet starts the firmware.")},
        {QStringLiteral("boot-on-sync"),
         QStringLiteral("On the serial line, run the firmware and enter the boot loader on the "
                        "first lone synchronisation byte (0x0F).")},
        {QStringLiteral("flash-dump"),
         QStringLiteral("Write the boot loader's flash image to FILE when it restarts."),
         QStringLiteral("FILE")},
        {QStringLiteral("boot-firmware"),
         QStringLiteral("Firmware version the instrument reports after programming (default: "
                        "that of --firmware)."),
         QStringLiteral("X.YY")},
        {QStringLiteral("boot-fault"),
         QStringLiteral("Spoil boot-loader acknowledgement N (counted from 1): drop=N sends "
                        "none, corrupt=N only its last two bytes, mute=N none from N on. "
                        "Repeatable."),
         QStringLiteral("KIND=N")},
        {QStringLiteral("discovery"),
         QStringLiteral("Answer network discovery on UDP port 30303 of this loopback address "
                        "(127.0.0.2, say; the panel listens on every address)."),
         QStringLiteral("ADDRESS")},
        {QStringLiteral("discovery-name"),
         QStringLiteral("Network name of the instrument (default ZOPSIM)."), QStringLiteral("NAME")},
        {QStringLiteral("discovery-mac"),
         QStringLiteral("MAC address of the instrument (default 00:1E:C0:5A:00:01)."),
         QStringLiteral("MAC")},
    });
    parser.addOptions(GpibFront::options());
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"")
                              .arg(parser.positionalArguments().first()));

    Options options;
    QString error;
    bool ok = false;
    const uint port = parser.value(QStringLiteral("port")).toUInt(&ok);
    if (!ok || port > 65535)
        return usageError(QStringLiteral("--port needs a number from 0 to 65535"));
    options.port = quint16(port);

    const auto series = seriesFromText(parser.value(QStringLiteral("series")));
    if (!series)
        return usageError(QStringLiteral("--series must be km, tw, gz or tlb"));
    options.supply.series = *series;

    const auto volts = positiveNumber(parser, QStringLiteral("volts"), false, &error);
    const auto amps = volts ? positiveNumber(parser, QStringLiteral("amps"), false, &error)
                            : std::nullopt;
    const auto firmware = amps ? positiveNumber(parser, QStringLiteral("firmware"), false, &error)
                               : std::nullopt;
    const auto hardware = firmware
                              ? positiveNumber(parser, QStringLiteral("hardware"), false, &error)
                              : std::nullopt;
    if (!hardware)
        return usageError(error);
    options.supply.ratedVolts = *volts;
    options.supply.ratedAmps = *amps;
    options.supply.firmwareVersion = *firmware;
    options.supply.hardwareVersion = *hardware;
    if (parser.isSet(QStringLiteral("load-ohms"))) {
        const auto ohms = positiveNumber(parser, QStringLiteral("load-ohms"), true, &error);
        if (!ohms)
            return usageError(error);
        options.supply.loadOhms = *ohms;
    }

    std::optional<ScheduledTrip> trip;
    for (const QString &spec : parser.values(QStringLiteral("fault"))) {
        if (spec.trimmed().startsWith(QLatin1String("trip="), Qt::CaseInsensitive)) {
            trip = ScheduledTrip::parse(spec, &error);
            if (!trip)
                return usageError(error);
            continue;
        }
        const auto fault = Fault::parse(spec, &error);
        if (!fault)
            return usageError(error);
        options.faults.add(*fault);
    }
    const int after = parser.value(QStringLiteral("fault-after")).toInt(&ok);
    if (!ok || after < 0)
        return usageError(QStringLiteral("--fault-after needs a non-negative number"));
    options.faults.setAfter(after);

    options.ptyLink = parser.value(QStringLiteral("pty"));
    const int address = parser.value(QStringLiteral("rs485-address")).toInt(&ok);
    if (!ok || address < 0 || address > 255)
        return usageError(QStringLiteral("--rs485-address needs a number from 0 to 255"));
    options.rs485Address = address;
    options.baudThrottle = parser.isSet(QStringLiteral("baud-throttle"));
    if (parser.isSet(QStringLiteral("pty")) && options.ptyLink.isEmpty())
        return usageError(QStringLiteral("--pty needs the path of the link to make"));
    options.bootLoader = parser.isSet(QStringLiteral("boot-loader"));
    options.bootOnSync = parser.isSet(QStringLiteral("boot-on-sync"));
    options.flashDump = parser.value(QStringLiteral("flash-dump"));
    if (parser.isSet(QStringLiteral("boot-firmware"))) {
        const auto version = positiveNumber(parser, QStringLiteral("boot-firmware"), false, &error);
        if (!version)
            return usageError(error);
        options.bootFirmware = *version;
    }
    for (const QString &spec : parser.values(QStringLiteral("boot-fault"))) {
        if (!parseBootFault(spec, options.bootFaults))
            return usageError(QStringLiteral("--boot-fault needs drop=N, corrupt=N or mute=N "
                                             "(N from 1), not \"%1\"").arg(spec));
    }
    if ((options.bootLoader || options.bootOnSync) && options.ptyLink.isEmpty())
        return usageError(QStringLiteral("--boot-loader needs --pty: it talks on a serial line"));

    SteadyClock clock;
    Trace trace(clock);
    if (parser.isSet(QStringLiteral("trace"))
        && !trace.open(parser.value(QStringLiteral("trace")), &error)) {
        return usageError(QStringLiteral("cannot write the trace file: %1").arg(error));
    }

    const int settle = parser.value(QStringLiteral("settle")).toInt(&ok);
    if (!ok || settle < 0 || settle > 60000)
        return usageError(QStringLiteral("--settle needs 0 to 60000 milliseconds"));
    options.supply.settleMs = settle;
    PowerSupply supply(options.supply, clock);
    if (trip)
        supply.scheduleTrip(trip->bits, trip->afterOnMs);
    if (trace.isOpen())
        supply.onChange = [&trace](const QString &what) { trace.change(what.toLatin1()); };
    if (parser.isSet(QStringLiteral("mod-blank"))
        && !modulation::blankRows(supply.modulation(), parser.value(QStringLiteral("mod-blank")),
                                  &error))
        return usageError(QStringLiteral("--mod-blank: %1").arg(error));
    Instrument instrument(supply);
    if (trace.isOpen())
        instrument.setUndefinedHeaderHook([&trace](const QString &line) {
            trace.note(QByteArray("undefined header: ") + line.toLatin1());
        });
    FaultPlan *faults = options.faults.isEmpty() ? nullptr : &options.faults;

    if (parser.isSet(QStringLiteral("gpib"))) {
        return GpibFront::serveIfAsked(parser, instrument, options.supply, clock, faults,
                                       trace.isOpen() ? &trace : nullptr);
    }

    if (!options.ptyLink.isEmpty()) {
#ifdef Q_OS_UNIX
        PtyFront line(instrument, faults, trace.isOpen() ? &trace : nullptr, options.rs485Address,
                      options.baudThrottle);
        BootLoader bootLoader(options.bootLoader);
        bootLoader.setEnterOnSync(options.bootOnSync);
        bootLoader.setFaults(options.bootFaults);
        bootLoader.setDumpPath(options.flashDump);
        bootLoader.setRestartHandler([&supply, version = options.bootFirmware] {
            if (version > 0)
                supply.setFirmwareVersion(version);
        });
        line.setBootLoader(&bootLoader);
        if (!line.open(options.ptyLink, &error)) {
            std::fprintf(stderr, "zop-sim: %s\n", qPrintable(error));
            return 1;
        }
        QObject::connect(&line, &PtyFront::closed, &app, [] {
            std::printf("zop-sim: the line was closed on request\n");
            std::fflush(stdout);
            QCoreApplication::quit();
        });
        std::printf("zop-sim on pseudo-terminal %s, linked at %s, RS-485 address %d\n",
                    qPrintable(line.devicePath()), qPrintable(options.ptyLink), line.address());
        std::fflush(stdout);
        return app.exec();
#else
        return usageError(QStringLiteral("--pty needs a system with pseudo-terminals"));
#endif
    }
    TcpFront front(instrument, faults, trace.isOpen() ? &trace : nullptr);
    if (!front.listen(options.port)) {
        std::fprintf(stderr, "zop-sim: cannot listen on 127.0.0.1:%u: %s\n", port,
                     qPrintable(front.errorString()));
        return 1;
    }
    // The network settings name the port the instrument is really reached at.
    supply.interfaces().port = QString::number(front.port());
    if (parser.isSet(QStringLiteral("discovery-name")))
        supply.interfaces().host = parser.value(QStringLiteral("discovery-name"));
    if (parser.isSet(QStringLiteral("discovery-mac")))
        supply.interfaces().mac = parser.value(QStringLiteral("discovery-mac"));
    NetModule netModule(supply, front, trace.isOpen() ? &trace : nullptr);
    DiscoveryResponder discovery(supply, trace.isOpen() ? &trace : nullptr);
    if (parser.isSet(QStringLiteral("discovery"))) {
        // The instrument is found at the responder's address: it serves commands there too.
        const QHostAddress at(parser.value(QStringLiteral("discovery")));
        if (!discovery.bind(at, &error) || !front.listenAlso(at, &error))
            return usageError(error);
        supply.interfaces().address = at.toString();
    }
    std::printf("zop-sim listening on 127.0.0.1:%u\n", unsigned(front.port()));
    std::fflush(stdout);
    return app.exec();
}
