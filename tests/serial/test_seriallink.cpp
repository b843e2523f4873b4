// The serial links through the communication layer, on pseudo-terminals the test owns: what
// each link kind writes, at which line speed and with which waits; replies in pieces and
// without their line feed; ports that do not exist, are busy, or go away while in use.

#include "link/commlayer.h"
#include "link/rs485.h"
#include "ptypeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QThread>
#include <QtTest>

#include <ctime>
#include <grp.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace zop;
using namespace zop::test;

namespace {

using Events = QList<LineEvent>;

// Answers like an instrument: "<>STA" with a status line, attach frames with "&AAOK" CR.
QList<PtyPeer::Reply> Instrument(const QByteArray &unit)
{
    if (unit.startsWith('&') && unit.endsWith('\r'))
        return {{0, unit.left(3) + "OK\r", false}};
    if (unit.endsWith("<>STA\n"))
        return {{0, "1F4,0,48,0,0\r\n", false}};
    return {};
}

// The configured device is the peer's line, at address 5; the program's waits go on the
// peer's record instead of being slept.
struct SerialLink : SerialFixture {
    explicit SerialLink(PtyPeer::Responder responder = Instrument) : peer(std::move(responder))
    {
        modData().clock = std::make_shared<TimelineClock>(peer);
        modData().CommDevice = peer.path();
        modData().CommAddress = QStringLiteral("5");
    }
    PtyPeer peer;
};

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT
private slots:
    void openSendAndRead_data()
    {
        QTest::addColumn<qint16>("kind");
        QTest::addColumn<QString>("address");
        QTest::addColumn<Events>("opening");
        QTest::addColumn<Events>("sent"); // "<>STA"
        QTest::addColumn<QString>("logName");
        // The selection alone at 9600 baud; the wake-up line feed at 19200, where the link stays.
        auto selected = [](const QByteArray &aa) {
            return Events{At(9600, "\x13" + aa + "\x01"), Wait(10), At(19200, "\n"), Wait(10)};
        };
        QTest::newRow("RS-232 writes at once")
            << LinkKind::Rs232 << "5" << Events{} << Events{At(19200, "<>STA\n")} << "RS232 ";
        for (const auto &[address, aa] : {std::pair{"5", "05"}, {"17", "11"}, {"255", "FF"}}) {
            QTest::addRow("RS-485 selected, address %s, waits 10 ms before a command", address)
                << LinkKind::Rs485Selected << address << selected(aa)
                << Events{Wait(10), At(19200, "<>STA\n")} << "RS485 ";
        }
        QTest::newRow("RS-485 framed drops stale input and attaches")
            << LinkKind::Rs485Framed << "255" << Events{At(19200, "&FF800\r")}
            << Events{Wait(20), At(19200, "{FF<>STA\n\r")} << "RS485 ";
    }

    void openSendAndRead()
    {
        QFETCH(qint16, kind);
        QFETCH(QString, address);
        QFETCH(Events, opening);
        QFETCH(Events, sent);
        QFETCH(QString, logName);
        // The attach reply and the status reply each come in two pieces.
        SerialLink f([](const QByteArray &unit) -> QList<PtyPeer::Reply> {
            if (unit.startsWith('&'))
                return {{0, unit.left(3), false}, {100, "OK\r", false}};
            if (unit.endsWith("<>STA\n"))
                return {{0, "1F4,0,", false}, {60, "48,0,0\r\n", false}};
            return {};
        });
        QVERIFY(f.peer.isOpen());
        modData().CommAddress = address;
        if (kind == LinkKind::Rs485Framed)
            f.peer.write("9.999\r\n"); // on the line before the program opens it: no reply of ours
        QElapsedTimer timer;
        timer.start();
        QVERIFY(f.open(kind));
        // The attach waits for the carriage return in the second piece, and no longer.
        if (kind == LinkKind::Rs485Framed)
            QVERIFY2(timer.elapsed() >= 90 && timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(f.log.logText(), logName + "- Initialized\r\n");
        QCOMPARE_LINE(f.peer, opening);

        f.peer.clearEvents();
        QCOMPARE(SendCommand(QStringLiteral("<>STA"), true), 6);
        QCOMPARE_LINE(f.peer, sent);
        QString reply;
        QCOMPARE(ReadReply(reply, 2, true), 14);
        QCOMPARE(reply, QString("1F4,0,48,0,0\r\n"));
        QCOMPARE(f.log.logText(), logName + "- Initialized\r\n<>STA\n1F4,0,48,0,0\r\n");
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void framedWrites_data()
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
    }

    void framedWrites()
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
        QCOMPARE_LINE(f.peer, sent);
        // The log shows the command, not the frames.
        QVERIFY(f.log.logText().endsWith("- Initialized\r\n" + command));

        // The address is read for every frame: a new one counts from the next command.
        modData().CommAddress = "18";
        f.peer.clearEvents();
        SendCommand(QStringLiteral("*CLS"), false);
        QCOMPARE_LINE(f.peer, {Wait(20), At(19200, "{12*CLS\n\r")});
    }

    void attachForProgramming()
    {
        // Control frames go out on any serial link kind (the wait for their reply: test_rs485).
        SerialLink f;
        modData().CommAddress = "17";
        QVERIFY(f.open(LinkKind::Rs232));
        Rs485Attach(true);
        QCOMPARE_LINE(f.peer, {At(19200, "&11810\r")});
        QCOMPARE(modData().CommKind, LinkKind::Rs232);
        QCOMPARE(f.debugText(), QString());
    }

    void replyWithoutLineFeedTimesOut_data()
    {
        QTest::addColumn<bool>("status"); // ReadStatusReply, or else ReadReply
        QTest::newRow("read-reply falls back") << false;
        QTest::newRow("status read does not") << true;
    }

    void replyWithoutLineFeedTimesOut()
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

    void missingDevice_data()
    {
        QTest::addColumn<qint16>("kind");
        // "<file>": a plain file in the test's folder; "<folder>": the test's folder; "<busy>":
        // the peer's line, held open by another program; "<refused:GROUP:MODE>": the peer's
        // line owned by GROUP with MODE, opened by a user outside that group
        QTest::addColumn<QString>("device");
        QTest::addColumn<qint32>("port");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("error");
        QTest::newRow("RS-232, no such path") << LinkKind::Rs232 << "<folder>/gone/ttyZOP0" << 1
                                              << "/gone/ttyZOP0 does not exist" << 8002;
        QTest::newRow("RS-485, not a serial port")
            << LinkKind::Rs485Selected << "<file>" << 1 << "is not a serial port" << 8002;
        QTest::newRow("RS-485 framed, port number beyond the ports present")
            << LinkKind::Rs485Framed << "" << 4 << "Serial port COM4 does not exist" << 8002;
        QTest::newRow("RS-232, busy port")
            << LinkKind::Rs232 << "<busy>" << 1 << "is in use by another program" << 8005;
        QTest::newRow("RS-232, permission refused, group dialout")
            << LinkKind::Rs232 << "<refused:dialout:660>" << 1
            << " was refused: add your user to the group dialout, then log in again" << 8005;
        QTest::newRow("RS-485 framed, permission refused, the device's own group")
            << LinkKind::Rs485Framed << "<refused:tty:660>" << 1
            << " was refused: add your user to the group tty, then log in again" << 8005;
        QTest::newRow("RS-232, permission refused, owner only")
            << LinkKind::Rs232 << "<refused:dialout:600>" << 1
            << " was refused: only its owner root may use it: ask your administrator for access"
            << 8005;
    }

    void missingDevice()
    {
        QFETCH(qint16, kind);
        QFETCH(QString, device);
        QFETCH(qint32, port);
        QFETCH(QString, description);
        QFETCH(int, error);
        SerialLink f;
        QSerialPort other;
        if (device == "<busy>") {
            other.setPortName(f.peer.path());
            QVERIFY(other.open(QIODevice::ReadWrite));
            device = f.peer.path();
        }
        if (device == "<file>") {
            device = f.path("notatty");
            f.writeFile("notatty", "text");
        }
        std::optional<Unprivileged> user;
        if (device.startsWith("<refused:")) {
            const QStringList owner = device.mid(9).chopped(1).split(':');
            device = f.peer.devicePath();
            const QByteArray node = QFile::encodeName(device);
            const struct group *group = ::getgrnam(owner[0].toLatin1().constData());
            QVERIFY(group);
            if (::geteuid() != 0)
                QSKIP("giving the line a group and opening it as another user needs root");
            QVERIFY(::chown(node.constData(), uid_t(-1), group->gr_gid) == 0);
            QVERIFY(::chmod(node.constData(), mode_t(owner[1].toUInt(nullptr, 8))) == 0);
            // "debug.txt" is written by that user.
            QVERIFY(::chmod(QFile::encodeName(f.dir.path()).constData(), 0777) == 0);
            user.emplace();
            QVERIFY(user->dropped());
        }
        device.replace("<folder>", f.dir.path());
        modData().CommDevice = device;
        modData().CommPort = port;
        f.log.setLogText("earlier\r\n");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!f.open(kind));
        user.reset();
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(modData().CommKind, LinkKind::Simulated);
        QVERIFY(!Comm().CommControl);
        QCOMPARE(f.prompter->texts(), QStringList{CommText::NotFound});
        QVERIFY2(f.prompter->shown.first().details.contains(description),
                 qPrintable(f.prompter->shown.first().details));
        QCOMPARE(f.log.logText(), QString("earlier\r\n")); // no "- Initialized"
        const QString record = f.debugText();
        QVERIFY2(record.startsWith("\"Initialization Error:\r\nError Description: ") && record.contains(description)
                     && record.endsWith(QString("\r\nError Source : mscRS232\r\nError #: %1\"\r\n").arg(error)),
                 qPrintable(record));
        QVERIFY(f.peer.events().isEmpty());
        // Once the other program lets go, the port opens.
        if (other.isOpen()) {
            other.close();
            QVERIFY(f.open(kind));
        }
    }

    void portNumberPicksListedPort()
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
        QCOMPARE_LINE(builtIn, {At(19200, "*CLS\n")});

        modData().CommPort = 2; // then the adapter
        QVERIFY(f.open(LinkKind::Rs232));
        SendCommand(QStringLiteral("*RST"), false);
        QCOMPARE_LINE(f.peer, {At(19200, "*RST\n")});
        QCOMPARE(Describe(builtIn.events()), Describe({At(19200, "*CLS\n")}));
    }

    void portClosedUnderProgram_data()
    {
        QTest::addColumn<qint16>("kind");
        QTest::addColumn<QString>("when");
        QTest::newRow("RS-232, before a send") << LinkKind::Rs232 << "before send";
        QTest::newRow("RS-485 framed, before a send") << LinkKind::Rs485Framed << "before send";
        QTest::newRow("RS-485 framed, before an address change") << LinkKind::Rs485Framed << "before address change";
        QTest::newRow("RS-232, while the reply is awaited") << LinkKind::Rs232 << "during read";
        QTest::newRow("RS-485, while a status reply is awaited") << LinkKind::Rs485Selected << "during status read";
    }

    void portClosedUnderProgram()
    {
        QFETCH(qint16, kind);
        QFETCH(QString, when);
        const QString heading = when.endsWith("read") ? "Read Error:" : "Write Error:";
        SerialLink f([](const QByteArray &unit) -> QList<PtyPeer::Reply> {
            if (unit.contains("<>STA\n"))
                return {{0, {}, true}};
            return Instrument(unit);
        });
        QVERIFY(f.open(kind));
        // Takes the line away and gives the system a moment to hang up the program's end, without
        // letting window events run (the program must meet the loss in its next operation).
        if (when.startsWith("before")) {
            f.peer.closeLine();
            QThread::msleep(50);
        }
        QElapsedTimer timer;
        timer.start();
        qint32 got = 0;
        if (when == "before address change")
            Rs485ChangeAddress("32");
        else
            got = SendCommand(QStringLiteral("<>STA"), false);
        QString reply;
        if (when == "during read")
            got = ReadReply(reply, 2, false);
        else if (when == "during status read")
            got = ReadStatusReply(reply, 2, false);
        QVERIFY2(timer.elapsed() < 1000, "a lost port is noticed at once, not after the time-out");
        QCOMPARE(got, 0);
        QVERIFY2(f.debugText().startsWith("\"" + heading + "\r\nError Description: Serial port "),
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

    void portLostWhileIdleDoesNotSpin()
    {
        SerialLink f;
        QVERIFY(f.open(LinkKind::Rs232));
        f.peer.closeLine();
        // Window events run while the program idles; a lost port must not keep them busy.
        const std::clock_t cpuBefore = std::clock();
        QTest::qWait(300);
        const double cpu = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QVERIFY2(cpu < 0.1, qPrintable(QString::number(cpu)));
        QVERIFY(!Comm().CommControl->isOpen());
        SendCommand(QStringLiteral("<>STA"), false);
        QCOMPARE(modData().CommKind, LinkKind::Simulated);
        QVERIFY2(f.debugText().startsWith("\"Write Error:\r\nError Description: Serial port "
                                          + f.peer.path() + " stopped working"),
                 qPrintable(f.debugText()));
    }

    void floodAfterFallBackIsBounded()
    {
        // A device that keeps sending (a wrong speed, a streaming instrument) while nothing
        // reads the port: 8 MB offered while window events run.
        SerialLink f;
        QVERIFY(f.open(LinkKind::Rs232));
        modData().CommKind = LinkKind::Simulated; // the port stays open and unread
        const QByteArray block(64 * 1024, 'U');
        for (int i = 0; i < 128; ++i) {
            f.peer.write(block);
            QCoreApplication::processEvents();
        }
        QTest::qWait(20);
        QVERIFY2(Comm().CommControl->bufferedBytes() <= Transport::ReceiveBufferBytes,
                 qPrintable(QString::number(Comm().CommControl->bufferedBytes())));
        QVERIFY(Comm().CommControl->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "test_seriallink.moc"
