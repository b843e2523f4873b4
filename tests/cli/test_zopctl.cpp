// zopctl as a process against zop-sim (TCP on loopback and a pseudo-terminal): what it prints,
// its JSON, its exit status, and what the emulator's trace shows it sent.

#include "bootloader.h"
#include "hexfiles.h"
#include "link/gpiblibrary.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace zop;
using namespace zop::test;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

// zopctl with these arguments. With "FAST" among them it runs with faketime's library and a
// clock ten times as fast, so its waits (monitor intervals, the firmware restart, listening for
// discovery replies) pass in a tenth of the time. (The library is preloaded directly rather than
// through the faketime program, which would stand between the test and zopctl's signals.) With
// "FULL" no byte fits in a file (a full disk; here a file-size limit), standard output too: a
// file "out.txt" in `folder`.
void StartZopctl(QProcess &p, QStringList arguments, const QString &folder = {})
{
    if (arguments.removeAll(QStringLiteral("FULL"))) {
        p.setStandardOutputFile(folder + QStringLiteral("/out.txt"));
        p.setChildProcessModifier([] {
            const rlimit none{0, 0};
            ::setrlimit(RLIMIT_FSIZE, &none);
        });
    }
    if (arguments.removeAll(QStringLiteral("FAST"))) {
        if (QStandardPaths::findExecutable(QStringLiteral("faketime")).isEmpty())
            qWarning("faketime is needed: run scripts/install-deps.sh");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_PRELOAD"),
                   QStringLiteral("/usr/$LIB/faketime/libfaketime.so.1"));
        env.insert(QStringLiteral("FAKETIME"), QStringLiteral("+0 x10"));
        p.setProcessEnvironment(env);
    }
    p.start(BinaryPath(QStringLiteral("zopctl")), arguments);
}

Run Zopctl(const QStringList &arguments, const QByteArray &input = {}, const QString &folder = {})
{
    QProcess p;
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    StartZopctl(p, arguments, folder);
    Run r;
    if (!p.waitForStarted(5000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(1000);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The value at a path of keys and array indexes ("0.bits.6.name") in a JSON text, as compact
// JSON ("{...}" for an object); a path ending in "#" gives the length of the array there.
QString JsonAt(const QString &json, QString path)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
    QJsonValue value = doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
    const bool length = path.endsWith(QLatin1Char('#'));
    for (const QString &step : path.remove(QLatin1Char('#')).split(QLatin1Char('.'), Qt::SkipEmptyParts))
        value = value.isArray() ? value.toArray().at(step.toInt()) : value.toObject().value(step);
    if (length || value.isObject())
        return length ? QString::number(value.toArray().size()) : QStringLiteral("{...}");
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every "MOD:TABL? r" of a whole table read, each after the row's write when `written` has it.
QByteArray TableRead(const QMap<int, QByteArray> &written = {})
{
    QByteArray sent;
    for (int row = 1; row <= 50; ++row)
        sent += written.value(row) + "MOD:TABL? " + QByteArray::number(row) + "\n";
    return sent;
}

QString TcpLink(const SimProcess &sim)
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port());
}

// The emulator of a row, on the line its arguments name first ("PTY", "GPIB"; TCP/IP when they
// name none); zopctl reaches a GPIB bus through the stand-in library.
std::unique_ptr<SimProcess> StartSim(QStringList arguments)
{
    const SimLine line = arguments.removeAll(QStringLiteral("PTY")) ? SimLine::Pty
                         : arguments.removeAll(QStringLiteral("GPIB")) ? SimLine::Gpib : SimLine::Tcp;
    auto sim = std::make_unique<SimProcess>(arguments, line);
#ifdef ZOP_GPIB_STANDIN
    qputenv(GpibLibrary::PathVariable, ZOP_GPIB_STANDIN);
    qputenv("ZOP_GPIB_SOCKET", sim->linkPath().toLocal8Bit());
#endif
    return sim;
}

// A row's zopctl arguments for the emulator: "<port>" its TCP port, "<link>" its line, "<dir>"
// the test's folder, and the emulator's TCP/IP link in front unless they give a --link, or
// "NOLINK" says they need none.
QStringList ForSim(QStringList arguments, const SimProcess &sim, const QString &dir)
{
    arguments.replaceInStrings(QStringLiteral("<port>"), QString::number(sim.port()));
    arguments.replaceInStrings(QStringLiteral("<link>"), sim.linkPath());
    arguments.replaceInStrings(QStringLiteral("<dir>"), dir);
    if (arguments.removeAll(QStringLiteral("NOLINK")) || arguments.contains(QStringLiteral("--link")))
        return arguments;
    return QStringList{QStringLiteral("--link"), TcpLink(sim)} + arguments;
}

} // namespace

class TestZopctl : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void monitorCsvSurvivesItsEnd_data();
    void monitorCsvSurvivesItsEnd();
    void runStopsAtATrip();
    void signalEndsEveryCommand_data();
    void signalEndsEveryCommand();
    void replyControls_data();
    void replyControls();
    void sendDeliversEveryByte_data();
    void sendDeliversEveryByte();
    void modTable();
    void flash_data();
    void flash();
    void discover();
    void shellOnTerminal();
};

// The emulator's arguments as StartSim takes them, zopctl's as ForSim and StartZopctl do; those
// that start with "INI=": no --link, the link of ZOP_Panel.ini in --dir (its keys
// "Section/Key=value" joined by ";", PORT the emulator's; "INI=none": no file at all), never
// Simulated mode. "NAME.EXT=TEXT" is a file of that text; the folder holds the FIFO "fifo". Standard
// output is a pattern, or "json: " and checks "path=value" joined by "; " (see JsonAt). No run
// leaves a "debug.txt" in its folder.
void TestZopctl::commands_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // a pattern for standard output
    QTest::addColumn<QString>("err"); // a pattern for standard error
    QTest::addColumn<QByteArray>("sent");

    const QStringList none;
    const QByteArray no;
    QTest::newRow("query") << none << QStringList{"query", "*IDN?", "SYST:VERS?"} << no << 0
        << "^Zoptrel,ZOP-SIM TLB,0,4.70\nZOP-SIM Firmware 4.70 Hardware Revision 1.30\n$"
        << "^$" << QByteArray("*IDN?\nSYST:VERS?\n");
    QTest::newRow("query from stdin") << none << QStringList{"query", "-"}
        << QByteArray("*IDN?\n\n# then\n*STB?\n") << 0 << "^Zoptrel,ZOP-SIM TLB,0,4.70\n\\d+\n$"
        << "^$" << QByteArray("*IDN?\n*STB?\n");
    QTest::newRow("send several") << none << QStringList{"send", "VOLT 12", "OUTP:START"} << no
        << 0 << "^$" << "^$" << QByteArray("VOLT 12\nOUTP:START\n");
    QTest::newRow("send from stdin") << none << QStringList{"send"}
        << QByteArray("CURR 5\r\nVOLT 3\n") << 0 << "^$" << "^$" << QByteArray("CURR 5\nVOLT 3\n");
    QTest::newRow("shell from a script") << none << QStringList{"shell"}
        << QByteArray("VOLT 5\n# set, then read\n\nVOLT?\nCAL:IDN \"<b>x</b>\"\ncal:idn?\n") << 0
        << "^5.000\n<b>x</b>\n$" << "^$" << QByteArray("VOLT 5\nVOLT?\nCAL:IDN \"<b>x</b>\"\ncal:idn?\n");
    QTest::newRow("shell script stops at the first error") << none
        << QStringList{"--check-errors", "shell"} << QByteArray("VOLT 5\nFOO\nVOLT 6\n") << 5 << "^$"
        << "line 2: instrument error: -113,\"Undefined header\""
        << QByteArray("VOLT 5\nSYST:ERR?\nFOO\nSYST:ERR?\n");
    QTest::newRow("shell script: a control character is not sent") << none << QStringList{"shell"}
        << QByteArray("VOLT 5\nVOLT\x01 6\nVOLT 7\n") << 2 << "^$"
        << "line 2: not sent: the control character" << QByteArray("VOLT 5\n");
    QTest::newRow("status") << none << QStringList{"status"} << no << 0
        << "^voltage: 0.00 V\ncurrent: 0.0 A\nmemory: 0\npower: standby\n"
           "lamps: INT CTL, STANDBY, REMOTE\nstatus word: 0048  alarm word: 0200\n$"
        << "^$" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("status of a KM") << QStringList{"--series", "km", "--volts", "60", "--amps", "2.5"}
        << QStringList{"--series", "km", "status"} << no << 0
        << "^voltage: 0.00 V\ncurrent: 0.000 A\npower: standby\n" << "^$" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("state") << none << QStringList{"state"} << no << 0
        << "^voltage setpoint: 0.00 V\n.*over-voltage trip: 16.50 V\n.*rated voltage: 15.00 V\n"
           "rated current: 100.0 A\npotentiometers: 128 128 128 128 128\nfirmware: 4.7\nhardware: 1.3\n$"
        << "^$" << QByteArray("<>SCL\n<>ALL\nSYST:VERS?\n<>POT\n");
    // Junk in every reply is no record: exit 1 with the reply, never the readers' defaults.
    QTest::newRow("state, junk replies") << QStringList{"--fault", "garbage"} << QStringList{"state"}
        << no << 1 << "^$" << "^zopctl: unexpected reply to <>SCL \"zz#!\\?\": .*\n$" << QByteArray("<>SCL\n");
    QTest::newRow("state, junk record") << QStringList{"--fault", "garbage:<>POT"}
        << QStringList{"state"} << no << 1 << "^$" << "unexpected reply to <>POT"
        << QByteArray("<>SCL\n<>ALL\nSYST:VERS?\n<>POT\n");
    QTest::newRow("registers, junk replies") << QStringList{"--fault", "garbage"}
        << QStringList{"registers"} << no << 1 << "^$"
        << "unexpected reply to STATus:OPERation:CONDition\\? \"zz#!\\?\""
        << QByteArray("STATus:OPERation:CONDition?\n");
    QTest::newRow("registers") << none << QStringList{"registers"} << no << 0
        << "^Operation condition: 72  hex 00 48  binary 0000 0000 0100 1000\n"
           "  set: 3 INT, 6 STBY\n.*Status byte: 0  hex 00  binary 0000 0000\n  set: none\n$"
        << "^$" << QByteArray("STATus:OPERation:CONDition?\nSTATus:QUEStionable:CONDition?\n"
                              "*ESE?\n*ESR?\n*SRE?\n*STB?\n");
    QTest::newRow("monitor") << none << QStringList{"monitor", "--count", "3", "--interval", "0"}
        << no << 0
        << "^(\\d{4}-\\d\\d-\\d\\dT[\\d:.]+  0.00 V  0.0 A  standby  INT CTL, STANDBY, REMOTE\n){3}$"
        << "^$" << QByteArray("<>SCL\n<>STA\n<>STA\n<>STA\n");
    QTest::newRow("monitor csv on stdout") << none << QStringList{"monitor", "--count", "1", "--csv", "-"}
        << no << 0
        << "^time,voltage,current,voltage_set,current_set,output,status_word,alarm_word,lamps,"
           "step,event\n[-\\dT:.]+[+-]\\d\\d:\\d\\d,0.00,0.0,0,0,off,48,200,INT CTL;STANDBY;REMOTE,,\n$"
        << "^$" << QByteArray("<>SCL\n<>STA\n<>ALL\n");
    QTest::newRow("monitor keep-alive") << none
        << QStringList{"FAST", "monitor", "--count", "2", "--interval", "3"} << no << 0
        << "^(.*standby.*\n){2}$" << "^$" << QByteArray("<>SCL\n<>STA\n\n<>STA\n");
    // A sequence file is checked whole before anything but "<>SCL" is sent.
    QTest::newRow("run --check") << none
        << QStringList{"run", "--check", "s.seq=set 1V 1A # c\nramp volt 1V 3V 1s 1V"} << no << 0
        << "^\\S+s.seq: 4 steps, 1 s; within the rated 15 V and 100 A\n$" << "^$" << QByteArray("<>SCL\n");
    QTest::newRow("run, a fault in the file") << none << QStringList{"run", "s.seq=volt 1V\nvolt 2A"}
        << no << 6 << "^$" << "^zopctl: \\S+s.seq: line 2: \"2A\" is not a voltage \\(V, mV\\)\n$" << no;
    QTest::newRow("run, above the rating") << none << QStringList{"run", "s.seq=volt 1V\nvolt 16V"}
        << no << 6 << "^$" << "line 2: 16 V is above the rated 15 V\n$" << QByteArray("<>SCL\n");
    QTest::newRow("run, piped: a line a step") << none
        << QStringList{"run", "s.seq=volt 1V 100ms\noutput on\nwait 100ms"} << no << 0
        << "^\\S+ sequence start: 3 steps, 0.2 s\nstep 1/3 \\(line 1\\): 1 V, for 0.1 s; 0.2 s left\n"
           "step 2/3 \\(line 2\\): output on; 0.1 s left\nstep 3/3 \\(line 3\\): wait, for 0.1 s; "
           "0.1 s left\n\\S+ sequence done: all 3 steps done\n$"
        << "^$" << QByteArray("<>SCL\nVOLT 1\n<>STA\nOUTP:START\n<>STA\n<>STA\n");
    QTest::newRow("instrument error") << none << QStringList{"--check-errors", "send", "VOLT 99", "FOO"}
        << no << 5 << "^$" << "instrument error: -222,.*\n.*instrument error: -113,"
        << QByteArray("VOLT 99\nFOO\nSYST:ERR?\nSYST:ERR?\nSYST:ERR?\n");
    QTest::newRow("no instrument error") << none << QStringList{"--check-errors", "query", "*IDN?"}
        << no << 0 << "^Zoptrel" << "^$" << QByteArray("*IDN?\nSYST:ERR?\n");
    QTest::newRow("time-out in decimals") << QStringList{"--fault", "silent:<>STA"}
        << QStringList{"--timeout", "1.5", "status"} << no << 4 << "^$"
        << "no reply in time to \"<>STA\"" << QByteArray("<>SCL\n<>STA\n");
    // The instrument does not answer a query it does not know; its error queue says why.
    QTest::newRow("unanswered query, --check-errors") << none
        << QStringList{"--check-errors", "--timeout", "1", "query", "FOO?"} << no << 5 << "^$"
        << "^zopctl: tcp://[^\n]*: no reply in time to \"FOO\\?\"\nzopctl: instrument error: -113,[^\n]*\n$"
        << QByteArray("FOO?\nSYST:ERR?\nSYST:ERR?\n");
    // One line on standard error, no warning of Qt's beside it.
    QTest::newRow("connection dropped") << QStringList{"--fault", "drop"}
        << QStringList{"query", "*IDN?"} << no << 3 << "^$" << "^zopctl: [^\n]+\n$" << no;
    QTest::newRow("link lost") << QStringList{"--fault", "close:*IDN"}
        << QStringList{"query", "*IDN?", "SYST:VERS?"} << no << 3 << "^$"
        << "cannot read from tcp://.*closed" << QByteArray("*IDN?\n");
    QTest::newRow("refused") << none << QStringList{"--link", "tcp://127.0.0.1:1", "status"}
        << no << 3 << "^$" << "cannot connect to tcp://127.0.0.1:1: Connection refused" << no;
    // Usage errors (exit 2), nothing sent.
    for (const auto &[arguments, err] : std::initializer_list<std::pair<QStringList, QString>>{
             {{"frobnicate"}, "unknown command"},
             {{"--json", "send", "VOLT 1"}, "takes no --json"},
             {{"--count", "2", "status"}, "status takes no --count"},
             {{"monitor", "--count", "0"}, "--count must be 1 or more"},
             {{"monitor", "--interval", "soon"}, "--interval needs"},
             {{"--link", "rs485:///dev/ttyS0", "status"}, "address=N"},
             {{"modtable", "list", "x"}, "save FILE"},
             {{"flash", "fw.hex"}, "Can only program firmware via RS-232."},
             {{"--link", "TCPIP::127.0.0.1::INSTR", "status"}, "give its raw TCP port with --port N"},
             {{"INI=none", "status"}, "no --link given"}})
        QTest::addRow("usage: %s", qPrintable(err)) << none << arguments << no << 2 << "^$" << err << no;
    QTest::newRow("simulated") << none
        << QStringList{"--link", "sim://", "--json", "query", "*IDN?"} << no << 0
        << "\"reply\": \"9.999\"" << "^$" << no;
    // VISA resources as pasted from VISA tools.
    QTest::newRow("VISA socket") << none
        << QStringList{"--link", "TCPIP0::127.0.0.1::<port>::SOCKET", "query", "*IDN?"}
        << no << 0 << "^Zoptrel,ZOP-SIM TLB" << "^$" << QByteArray("*IDN?\n");
    QTest::newRow("VISA INSTR, raw port from --port") << none
        << QStringList{"--link", "TCPIP::127.0.0.1::INSTR", "--port", "<port>", "send", "VOLT 3"}
        << no << 0 << "^$" << "^$" << QByteArray("VOLT 3\n");
    QTest::newRow("ports") << none << QStringList{"NOLINK", "ports"} << no << 0
        << "^(Port  Device +By id\n(COM\\d+ +/dev/\\S+.*\n)+)?$"
        << "^(zopctl: no serial port was found on this machine\n)?$" << no;
    QTest::newRow("ini: TCP/IP, KM") << none
        << QStringList{"INI=Communication/Comm=TCP/IP;Communication/Port=PORT;System/Type=KM Series", "status"}
        << no << 0 << "^(?![\\s\\S]*memory:)voltage: " /* a KM shows none */ << "^$" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("ini: refused") << none
        << QStringList{"INI=Communication/Comm=TCP/IP;Communication/Port=1", "status"} << no << 3
        << "^$" << "Connection refused" << no;
    // The shipped file's link is the Simulated one: no "9.999" passes for a reading.
    QTest::newRow("ini: as shipped") << none << QStringList{"INI=", "query", "MEAS:VOLT?"} << no << 3
        << "^$" << "^zopctl: \\S+/ZOP_Panel.ini configures the Simulated link, not an instrument: "
                   "give the instrument's link with --link URL .*--link sim://" << no;
    QTest::newRow("ini: no known link") << none
        << QStringList{"INI=Communication/Comm=Carrier Pigeon", "status"} << no << 3 << "^$"
        << "ZOP_Panel.ini configures no known link \\(Comm\\), not an instrument: .*--link" << no;
    // A file's selection and rows to the instrument (values trimmed, a non-numeric row left out,
    // every row read back; rows not written read as zeros); a file with another control input is
    // refused before anything is sent.
    QTest::newRow("modtable load") << QStringList{"--mod-blank", "1-50"} << QStringList{"modtable", "load",
        "in.modTable=[config]\ntable=1\nType=1\n[Table]\nkey1Mod=0.5\nkey1Out=1.2\nkey2Mod= 1.25 \n"
        "key2Out=-3\nkey3Mod=abc\nkey3Out=1\n"} << no << 0 << "^Control Input: Voltage\nModulation Type: "
        "Addition\nRow  VMOD  Vos\n  1  0.50  1.20\n  2  1.25  -3.00\n  3  0.00  0.00\n" << "^$"
        << "MODulation:TYPE:SELect 1, 1\nMOD:TYPE:SEL?\n"
           + TableRead({{1, "MOD:TABL 1(0.5,1.2)\n"}, {2, "MOD:TABL 2(1.25,-3)\n"}});
    QTest::newRow("modtable load, another control input") << none
        << QStringList{"modtable", "load", "in.modTable=[Config]\r\nTable=3\r\n"} << no << 6 << "^$"
        << "Invalid Control Input in Saved File \\S+/in.modTable" << no;
    // Status over a pseudo-terminal, and gpib://0/ADDRESS through the stand-in GPIB library on
    // zop-sim's bus (no instrument at the address: a time-out).
    const QString lamps = "lamps: INT CTL, STANDBY, REMOTE\n";
    const QByteArray status = "<>SCL\n<>STA\n";
    QTest::newRow("RS-232") << QStringList{"PTY"} << QStringList{"--link", "serial://<link>", "status"}
        << no << 0 << lamps << "^$" << status;
    QTest::newRow("RS-485 framed") << QStringList{"PTY", "--rs485-address", "17"}
        << QStringList{"--link", "rs485+framed://<link>?address=17", "status"} << no << 0 << lamps
        << "^$" << QByteArray("&11800\r{11<>SCL\n\r{11<>STA\n\r");
#ifdef ZOP_GPIB_STANDIN
    const QStringList gpib{"GPIB", "--gpib-address", "5"};
    QTest::newRow("GPIB") << gpib << QStringList{"--link", "gpib://0/5", "status"} << no << 0
        << lamps << "^$" << status;
    QTest::newRow("GPIB, another address") << gpib << QStringList{"--link", "gpib://0/7", "status"}
        << no << 4 << "^$" << "no reply in time to \"<>SCL\"" << no;
#endif
    QTest::newRow("json: query") << none << QStringList{"--json", "query", "*IDN?", "*STB?"} << no << 0
        << "json: #=2; 0.command=\"*IDN?\"; 0.reply=\"Zoptrel,ZOP-SIM TLB,0,4.70\"; 1.reply=\"0\""
        << "^$" << QByteArray("*IDN?\n*STB?\n");
    QTest::newRow("json: status") << none << QStringList{"--json", "status"} << no << 0
        << "json: voltage=0; currentText=\"0.0\"; power=\"standby\"; statusWord=72; alarmWord=512; "
           "memory=0; series=\"TLB\"; lamps=[\"INT CTL\",\"STANDBY\",\"REMOTE\"]" << "^$" << status;
    QTest::newRow("json: state") << none << QStringList{"--json", "state"} << no << 0
        << "json: settings.overVoltageTrip=16.5; settings.overCurrentTrip=110; ratings.voltage=15; "
           "ratings.current=100; formats.voltage=\"0.00\"; pots=[128,128,128,128,128]; "
           "firmwareVersion=\"4.7\"; hardwareVersion=\"1.3\"" << "^$" << QByteArray("<>SCL\n<>ALL\nSYST:VERS?\n<>POT\n");
    QTest::newRow("json: registers") << none << QStringList{"--json", "registers"} << no << 0
        << "json: #=6; 0.register=\"Operation condition\"; 0.value=72; 0.hex=\"00 48\"; 0.bits.#=16; "
           "0.bits.6.name=\"STBY\"; 0.bits.6.set=true; 0.bits.7.set=false; 5.query=\"*STB?\"; "
           "5.bits.#=8; 5.bits.4.name=\"MAV\"" << "^$" << QByteArray("STATus:OPERation:CONDition?\n"
           "STATus:QUEStionable:CONDition?\n*ESE?\n*ESR?\n*SRE?\n*STB?\n");
    // JSON Lines: an object a line (its keys in order).
    QTest::newRow("json: monitor") << none << QStringList{"--json", "monitor", "--count", "2", "--interval", "0"}
        << no << 0 << "^(\\{[^\n]*\"lamps\":\\[\"INT CTL\",\"STANDBY\",\"REMOTE\"\\][^\n]*\"power\":\"standby\""
                      "[^\n]*\"voltage\":0[,}][^\n]*\n){2}$" << "^$" << QByteArray("<>SCL\n<>STA\n<>STA\n");
    // Files are checked before use: a FIFO is refused at once (it never blocks zopctl) before
    // anything goes to the instrument, and a write that does not go in whole ends the command
    // with exit 6 instead of leaving an empty file behind.
    QTest::newRow("monitor --csv, full disk") << none << QStringList{"FULL", "monitor", "--count", "1", "--csv",
        "<dir>/run.csv"} << no << 6 << "^$" << "^zopctl: cannot write .*/run.csv: File too large\n$" << no;
    QTest::newRow("output to a file, full disk") << none << QStringList{"FULL", "query", "*IDN?"} << no << 6
        << "^$" << "^zopctl: cannot write standard output: File too large\n$" << QByteArray("*IDN?\n");
    QTest::newRow("monitor --csv FIFO") << none << QStringList{"monitor", "--count", "1", "--csv", "<dir>/fifo"}
        << no << 2 << "^$" << "cannot write .*/fifo: It is not a regular file" << no;
    QTest::newRow("modtable save to a FIFO") << none << QStringList{"modtable", "save", "<dir>/fifo"} << no
        << 6 << "^$" << "not a regular file" << no;
    QTest::newRow("modtable load from a FIFO") << none << QStringList{"modtable", "load", "<dir>/fifo"} << no
        << 6 << "^$" << "cannot read .*/fifo: It is not a regular file" << no;
}

void TestZopctl::commands()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QByteArray, sent);

    const auto sim = StartSim(simArguments);
    QVERIFY(sim->port() != 0 || !sim->linkPath().isEmpty());
    QTemporaryDir dir;
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    for (QString &argument : arguments) {
        const auto file = QRegularExpression("^(\\w+\\.\\w+)=(.*)$", QRegularExpression::DotMatchesEverythingOption)
                              .match(argument);
        if (file.hasMatch()) {
            argument = dir.filePath(file.captured(1));
            QVERIFY(WriteFile(argument, file.captured(2).toUtf8()));
        }
    }
    if (arguments.first().startsWith(QLatin1String("INI="))) {
        const QString keys = arguments.takeFirst().mid(4);
        QList<ConfigKey> config;
        const bool noFile = keys == QLatin1String("none");
        for (QString key : noFile ? QStringList() : keys.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            key.replace(QLatin1String("PORT"), QString::number(sim->port()));
            const QRegularExpressionMatch m = QRegularExpression("^(\\w+)/(\\w+)=(.*)$").match(key);
            QVERIFY(m.hasMatch());
            config.append({m.captured(1), m.captured(2), m.captured(3)});
        }
        QVERIFY(noFile || WritePanelConfig(dir.path(), config));
        arguments = QStringList{"NOLINK", "--dir", dir.path()} + arguments;
    }
    const Run r = Zopctl(ForSim(arguments, *sim, dir.path()), input, dir.path());
    QVERIFY2(r.code == code,
             qPrintable(QStringLiteral("exit %1, stderr: %2").arg(r.code).arg(r.err)));
    const auto dotAll = QRegularExpression::DotMatchesEverythingOption;
    if (out.startsWith(QLatin1String("json: "))) {
        for (const QString &check : out.mid(6).split(QStringLiteral("; "))) {
            const QString path = check.section(QLatin1Char('='), 0, 0);
            QCOMPARE(path + QLatin1Char('=') + JsonAt(r.out, path), check);
        }
    } else {
        QVERIFY2(QRegularExpression(out, dotAll).match(r.out).hasMatch(), qPrintable(r.out));
    }
    QVERIFY2(QRegularExpression(err, dotAll).match(r.err).hasMatch(), qPrintable(r.err));
    if (sent.isEmpty()) // nothing may come, however late
        QTest::qWait(100);
    QTRY_COMPARE_WITH_TIMEOUT(sim->received(), sent, 3000);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("debug.txt"))));
}

// SIGTERM ends a monitor without a count at its next step (exit 0); even SIGKILL leaves a CSV
// whose every row but possibly the last is whole, and a second run appends to it.
void TestZopctl::monitorCsvSurvivesItsEnd_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestZopctl::monitorCsvSurvivesItsEnd()
{
    QFETCH(int, signal);
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    for (int run = 0; run < 2; ++run) {
        QProcess p;
        p.start(BinaryPath(QStringLiteral("zopctl")),
                {"--link", TcpLink(sim), "monitor", "--interval", "0.02", "--csv", csv});
        QVERIFY(p.waitForReadyRead(5000)); // the first reading is out
        QTest::qWait(300);
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(5000));
        if (signal == SIGTERM)
            QCOMPARE(p.exitCode(), 0);
    }
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("time,voltage,current,voltage_set,current_set,output,"
                                       "status_word,alarm_word,lamps,step,event\r"));
    QVERIFY(lines.size() >= 5); // the header once, readings of both runs
    if (signal == SIGTERM)
        QVERIFY(lines.last().isEmpty());
    lines.removeLast(); // the empty text after the last line end, or a row cut short
    for (const QByteArray &line : lines.mid(1))
        QVERIFY2(QRegularExpression("^[-\\dT:.+]+,0.00,0.0,0,0,off,48,200,INT CTL;STANDBY;REMOTE,,\r$")
                     .match(QString::fromLatin1(line)).hasMatch(),
                 line.constData());
}

// A protection trip mid-ramp stops the run at once: the output is turned off, the trace shows
// the ramp's steps, the trip, then "OUTP:STOP" and nothing after; the log holds the readings
// and the events.
void TestZopctl::runStopsAtATrip()
{
    SimProcess sim({"--fault", "trip=OVT@450ms", "--settle", "50"});
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    const QString sequence = dir.filePath(QStringLiteral("ramp.seq"));
    const QString log = dir.filePath(QStringLiteral("ramp.csv"));
    QVERIFY(WriteFile(sequence, "set 0V 2A\noutput on\nramp volt 1V 10V 2s 1V\n"));
    const Run r = Zopctl({"--link", TcpLink(sim), "run", sequence, "--log", log});
    QVERIFY2(r.code == 7, qPrintable(r.err));
    QVERIFY2(QRegularExpression("^zopctl: run stopped at step \\d+ \\(line 3\\): protection trip "
                                "OVT\n$").match(r.err).hasMatch(), qPrintable(r.err));
    const QString notes = sim.changes().join(QLatin1Char('|'));
    QVERIFY2(QRegularExpression("^volt 0.000\\|curr 2.000\\|output on\\|volt 1.000\\|volt 2.000\\|"
                                "(volt [34].000\\|){0,2}trip OVT(\\|volt [3-5].000)?$")
                 .match(notes).hasMatch(), qPrintable(notes));
    QTRY_VERIFY_WITH_TIMEOUT(sim.receivedLines().endsWith(QStringLiteral("OUTP:STOP")), 3000);
    QCOMPARE(sim.receivedLines().count(QStringLiteral("OUTP:STOP")), 1);
    const QStringList rows = QString::fromUtf8(zop::test::FileBytes(log)).split(QStringLiteral("\r\n"));
    QVERIFY2(rows.size() > 6 && rows.at(1).endsWith(QStringLiteral(",\"sequence start: 12 steps, 2 s\""))
                 && rows.at(rows.size() - 3).endsWith(QStringLiteral("trip: OVT"))
                 && rows.at(rows.size() - 2).contains(QStringLiteral("sequence abort: protection trip OVT")),
             qPrintable(rows.mid(rows.size() - 4).join(QLatin1Char('\n'))));
}

// The first SIGINT or SIGTERM ends any command within a second, whatever it waits for (a
// slow or silent instrument, on TCP/IP or a serial line): exit 128 + the signal.
void TestZopctl::signalEndsEveryCommand_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QStringList>("arguments"); // as commands_data's
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("signal");

    const QByteArray forty = QByteArray("*IDN?\n").repeated(40);
    const QStringList slow{"--fault", "late=3000"};
    QTest::newRow("query - , slow instrument, SIGINT") << slow << QStringList{"query", "-"} << forty << SIGINT;
    QTest::newRow("modtable save, slow instrument, SIGTERM") << slow
        << QStringList{"modtable", "save", "<dir>/t.modTable"} << QByteArray() << SIGTERM;
    QTest::newRow("status on a serial line, silent instrument, SIGTERM") << QStringList{"PTY", "--fault", "silent"}
        << QStringList{"--link", "serial://<link>", "status"} << QByteArray() << SIGTERM;
#ifdef ZOP_GPIB_STANDIN
    QTest::newRow("query - over GPIB, silent instrument, SIGINT")
        << QStringList{"GPIB", "--gpib-address", "5", "--fault", "silent"}
        << QStringList{"--link", "gpib://0/5", "query", "-"} << forty << SIGINT;
#endif
    // A run stops at once and turns the output off ("OUTP:STOP" is the last line sent).
    QTest::newRow("run, a step that lasts, SIGINT") << QStringList()
        << QStringList{"run", "<dir>/s.seq"} << QByteArray("output on\nwait 1min\n") << SIGINT;
}

void TestZopctl::signalEndsEveryCommand()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, signal);
    const auto sim = StartSim(simArguments);
    QVERIFY(sim->port() != 0 || !sim->linkPath().isEmpty());
    QTemporaryDir dir;
    arguments = ForSim(arguments, *sim, dir.path());
    const bool run = arguments.contains(QStringLiteral("run"));
    if (run) { // the input is the sequence file
        QVERIFY(WriteFile(arguments.last(), input));
        input.clear();
    }
    QProcess p;
    StartZopctl(p, QStringList{"--timeout", "10"} + arguments);
    QVERIFY(p.waitForStarted(5000));
    p.write(input);
    p.closeWriteChannel();
    // Waiting for its reply now, or with the output on.
    QTRY_VERIFY_WITH_TIMEOUT(sim->received().contains(run ? "OUTP:START\n<>STA\n" : ""), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!sim->received().isEmpty(), 5000);
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(5000));
    QVERIFY2(sinceSignal.elapsed() < 1000, qPrintable(QString::number(sinceSignal.elapsed())));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 128 + signal);
    QVERIFY(p.readAllStandardError().startsWith("zopctl: interrupted by "));
    if (run)
        QTRY_VERIFY_WITH_TIMEOUT(sim->received().endsWith("OUTP:STOP\n"), 3000);
}

// A reply's control characters reach a terminal escaped (they could retitle or clear it), a
// pipe byte for byte unless --text asks for the escapes.
void TestZopctl::replyControls_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("out");
    const QByteArray reply = "Zoptrel,ZOP-SIM TLB,0,4.70\n";
    const QByteArray escaped = "\\x00\xc3\xa9\\x80\xc3\xbf\\x00" + reply; // é and ÿ as UTF-8
    QTest::newRow("piped: the bytes") << false << QStringList() << QByteArray("\0\xe9\x80\xff\0", 5) + reply;
    QTest::newRow("piped, --text") << false << QStringList{"--text"} << escaped;
    QTest::newRow("terminal") << true << QStringList() << escaped;
}

void TestZopctl::replyControls()
{
    QFETCH(bool, terminal);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, out);
    SimProcess sim({"--fault", "binary:*IDN"}); // NUL and C1 bytes before the reply
    QVERIFY(sim.port() != 0);
    const QStringList arguments
        = QStringList{"--link", TcpLink(sim)} + options + QStringList{"query", "*IDN?"};
    QProcess p;
    if (terminal) { // on a pseudo-terminal, through script(1)
        QStringList quoted{BinaryPath(QStringLiteral("zopctl"))};
        for (const QString &a : arguments)
            quoted << "'" + a + "'";
        p.start("script", {"-qec", quoted.join(' '), "/dev/null"});
    } else {
        p.start(BinaryPath(QStringLiteral("zopctl")), arguments);
    }
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QByteArray shown = p.readAllStandardOutput();
    if (terminal)
        shown.replace("\r\n", "\n");
    QCOMPARE(shown, out);
}

// `send` closes the link only once every command has gone out: a slow reader that takes them
// all gets every byte (exit 0); one that takes none is reported (exit 4), not ignored.
void TestZopctl::sendDeliversEveryByte_data()
{
    QTest::addColumn<bool>("reads");
    QTest::addColumn<int>("code");
    QTest::newRow("reader takes everything") << true << 0;
    QTest::newRow("reader takes nothing") << false << 4;
}

void TestZopctl::sendDeliversEveryByte()
{
    QFETCH(bool, reads);
    QFETCH(int, code);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    // More than the system's buffers hold for a reader that takes nothing.
    QByteArray input;
    for (int i = 0; i < 300000; ++i)
        input += "VOLT " + QByteArray::number(i) + ".12345678901234567890123456789012345678\n";
    QProcess p;
    p.start(BinaryPath(QStringLiteral("zopctl")),
            {"--link", QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()), "--timeout",
             "1", "send", "-"});
    QVERIFY(p.waitForStarted(5000));
    p.write(input);
    p.closeWriteChannel();
    QTcpSocket *peer = nullptr;
    qint64 received = 0;
    QElapsedTimer since;
    since.start();
    while (!p.waitForFinished(5) && since.elapsed() < 30000) {
        if (!peer && server.waitForNewConnection(5))
            peer = server.nextPendingConnection();
        // The reader starts late: zopctl has written everything by then, most of it still
        // in its socket's buffers.
        if (peer && reads && since.elapsed() > 500 && peer->waitForReadyRead(5))
            received += peer->readAll().size();
    }
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == code, p.readAllStandardError().constData());
    if (!reads)
        return;
    QVERIFY(peer);
    while (peer->state() == QAbstractSocket::ConnectedState && peer->waitForReadyRead(1000))
        received += peer->readAll().size();
    received += peer->readAll().size();
    QCOMPARE(received, input.size());
}

// The instrument's table into a file in the panel's format, and as JSON; nothing to save while
// the instrument has no table selected (no file is made).
void TestZopctl::modTable()
{
    SimProcess sim({"--mod-blank", "1-50"}); // rows not written read as zeros
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    const QString link = TcpLink(sim);
    QCOMPARE(Zopctl({"--link", link, "send", "MOD:TYPE:SEL 1,1", "MOD:TABL 1(0.5,1.2)", "MOD:TABL 2(1.25,-3)"}).code, 0);
    const QString out = dir.filePath(QStringLiteral("out.modTable"));
    Run r = Zopctl({"--link", link, "--json", "modtable", "save", out});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    for (const auto &[path, value] : {std::pair{"controlInputName", "\"Voltage\""}, {"type", "1"},
             {"outputHeader", "\"Vos\""}, {"rows.#", "50"}, {"rows.1.vmod", "\"1.25\""},
             {"rows.1.out", "\"-3.00\""}, {"rows.49.row", "50"}})
        QCOMPARE(JsonAt(r.out, QString::fromLatin1(path)), QString::fromLatin1(value));
    QByteArray expected = "[Config]\r\nTable=1\r\nType=1\r\n[Table]\r\nkey1Mod=0.50\r\n"
                          "key1Out=1.20\r\nkey2Mod=1.25\r\nkey2Out=-3.00\r\n";
    for (int row = 3; row <= 50; ++row)
        expected += "key" + QByteArray::number(row) + "Mod=0.00\r\nkey" + QByteArray::number(row)
                  + "Out=0.00\r\n";
    QCOMPARE(zop::test::FileBytes(out), expected);
    QTRY_COMPARE_WITH_TIMEOUT(sim.received(), "MOD:TYPE:SEL 1,1\nMOD:TABL 1(0.5,1.2)\nMOD:TABL 2(1.25,-3)\n"
                                              "MOD:TYPE:SEL?\n" + TableRead(), 3000);

    QCOMPARE(Zopctl({"--link", link, "send", "MOD:TYPE:SEL 0,0"}).code, 0);
    const QString none = dir.filePath(QStringLiteral("none.modTable"));
    r = Zopctl({"--link", link, "modtable", "save", none});
    QCOMPARE(r.code, 5);
    QVERIFY2(r.err.contains(QLatin1String("no control input selected")), qPrintable(r.err));
    QVERIFY(!QFile::exists(none));
}

// A firmware run through the boot loader of zop-sim on a pseudo-terminal: its statuses in order
// (the image the run writes, equal to objcopy's, is test_loaderagainstsim's); Ctrl-C stops a
// run before the restart, like "Stop"; a file with a record the run cannot program is refused
// before anything reaches the boot loader.
void TestZopctl::flash_data()
{
    QTest::addColumn<bool>("interrupt");
    QTest::addColumn<bool>("startAddress"); // objcopy's start address record before the end
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("outPattern");
    QTest::addColumn<QString>("errPattern");
    // The statuses in order, each phase in tenths; the erase addresses shown as the panel does.
    QTest::newRow("whole run") << false << false << 0 << "^Initiating\nErasing\nErasing 0%\n"
        "(Erasing \\d+0%  [01] [0-9A-F]0 00\n){10}Loading\nLoading 0%\n(Loading \\d+0%  [01] [0-9A-F]{2} "
        "[0-9A-F]{2}\n){10}Restarting, waiting for the new firmware to answer\nFinished\n"
        "The instrument answers with firmware 4.8\n$" << "^$";
    QTest::newRow("Ctrl-C while loading") << true << false << 130 << "\nStopped\n$" << "stopped";
    // After 4608 data records and a page record: line 4610.
    QTest::newRow("start address record: refused") << false << true << 6 << "^Error\n$"
        << "^zopctl: \\S+/fw.hex: Line 4610: a start linear address record \\(type 05\\) cannot be "
           "programmed: leave it out";
}

void TestZopctl::flash()
{
    QFETCH(bool, interrupt);
    QFETCH(bool, startAddress);
    QFETCH(int, code);
    QFETCH(QString, outPattern);
    QFETCH(QString, errPattern);
    QTemporaryDir dir;
    const QString hex = dir.filePath(QStringLiteral("fw.hex"));
    const QString dump = dir.filePath(QStringLiteral("flash.bin"));
    QByteArray text = HexText(Pattern(0x12000));
    if (startAddress)
        text.replace(":00000001FF", ":0400000508000000EF\r\n:00000001FF");
    QVERIFY(WriteFile(hex, text));

    SimProcess sim({"--boot-loader", "--flash-dump", dump, "--boot-firmware", "4.80"}, SimLine::Pty);
    QVERIFY(!sim.linkPath().isEmpty());
    QProcess p;
    StartZopctl(p, {"FAST", "--link", "serial://" + sim.linkPath(), "flash", hex});
    QVERIFY(p.waitForStarted(5000));
    QByteArray out;
    if (interrupt) {
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("Loading 10%"), 20000);
        ::kill(pid_t(p.processId()), SIGINT);
    }
    QVERIFY(p.waitForFinished(60000));
    out += p.readAllStandardOutput();
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == code, qPrintable(err));
    QVERIFY2(QRegularExpression(outPattern).match(QString::fromLatin1(out)).hasMatch(), out.constData());
    QVERIFY2(QRegularExpression(errPattern).match(err).hasMatch(), qPrintable(err));
    QTest::qWait(200);
    const QByteArray received = sim.received();
    if (code != 0) { // no restart, no image; a refused file: nothing reached the boot loader
        QVERIFY(!QFile::exists(dump) && !sim.notes().contains(QStringLiteral("boot: restart")));
        QVERIFY(!startAddress || (received.isEmpty() && sim.notes().filter("boot:").isEmpty()));
        return;
    }
    QCOMPARE(zop::test::FileBytes(dump).size(), qsizetype(zopsim::BootLoader::FlashSize)); // its bytes: test_loaderagainstsim
    // After the restart: the new firmware asked twice for its answer, then the state read.
    const QByteArray afterRestart = received.mid(received.indexOf("VOLT?\n"));
    QVERIFY2(QRegularExpression("^VOLT\\?\n(VOLT\\?\n)+<>ALL\nSYST:VERS\\?\n$")
                 .match(QString::fromLatin1(afterRestart)).hasMatch(), afterRestart.constData());
}

// The network search against the emulator's responder on a loopback address: as a table and
// as JSON; no answer is a time-out.
void TestZopctl::discover()
{
    SimProcess sim({"--discovery", "127.0.0.12", "--discovery-name", "ZOP-CLI", "--discovery-mac",
                    "00:1E:C0:00:00:0C"});
    QVERIFY(sim.port() != 0);
    const QStringList listen{"FAST", "discover", "--bind", "127.0.0.13", "--count", "1"};
    Run r = Zopctl(listen + QStringList{"--target", "127.0.0.12"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("Name     IP Address  Port   MAC Address\n"
                                   "ZOP-CLI  127.0.0.12  %1  00:1E:C0:00:00:0C\n")
                        .arg(sim.port()));
    r = Zopctl(listen + QStringList{"--target", "127.0.0.12", "--json"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(JsonAt(r.out, ""), QStringLiteral("[{\"address\":\"127.0.0.12\",\"mac\":"
                 "\"00:1E:C0:00:00:0C\",\"name\":\"ZOP-CLI\",\"port\":\"%1\"}]").arg(sim.port()));
    QTRY_COMPARE_WITH_TIMEOUT(sim.notes().filter("UDP from 127.0.0.13").size(), 2, 3000);

    r = Zopctl(listen + QStringList{"--target", "127.0.0.14", "--timeout", "1"});
    QCOMPARE(r.code, 4);
    QVERIFY2(r.err.contains(QLatin1String("no instrument answered at 127.0.0.14 within 1 s")),
             qPrintable(r.err));
    QCOMPARE(r.out, QString()); // no table without a row
}

// zopctl shell on a pseudo-terminal, driven key by key (python3's pty module): Tab completes,
// Ctrl-C abandons the line (nothing of it is sent), Up recalls, Ctrl-D ends; the history is in
// the user's folder and the next run finds it.
void TestZopctl::shellOnTerminal()
{
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    QTemporaryDir home;
    // Each step: the keys, then the text to wait for (the prompt, or the end).
    const QString driver = QStringLiteral(R"(
import os, pty, select, sys
steps = [s.encode().decode('unicode_escape').encode('latin-1') for s in sys.argv[1].split('|')]
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[2], sys.argv[2:])
out = b''
def upto(prompts): # reads until that many prompts were shown, or to the end
    global out
    try:
        while out.count(b'zop> ') < prompts and select.select([fd], [], [], 20)[0]:
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            out += chunk
    except OSError:
        pass
upto(1)
for n, keys in enumerate(steps):
    os.write(fd, keys)
    upto(n + 2)
upto(1000)
sys.stdout.write(out.decode('latin-1'))
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
)");
    const auto run = [&](const QString &keys) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        p.setProcessEnvironment(env);
        p.start("python3", {"-c", driver, keys, BinaryPath("zopctl"), "--link", TcpLink(sim),
                            "shell"});
        p.waitForFinished(60000);
        return qMakePair(p.exitCode(), QString::fromLatin1(p.readAllStandardOutput()));
    };
    const auto [code, shown] = run("*ID\\t?\\r|MEAS:VO\\x03|\\x1b[A\\r|\\x04");
    QCOMPARE(code, 0);
    QCOMPARE(shown.count("Zoptrel,ZOP-SIM TLB,0,4.70"), 2);
    QCOMPARE(sim.receivedLines(), QStringList({"*IDN?", "*IDN?"}));
    QCOMPARE(zop::test::FileBytes(home.filePath(".zopctl_history")), QByteArray("*IDN?\n"));
    // The next run: Up brings the last run's line back.
    QCOMPARE(run("\\x1b[A\\r|\\x04").first, 0);
    QCOMPARE(sim.receivedLines(), QStringList({"*IDN?", "*IDN?", "*IDN?"}));
}
QTEST_GUILESS_MAIN(TestZopctl)
#include "test_zopctl.moc"
