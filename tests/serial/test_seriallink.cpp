// The serial links through the communication layer, on pseudo-terminals the test owns: what
// each link kind writes, at which line speed and with which waits; replies in pieces and
// without their line feed; ports that do not exist, are busy, or go away while in use.

#include "app/configuration.h"
#include "link/commlayer.h"
#include "link/logsink.h"
#include "link/rs485.h"
#include "link/transports.h"
#include "ptypeer.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QThread>
#include <QtTest>

#include <ctime>

using namespace zop;
using namespace zop::test;

namespace {

using Events = QList<LineEvent>;
LineEvent At(qint32 baud, const QByteArray &bytes) { return LineEvent::Received(baud, bytes); }
LineEvent Wait(qint64 ms) { return LineEvent::Waited(ms); }

// Answers like an instrument: "<>STA" with a status line, attach frames with "&AAOK" CR.
QList<PtyPeer::Reply> Instrument(const QByteArray &unit)
{
    if (unit.startsWith('&') && unit.endsWith('\r'))
        return {{0, unit.left(3) + "OK\r", false}};
    if (unit.endsWith("<>STA\n"))
        return {{0, "1F4,0,48,0,0\r\n", false}};
    return {};
}

// The global state of one test with real serial transports: the configured device is the
// peer's line, and the ports "present" are only what the test lists.
struct SerialLink : Fixture {
    explicit SerialLink(PtyPeer::Responder responder = Instrument) : peer(std::move(responder))
    {
        modData().clock = timeline;
        Comm().setTransportFactory([this](qint16 kind) {
            return MakeSerialTransport(kind, [this] { return listed; });
        });
        Comm().LogTarget = &log;
        modData().CommDevice = peer.path();
        modData().CommAddress = QStringLiteral("5");
    }
    ~SerialLink() { Comm().CommControl.reset(); }

    bool open(qint16 kind)
    {
        modData().CommKind = kind;
        return OpenLink();
    }

    PtyPeer peer;
    std::shared_ptr<TimelineClock> timeline = std::make_shared<TimelineClock>(peer);
    TextLog log;
    QStringList listed;
};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

QString NotFoundRecordHead(const QString &heading)
{
    return "\"" + heading + "\r\nError Description: ";
}

// Takes the line away and gives the system a moment to hang up the program's end, without
// letting window events run (the program must meet the loss in its next operation).
void Unplug(PtyPeer &peer)
{
    peer.closeLine();
    QThread::msleep(50);
}

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT
private slots:
    void plainSends_data();
    void plainSends();
    void selectedOpening_data();
    void selectedOpening();
    void framedOpeningDropsStaleInput();
    void framedWrites_data();
    void framedWrites();
    void attachEndsAtCarriageReturn();
    void controlFrames_data();
    void controlFrames();
    void replyInTwoPieces();
    void replyWithoutLineFeedTimesOut_data();
    void replyWithoutLineFeedTimesOut();
    void missingDevice_data();
    void missingDevice();
    void busyPort();
    void portNumberPicksListedPort();
    void deviceFromConfiguration();
    void portClosedUnderProgram_data();
    void portClosedUnderProgram();
    void portLostWhileIdleDoesNotSpin();
};

void TestSerialLink::plainSends_data()
{
    QTest::addColumn<qint16>("kind");
    QTest::addColumn<QString>("logName");
    QTest::addColumn<Events>("sent");
    QTest::newRow("RS-232 writes at once") << LinkKind::Rs232 << "RS232 "
                                           << Events{At(19200, "<>STA\n")};
    QTest::newRow("RS-485 selected waits 10 ms first")
        << LinkKind::Rs485Selected << "RS485 " << Events{Wait(10), At(19200, "<>STA\n")};
}

void TestSerialLink::plainSends()
{
    QFETCH(qint16, kind);
    QFETCH(QString, logName);
    QFETCH(Events, sent);
    SerialLink f;
    QVERIFY(f.peer.isOpen());
    QVERIFY(f.open(kind));
    QCOMPARE(f.log.logText(), logName + "- Initialized\r\n");
    f.peer.settle();
    f.peer.clearEvents();
    QString command = QStringLiteral("<>STA");
    QCOMPARE(SendCommand(command, true), 6);
    f.peer.settle();
    QCOMPARE(Describe(f.peer.events()), Describe(sent));
    QString reply;
    QCOMPARE(ReadReply(reply, 2, true), 14);
    QCOMPARE(reply, QString("1F4,0,48,0,0\r\n"));
    QCOMPARE(f.log.logText(), logName + "- Initialized\r\n<>STA\n1F4,0,48,0,0\r\n");
    QVERIFY(f.prompter->shown.isEmpty());
}

void TestSerialLink::selectedOpening_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("selection");
    QTest::newRow("5") << "5" << QByteArray("\x13" "05" "\x01");
    QTest::newRow("17") << "17" << QByteArray("\x13" "11" "\x01");
    QTest::newRow("255") << "255" << QByteArray("\x13" "FF" "\x01");
}

void TestSerialLink::selectedOpening()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, selection);
    SerialLink f;
    modData().CommAddress = address;
    QVERIFY(f.open(LinkKind::Rs485Selected));
    f.peer.settle();
    // The selection alone at 9600 baud; the wake-up line feed at 19200, where the link stays.
    QCOMPARE(Describe(f.peer.events()),
             Describe({At(9600, selection), Wait(10), At(19200, "\n"), Wait(10)}));
    QCOMPARE(f.log.logText(), QString("RS485 - Initialized\r\n"));
}

void TestSerialLink::framedOpeningDropsStaleInput()
{
    SerialLink f;
    modData().CommAddress = "255";
    // Left on the line before the program opens it: not a reply to anything of ours.
    f.peer.write("9.999\r\n");
    QVERIFY(f.open(LinkKind::Rs485Framed));
    f.peer.settle();
    QCOMPARE(Describe(f.peer.events()), Describe({At(19200, "&FF800\r")}));
    QCOMPARE(f.log.logText(), QString("RS485 - Initialized\r\n"));
    QString reply;
    SendCommand(QStringLiteral("<>STA"), false);
    QCOMPARE(ReadReply(reply, 2, false), 14);
    QCOMPARE(reply, QString("1F4,0,48,0,0\r\n"));
}

void TestSerialLink::framedWrites_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("command"); // sent with its line feed appended
    QTest::addColumn<Events>("sent");

    const QString c31 = QStringLiteral("SOURce:VOLTage:PROTection:LEVel");  // 31 characters
    const QString c32 = QStringLiteral("SOURce:VOLTage:PROTection:LEVel?"); // 32 characters
    QTest::newRow("1 character, address 5")
        << "5" << "" << Events{Wait(20), At(19200, "{05\n\r")};
    QTest::newRow("32 characters, address 17: one frame, no 50 ms wait")
        << "17" << c31 << Events{Wait(20), At(19200, "{11SOURce:VOLTage:PROTection:LEVel\n\r")};
    QTest::newRow("33 characters, address 255: the line feed goes alone")
        << "255" << c32
        << Events{Wait(20), At(19200, "{FFSOURce:VOLTage:PROTection:LEVel?\r"), Wait(50),
                  At(19200, "{FF\n\r")};
    QTest::newRow("64 characters, address 5: two full frames")
        << "5" << c32 + c31
        << Events{Wait(20), At(19200, "{05SOURce:VOLTage:PROTection:LEVel?\r"), Wait(50),
                  At(19200, "{05SOURce:VOLTage:PROTection:LEVel\n\r")};
    QTest::newRow("65 characters: three frames")
        << "17" << c32 + c32
        << Events{Wait(20), At(19200, "{11SOURce:VOLTage:PROTection:LEVel?\r"), Wait(50),
                  At(19200, "{11SOURce:VOLTage:PROTection:LEVel?\r"), Wait(50),
                  At(19200, "{11\n\r")};
}

void TestSerialLink::framedWrites()
{
    QFETCH(QString, address);
    QFETCH(QString, command);
    QFETCH(Events, sent);
    SerialLink f;
    modData().CommAddress = address;
    QVERIFY(f.open(LinkKind::Rs485Framed));
    f.peer.settle();
    f.peer.clearEvents();
    const qint32 length = qint32(command.size()) + 1;
    QCOMPARE(SendCommand(command, true), length);
    f.peer.settle();
    QCOMPARE(Describe(f.peer.events()), Describe(sent));
    // The log shows the command, not the frames.
    QVERIFY(f.log.logText().endsWith("- Initialized\r\n" + command));

    // The address is read for every frame: a new one counts from the next command.
    modData().CommAddress = "18";
    f.peer.clearEvents();
    SendCommand(QStringLiteral("*CLS"), false);
    f.peer.settle();
    QCOMPARE(Describe(f.peer.events()), Describe({Wait(20), At(19200, "{12*CLS\n\r")}));
}

void TestSerialLink::attachEndsAtCarriageReturn()
{
    SerialLink f([](const QByteArray &unit) -> QList<PtyPeer::Reply> {
        if (unit == "&05800\r")
            return {{150, "&05", false}, {300, "OK\r", false}};
        return Instrument(unit);
    });
    QElapsedTimer timer;
    timer.start();
    QVERIFY(f.open(LinkKind::Rs485Framed));
    const qint64 took = timer.elapsed();
    QVERIFY2(took >= 280 && took < 1500, qPrintable(QString::number(took))); // the 2nd piece came at 300
    // Nothing of the attach reply is left to spoil the next reply.
    QString reply;
    SendCommand(QStringLiteral("<>STA"), false);
    QCOMPARE(ReadReply(reply, 2, false), 14);
}

void TestSerialLink::controlFrames_data()
{
    QTest::addColumn<qint16>("kind");
    QTest::addColumn<bool>("change"); // address change, or else attach for programming
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("address change on the framed link")
        << LinkKind::Rs485Framed << true << QByteArray("%112058316024\r");
    QTest::newRow("attach for programming") << LinkKind::Rs485Framed << false
                                            << QByteArray("&11810\r");
    QTest::newRow("attach for programming on RS-232") << LinkKind::Rs232 << false
                                                      << QByteArray("&11810\r");
}

void TestSerialLink::controlFrames()
{
    QFETCH(qint16, kind);
    QFETCH(bool, change);
    QFETCH(QByteArray, frame);
    SerialLink f([](const QByteArray &unit) -> QList<PtyPeer::Reply> {
        if (unit.startsWith('%') || unit.startsWith('&'))
            return {{50, "OK\r", false}};
        return {};
    });
    modData().CommAddress = "17";
    QVERIFY(f.open(kind));
    f.peer.settle();
    f.peer.clearEvents();
    QElapsedTimer timer;
    timer.start();
    if (change)
        Rs485ChangeAddress("32");
    else
        Rs485Attach(true);
    QVERIFY2(timer.elapsed() < 1500, "the reply ends the wait");
    f.peer.settle();
    QCOMPARE(Describe(f.peer.events()), Describe({At(19200, frame)}));
    QCOMPARE(modData().CommKind, kind);
    QCOMPARE(f.debugText(), QString());

    // With the line gone the frame cannot be written: recorded, and Simulated mode.
    Unplug(f.peer);
    if (change)
        Rs485ChangeAddress("32");
    else
        Rs485Attach(true);
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QVERIFY2(f.debugText().startsWith(NotFoundRecordHead("Write Error:")), qPrintable(f.debugText()));
    QCOMPARE(f.prompter->texts(), QStringList{CommText::NotFound});
}

void TestSerialLink::replyInTwoPieces()
{
    SerialLink f([](const QByteArray &unit) -> QList<PtyPeer::Reply> {
        if (unit == "<>STA\n")
            return {{0, "1F4,0,", false}, {150, "48,0,0\r\n", false}};
        return {};
    });
    QVERIFY(f.open(LinkKind::Rs232));
    SendCommand(QStringLiteral("<>STA"), false);
    QElapsedTimer timer;
    timer.start();
    QString reply;
    QCOMPARE(ReadReply(reply, 2, false), 14);
    QCOMPARE(reply, QString("1F4,0,48,0,0\r\n"));
    QVERIFY(timer.elapsed() >= 140);
}

void TestSerialLink::replyWithoutLineFeedTimesOut_data()
{
    QTest::addColumn<bool>("status"); // ReadStatusReply, or else ReadReply
    QTest::newRow("read-reply falls back") << false;
    QTest::newRow("status read does not") << true;
}

void TestSerialLink::replyWithoutLineFeedTimesOut()
{
    QFETCH(bool, status);
    SerialLink f([](const QByteArray &unit) -> QList<PtyPeer::Reply> {
        if (unit == "<>STA\n")
            return {{0, "1F4,0,", false}, {100, "48,0,0\r", false}};
        return {};
    });
    QVERIFY(f.open(LinkKind::Rs232));
    SendCommand(QStringLiteral("<>STA"), false);
    QElapsedTimer timer;
    timer.start();
    QString reply = QStringLiteral("earlier text");
    const qint32 got = status ? ReadStatusReply(reply, 1, true) : ReadReply(reply, 1, true);
    const qint64 took = timer.elapsed();
    QCOMPARE(got, -1);
    QVERIFY2(took >= 1000 && took < 1800, qPrintable(QString::number(took)));
    QCOMPARE(reply, QString("1F4,0,48,0,0\r")); // the text that came is kept
    QCOMPARE(f.log.logText(), QString("RS232 - Initialized\r\n")); // and not logged
    QCOMPARE(modData().CommKind, status ? LinkKind::Rs232 : LinkKind::Simulated);
    QCOMPARE(f.prompter->texts(), status ? QStringList{} : QStringList{CommText::TimedOut});
}

void TestSerialLink::missingDevice_data()
{
    QTest::addColumn<qint16>("kind");
    // "<file>": a plain file in the test's folder; "<folder>": the test's folder
    QTest::addColumn<QString>("device");
    QTest::addColumn<qint32>("port");
    QTest::addColumn<QString>("description");
    const QList<std::pair<qint16, const char *>> kinds{{LinkKind::Rs232, "RS-232"},
                                                       {LinkKind::Rs485Selected, "RS-485"},
                                                       {LinkKind::Rs485Framed, "RS-485 framed"}};
    for (const auto &[kind, name] : kinds) {
        QTest::addRow("%s, no such path", name)
            << kind << "<folder>/gone/ttyZOP0" << 1 << "/gone/ttyZOP0 does not exist";
        QTest::addRow("%s, not a serial port", name)
            << kind << "<file>" << 1 << "is not a serial port";
        QTest::addRow("%s, port 0", name)
            << kind << "" << 0 << "No serial port is configured (port number 0)";
        QTest::addRow("%s, port number beyond the ports present", name)
            << kind << "" << 4 << "Serial port COM4 does not exist";
    }
}

void TestSerialLink::missingDevice()
{
    QFETCH(qint16, kind);
    QFETCH(QString, device);
    QFETCH(qint32, port);
    QFETCH(QString, description);
    SerialLink f;
    if (device == "<file>") {
        device = f.path("notatty");
        f.writeFile("notatty", "text");
    }
    device.replace("<folder>", f.dir.path());
    modData().CommDevice = device;
    modData().CommPort = port;
    f.log.setLogText("earlier\r\n");
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!f.open(kind));
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QVERIFY(!Comm().CommControl);
    QCOMPARE(f.prompter->texts(), QStringList{CommText::NotFound});
    QCOMPARE(f.log.logText(), QString("earlier\r\n")); // no "- Initialized"
    const QString record = f.debugText();
    QVERIFY2(record.startsWith(NotFoundRecordHead("Initialization Error:")), qPrintable(record));
    QVERIFY2(record.contains(description), qPrintable(record));
    QVERIFY2(record.endsWith("\r\nError Source : mscRS232\r\nError #: 8002\"\r\n"),
             qPrintable(record));
    QVERIFY(f.peer.received().isEmpty());
}

void TestSerialLink::busyPort()
{
    SerialLink f;
    QSerialPort other;
    other.setPortName(f.peer.path());
    QVERIFY(other.open(QIODevice::ReadWrite));
    QVERIFY(!f.open(LinkKind::Rs232));
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    const QString record = f.debugText();
    QVERIFY2(record.startsWith(NotFoundRecordHead("Initialization Error:") + "Serial port "
                               + f.peer.path() + " is in use by another program"),
             qPrintable(record));
    QVERIFY(record.endsWith("Error #: 8005\"\r\n"));
    // Once the other program lets go, the port opens.
    other.close();
    QVERIFY(f.open(LinkKind::Rs232));
}

void TestSerialLink::portNumberPicksListedPort()
{
    SerialLink f;
    PtyPeer builtIn(Instrument);
    // Links named like the machine's ports, pointing at the test's own terminals.
    const QString usb = f.path("ttyUSB0");
    const QString com = f.path("ttyS0");
    QVERIFY(QFile::link(f.peer.devicePath(), usb));
    QVERIFY(QFile::link(builtIn.devicePath(), com));
    f.listed = QStringList{usb, com};
    modData().CommDevice.clear();

    modData().CommPort = 1; // the built-in port comes first
    QVERIFY(f.open(LinkKind::Rs232));
    SendCommand(QStringLiteral("*CLS"), false);
    builtIn.settle();
    QCOMPARE(builtIn.received(), QByteArray("*CLS\n"));

    modData().CommPort = 2; // then the adapter
    QVERIFY(f.open(LinkKind::Rs232));
    SendCommand(QStringLiteral("*RST"), false);
    f.peer.settle();
    QCOMPARE(f.peer.received(), QByteArray("*RST\n"));
    QCOMPARE(builtIn.received(), QByteArray("*CLS\n"));
}

void TestSerialLink::deviceFromConfiguration()
{
    SerialLink f;
    modData().CommDevice.clear();
    f.writeFile(ConfigFileName, "[Comm_List]\r\nItem00=0,GPIB\r\nItem01=1,RS-232\r\n"
                                "[Communication]\r\nComm=RS-232\r\nPort=7\r\nDevice="
                                    + f.peer.path().toLocal8Bit() + "\r\n");
    ReadConfiguration();
    QCOMPARE(modData().CommKind, LinkKind::Rs232);
    QVERIFY(OpenLink());
    SendCommand(QStringLiteral("*CLS"), false);
    f.peer.settle();
    QCOMPARE(f.peer.received(), QByteArray("*CLS\n"));
}

void TestSerialLink::portClosedUnderProgram_data()
{
    QTest::addColumn<qint16>("kind");
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<qint32>("result");
    QTest::newRow("RS-232, before a send")
        << LinkKind::Rs232 << "before send" << "Write Error:" << 0;
    QTest::newRow("RS-485 selected, before a send")
        << LinkKind::Rs485Selected << "before send" << "Write Error:" << 0;
    QTest::newRow("RS-485 framed, before a send")
        << LinkKind::Rs485Framed << "before send" << "Write Error:" << 0;
    QTest::newRow("RS-232, while the reply is awaited")
        << LinkKind::Rs232 << "during read" << "Read Error:" << 0;
    QTest::newRow("RS-485 framed, while the reply is awaited")
        << LinkKind::Rs485Framed << "during read" << "Read Error:" << 0;
    QTest::newRow("RS-232, while a status reply is awaited")
        << LinkKind::Rs232 << "during status read" << "Read Error:" << 0;
}

void TestSerialLink::portClosedUnderProgram()
{
    QFETCH(qint16, kind);
    QFETCH(QString, when);
    QFETCH(QString, heading);
    QFETCH(qint32, result);
    SerialLink f([](const QByteArray &unit) -> QList<PtyPeer::Reply> {
        if (unit.startsWith('&'))
            return {{0, "OK\r", false}};
        if (unit.contains("<>STA\n"))
            return {{0, {}, true}};
        return {};
    });
    QVERIFY(f.open(kind));
    if (when == "before send")
        Unplug(f.peer);
    QElapsedTimer timer;
    timer.start();
    const qint32 sent = SendCommand(QStringLiteral("<>STA"), false);
    QString reply;
    qint32 got = sent;
    if (when == "during read")
        got = ReadReply(reply, 2, false);
    else if (when == "during status read")
        got = ReadStatusReply(reply, 2, false);
    QVERIFY2(timer.elapsed() < 1000, "a lost port is noticed at once, not after the time-out");
    QCOMPARE(got, result);
    QVERIFY2(f.debugText().startsWith(NotFoundRecordHead(heading) + "Serial port "),
             qPrintable(f.debugText()));
    QVERIFY(f.debugText().contains("\r\nError Source : mscRS232\r\nError #: 80"));
    if (when == "during status read") {
        // The status read only records; the panel's retry with the read-reply falls back.
        QCOMPARE(modData().CommKind, kind);
        QVERIFY(f.prompter->shown.isEmpty());
        QCOMPARE(ReadReply(reply, 2, false), 0);
    }
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QCOMPARE(f.prompter->texts(), QStringList{CommText::NotFound});
    // Simulated mode from here on; opening the link again finds the port gone.
    QCOMPARE(ReadReply(reply, 2, false), 7);
    modData().CommKind = kind;
    QVERIFY(!OpenLink());
}

void TestSerialLink::portLostWhileIdleDoesNotSpin()
{
    SerialLink f;
    QVERIFY(f.open(LinkKind::Rs232));
    f.peer.closeLine();
    // Window events run while the program idles; a lost port must not keep them busy.
    const double cpuBefore = CpuSeconds();
    QTest::qWait(300);
    const double cpu = CpuSeconds() - cpuBefore;
    QVERIFY2(cpu < 0.1, qPrintable(QString::number(cpu)));
    QVERIFY(!Comm().CommControl->isOpen());
    SendCommand(QStringLiteral("<>STA"), false);
    QCOMPARE(modData().CommKind, LinkKind::Simulated);
    QVERIFY2(f.debugText().startsWith(NotFoundRecordHead("Write Error:") + "Serial port "
                                      + f.peer.path() + " stopped working"),
             qPrintable(f.debugText()));
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "test_seriallink.moc"
