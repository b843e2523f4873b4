#include "cli/commands.h"

#include "app/configuration.h"
#include "app/moddata.h"
#include "core/regularfile.h"
#include "engine/startform.h"
#include "cli/discovercommand.h"
#include "cli/flashcommand.h"
#include "cli/modtablecommand.h"
#include "cli/runcommand.h"
#include "cli/shellcommand.h"
#include "engine/readinglog.h"
#include "cli/statusdecode.h"
#include "link/serialports.h"
#include "panels/service/registerformat.h"
#include "engine/panellogic.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zop::cli {

namespace {
bool g_escapeControls = false;
int g_outputError = 0; // the first failed write to standard output (errno)

void Write(const QByteArray &bytes)
{
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())
        && g_outputError == 0)
        g_outputError = errno ? errno : EIO;
}
} // namespace

void CheckOutput()
{
    if (std::fflush(stdout) != 0 && g_outputError == 0)
        g_outputError = errno ? errno : EIO;
    if (g_outputError != 0)
        throw Failure{Exit::BadFile, QStringLiteral("cannot write standard output: %1")
                                         .arg(QString::fromLocal8Bit(std::strerror(g_outputError)))};
}

void Print(const QString &text) { Write(text.toUtf8()); }

void SetEscapedOutput(bool escaped) { g_escapeControls = escaped; }

QString EscapeControls(const QString &text, bool keepLineEnds)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7f && u <= 0x9f);
        if (!control || u == u'\t' || (keepLineEnds && u == u'\n'))
            shown += c;
        else
            shown += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
    }
    return shown;
}

void PrintReply(const QString &reply)
{
    if (g_escapeControls)
        Print(EscapeControls(reply, false) + QLatin1Char('\n'));
    else
        Write(reply.toLatin1() + '\n'); // the bytes as they came
}

void PrintText(const QString &text)
{
    Print(g_escapeControls ? EscapeControls(text, true) : text);
}

namespace {

void PrintJson(const QJsonValue &value)
{
    const QJsonDocument doc
        = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    Print(QString::fromUtf8(doc.toJson(QJsonDocument::Indented)));
}

// A single-precision record value as the number it was meant to be (13.284, not 13.28399...).
double Exact(float value) { return ShortestText(value).toDouble(); }

// The commands of `query` and `send`: the arguments, or standard input one a line (blank lines
// and lines starting with "#" left out) when there are none or the only one is "-".
QStringList CommandLines(const QStringList &arguments)
{
    if (!arguments.isEmpty() && arguments != QStringList{QStringLiteral("-")})
        return arguments;
    QStringList lines;
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line)) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#')))
            lines << trimmed;
    }
    if (lines.isEmpty())
        throw Failure{
            Exit::Usage,
            QStringLiteral("no commands given, neither as arguments nor on standard input")};
    return lines;
}

void RunQuery(CommandContext &c)
{
    QJsonArray results;
    for (const QString &command : CommandLines(c.arguments)) {
        const QString reply = c.link.query(command);
        if (c.json)
            results.append(QJsonObject{{QStringLiteral("command"), command},
                                       {QStringLiteral("reply"), reply}});
        else
            PrintReply(reply);
    }
    if (c.json)
        PrintJson(results);
}

void RunSend(CommandContext &c)
{
    for (const QString &command : CommandLines(c.arguments))
        c.link.send(command);
}

// ---- status and monitor

StatusReading ReadStatus(CommandContext &c, qint16 previousPower)
{
    const QString reply = c.link.query(QStringLiteral("<>STA"));
    const ModData &data = modData();
    return DecodeStatus(reply, c.series, previousPower, c.link.simulated(), data.VoltageFormat,
                        data.CurrentFormat);
}

QJsonObject StatusJson(const StatusReading &r)
{
    QJsonObject o{{QStringLiteral("voltage"), r.voltage},
                  {QStringLiteral("current"), r.current},
                  {QStringLiteral("voltageText"), r.voltageText},
                  {QStringLiteral("currentText"), r.currentText},
                  {QStringLiteral("power"), PowerStateName(r.powerState)},
                  {QStringLiteral("statusWord"), r.statusWord},
                  {QStringLiteral("alarmWord"), r.alarmWord},
                  {QStringLiteral("lamps"), QJsonArray::fromStringList(r.lamps)}};
    if (r.hasMemory)
        o.insert(QStringLiteral("memory"), r.memory);
    return o;
}

QString Hex4(qint32 word)
{
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
}

// A reply that cannot be decoded ends the command with the reply shown, as "<>STA"'s does:
// the readers' defaults are no instrument's values. (Simulated mode's short replies stand
// for those defaults.)
void RefuseUndecoded(const CommandContext &c, const QString &command, const QString &reply,
                     const QString &why)
{
    if (c.link.simulated())
        return;
    QString shown = reply;
    shown.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    throw Failure{Exit::BadReply,
                  QStringLiteral("unexpected reply to %1 \"%2\": %3").arg(command, shown, why)};
}

} // namespace

void ReadRecord(CommandContext &c, const QString &command, RecordRead (*reader)())
{
    const RecordRead read = reader();
    c.link.ensureLink(QStringLiteral("\"%1\"").arg(read.command.isEmpty() ? command : read.command));
    if (!read.decoded)
        RefuseUndecoded(c, read.command, read.reply,
                        QStringLiteral("not the instrument's record"));
}

namespace {

void ReadFormats(CommandContext &c) { ReadRecord(c, QStringLiteral("<>SCL"), ReadScales); }

void RunStatus(CommandContext &c)
{
    ReadFormats(c);
    const StatusReading r = ReadStatus(c, Power::Standby);
    if (c.json) {
        QJsonObject o = StatusJson(r);
        o.insert(QStringLiteral("series"), c.series.windowName.mid(3));
        PrintJson(o);
        return;
    }
    QString text
        = QStringLiteral("voltage: %1 V\ncurrent: %2 A\n").arg(r.voltageText, r.currentText);
    if (r.hasMemory)
        text += QStringLiteral("memory: %1\n").arg(r.memory);
    text
        += QStringLiteral("power: %1\nlamps: %2\nstatus word: %3  alarm word: %4\n")
               .arg(PowerStateName(r.powerState),
                    r.lamps.isEmpty() ? QStringLiteral("none") : r.lamps.join(QStringLiteral(", ")),
                    Hex4(r.statusWord), Hex4(r.alarmWord));
    Print(text);
}

void RunMonitor(CommandContext &c)
{
    LogFile csvFile;
    const bool csvToStdout = c.csvPath == QLatin1String("-");
    if (!c.csvPath.isEmpty() && !csvToStdout) {
        // A regular file or a new one: never a FIFO (which would block), a device or a link.
        QString problem = IsRegularOrAbsent(c.csvPath)
            ? QString()
            : QStringLiteral("It is not a regular file (a FIFO, a socket, a device or a folder).");
        if (!problem.isEmpty())
            throw Failure{Exit::Usage,
                          QStringLiteral("cannot write %1: %2").arg(c.csvPath, problem)};
        if (!csvFile.open(c.csvPath, &problem))
            throw Failure{Exit::BadFile,
                          QStringLiteral("cannot write %1: %2").arg(c.csvPath, problem)};
    }
    // Every row goes in whole or the command ends (a full disk, a file-size limit).
    const auto csv = [&](const QString &line) {
        QString problem;
        if (csvToStdout)
            Print(line + QLatin1Char('\n'));
        else if (csvFile.isOpen() && !csvFile.append(line, &problem))
            throw Failure{Exit::BadFile, QStringLiteral("cannot write %1: %2").arg(c.csvPath, problem)};
    };
    // The setpoints in force, for the CSV: "<>ALL" fields 0 and 1. False when a signal cut
    // the read short: the signal ends a monitor, without the row it cut short.
    const auto setpoints = [&](ReadingRow &row) {
        try {
            const std::vector<qint32> f = PollFields(c.link.query(QStringLiteral("<>ALL")));
            if (f.size() >= 4) {
                row.voltSet = f[0] / 1000.0;
                row.currSet = f[1] / 1000.0;
            }
        } catch (const DecodeError &) {
        } catch (const Failure &) {
            if (!c.interrupt.requested())
                throw;
            return false;
        }
        return true;
    };
    ReadFormats(c);
    if (csvToStdout)
        csv(ReadingCsvHeader);

    const qint64 intervalMs = qint64(c.intervalSeconds * 1000.0 + 0.5);
    QElapsedTimer since;
    since.start();
    qint16 power = Power::Standby;
    qint64 lastSent = 0;
    for (qint64 n = 0; c.count < 0 || n < c.count; ++n) {
        // Polls keep to a fixed grid from the start, so slow replies do not make them drift.
        // Between polls further apart than the keep-alive interval, a TCP/IP link gets the
        // panel's keep-alive (a lone line feed) whenever it has been idle that long.
        while (!c.interrupt.requested()) {
            const qint64 due = n * intervalMs;
            const qint64 keepAlive = lastSent + StartForm::KeepAliveIntervalMs;
            if (keepAlive >= due) {
                WaitInterruptibly(due - since.elapsed(), c.interrupt);
                break;
            }
            WaitInterruptibly(keepAlive - since.elapsed(), c.interrupt);
            if (c.interrupt.requested())
                break;
            modData().comm.TcpKeepAlive();
            lastSent = since.elapsed();
        }
        if (c.interrupt.requested())
            break;
        lastSent = since.elapsed();
        StatusReading r;
        try {
            r = ReadStatus(c, power);
        } catch (const Failure &) {
            if (c.interrupt.requested())
                break; // the signal ends a monitor, without the reading it cut short
            throw;
        }
        power = r.powerState;
        const QDateTime now = QDateTime::currentDateTime();
        const QString time = now.toString(Qt::ISODateWithMs);
        if (!c.csvPath.isEmpty()) {
            ReadingRow row{now, r.voltage, r.current, {}, {}, r.statusWord, r.alarmWord, -1};
            if (!setpoints(row))
                break;
            csv(ReadingCsvLine(row, LookOf(row, c.series, modData().VoltageFormat,
                                                 modData().CurrentFormat)));
        }
        if (c.json) {
            QJsonObject o = StatusJson(r);
            o.insert(QStringLiteral("time"), time);
            o.insert(QStringLiteral("elapsed"), since.elapsed() / 1000.0);
            Print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact))
                  + QLatin1Char('\n'));
        } else if (!csvToStdout) {
            Print(QStringLiteral("%1  %2 V  %3 A  %4  %5\n")
                      .arg(time, r.voltageText, r.currentText, PowerStateName(r.powerState),
                           r.lamps.join(QStringLiteral(", "))));
        }
        CheckOutput();
    }
}

// ---- state

void RunState(CommandContext &c)
{
    ReadRecord(c, QStringLiteral("<>SCL"), ReadScales);
    ReadRecord(c, QStringLiteral("<>ALL"), ReadAllState);
    ReadRecord(c, QStringLiteral("<>POT"), ReadPots);
    const ModData &d = modData();
    const SettingsRecord &s = d.Settings;
    QList<qint16> pots(d.Pots.begin(), d.Pots.end());
    if (c.json) {
        QJsonArray potArray;
        for (qint16 p : pots)
            potArray.append(p);
        PrintJson(QJsonObject{{QStringLiteral("settings"),
                               QJsonObject{{QStringLiteral("voltage"), Exact(s.VoltSet)},
                                           {QStringLiteral("current"), Exact(s.CurrSet)},
                                           {QStringLiteral("overVoltageTrip"), Exact(s.VoltProt)},
                                           {QStringLiteral("overCurrentTrip"), Exact(s.CurrProt)},
                                           {QStringLiteral("period"), Exact(s.Period)},
                                           {QStringLiteral("memory"), Exact(s.MemLoc)}}},
                              {QStringLiteral("ratings"),
                               QJsonObject{{QStringLiteral("voltage"), Exact(d.Ratings.VoltMax)},
                                           {QStringLiteral("current"), Exact(d.Ratings.CurrMax)}}},
                              {QStringLiteral("formats"),
                               QJsonObject{{QStringLiteral("voltage"), d.VoltageFormat},
                                           {QStringLiteral("current"), d.CurrentFormat}}},
                              {QStringLiteral("pots"), potArray},
                              {QStringLiteral("firmwareVersion"), d.FirmwareVersion},
                              {QStringLiteral("hardwareVersion"), d.HardwareVersion}});
        return;
    }
    const auto volts
        = [&](float v) { return FormatNumber(v, d.VoltageFormat) + QStringLiteral(" V"); };
    const auto amps
        = [&](float v) { return FormatNumber(v, d.CurrentFormat) + QStringLiteral(" A"); };
    QStringList potTexts;
    for (qint16 p : pots)
        potTexts << QString::number(p);
    Print(QStringLiteral("voltage setpoint: %1\ncurrent setpoint: %2\nover-voltage trip: %3\n"
                         "over-current trip: %4\nperiod: %5 s\nmemory: %6\nrated voltage: %7\n"
                         "rated current: %8\npotentiometers: %9\nfirmware: %10\nhardware: %11\n")
              .arg(volts(s.VoltSet), amps(s.CurrSet), volts(s.VoltProt), amps(s.CurrProt),
                   ShortestText(s.Period), ShortestText(s.MemLoc), volts(d.Ratings.VoltMax),
                   amps(d.Ratings.CurrMax), potTexts.join(QLatin1Char(' ')))
              .arg(d.FirmwareVersion, d.HardwareVersion));
}

// ---- registers

void RunRegisters(CommandContext &c)
{
    QJsonArray all;
    QString text;
    for (RegisterId id : AllRegisters) {
        const RegisterInfo &info = RegisterInfoFor(id);
        const QString query
            = (info.readsScpi ? SCPICommandTable() : IEEECommandTable()).at(info.tableIndex)
            + QLatin1Char('?');
        const QString reply = c.link.query(query);
        static const QRegularExpression Number(QStringLiteral("^\\s*\\+?\\d+(\\.\\d*)?\\s*$"));
        if (!Number.match(reply).hasMatch())
            RefuseUndecoded(c, query, reply, QStringLiteral("not a register's value"));
        const qint32 value = RegisterValue(reply);
        const RegisterResults results = FormatRegisterResults(value, info.wide);
        QJsonArray bits;
        QStringList set;
        for (int bit = 0; bit < info.bitCount(); ++bit) {
            const bool on = BitIsSet(value, bit);
            bits.append(QJsonObject{{QStringLiteral("bit"), bit},
                                    {QStringLiteral("name"), info.bitNames.at(bit)},
                                    {QStringLiteral("set"), on}});
            if (on)
                set << QStringLiteral("%1 %2").arg(bit).arg(info.bitNames.at(bit));
        }
        all.append(QJsonObject{{QStringLiteral("register"), info.title},
                               {QStringLiteral("query"), query},
                               {QStringLiteral("value"), value},
                               {QStringLiteral("decimal"), results.decimal},
                               {QStringLiteral("hex"), results.hex},
                               {QStringLiteral("binary"), results.binary},
                               {QStringLiteral("bits"), bits}});
        text += QStringLiteral("%1: %2  hex %3  binary %4\n  set: %5\n")
                    .arg(info.title, results.decimal, results.hex, results.binary,
                         set.isEmpty() ? QStringLiteral("none") : set.join(QStringLiteral(", ")));
    }
    if (c.json)
        PrintJson(all);
    else
        Print(text);
}

// The serial ports with their port numbers (serial://COMn, ASRLn::INSTR, "Port" of the
// settings), devices and by-id names.
void RunPorts(CommandContext &c)
{
    const QList<SerialPortRow> table = SerialPortTable(SystemSerialPorts());
    if (c.json) {
        QJsonArray ports;
        for (const SerialPortRow &e : table)
            ports.append(QJsonObject{{QStringLiteral("port"), e.port},
                                     {QStringLiteral("device"), e.device},
                                     {QStringLiteral("byId"), QJsonArray::fromStringList(e.byId)}});
        PrintJson(ports);
        return;
    }
    if (table.isEmpty()) {
        std::fprintf(stderr, "zopctl: no serial port was found on this machine\n");
        return;
    }
    qsizetype width = QStringLiteral("Device").size();
    for (const SerialPortRow &e : table)
        width = std::max(width, e.device.size());
    QString text = QStringLiteral("Port  %1  By id\n").arg(QStringLiteral("Device"), -int(width));
    for (const SerialPortRow &e : table)
        text += QStringLiteral("%1  %2  %3")
                    .arg(QStringLiteral("COM%1").arg(e.port), -4)
                    .arg(e.device, -int(width))
                    .arg(e.byId.join(QStringLiteral(", ")))
                    .trimmed()
              + QLatin1Char('\n');
    Print(text);
}

} // namespace

const QList<Command> &Commands()
{
    static const QList<Command> commands = {
        {QStringLiteral("query"),
         QStringLiteral("COMMAND... | -"),
         QStringLiteral("Send each command and print its reply (standard input one a line "
                        "when no command or \"-\" is given)."),
         true,
         {},
         true,
         RunQuery},
        {QStringLiteral("send"),
         QStringLiteral("COMMAND... | -"),
         QStringLiteral("Send each command without reading a reply."),
         false,
         {},
         true,
         RunSend},
        {QStringLiteral("shell"),
         QString(),
         QStringLiteral("Type commands at a prompt: Enter sends, a query's reply is printed, Up "
                        "and Down recall earlier lines (kept in ~/.zopctl_history), Tab "
                        "completes headers, Ctrl-C abandons the line, Ctrl-D ends. Reads "
                        "standard input line by line when it is not a terminal; "
                        "--check-errors reads SYST:ERR? after each line and stops such a script "
                        "at the first error."),
         false,
         {},
         false,
         [](CommandContext &c) { RunShell(c, c.checkErrors); }},
        {QStringLiteral("status"),
         QString(),
         QStringLiteral("One \"<>STA\": readings, lit lamps and power state."),
         true,
         {},
         false,
         RunStatus},
        {QStringLiteral("state"),
         QString(),
         QStringLiteral("Setpoints, trips, ratings, potentiometers and versions (\"<>SCL\", "
                        "\"<>ALL\", \"<>POT\")."),
         true,
         {},
         false,
         RunState},
        {QStringLiteral("registers"),
         QString(),
         QStringLiteral("The six status registers, decoded bit by bit."),
         true,
         {},
         false,
         RunRegisters},
        {QStringLiteral("monitor"),
         QStringLiteral("[--interval S] [--count N] [--csv FILE]"),
         QStringLiteral("Readings with time stamps every S seconds (default 0.2) until "
                        "interrupted or N readings; --csv writes them to FILE (\"-\": standard "
                        "output)."),
         true,
         {QStringLiteral("interval"), QStringLiteral("count"), QStringLiteral("csv")},
         false,
         RunMonitor},
        {QStringLiteral("run"),
         QStringLiteral("FILE [--check] [--log FILE.csv] [--on-stop off|hold]"),
         QStringLiteral("Run a sequence file (steps, ramps, repeats; see zopctl(1)) after "
                        "checking it whole against the instrument's ratings; a progress line "
                        "per step. It stops, and turns the output off (or holds it with "
                        "--on-stop hold), on Ctrl-C, a protection trip or alarm, a lost link, "
                        "or an instrument error with --check-errors (then read after every "
                        "step). --check only checks the file; --log appends every reading and "
                        "event to a CSV file. --json prints one event a line."),
         true,
         {QStringLiteral("log"), QStringLiteral("on-stop"), QStringLiteral("check")},
         true,
         RunSequence},
        {QStringLiteral("modtable"),
         QStringLiteral("save FILE | load FILE"),
         QStringLiteral("Save the instrument's modulation table (selection and rows) to a "
                        ".modTable file, or send a file's selection and rows to the instrument; "
                        "either way the table is read back and printed."),
         true,
         {},
         true,
         RunModTable},
        {QStringLiteral("flash"),
         QStringLiteral("FILE.hex"),
         QStringLiteral("Program new firmware from an Intel HEX file through the instrument's "
                        "boot loader (RS-232 only), as the Firmware Panel does. Ctrl-C stops "
                        "the run."),
         false,
         {},
         true,
         RunFlash},
        {QStringLiteral("discover"),
         QStringLiteral("[--target ADDR] [--bind ADDR] [--count N]"),
         QStringLiteral("Find instruments on the network (UDP port 30303) and list them; "
                        "listens --timeout seconds or until N have answered. Needs no link."),
         true,
         {QStringLiteral("count"), QStringLiteral("target"), QStringLiteral("bind")},
         false,
         RunDiscover,
         false},
        {QStringLiteral("ports"),
         QString(),
         QStringLiteral("List the serial ports: port number (COMn), device and "
                        "/dev/serial/by-id names. Needs no link."),
         true,
         {},
         false,
         RunPorts,
         false},
    };
    return commands;
}

const Command *FindCommand(const QString &name)
{
    for (const Command &c : Commands()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

QString CommandsHelp()
{
    // Each summary wrapped to 80 columns under its command.
    constexpr int Width = 80;
    const QString indent(6, QLatin1Char(' '));
    QString text = QStringLiteral("Commands:\n");
    for (const Command &c : Commands()) {
        text += QStringLiteral("  ") + QStringList{c.name, c.synopsis}.join(QLatin1Char(' ')).trimmed()
              + QLatin1Char('\n');
        QString line = indent;
        const QString summary = c.summary + (c.reads ? QStringLiteral(" Takes --json.") : QString());
        for (const QString &word : summary.split(QLatin1Char(' '))) {
            if (line.size() > indent.size() && line.size() + 1 + word.size() > Width) {
                text += line + QLatin1Char('\n');
                line = indent;
            }
            line += (line.size() > indent.size() ? QStringLiteral(" ") : QString()) + word;
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

} // namespace zop::cli
