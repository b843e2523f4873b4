// The programming run on a scripted RS-232 line answered by the emulator's boot loader, on a
// manual clock: a whole run, the file checks, every time-out, re-sends, Stop in each phase,
// files refused before contact, the restart without an answer, the modulation repair of
// old firmware and a port lost mid-run.

#include "loaderfixture.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
using S = LoaderStatus;
using Phase = ProgrammingRun::Phase;

// 0x1800 bytes from 0 (the first record is the skipped "0000"), then 0x40 bytes at 0x10000
// (its first record at "0000" of page 1 is sent).
struct Image {
    QByteArray low = Pattern(0x1800, 1);
    QByteArray high = Pattern(0x40, 2);
    QByteArray text() const
    {
        QByteArray hex = HexText(low);
        hex.chop(QByteArrayLiteral(":00000001FF\r\n").size());
        return hex + HexText(high, 0x10000);
    }
};

int ErasedAddress(const QByteArray &packet)
{
    return quint8(packet.at(4)) | quint8(packet.at(5)) << 8 | quint8(packet.at(6)) << 16;
}

// count - 2 data records, the end record and the empty piece after the final line feed.
QByteArray Lines(int count) { return HexText(Pattern(16 * (count - 2))); }
} // namespace

Q_DECLARE_METATYPE(zop::ProgrammingRun::Phase)
Q_DECLARE_METATYPE(zopsim::BootLoader::Faults)

class TestProgrammingRun : public QObject {
    Q_OBJECT
private slots:
    void programsTheImage()
    {
        LoaderFixture f;
        const Image image;
        f.run.Start(f.writeHex(image.text()));
        QVERIFY(modData().comm.KeepAliveOff);
        QVERIFY(f.tickToEnd());
        QCOMPARE(f.statuses, QList<S>({S::Cleared, S::Initiating, S::Erasing, S::Loading, S::Finished}));
        QVERIFY(f.barFull);
        QVERIFY(!modData().comm.KeepAliveOff);

        QList<int> erased;
        for (const QByteArray &p : f.packets(LoaderByte::Erase))
            erased << ErasedAddress(p);
        QList<int> expected{0x200};
        for (int a = 0x1000; a <= 0x1F000; a += 0x1000)
            expected << a;
        QCOMPARE(erased, expected);

        // Every record but the first of page 0 is in the flash; the rest is erased.
        QByteArray flash(zopsim::BootLoader::FlashSize, char(0xFF));
        flash.replace(16, image.low.size() - 16, image.low.mid(16));
        flash.replace(0x10000, image.high.size(), image.high);
        QVERIFY(f.boot.flash() == flash);
        QCOMPARE(f.packets(LoaderByte::WriteSmall).size(), image.low.size() / 16 - 1 + image.high.size() / 16);
        QCOMPARE(f.line->written.count(Create_Reset()), 1);

        // The new firmware answered and the state was read again; nothing was logged.
        const QStringList commands = f.line->commands();
        QCOMPARE(commands.count(QStringLiteral("VOLT?")), 2);
        QVERIFY(commands.contains(QStringLiteral("<>ALL")));
        QCOMPARE(f.log.logText(), QStringLiteral("RS232 - Initialized\r\n"));
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void timeOuts_data()
    {
        QTest::addColumn<bool>("bootLoader");
        QTest::addColumn<int>("muteFrom");
        QTest::addColumn<QString>("message");
        QTest::addColumn<Phase>("phase");
        QTest::newRow("no contact") << false << 0 << LoaderText::NoContact << Phase::Contact;
        QTest::newRow("silent while erasing") << true << 5 << LoaderText::LostContact << Phase::Erase;
        QTest::newRow("silent while loading") << true << 40 << LoaderText::LostContact << Phase::Load;
    }

    void timeOuts()
    {
        QFETCH(bool, bootLoader);
        QFETCH(int, muteFrom);
        QFETCH(QString, message);
        QFETCH(Phase, phase);
        LoaderFixture f;
        if (!bootLoader)
            f.boot.receive(Create_Reset()); // gone: the instrument runs its firmware
        f.boot.setFaults({0, 0, muteFrom});
        f.run.Start(f.writeHex(Image().text()));
        QVERIFY(f.tickToEnd());
        QCOMPARE(f.statuses.last(), S::TimedOut);
        QCOMPARE(f.prompter->texts(), QStringList{message});
        QCOMPARE(f.prompter->shown.first().title, LoaderText::LoaderTitle);
        const QByteArray last = f.line->written.last();
        const int repeats = int(f.line->written.count(last));
        if (phase == Phase::Contact) {
            // One synchronisation byte per tick for 10 s.
            QCOMPARE(last, QByteArray("\x0F"));
            QVERIFY2(repeats > 600 && repeats <= 10000 / ProgrammingRun::TickMs + 1,
                     qPrintable(QString::number(repeats)));
            QCOMPARE(repeats, f.line->written.size());
        } else {
            // The unacknowledged packet went out again every 2 s until the 10 s had passed.
            QCOMPARE(quint8(last.at(2)), phase == Phase::Erase ? LoaderByte::Erase : LoaderByte::WriteSmall);
            QVERIFY2(repeats == 5 || repeats == 6, qPrintable(QString::number(repeats)));
        }
        QVERIFY(!modData().comm.KeepAliveOff);
    }

    void resendsSpoiledAcknowledgement_data()
    {
        QTest::addColumn<zopsim::BootLoader::Faults>("faults");
        QTest::addColumn<int>("spoiled"); // the acknowledgement's packet, counted from 1
        QTest::newRow("erase ack cut short") << zopsim::BootLoader::Faults{0, 3, 0} << 3;
        QTest::newRow("load ack dropped") << zopsim::BootLoader::Faults{35, 0, 0} << 35;
    }

    void resendsSpoiledAcknowledgement()
    {
        QFETCH(zopsim::BootLoader::Faults, faults);
        QFETCH(int, spoiled);
        LoaderFixture f;
        f.boot.setFaults(faults);
        f.run.Start(f.writeHex(Image().text()));
        QVERIFY(f.tickToEnd());
        QCOMPARE(f.statuses.last(), S::Finished);
        const QList<QByteArray> sent = f.packets();
        QCOMPARE(sent.at(spoiled - 1), sent.at(spoiled));
        QVERIFY(sent.at(spoiled) != sent.at(spoiled + 1));
        QCOMPARE(f.boot.flash().mid(16, 0x1800 - 16), Image().low.mid(16));
    }

    void stopInEachPhase_data()
    {
        QTest::addColumn<Phase>("phase");
        QTest::addColumn<bool>("waitsForAck"); // Stop acts only after an acknowledged block
        QTest::newRow("contact") << Phase::Contact << false;
        QTest::newRow("erasing") << Phase::Erase << true;
        QTest::newRow("loading") << Phase::Load << false;
        QTest::newRow("restart") << Phase::Restart << false;
    }

    void stopInEachPhase()
    {
        QFETCH(Phase, phase);
        QFETCH(bool, waitsForAck);
        LoaderFixture f;
        if (phase == Phase::Contact)
            f.boot.receive(Create_Reset());
        f.run.Start(f.writeHex(Image().text()));
        QVERIFY(f.tickUntil([&] { return f.run.phase() == phase; }));
        f.line->pending.clear(); // the instrument is silent from here
        f.line->responder = {};
        f.line->written.clear();
        f.run.Stop();
        f.tickUntil([] { return false; }, 2100);
        QCOMPARE(f.run.isActive(), waitsForAck);
        if (waitsForAck) {
            // The block was sent again; its acknowledgement ends the run.
            QCOMPARE(f.line->written.size(), 1);
            f.line->deliver(f.clock->elapsedMs(), "\x0F\x0F\x02\xFE\x04");
            QVERIFY(f.tickToEnd(100));
            QCOMPARE(f.line->written.size(), 1);
        } else {
            QVERIFY(f.line->written.isEmpty());
        }
        QCOMPARE(f.statuses.last(), S::Stopped);
        QVERIFY(!modData().comm.KeepAliveOff);
    }

    void refusedBeforeContact_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // its start
        // A file of fewer than 11 lines, or a path shorter than 5 characters, is an invalid file.
        QTest::newRow("10 lines") << Lines(10) << "fw.hex" << int(S::InvalidFile) << "";
        QTest::newRow("11 lines") << Lines(11) << "fw.hex" << int(S::Finished) << "";
        QTest::newRow("short path") << Lines(20) << "f.h" << int(S::InvalidFile) << "";
        // Twelve data records on lines 1 to 12, the end record on line 13.
        const QByteArray text = Lines(14);
        const auto error = [&](const char *name, const QByteArray &from, const QByteArray &to, const QString &message) {
            QTest::newRow(name) << QByteArray(text).replace(from, to) << "fw.hex" << int(S::Error) << message;
        };
        error("start address before the end, as objcopy writes from an ELF", ":00000001FF",
              ":0400000508000000EF\r\n:00000001FF", "Line 13: a start linear address record (type 05) cannot be programmed");
        error("no end record", ":00000001FF\r\n", "", "Line 13: the file ends without an end-of-file record");
        error("damaged checksum", "\r\n:10006000", "\r\n:10006100", "Line 7: the record checksum is ");
    }

    // A file that fails the whole-file check ends the run with "Error" and a message naming the
    // line, before the first synchronisation byte: the instrument is neither contacted nor erased.
    void refusedBeforeContact()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(QString, message);
        LoaderFixture f;
        f.writeHex(text, name);
        f.run.Start(name.size() < 5 ? name : f.path(name));
        if (status == int(S::Finished)) {
            QVERIFY(f.tickToEnd());
            QCOMPARE(f.statuses.last(), S::Finished);
            return;
        }
        QVERIFY(!f.run.isActive());
        QCOMPARE(f.statuses, QList<S>({S::Cleared, S(status)}));
        QCOMPARE(f.prompter->texts().size(), message.isEmpty() ? 0 : 1);
        for (const Prompt &p : std::as_const(f.prompter->shown))
            QVERIFY2(p.title == LoaderText::LoaderTitle && p.text.startsWith(message), qPrintable(p.text));
        QVERIFY(!modData().comm.KeepAliveOff);
        f.tickUntil([] { return false; }, 1000);
        QVERIFY(f.line->written.isEmpty());
    }

    void noAnswerAfterRestart()
    {
        LoaderFixture f;
        f.voltAnswer.clear();
        f.run.Start(f.writeHex(Image().text()));
        QVERIFY(f.tickUntil([&] { return f.run.phase() == Phase::Restart; }));
        const qint64 restart = f.clock->elapsedMs();
        QVERIFY(f.tickToEnd());
        QCOMPARE(f.statuses.last(), S::FinishedWarning);
        QVERIFY(f.barFull);
        QCOMPARE(f.prompter->shown.size(), 1);
        QCOMPARE(f.prompter->shown.first().title, LoaderText::WarningTitle);
        QCOMPARE(f.prompter->shown.first().text, LoaderText::NoAnswer);
        QCOMPARE(f.prompter->shown.first().icon, MsgIcon::Exclamation);
        // Two 6-second windows of 1-second reads, 5 s apart.
        const qint64 took = f.clock->elapsedMs() - restart;
        QVERIFY2(took >= 17000 && took < 17500, qPrintable(QString::number(took)));
        QCOMPARE(f.line->commands().count(QStringLiteral("VOLT?")), 12);
        QVERIFY(!f.line->commands().contains(QStringLiteral("<>ALL")));
    }

    void repairsModulationOfOldFirmware_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QByteArray>("row3");
        QTest::addColumn<QStringList>("writes");
        QStringList clear{QStringLiteral("MOD:TYPE:SEL 1,0")};
        for (int r = 1; r <= 20; ++r)
            clear << QStringLiteral("MOD:TABL %1(0,0)").arg(r);
        clear << QStringLiteral("MOD:TYPE:SEL 0,0");
        QTest::newRow("2.0, bad row: cleared") << "2.0" << QByteArray("3(5,0)\r\n") << clear;
        QTest::newRow("2.0, good rows: selection re-sent")
            << "2.0" << QByteArray("3(1.5,-2)\r\n") << QStringList{QStringLiteral("MOD:TYPE:SEL 2,1")};
        QTest::newRow("2.1: untouched") << "2.1" << QByteArray("3(5,0)\r\n") << QStringList();
    }

    void repairsModulationOfOldFirmware()
    {
        QFETCH(QString, version);
        QFETCH(QByteArray, row3);
        LoaderFixture f;
        f.line->answer(QStringLiteral("SYST:VERS?"),
                       "ZOP-SIM Firmware " + version.toLatin1() + " Hardware Revision 1.30\r\n");
        f.line->answer(QStringLiteral("MOD:TYPE:SEL?"), "2,1\r\n");
        for (int r = 1; r <= 20; ++r)
            f.line->answer(QStringLiteral("MOD:TABL? %1").arg(r),
                           r == 3 ? row3 : QByteArray::number(r) + "(0.5,10)\r\n");
        f.run.Start(f.writeHex(Image().text()));
        QVERIFY(f.tickToEnd());
        QCOMPARE(f.statuses.last(), S::Finished);
        QStringList sets;
        for (const QString &c : f.line->commands()) {
            if (c.startsWith(QLatin1String("MOD:")) && !c.contains(QLatin1Char('?')))
                sets << c;
        }
        QTEST(sets, "writes");
        QCOMPARE(f.line->commands().contains(QStringLiteral("MOD:TYPE:SEL?")), version == "2.0");
    }

    void portLostMidRun()
    {
        LoaderFixture f;
        f.run.Start(f.writeHex(Image().text()));
        QVERIFY(f.tickUntil([&] { return f.run.phase() == Phase::Load; }));
        f.line->lost = true;
        QVERIFY(f.tickToEnd(100));
        QCOMPARE(f.statuses.last(), S::Error);
        QCOMPARE(f.prompter->texts(), QStringList{CommText::NotFound});
        QCOMPARE(modData().CommKind, LinkKind::Simulated);
        QVERIFY(f.debugText().contains(QStringLiteral("Error #: ")));
        QVERIFY(!modData().comm.KeepAliveOff);
    }
};

QTEST_GUILESS_MAIN(TestProgrammingRun)
#include "test_programmingrun.moc"
