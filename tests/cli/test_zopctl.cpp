// zopctl as a process against zop-sim (TCP on loopback and a pseudo-terminal): what it prints,
// its JSON, its exit status, and what the emulator's trace shows it sent.

#include "cli/linkurl.h"
#include "link/linkkind.h"
#include "simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run Zopctl(const QStringList &arguments, const QByteArray &input = {}, const QString &folder = {})
{
    QProcess p;
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(BinaryPath(QStringLiteral("zopctl")), arguments);
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

// The value at a path of keys and array indexes ("0.bits.6.name").
QJsonValue Walk(QJsonValue value, const QString &path)
{
    for (const QString &step : path.split(QLatin1Char('.'), Qt::SkipEmptyParts))
        value = value.isArray() ? value.toArray().at(step.toInt()) : value.toObject().value(step);
    return value;
}

// A value as compact JSON text; a path ending in "#" gives the length of the array there.
QString JsonAt(const QJsonValue &root, QString path)
{
    if (path.endsWith(QLatin1Char('#'))) {
        path.chop(1);
        return QString::number(Walk(root, path).toArray().size());
    }
    const QJsonValue value = Walk(root, path);
    if (value.isObject())
        return QStringLiteral("{...}");
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

QJsonValue ParseJson(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return QJsonValue(QStringLiteral("not JSON: ") + error.errorString());
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

// The arguments behind "--link URL", unless they start with "NOLINK" (the row gives its own).
QStringList WithLink(const QString &link, QStringList arguments)
{
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("NOLINK")) {
        arguments.removeFirst();
        return arguments;
    }
    return QStringList{QStringLiteral("--link"), link} + arguments;
}

} // namespace

class TestZopctl : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void json_data();
    void json();
    void serialLines_data();
    void serialLines();
    void configuredLinkAndFolder();
    void monitorEndsCleanlyOnSignal();
    void linkUrls_data();
    void linkUrls();
};

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
    QTest::newRow("query")
        << none << QStringList{"query", "*IDN?", "SYST:VERS?"} << QByteArray() << 0
        << "^Zoptrel,ZOP-SIM TLB,0,4.70\nZOP-SIM Firmware 4.70 Hardware Revision 1.30\n$"
        << "^$" << QByteArray("*IDN?\nSYST:VERS?\n");
    QTest::newRow("query from stdin")
        << none << QStringList{"query", "-"} << QByteArray("*IDN?\n\n# then\n*STB?\n") << 0
        << "^Zoptrel,ZOP-SIM TLB,0,4.70\n\\d+\n$"
        << "^$" << QByteArray("*IDN?\n*STB?\n");
    QTest::newRow("send several") << none << QStringList{"send", "VOLT 12", "OUTP:START"}
                                  << QByteArray() << 0 << "^$"
                                  << "^$" << QByteArray("VOLT 12\nOUTP:START\n");
    QTest::newRow("send from stdin")
        << none << QStringList{"send"} << QByteArray("CURR 5\r\nVOLT 3\n") << 0 << "^$"
        << "^$" << QByteArray("CURR 5\nVOLT 3\n");
    QTest::newRow("status")
        << none << QStringList{"status"} << QByteArray() << 0
        << "^voltage: 0.00 V\ncurrent: 0.0 A\nmemory: 0\npower: standby\n"
           "lamps: INT CTL, STANDBY, REMOTE\nstatus word: 0048  alarm word: 0200\n$"
        << "^$" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("status of a KM")
        << QStringList{"--series", "km", "--volts", "60", "--amps", "2.5"}
        << QStringList{"--series", "km", "status"} << QByteArray() << 0
        << "^voltage: 0.00 V\ncurrent: 0.000 A\npower: standby\n"
        << "^$" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("state") << none << QStringList{"state"} << QByteArray() << 0
                           << "^voltage setpoint: 0.00 V\n.*over-voltage trip: 16.50 V\n.*"
                              "rated voltage: 15.00 V\nrated current: 100.0 A\n"
                              "potentiometers: 128 128 128 128 128\nfirmware: 4.7\nhardware: 1.3\n$"
                           << "^$" << QByteArray("<>SCL\n<>ALL\nSYST:VERS?\n<>POT\n");
    QTest::newRow("registers")
        << none << QStringList{"registers"} << QByteArray() << 0
        << "^Operation condition: 72  hex 00 48  binary 0000 0000 0100 1000\n"
           "  set: 3 INT, 6 STBY\n.*Status byte: 0  hex 00  binary 0000 0000\n  set: none\n$"
        << "^$"
        << QByteArray("STATus:OPERation:CONDition?\nSTATus:QUEStionable:CONDition?\n"
                      "*ESE?\n*ESR?\n*SRE?\n*STB?\n");
    QTest::newRow("monitor") << none << QStringList{"monitor", "--count", "3", "--interval", "0"}
                             << QByteArray() << 0
                             << "^(\\d{4}-\\d\\d-\\d\\dT[\\d:.]+  0.00 V  0.0 A  standby  INT CTL, "
                                "STANDBY, REMOTE\n){3}$"
                             << "^$" << QByteArray("<>SCL\n<>STA\n<>STA\n<>STA\n");
    QTest::newRow("monitor csv on stdout")
        << none << QStringList{"monitor", "--count", "1", "--csv", "-"} << QByteArray() << 0
        << "^time,elapsed_s,voltage,current,power,status_word,alarm_word,lamps\n"
           "[^,]+,[\\d.]+,0.00,0.0,standby,0048,0200,INT CTL;STANDBY;REMOTE\n$"
        << "^$" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("instrument error")
        << none << QStringList{"--check-errors", "send", "VOLT 99", "FOO"} << QByteArray() << 5
        << "^$"
        << "instrument error: -222,.*\n.*instrument error: -113,"
        << QByteArray("VOLT 99\nFOO\nSYST:ERR?\nSYST:ERR?\nSYST:ERR?\n");
    QTest::newRow("no instrument error") << none << QStringList{"--check-errors", "query", "*IDN?"}
                                         << QByteArray() << 0 << "^Zoptrel"
                                         << "^$" << QByteArray("*IDN?\nSYST:ERR?\n");
    QTest::newRow("time-out") << QStringList{"--fault", "silent:<>STA"}
                              << QStringList{"--timeout", "1", "status"} << QByteArray() << 4
                              << "^$"
                              << "no reply in time to \"<>STA\"" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("link lost") << QStringList{"--fault", "close:*IDN"}
                               << QStringList{"query", "*IDN?", "SYST:VERS?"} << QByteArray() << 3
                               << "^$"
                               << "cannot read from tcp://.*closed" << QByteArray("*IDN?\n");
    QTest::newRow("refused") << none
                             << QStringList{"NOLINK", "--link", "tcp://127.0.0.1:1", "status"}
                             << QByteArray() << 3 << "^$"
                             << "cannot connect to tcp://127.0.0.1:1: Connection refused"
                             << QByteArray();
    QTest::newRow("unknown command")
        << none << QStringList{"frobnicate"} << QByteArray() << 2 << "^$"
        << "unknown command" << QByteArray();
    QTest::newRow("json on send") << none << QStringList{"--json", "send", "VOLT 1"} << QByteArray()
                                  << 2 << "^$"
                                  << "takes no --json" << QByteArray();
    QTest::newRow("monitor option elsewhere")
        << none << QStringList{"--count", "2", "status"} << QByteArray() << 2 << "^$"
        << "status takes no --count" << QByteArray();
    QTest::newRow("bad interval") << none << QStringList{"monitor", "--interval", "soon"}
                                  << QByteArray() << 2 << "^$"
                                  << "--interval needs" << QByteArray();
    QTest::newRow("bad link") << none
                              << QStringList{"NOLINK", "--link", "rs485:///dev/ttyS0", "status"}
                              << QByteArray() << 2 << "^$"
                              << "address=N" << QByteArray();
    QTest::newRow("simulated") << none << QStringList{"NOLINK", "--link", "sim://",
                                                      "--json", "query",  "*IDN?"}
                               << QByteArray() << 0 << "\"reply\": \"9.999\""
                               << "^$" << QByteArray();
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

    SimProcess sim(simArguments);
    QVERIFY(sim.port() != 0);
    const Run r
        = Zopctl(WithLink(QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port()), arguments), input);
    QVERIFY2(r.code == code,
             qPrintable(QStringLiteral("exit %1, stderr: %2").arg(r.code).arg(r.err)));
    const QRegularExpression::PatternOptions dotAll
        = QRegularExpression::DotMatchesEverythingOption;
    QVERIFY2(QRegularExpression(out, dotAll).match(r.out).hasMatch(), qPrintable(r.out));
    QVERIFY2(QRegularExpression(err, dotAll).match(r.err).hasMatch(), qPrintable(r.err));
    QTRY_COMPARE_WITH_TIMEOUT(sim.received(), sent, 3000);
}

void TestZopctl::json_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("checks"); // path=compact JSON value; "...#": a length

    QTest::newRow("query") << QStringList{"query", "*IDN?", "*STB?"}
                           << QStringList{"#=2", "0.command=\"*IDN?\"",
                                          "0.reply=\"Zoptrel,ZOP-SIM TLB,0,4.70\"",
                                          "1.reply=\"0\""};
    QTest::newRow("status") << QStringList{
        "status"} << QStringList{"voltage=0",         "currentText=\"0.0\"",
                                 "power=\"standby\"", "statusWord=72",
                                 "alarmWord=512",     "memory=0",
                                 "series=\"TLB\"",    "lamps=[\"INT CTL\",\"STANDBY\",\"REMOTE\"]"};
    QTest::newRow("state") << QStringList{"state"} << QStringList{"settings.overVoltageTrip=16.5",
                                                                  "settings.overCurrentTrip=110",
                                                                  "ratings.voltage=15",
                                                                  "ratings.current=100",
                                                                  "formats.voltage=\"0.00\"",
                                                                  "pots=[128,128,128,128,128]",
                                                                  "firmwareVersion=\"4.7\"",
                                                                  "hardwareVersion=\"1.3\""};
    QTest::newRow("registers") << QStringList{"registers"}
                               << QStringList{"#=6",
                                              "0.register=\"Operation condition\"",
                                              "0.value=72",
                                              "0.hex=\"00 48\"",
                                              "0.bits.#=16",
                                              "0.bits.6.name=\"STBY\"",
                                              "0.bits.6.set=true",
                                              "0.bits.7.set=false",
                                              "5.query=\"*STB?\"",
                                              "5.bits.#=8",
                                              "5.bits.4.name=\"MAV\""};
    QTest::newRow("monitor, one object a line")
        << QStringList{"monitor", "--count", "2", "--interval", "0"}
        << QStringList{"#lines=2", "power=\"standby\"",
                       "lamps=[\"INT CTL\",\"STANDBY\",\"REMOTE\"]", "voltage=0"};
}

void TestZopctl::json()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, checks);
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    const Run r = Zopctl(QStringList{QStringLiteral("--link"),
                                     QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port()),
                                     QStringLiteral("--json")}
                         + arguments);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    // Monitor writes JSON Lines: every line is checked.
    const bool lines = checks.first().startsWith(QLatin1String("#lines="));
    const QStringList documents
        = lines ? r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts) : QStringList{r.out};
    if (lines)
        QCOMPARE(documents.size(), checks.takeFirst().mid(7).toInt());
    for (const QString &document : documents) {
        const QJsonValue value = ParseJson(document);
        QVERIFY2(value.isArray() || value.isObject(), qPrintable(document));
        for (const QString &check : checks) {
            const qsizetype eq = check.indexOf(QLatin1Char('='));
            const QString actual = JsonAt(value, check.left(eq));
            QVERIFY2(actual == check.mid(eq + 1),
                     qPrintable(check + QStringLiteral(" but got ") + actual));
        }
    }
}

void TestZopctl::serialLines_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QString>("url"); // LINK stands for the pseudo-terminal
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("RS-232") << QStringList() << "serial://LINK" << QByteArray("<>SCL\n<>STA\n");
    QTest::newRow("RS-485 framed")
        << QStringList{"--rs485-address", "17"} << "rs485+framed://LINK?address=17"
        << QByteArray("&11800\r{11<>SCL\n\r{11<>STA\n\r");
}

void TestZopctl::serialLines()
{
    QFETCH(QStringList, simArguments);
    QFETCH(QString, url);
    QFETCH(QByteArray, sent);
    SimProcess sim(simArguments, SimLine::Pty);
    QVERIFY(!sim.linkPath().isEmpty());
    const Run r
        = Zopctl({QStringLiteral("--link"), url.replace(QLatin1String("LINK"), sim.linkPath()),
                  QStringLiteral("status")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains(QLatin1String("lamps: INT CTL, STANDBY, REMOTE\n")), qPrintable(r.out));
    QTRY_COMPARE_WITH_TIMEOUT(sim.received(), sent, 3000);
}

// Without --link: the link of ZOP_Panel.ini in --dir, never the Simulated fall-back.
void TestZopctl::configuredLinkAndFolder()
{
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    QVERIFY(WritePanelConfig(dir.path(),
                             {{"Communication", "Comm", "TCP/IP"},
                              {"Communication", "Port", QString::number(sim.port())},
                              {"System", "Type", "KM Series"}}));
    Run r = Zopctl({QStringLiteral("--dir"), dir.path(), QStringLiteral("status")}, {}, dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(!r.out.contains(QLatin1String("memory:")), qPrintable(r.out)); // a KM shows none
    QTRY_COMPARE_WITH_TIMEOUT(sim.received(), QByteArray("<>SCL\n<>STA\n"), 3000);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("debug.txt"))));

    QVERIFY(WritePanelConfig(
        dir.path(), {{"Communication", "Comm", "TCP/IP"}, {"Communication", "Port", "1"}}));
    r = Zopctl({QStringLiteral("--dir"), dir.path(), QStringLiteral("status")}, {}, dir.path());
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(QLatin1String("Connection refused")), qPrintable(r.err));

    QTemporaryDir empty;
    r = Zopctl({QStringLiteral("--dir"), empty.path(), QStringLiteral("status")});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(QLatin1String("no --link given")), qPrintable(r.err));
}

// Ctrl-C or SIGTERM ends a monitor without a count at its next step: exit 0, whole CSV lines.
void TestZopctl::monitorEndsCleanlyOnSignal()
{
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    QProcess p;
    p.start(BinaryPath(QStringLiteral("zopctl")),
            {QStringLiteral("--link"), QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port()),
             QStringLiteral("monitor"), QStringLiteral("--interval"), QStringLiteral("0.05"),
             QStringLiteral("--csv"), csv});
    QVERIFY(p.waitForReadyRead(5000)); // the first reading is out
    p.terminate();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() >= 3); // header, a reading, and the empty text after the last line end
    QVERIFY(lines.last().isEmpty());
    for (const QByteArray &line : lines.mid(1, lines.size() - 2))
        QCOMPARE(line.count(','), 7);
}

void TestZopctl::linkUrls_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("kind"); // -1: refused
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("tcp") << "tcp://10.1.2.3:5025" << int(LinkKind::TcpIp) << "10.1.2.3" << 5025
                         << "";
    QTest::newRow("tcp default port")
        << "tcp://psu.lab" << int(LinkKind::TcpIp) << "psu.lab" << 50505 << "";
    QTest::newRow("tcp no host") << "tcp://:5025" << -1 << "" << 0 << "";
    QTest::newRow("serial path") << "serial:///dev/ttyUSB0" << int(LinkKind::Rs232) << "" << 0
                                 << "/dev/ttyUSB0";
    QTest::newRow("serial COM") << "serial://com3" << int(LinkKind::Rs232) << "" << 3 << "";
    QTest::newRow("serial name") << "serial://ttyS1" << int(LinkKind::Rs232) << "" << 0
                                 << "/dev/ttyS1";
    QTest::newRow("rs485") << "rs485:///dev/ttyS0?address=17" << int(LinkKind::Rs485Selected)
                           << "17" << 0 << "/dev/ttyS0";
    QTest::newRow("rs485 framed") << "RS485+Framed://COM2?address=0" << int(LinkKind::Rs485Framed)
                                  << "0" << 2 << "";
    QTest::newRow("rs485 address too big") << "rs485://COM1?address=256" << -1 << "" << 0 << "";
    QTest::newRow("unknown setting") << "rs485://COM1?address=1&baud=9600" << -1 << "" << 0 << "";
    QTest::newRow("sim") << "sim://" << int(LinkKind::Simulated) << "" << 0 << "";
    QTest::newRow("gpib") << "gpib://0/5" << -1 << "" << 0 << "";
    QTest::newRow("no scheme") << "127.0.0.1:5025" << -1 << "" << 0 << "";
}

void TestZopctl::linkUrls()
{
    QFETCH(QString, url);
    QFETCH(int, kind);
    QString error;
    const auto link = cli::ParseLinkUrl(url, &error);
    QCOMPARE(link.has_value(), kind >= 0);
    if (!link) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(int(link->kind), kind);
    QTEST(link->address, "address");
    QTEST(int(link->port), "port");
    QTEST(link->device, "device");
}

QTEST_GUILESS_MAIN(TestZopctl)
#include "test_zopctl.moc"
