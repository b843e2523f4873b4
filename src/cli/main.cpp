// zopctl: the instrument from the command line, for scripts and production test stations.
// It runs on the core library alone: no windows, no display.

#include "app/configuration.h"
#include "app/moddata.h"
#include "app/panelids.h"
#include "core/processsignals.h"
#include "app/programfolder.h"
#include "cli/commands.h"
#include "cli/exitcodes.h"
#include "link/linkurl.h"
#include "setup/programversion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define ZOP_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define ZOP_ISATTY(fd) ::isatty(fd)
#endif

using namespace zop;
using namespace zop::cli;

namespace {

const QString ExitHelp = QStringLiteral(
    "Links (--link URL; without it, the link configured in ZOP_Panel.ini of the program folder):\n"
    "  tcp://HOST:PORT  serial:///dev/ttyUSB0  serial://COM3  rs485://DEVICE?address=N\n"
    "  rs485+framed://DEVICE?address=N  gpib://0/ADDRESS (board 0, primary address 0 to 30)\n"
    "  sim:// (Simulated mode, no instrument)\n"
    "  VISA resources: TCPIP0::HOST::PORT::SOCKET  TCPIP::HOST::INSTR (with --port N, the raw\n"
    "  port)  ASRL/dev/ttyUSB0::INSTR  ASRL3::INSTR (COM3)  GPIB0::5::INSTR\n"
    "Exit status: 0 success, 1 undecodable reply, 2 usage error, 3 link cannot be opened or was\n"
    "lost, 4 no reply in time, 5 the instrument reported an error (--check-errors) or refused\n"
    "the request, 6 a file cannot be read, written or used (also: a full disk; a sequence file\n"
    "with a fault), 7 a run stopped by a protection trip or alarm, 130 stopped by Ctrl-C, 143\n"
    "stopped by SIGTERM.\n");

int Report(const Failure &f)
{
    // A message may quote a reply: a terminal gets its control characters escaped.
    const QString message = ZOP_ISATTY(fileno(stderr)) ? EscapeControls(f.message, true) : f.message;
    std::fprintf(stderr, "zopctl: %s\n", qPrintable(message));
    return f.code;
}

Failure Usage(const QString &message)
{
    return Failure{Exit::Usage, message + QStringLiteral(" (see zopctl --help)")};
}

// Fills the link settings from --link or the configuration; returns the link's name for
// messages.
QString ConfigureLink(const QCommandLineParser &parser, const QString &folder)
{
    ModData &data = modData();
    const bool configured = QFileInfo::exists(ConfigFilePath());
    if (configured)
        ReadConfiguration();
    qint32 rawPort = 0;
    if (parser.isSet(QStringLiteral("port"))) {
        bool ok = false;
        rawPort = parser.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || rawPort < 1 || rawPort > 65535)
            throw Usage(QStringLiteral("--port must be a TCP port, 1 to 65535, not \"%1\"")
                            .arg(parser.value(QStringLiteral("port"))));
        if (!parser.isSet(QStringLiteral("link")))
            throw Usage(QStringLiteral("--port goes only with a TCPIP::HOST::INSTR link"));
    }
    if (parser.isSet(QStringLiteral("link"))) {
        const QString url = parser.value(QStringLiteral("link"));
        QString error;
        const auto link = ParseLinkUrl(url, &error, rawPort);
        if (!link)
            throw Usage(error);
        data.CommKind = link->kind;
        data.CommAddress = link->address;
        data.CommPort = link->port;
        data.CommDevice = link->device;
        return url;
    }
    if (!configured)
        throw Usage(QStringLiteral("no --link given and no %1 in %2").arg(ConfigFileName, folder));
    const QString name = QStringLiteral("the link of %1").arg(ConfigFilePath());
    // The shipped file configures the Simulated link: its "9.999" must never pass for an
    // instrument's reading in a script.
    if (data.CommKind < LinkKind::Gpib || data.CommKind >= LinkKind::Simulated)
        throw Failure{Exit::LinkFailed,
                      QStringLiteral("%1 configures %2, not an instrument: give the instrument's "
                                     "link with --link URL (see zopctl --help), or --link sim:// "
                                     "to talk to the simulated instrument")
                          .arg(ConfigFilePath(),
                               data.CommKind == LinkKind::Simulated
                                   ? QStringLiteral("the Simulated link")
                                   : QStringLiteral("no known link (Comm)"))};
    return name;
}

const SeriesSpec &ChooseSeries(const QCommandLineParser &parser)
{
    if (!parser.isSet(QStringLiteral("series")))
        return SeriesSpecFor(VirtualPanelFor(modData().SystemType));
    const QString name = parser.value(QStringLiteral("series")).toLower();
    for (PanelId id : {PanelId::KM, PanelId::TW, PanelId::GZ, PanelId::TLB}) {
        if (PanelName(id).mid(3).toLower() == name)
            return SeriesSpecFor(id);
    }
    throw Usage(QStringLiteral("--series must be km, tw, gz or tlb"));
}

double PositiveNumber(const QCommandLineParser &parser, const QString &option, double fallback,
                      bool whole)
{
    if (!parser.isSet(option))
        return fallback;
    bool ok = false;
    const double value = parser.value(option).toDouble(&ok);
    if (!ok || !(value >= 0) || value > 1e6 || (whole && value != qint64(value)))
        throw Usage(QStringLiteral("--%1 needs a %2 number, not \"%3\"")
                        .arg(option,
                             whole ? QStringLiteral("whole") : QStringLiteral("non-negative"),
                             parser.value(option)));
    return value;
}

int Run(QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Drives a Zoptrel DC power supply from the command line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("link"), QStringLiteral("The link to the instrument (see Links below)."),
         QStringLiteral("URL")},
        {QStringLiteral("port"),
         QStringLiteral("The instrument's raw TCP port for a VISA TCPIP::HOST::INSTR link."),
         QStringLiteral("N")},
        {QStringLiteral("dir"),
         QStringLiteral("Program folder holding ZOP_Panel.ini (default: the executable's "
                        "folder; ~/.config/zop-panel when installed)."),
         QStringLiteral("DIR")},
        {QStringLiteral("series"),
         QStringLiteral("Power-supply series for the lamps: km, tw, gz or tlb (default: the "
                        "configured system type)."),
         QStringLiteral("SERIES")},
        {QStringLiteral("json"), QStringLiteral("Print the result of a read command as JSON.")},
        {QStringLiteral("text"),
         QStringLiteral("Show the control characters of replies escaped (\\x1b) also when the "
                        "output is not a terminal.")},
        {QStringLiteral("check-errors"),
         QStringLiteral("Afterwards read the instrument's error queue (SYST:ERR?); exit 5 when "
                        "it held errors.")},
        {QStringLiteral("timeout"),
         QStringLiteral("Seconds a command waits for its reply, 1 to 60, fractions too "
                        "(default 2)."),
         QStringLiteral("S")},
        {QStringLiteral("interval"), QStringLiteral("monitor: seconds between readings."),
         QStringLiteral("S")},
        {QStringLiteral("count"), QStringLiteral("monitor: stop after N readings (1 or more)."),
         QStringLiteral("N")},
        {QStringLiteral("csv"), QStringLiteral("monitor: also write the readings to FILE as CSV."),
         QStringLiteral("FILE")},
        {QStringLiteral("log"),
         QStringLiteral("run: append every reading and event to FILE (CSV)."),
         QStringLiteral("FILE")},
        {QStringLiteral("on-stop"),
         QStringLiteral("run: what a stop does to the output: off or hold (default: as the "
                        "file says, else off)."),
         QStringLiteral("ACTION")},
        {QStringLiteral("check"), QStringLiteral("run: check the sequence file and send nothing.")},
        {QStringLiteral("target"),
         QStringLiteral("discover: send the request to ADDR (default: DiscoveryTarget of "
                        "ZOP_Panel.ini, else the whole local network)."),
         QStringLiteral("ADDR")},
        {QStringLiteral("bind"),
         QStringLiteral("discover: listen on this local IPv4 address only (default: every "
                        "one)."),
         QStringLiteral("ADDR")},
    });
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("See Commands below."),
                                 QStringLiteral("COMMAND [ARGUMENTS]"));
    if (!parser.parse(app.arguments()))
        throw Usage(parser.errorText());
    if (parser.isSet(help)) {
        Print(parser.helpText() + QLatin1Char('\n') + CommandsHelp() + QLatin1Char('\n')
              + ExitHelp);
        return Exit::Ok;
    }
    if (parser.isSet(version)) {
        Print(QStringLiteral("zopctl %1\n").arg(QCoreApplication::applicationVersion()));
        return Exit::Ok;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        throw Usage(QStringLiteral("no command given"));
    const Command *command = FindCommand(positional.takeFirst());
    if (!command)
        throw Usage(
            QStringLiteral("unknown command \"%1\"").arg(parser.positionalArguments().first()));
    if (!command->argumentsAllowed && !positional.isEmpty())
        throw Usage(QStringLiteral("%1 takes no arguments").arg(command->name));
    if (parser.isSet(QStringLiteral("json")) && !command->reads)
        throw Usage(QStringLiteral("%1 prints nothing, so it takes no --json").arg(command->name));
    if (parser.isSet(QStringLiteral("json")) && parser.isSet(QStringLiteral("text")))
        throw Usage(QStringLiteral("--text and --json exclude each other"));
    // On a terminal an instrument's ESC sequences would act on it; in a pipe the bytes stay
    // exact unless --text asks for the escapes.
    SetEscapedOutput(parser.isSet(QStringLiteral("text")) || ZOP_ISATTY(fileno(stdout)));
    for (const QString &option : {QStringLiteral("interval"), QStringLiteral("count"),
                                  QStringLiteral("csv"), QStringLiteral("target"),
                                  QStringLiteral("bind"), QStringLiteral("log"),
                                  QStringLiteral("on-stop"), QStringLiteral("check")}) {
        if (parser.isSet(option) && !command->options.contains(option))
            throw Usage(QStringLiteral("%1 takes no --%2").arg(command->name, option));
    }

    ModData &data = modData();
    const QString folder = parser.isSet(QStringLiteral("dir"))
        ? QDir(parser.value(QStringLiteral("dir"))).absolutePath()
        : DefaultProgramFolder(QCoreApplication::applicationDirPath());
    data.ProgramFolder = folder;
    // Failures are reported on standard error; no "debug.txt" is left in the caller's folder.
    data.debugLog.setPath(QString());
    FillCommandTables();
    data.GpibEos = QStringLiteral("10"); // replies end with a line feed, as the panel reads them
    const QString linkName = command->needsLink ? ConfigureLink(parser, folder) : QString();
    const SeriesSpec &series = ChooseSeries(parser);
    const double interval = PositiveNumber(parser, QStringLiteral("interval"), 0.2, false);
    const qint64 count = qint64(PositiveNumber(parser, QStringLiteral("count"), -1, true));
    if (parser.isSet(QStringLiteral("count")) && count < 1)
        throw Usage(QStringLiteral("--count must be 1 or more"));
    const double timeout = PositiveNumber(parser, QStringLiteral("timeout"), 2, false);
    if (timeout < 1 || timeout > 60)
        throw Usage(QStringLiteral("--timeout must be 1 to 60 seconds"));

    Interrupt interrupt;
    LinkSession link(linkName, interrupt);
    link.setReplyTimeoutMs(qint64(timeout * 1000.0 + 0.5));
    if (command->needsLink)
        link.open();
    CommandContext context{link,
                           positional,
                           series,
                           parser.isSet(QStringLiteral("json")),
                           interval,
                           count,
                           parser.value(QStringLiteral("csv")),
                           interrupt,
                           parser.value(QStringLiteral("target")),
                           parser.value(QStringLiteral("bind")),
                           timeout,
                           parser.isSet(QStringLiteral("check-errors")),
                           parser.value(QStringLiteral("log")),
                           parser.value(QStringLiteral("on-stop")),
                           parser.isSet(QStringLiteral("check"))};
    const bool checkErrors = parser.isSet(QStringLiteral("check-errors")) && command->needsLink;
    context.checkErrors = checkErrors;
    const auto reportErrors = [](const QStringList &errors) {
        for (const QString &e : errors)
            std::fprintf(stderr, "zopctl: instrument error: %s\n", qPrintable(e));
        return errors.isEmpty() ? Exit::Ok : Exit::InstrumentError;
    };
    try {
        command->run(context);
    } catch (const Failure &f) {
        // An instrument that does not answer a query it cannot take says why in its error
        // queue ("-113,"Undefined header""): that is the failure to report.
        if (!checkErrors || f.code != Exit::TimedOut)
            throw;
        std::fflush(stdout);
        Report(f);
        const int code = reportErrors(link.errorsAfterTimeOut());
        return code == Exit::Ok ? f.code : code;
    }
    CheckOutput();
    const int code = checkErrors ? reportErrors(link.instrumentErrors()) : Exit::Ok;
    // Nothing written may be lost at the close. (A signal is how a monitor ends normally.)
    if (command->needsLink
        && !(command->name == QLatin1String("monitor") && interrupt.requested()))
        link.finish();
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // A write past a file-size limit fails and is reported, rather than killing zopctl.
    IgnoreFileSizeSignal();
    QCoreApplication::setApplicationName(QStringLiteral("zopctl"));
    QCoreApplication::setApplicationVersion(ProgramVersionText());
    int code = Exit::Ok;
    try {
        code = Run(app);
    } catch (const Failure &f) {
        code = Report(f);
    }
    std::fflush(stdout);
    ShutDownModData();
    return code;
}
