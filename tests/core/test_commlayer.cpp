// The communication layer against a scripted line on a manual clock: sends, reads, time-outs,
// the debug records, the messages of every failure and the fall-back to Simulated mode.

#include "link/commlayer.h"
#include "link/logsink.h"
#include "testsupport.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
const QString NotFound = "Device not Found.  Entering Simulated Mode!";
const QString TimedOut = "Device Timed Out.  Entering Simulated Mode!";

// A link of the given kind opened on the scripted line, writing to its own log.
struct Link : Fixture {
    explicit Link(qint16 kind)
    {
        modData().CommKind = kind;
        Comm().LogTarget = &log;
        QVERIFY(OpenLink());
    }
    TextLog log;
};

// A log that shows traffic: it hears which piece is a command and which a reply.
class TrafficLog : public TextLog {
public:
    void appendTraffic(const QString &text, LogTraffic traffic) override
    {
        pieces << (traffic == LogTraffic::Sent ? ">" : "<") + text;
        TextLog::appendTraffic(text, traffic);
    }
    QStringList pieces;
};

QString Record(const QString &heading, const QString &description, const QString &source,
               long number)
{
    return "\"" + heading + "\r\nError Description: " + description + "\r\nError Source : " + source
         + "\r\nError #: " + QString::number(number) + "\"\r\n";
}
} // namespace

Q_DECLARE_METATYPE(zop::LinkState)

class TestCommLayer : public QObject {
    Q_OBJECT
private slots:
    void byKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name"); // as the log names the link
        QTest::addColumn<int>("waitMs");   // before the command goes out
        QTest::newRow("GPIB") << 0 << "GPIB" << 0;
        QTest::newRow("RS232") << 1 << "RS232" << 0;
        QTest::newRow("TCP/IP") << 2 << "TCP/IP" << 0;
        QTest::newRow("RS485 selected waits 10 ms") << 3 << "RS485" << 10;
        QTest::newRow("RS485 framed") << 4 << "RS485" << 0;
        QTest::newRow("Simulated sends nothing, answers 9.999") << 5 << "Simulated" << 0;
    }

    // Opening names the link in a log it empties; a command goes out with its line feed and is
    // logged with its reply (read whole from its pieces), each told apart as sent or received.
    void byKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(int, waitMs);
        Fixture f;
        TrafficLog log;
        log.setLogText("earlier text is replaced");
        // The reply comes in two pieces, the second well after the first.
        f.line->responder = [](const QByteArray &) { return QList<ScriptedLine::Chunk>{{100, "12.5"}, {700, "00\r\n"}}; };
        modData().CommKind = qint16(kind);
        Comm().LogTarget = &log;
        QVERIFY(OpenLink());
        QCOMPARE(log.logText(), name + " - Initialized\r\n");
        QCOMPARE(f.line->opens, kind == 5 ? 0 : 1);
        const qint64 before = f.clock->elapsedMs();
        QString text = "VOLT?";
        QCOMPARE(SendCommand(text, true), 6);
        QCOMPARE(text, QString("VOLT?\n")); // the caller's text gets the line feed
        QCOMPARE(f.line->written, kind == 5 ? QList<QByteArray>{} : QList<QByteArray>{"VOLT?\n"});
        QCOMPARE(f.clock->elapsedMs() - before, qint64(waitMs));
        const QString expected = kind == 5 ? "9.999\r\n" : "12.500\r\n";
        QString reply = "old";
        QCOMPARE(ReadReply(reply, 2, true), qint32(expected.size()));
        QCOMPARE(reply, expected);
        QCOMPARE(log.logText(), name + " - Initialized\r\nVOLT?\n" + expected); // the plain traffic
        QCOMPARE(log.pieces, (QStringList{">VOLT?\n", "<" + expected}));
        if (kind == 5)
            QCOMPARE(ReadStatusReply(reply, 2, false), 7);
        QCOMPARE(modData().CommKind, qint16(kind));
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void openFailures_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("fault"); // "open": the port cannot be opened; "driver": none
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("log"); // it held "kept " before
        QTest::addColumn<QString>("debug"); // "driver": how the record begins
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<int>("icon");
        const QString notOpened = Record("Initialization Error:", "Port not found", "tcpComm", 8002);
        const int none = int(MsgIcon::None);
        QTest::newRow("unknown kind") << 99 << "" << false << true << "kept - Initialized\r\n" << ""
                                      << "No comm Port selected!" << int(MsgIcon::Exclamation);
        QTest::newRow("port cannot be opened") << 1 << "open" << false << false << "kept " << notOpened << NotFound << none;
        QTest::newRow("quiet mode hides the message") << 1 << "open" << true << false << "kept " << notOpened << "" << none;
        QTest::newRow("no driver") << 0 << "driver" << false << false << "kept "
                                   << "\"Initialization Error:\r\nError Description: " << NotFound << none;
    }

    // Every failed opening ends in Simulated mode.
    void openFailures()
    {
        QFETCH(int, kind);
        QFETCH(QString, fault);
        QFETCH(bool, quiet);
        QFETCH(QString, debug);
        QFETCH(QString, prompt);
        Fixture f;
        TextLog target;
        target.setLogText("kept ");
        f.line->failOpen = fault == "open";
        if (fault == "driver")
            Comm().setTransportFactory([](qint16) { return nullptr; });
        Comm().QuietMode = quiet;
        modData().CommKind = qint16(kind);
        Comm().LogTarget = &target;
        QTEST(OpenLink(), "opened");
        QCOMPARE(modData().CommKind, qint16(5));
        QTEST(target.logText(), "log");
        QVERIFY2(fault == "driver" ? f.debugText().startsWith(debug) : f.debugText() == debug,
                 qPrintable(f.debugText()));
        QCOMPARE(f.prompter->texts(), prompt.isEmpty() ? QStringList() : QStringList{prompt});
        if (prompt.isEmpty())
            return;
        QCOMPARE(f.prompter->shown[0].title, QString("Comm Error"));
        QTEST(int(f.prompter->shown[0].icon), "icon");
        QCOMPARE(f.prompter->shown[0].buttons, MsgButtons::Ok);
    }

    void reopenClosesFirst()
    {
        Link f(2);
        const qint64 before = f.clock->elapsedMs();
        modData().CommKind = 5;
        QVERIFY(OpenLink());
        QCOMPARE(f.line->closes, 1);
        QVERIFY(!f.line->open);
        // A socket is given half a second after closing.
        QCOMPARE(f.clock->elapsedMs() - before, qint64(500));
    }

    // A kind that names no link: nothing is sent or read, and the user is told each time.
    void unknownKindIsRefused()
    {
        Fixture f;
        TextLog log;
        Comm().LogTarget = &log;
        modData().CommKind = 42;
        QCOMPARE(SendCommand(QStringLiteral("VOLT?"), true), 6);
        QString reply = "unchanged";
        ReadReply(reply, 2, false);
        QCOMPARE(reply, QString("unchanged"));
        QCOMPARE(f.prompter->texts(), QStringList(2, "No comm Port selected!"));
        QCOMPARE(f.prompter->shown[0].icon, MsgIcon::Exclamation);
        QCOMPARE(modData().CommKind, qint16(42));
        QVERIFY(f.line->written.isEmpty());
    }

    void linkFaults_data()
    {
        QTest::addColumn<QString>("op"); // "send" (the write fails), "read", "status" (no fall-back)
        QTest::addColumn<bool>("lost");  // the link is lost, else the instrument is silent
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("debug");
        QTest::addColumn<QString>("prompt");
        const QString lost = Record("Read Error:", "Connection lost", "tcpComm", 10053);
        QTest::newRow("send fails") << "send" << false << false << 0
                                    << Record("Write Error:", "Not connected", "tcpComm", 40006) << NotFound;
        QTest::newRow("time-out") << "read" << false << false << -1 << "" << TimedOut;
        QTest::newRow("time-out in quiet mode") << "read" << false << true << -1 << "" << "";
        QTest::newRow("status time-out") << "status" << false << false << -1 << "" << "";
        QTest::newRow("link lost") << "read" << true << false << 0 << lost << NotFound;
        QTest::newRow("link lost in a status read") << "status" << true << false << 0 << lost << "";
    }

    void linkFaults()
    {
        QFETCH(QString, op);
        QFETCH(bool, quiet);
        QFETCH(QString, prompt);
        Link f(2);
        Comm().QuietMode = quiet;
        QFETCH(bool, lost);
        f.line->lost = lost;
        f.line->failWrite = op == "send";
        // Unless the link is lost, pieces keep coming for the whole wait, but none ends the line.
        for (int ms = 0; ms < 5000 && !lost; ms += 400)
            f.line->deliver(f.clock->elapsedMs() + ms, "ab");
        const qint64 start = f.clock->elapsedMs();
        QString reply = "caller's text";
        QFETCH(int, result);
        QCOMPARE(op == "send"     ? SendCommand(QStringLiteral("<>STA"), true)
                 : op == "status" ? ReadStatusReply(reply, 2, false)
                                  : ReadReply(reply, 2, false),
                 result);
        if (result < 0) { // the time-out, with the text that came
            const qint64 waited = f.clock->elapsedMs() - start;
            QVERIFY2(waited > 2000 && waited <= 2401, qPrintable(QString::number(waited)));
            QCOMPARE(reply, QString("ab").repeated(6));
        }
        QCOMPARE(modData().CommKind, qint16(op == "status" ? 2 : 5));
        QTEST(f.debugText(), "debug");
        QCOMPARE(f.prompter->texts(), prompt.isEmpty() ? QStringList() : QStringList{prompt});
        for (const Prompt &p : std::as_const(f.prompter->shown))
            QCOMPARE(p.icon, MsgIcon::None);
        QCOMPARE(f.log.logText(), QString("TCP/IP - Initialized\r\n")); // nothing logged
        if (op == "status")
            return;
        // Afterwards the program runs on in Simulated mode.
        QCOMPARE(ReadReply(reply, 2, false), 7);
        QCOMPARE(reply, QString("9.999\r\n"));
    }

    void endlessStreamIsCapped()
    {
        Link f(2);
        // 4 KiB every 10 ms for longer than the wait: about 800 KiB offered.
        f.line->responder = [](const QByteArray &) {
            QList<ScriptedLine::Chunk> chunks;
            for (int ms = 0; ms < 2100; ms += 10)
                chunks.append({ms, QByteArray(4096, 'x')});
            return chunks;
        };
        SendCommand(QStringLiteral("<>STA"), false);
        QString reply;
        QCOMPARE(ReadStatusReply(reply, 2, false), -1);
        QCOMPARE(reply.size(), CommLayer::MaxReplyChars);

        // A line feed that arrives after the cap still ends the reply.
        f.line->pending.clear();
        f.line->responder = [](const QByteArray &) {
            return QList<ScriptedLine::Chunk>{{0, QByteArray(100000, 'y')}, {10, "tail\r\n"}};
        };
        SendCommand(QStringLiteral("<>STA"), false);
        QCOMPARE(ReadStatusReply(reply, 2, false), CommLayer::MaxReplyChars);
        // No take is larger than what one reply may keep.
        QVERIFY(f.line->largestTake <= CommLayer::MaxReplyChars);
    }

    void linkChangedDuringReadEndsIt_data()
    {
        QTest::addColumn<int>("reopenAs"); // the link kind a menu re-opens during the wait
        QTest::addColumn<bool>("status");  // the read is a status read
        QTest::newRow("Simulate Inst during a read") << int(LinkKind::Simulated) << false;
        QTest::newRow("a new TCP/IP link during a status read") << int(LinkKind::TcpIp) << true;
        QTest::newRow("Simulated mode only, link left open") << -1 << false;
    }

    void linkChangedDuringReadEndsIt()
    {
        QFETCH(int, reopenAs);
        QFETCH(bool, status);
        Link f(2);
        // The instrument starts its reply and never finishes it; window events run in the wait
        // and a menu entry changes the link under the read.
        f.line->answer("<>SCL", "3A98,");
        int waits = 0;
        f.line->duringWait = [&] {
            if (++waits > 1)
                return;
            modData().CommKind = qint16(reopenAs < 0 ? LinkKind::Simulated : reopenAs);
            if (reopenAs >= 0)
                OpenLink();
        };
        SendCommand(QStringLiteral("<>SCL"), false);
        QString reply;
        const qint64 before = f.clock->elapsedMs();
        QCOMPARE(status ? ReadStatusReply(reply, 2, true) : ReadReply(reply, 2, true), -1);
        QCOMPARE(reply, QString("3A98,"));
        QCOMPARE(f.line->deletedInWait, 0);
        QCOMPARE(f.line->takesAfterClose, 0);
        if (reopenAs >= 0) // closing the link ends the wait at once, not the time-out
            QVERIFY(f.clock->elapsedMs() - before < 2000);
        QVERIFY(f.prompter->shown.isEmpty());
        QVERIFY(f.debugText().isEmpty());
        QCOMPARE(f.log.logText().contains("3A98"), false);
        QCOMPARE(modData().CommKind, qint16(reopenAs < 0 ? LinkKind::Simulated : reopenAs));
        QCOMPARE(Comm().CommControl != nullptr, reopenAs != LinkKind::Simulated);
    }

    void flushDropsPendingInput()
    {
        Link f(2);
        f.line->deliver(f.clock->elapsedMs(), "stale\r\n");
        FlushInput();
        f.line->answer("VOLT?", "1.000\r\n");
        SendCommand(QStringLiteral("VOLT?"), false);
        QString reply;
        ReadReply(reply, 2, false);
        QCOMPARE(reply, QString("1.000\r\n"));
        // A lost link is not reported by the flush; the next command finds it.
        f.line->lost = true;
        FlushInput();
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void waitTicks()
    {
        Fixture f;
        const qint64 before = f.clock->elapsedMs();
        WaitTicks(2.5f);
        QCOMPARE(f.clock->elapsedMs() - before, qint64(25));
        WaitTicks(0);
        QCOMPARE(f.clock->elapsedMs() - before, qint64(25));
    }

    void keepAlive_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("fault"); // "off": KeepAliveOff; "down": not connected; "write"
        QTest::addColumn<bool>("sent");
        QTest::newRow("TCP/IP") << 2 << "" << true;
        QTest::newRow("turned off") << 2 << "off" << false;
        QTest::newRow("connection down") << 2 << "down" << false;
        QTest::newRow("failing write is silent") << 2 << "write" << false;
        QTest::newRow("only on TCP/IP") << 1 << "" << false;
    }

    void keepAlive()
    {
        QFETCH(int, kind);
        QFETCH(QString, fault);
        QFETCH(bool, sent);
        Link f(2);
        modData().CommKind = qint16(kind);
        Comm().KeepAliveOff = fault == "off";
        f.line->connected = fault != "down";
        f.line->failWrite = fault == "write";
        Comm().TcpKeepAlive();
        QCOMPARE(f.line->written, sent ? QList<QByteArray>{"\n"} : QList<QByteArray>{});
        QVERIFY(f.prompter->shown.isEmpty());
        QCOMPARE(modData().CommKind, qint16(kind));
    }

    void logTargetForgottenWhenDeleted()
    {
        Fixture f;
        auto log = std::make_unique<TextLog>();
        Comm().LogTarget = log.get();
        log.reset();
        QCOMPARE(Comm().LogTarget, nullptr);
        modData().CommKind = 5;
        SendCommand(QStringLiteral("x"), true); // no crash without a log
    }

    void statusAndFallBackDetails_data()
    {
        QTest::addColumn<QString>("link");  // kind|address|port|device
        QTest::addColumn<QString>("fault"); // "", "open", "write", "lost", "silent", "unplugged"
        QTest::addColumn<LinkState>("state");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("details"); // of the fall-back's box; "" when none was shown

        const QString tcp = "TCP/IP 127.0.0.1:50505", tcpLink = "2|127.0.0.1|50505|";
        const QString simulated = "Simulated: no instrument";
        const auto row = [](const char *name, const QString &link, const QString &fault, LinkState state,
                            const QString &status, const QString &details = {}) {
            QTest::newRow(name) << link << fault << state << status << details;
        };
        row("TCP/IP live", tcpLink, "", LinkState::Live, tcp);
        row("TCP/IP connection dropped", tcpLink, "unplugged", LinkState::NotConnected, tcp + ": not connected");
        row("GPIB live", "0|5|0|", "", LinkState::Live, "GPIB 0, address 5");
        row("RS-232 named device", "1||1|/dev/pts/7", "", LinkState::Live, "RS-232 /dev/pts/7");
        row("RS-485 framed by port number", "4|17|2|", "", LinkState::Live, "RS-485 framed, address 17, Port 2");
        row("Simulated by choice", "5||0|", "", LinkState::Simulated, simulated);
        row("no link configured", "99||0|", "", LinkState::Simulated, simulated + ", no link is configured");
        row("port cannot be opened", "3|17|3|", "open", LinkState::Simulated,
            simulated + ", after RS-485 selected, address 17, Port 3 could not be opened (Port not found)",
            "Link: RS-485 selected, address 17, Port 3\nReason: Port not found");
        row("send fails", tcpLink, "write", LinkState::Simulated, simulated + ", after " + tcp + " failed (Not connected)",
            "Link: " + tcp + "\nReason: Not connected");
        row("link lost while reading", tcpLink, "lost", LinkState::Simulated,
            simulated + ", after " + tcp + " failed (Connection lost)", "Link: " + tcp + "\nReason: Connection lost");
        row("no reply", tcpLink, "silent", LinkState::Simulated, simulated + ", after a time-out on " + tcp,
            "Link: " + tcp + "\nReason: no complete reply within 2 s");
    }

    void statusAndFallBackDetails()
    {
        QFETCH(QString, link);
        QFETCH(QString, fault);
        QFETCH(LinkState, state);
        QFETCH(QString, details);
        const QStringList parts = link.split('|');
        const qint16 kind = qint16(parts[0].toInt());
        Fixture f;
        ModData &data = modData();
        data.CommKind = kind;
        data.CommAddress = parts[1];
        data.CommPort = parts[2].toInt();
        data.CommDevice = parts[3];
        f.line->failOpen = fault == "open";
        f.line->answer("<>STA", "0,0,0,0\r\n");
        OpenLink();
        f.line->failWrite = fault == "write";
        f.line->connected = fault != "unplugged";
        if (fault == "silent")
            f.line->replies.clear();
        if (fault == "lost") // the command goes out, then the line is gone
            f.line->responder = [&](const QByteArray &) {
                f.line->lost = true;
                return QList<ScriptedLine::Chunk>();
            };
        if (fault != "unplugged") {
            QString reply;
            SendCommand("<>STA", false);
            ReadReply(reply, 2, false);
        }

        const LinkStatus shown = Comm().Status();
        QCOMPARE(shown.state, state);
        QTEST(shown.text, "status");
        // The box keeps its text and title; the details say which link failed and why.
        QStringList boxes;
        for (const Prompt &p : std::as_const(f.prompter->shown))
            if (p.text == NotFound || p.text == TimedOut)
                boxes << p.details;
        QCOMPARE(boxes, details.isEmpty() ? QStringList() : QStringList{details});
        // Opening the link again forgets the failure.
        if (state == LinkState::Simulated && kind != 99) {
            data.CommKind = LinkKind::Simulated;
            OpenLink();
            QCOMPARE(Comm().Status().text, QStringLiteral("Simulated: no instrument"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommLayer)
#include "test_commlayer.moc"
