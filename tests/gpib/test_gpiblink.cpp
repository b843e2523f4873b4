// The GPIB link through the communication layer, over the stand-in library and zop-sim's bus:
// replies, time-outs with their prompt, the status copies and a library that cannot be used.

#include "gpibbus.h"
#include "link/logsink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <atomic>
#include <optional>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace zop;
using namespace zop::test;

Q_DECLARE_METATYPE(MsgAnswer)

namespace {
const QString NotFound = QStringLiteral("Device not Found.  Entering Simulated Mode!");
const QString TimedOut = QStringLiteral("Device Timed Out.  Entering Simulated Mode!");
} // namespace

class TestGpibLink : public QObject {
    Q_OBJECT
private slots:
    void replies_data()
    {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("reply");   // the reply kept (a prefix for the cut one)
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<int>("error");       // iberr after the read, -1 when the read succeeds

        const QString late = NoDevicePrompt.arg(5);
        QTest::newRow("reply within the time-out, without the buffer's NULs")
            << QStringList{} << "*IDN?" << "Zoptrel,ZOP-SIM TLB,0,4.70\r\n" << 28 << QStringList{} << -1;
        QTest::newRow("reply after the 300 ms time-out")
            << QStringList{"--fault", "late=600:SYST:VERS"} << "SYST:VERS?" << "" << -1
            << QStringList{late, TimedOut} << 6;
        QTest::newRow("reply over 100 characters is cut and times out")
            << QStringList{"--fault", "stream:SYST:VERS"} << "SYST:VERS?" << "0123456789ABCDEF" << -1
            << QStringList{TimedOut} << -1;
        QTest::newRow("instrument gone from the bus: no listener")
            << QStringList{"--fault", "close:SYST:VERS"} << "SYST:VERS?" << "" << -1
            << QStringList{late, TimedOut} << 2;
    }

    void replies()
    {
        QFETCH(QStringList, simArguments);
        QFETCH(QString, query);
        QFETCH(QString, reply);
        QFETCH(int, result);
        QFETCH(int, error);
        GpibBus bus(simArguments);
        QVERIFY(!bus.sim.linkPath().isEmpty());
        TextLog log;
        Comm().LogTarget = &log;
        QVERIFY(OpenLink());
        QCOMPARE(log.logText(), QString("GPIB - Initialized\r\n"));
        QVERIFY(modData().gpib.GpibRegistered);

        QCOMPARE(SendCommand(std::as_const(query), false), query.size() + 1);
        QString got;
        QCOMPARE(ReadReply(got, 2, false), result);
        QTEST(bus.f.prompter->texts(), "prompts");
        QVERIFY2(got.startsWith(reply), qPrintable(got));
        QVERIFY(!got.contains(QChar(0)));
        if (result < 0 && reply.size() > 0)
            QCOMPARE(got.size(), 100);
        QCOMPARE(modData().CommKind, result < 0 ? LinkKind::Simulated : LinkKind::Gpib);
        if (error >= 0) {
            QVERIFY(modData().gpib.ibsta < 0); // ERR, the sign bit of the 16-bit copy
            QCOMPARE(modData().gpib.iberr, qint16(error));
        }
        QCOMPARE(bus.ends, 0);
        QVERIFY(bus.sim.receivedLines().contains(query));
    }

    void noDeviceAtAddress_data()
    {
        QTest::addColumn<QList<MsgAnswer>>("answers");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<int>("ends");
        const QString prompt = NoDevicePrompt.arg(7);
        QTest::newRow("Yes, Yes: the read times out")
            << QList<MsgAnswer>{MsgAnswer::Yes, MsgAnswer::Yes} << false
            << QStringList{prompt, prompt, TimedOut} << 0;
        QTest::newRow("No ends the program") << QList<MsgAnswer>{MsgAnswer::No} << false
                                             << QStringList{prompt} << 1;
        QTest::newRow("QuietMode shows nothing") << QList<MsgAnswer>{} << true << QStringList{} << 0;
    }

    void noDeviceAtAddress()
    {
        QFETCH(QList<MsgAnswer>, answers);
        QFETCH(bool, quiet);
        QFETCH(int, ends);
        GpibBus bus({}, "7.2"); // rounds to 7; the instrument is at 5
        QVERIFY(OpenLink());
        Comm().QuietMode = quiet;
        bus.f.prompter->answers.assign(answers.begin(), answers.end());

        QElapsedTimer timer;
        timer.start();
        SendCommand(QStringLiteral("<>STA"), false);
        const qint64 waited = timer.elapsed();
        QVERIFY2(waited >= 280 && waited < 1500, qPrintable(QString::number(waited)));
        const Gpib &gpib = modData().gpib;
        QCOMPARE(quint16(gpib.ibsta) & (GpibConst::Err | GpibConst::Timo), GpibConst::Err | GpibConst::Timo);
        QCOMPARE(gpib.iberr, qint16(6)); // EABO
        QCOMPARE(bus.ends, ends);
        if (ends == 0) {
            QString reply;
            QCOMPARE(ReadReply(reply, 2, false), -1);
            QCOMPARE(modData().CommKind, LinkKind::Simulated);
        }
        QTEST(bus.f.prompter->texts(), "prompts");
        for (const Prompt &p : bus.f.prompter->shown)
            QVERIFY(p.text == TimedOut
                    || (p.title == "ZOP Panel" && p.buttons == MsgButtons::YesNo && p.icon == MsgIcon::None));
    }

    // The question's box runs window events; a poll's tick inside it sends and reads on the same
    // vacant address. Before, its failures stacked a second identical question on the first.
    void oneQuestionAtATime()
    {
        GpibBus bus({}, "7");
        QVERIFY(OpenLink());
        bus.f.prompter->answers = {MsgAnswer::Yes, MsgAnswer::Yes};
        int depth = 0;
        int deepest = 0;
        bool waitingSeen = false;
        bus.f.prompter->whileShown = [&] {
            deepest = std::max(deepest, ++depth);
            waitingSeen = waitingSeen || Comm().isWaiting();
            if (depth == 1 && bus.f.prompter->shown.size() == 1) {
                SendCommand(QStringLiteral("<>STA"), false);
                QString reply;
                ReadStatusReply(reply, 1, false);
            }
            --depth;
        };
        SendCommand(QStringLiteral("<>STA"), false);
        QCOMPARE(deepest, 1);
        QVERIFY(waitingSeen); // the panels' timers hold back while the question is up
        QCOMPARE(bus.f.prompter->texts(), QStringList{NoDevicePrompt.arg(7)});
        QVERIFY(!Comm().isWaiting());
    }

    // A bus that answers every call but a read, and the read a character every 100 ms without
    // ever ending its line: the read must end within its time-out (and the bus's margin), not
    // wait again for every character that trickles in.
    void tricklingBusCannotStretchACall()
    {
        Fixture f;
        const QByteArray path = QFile::encodeName(f.path(QStringLiteral("bus")));
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        QCOMPARE(::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        QCOMPARE(::listen(server, 1), 0);
        std::atomic<bool> done{false};
        std::thread bus([server, &done] {
            const int client = ::accept(server, nullptr, nullptr);
            QByteArray request;
            char c = 0;
            while (!done && client >= 0 && ::recv(client, &c, 1, 0) == 1) {
                if (c != '\n') {
                    request += c;
                    continue;
                }
                const QList<QByteArray> words = request.split(' ');
                request.clear();
                for (qsizetype left = words.value(4).toLongLong(); left > 0 && ::recv(client, &c, 1, 0) == 1;)
                    --left; // the request's payload
                if (words.value(0) != "RD") {
                    ::send(client, "0 0 0 0\n", 8, MSG_NOSIGNAL);
                    continue;
                }
                for (int i = 0; i < 150 && !done && ::send(client, "0", 1, MSG_NOSIGNAL) == 1; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            if (client >= 0)
                ::close(client);
        });
        qputenv(GpibLibrary::PathVariable, ZOP_GPIB_STANDIN);
        qputenv("ZOP_GPIB_SOCKET", path);
        modData().CommAddress = QStringLiteral("5");
        Gpib &gpib = modData().gpib;
        gpib.GpibOpen(); // a 300 ms time-out
        QByteArray buffer(16, '\0');
        QElapsedTimer timer;
        timer.start();
        gpib.GpibRead(buffer);
        const qint64 took = timer.elapsed();
        done = true;
        ::shutdown(server, SHUT_RDWR);
        bus.join();
        ::close(server);
        QVERIFY(gpib.failed());
        QVERIFY2(took < 4000, qPrintable(QStringLiteral("the read took %1 ms").arg(took)));
    }

    // A library that cannot be used, and a board the system refuses to open for a user outside
    // its group (the library's EDVR with EACCES; here the bus socket in its private folder):
    // the opening fails at once, naming the file and the loader's reason, or the board's node,
    // its group and what to do, instead of asking about every transfer.
    void unusableBoard_data()
    {
        QTest::addColumn<QString>("library"); // empty: the stand-in, the board's node refused
        QTest::addColumn<QString>("record");  // in the details and "debug.txt"
        // The file asked for and the loader's reason, not a variant of the name the loader tried.
        QTest::newRow("missing") << "/nonexistent/libgpib.so.0"
                                 << "File not found: /nonexistent/libgpib.so.0 "
                                    "(/nonexistent/libgpib.so.0: cannot open shared object file";
        QTest::newRow("without FindLstn") << ZOP_GPIB_NOFINDLSTN << "Can't find DLL entry point FindLstn in ";
        QTest::newRow("board refused")
            << "" << "Permission to open <node> was refused: add your user to the group dialout, then log in again"
                     "\r\nError Source : GPIB\r\nError #: 13\"\r\n";
    }

    void unusableBoard()
    {
        QFETCH(QString, library);
        QFETCH(QString, record);
        if (library.isEmpty() && ::geteuid() != 0)
            QSKIP("giving the node a group and opening the board as another user needs root");
        GpibBus bus;
        std::optional<Unprivileged> user;
        if (library.isEmpty()) {
            const QString node = bus.f.path("gpib0");
            bus.f.writeFile("gpib0", "");
            const struct group *dialout = ::getgrnam("dialout");
            QVERIFY(dialout);
            QVERIFY(::chown(QFile::encodeName(node).constData(), uid_t(-1), dialout->gr_gid) == 0);
            QVERIFY(::chmod(QFile::encodeName(node).constData(), 0660) == 0);
            QVERIFY(::chmod(QFile::encodeName(bus.f.dir.path()).constData(), 0777) == 0);
            modData().gpib.BoardDeviceNode = node;
            record.replace("<node>", node);
            user.emplace();
            QVERIFY(user->dropped());
        } else {
            qputenv(GpibLibrary::PathVariable, library.toLocal8Bit());
        }
        QVERIFY(!OpenLink());
        user.reset();
        QCOMPARE(modData().CommKind, LinkKind::Simulated);
        QCOMPARE(bus.f.prompter->texts(), QStringList{NotFound});
        QVERIFY2(bus.f.prompter->shown.first().details.contains(record.section("\r\n", 0, 0)),
                 qPrintable(bus.f.prompter->shown.first().details));
        const QString debug = bus.f.debugText();
        QVERIFY2(debug.startsWith("\"Initialization Error:\r\nError Description: " + record), qPrintable(debug));
        QString reply; // the program runs on simulated
        QCOMPARE(ReadReply(reply, 2, false), 7);
    }
};

QTEST_GUILESS_MAIN(TestGpibLink)
#include "test_gpiblink.moc"
