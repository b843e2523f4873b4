// Whole programming runs against zop-sim's boot loader on a pseudo-terminal with HEX files
// written by the tools people use (objcopy from a binary or an ELF file, srec_cat, Python's
// intelhex). A file the run can program ends in a flash image equal to objcopy's binary image
// of it (gaps blank), but for the page-0 record at 0000, which the loader never sends. A file
// it cannot program is refused before anything reaches the emulator: its trace stays empty.

#include "loaderfixture.h"
#include "link/transports.h"
#include "simprocess.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// Writes `image` as image.bin in `folder` and makes fw.hex from it the way `recipe` says;
// returns the HEX file's path, or empty when a tool is missing or failed.
QString MakeHex(const QString &recipe, const QByteArray &image, const QString &folder)
{
    const QDir dir(folder);
    QFile bin(dir.filePath(QStringLiteral("image.bin")));
    if (!bin.open(QIODevice::WriteOnly) || bin.write(image) != image.size())
        return {};
    bin.close();
    const QString hex = dir.filePath(QStringLiteral("fw.hex"));
    bool made = false;
    if (recipe == QLatin1String("objcopy")) {
        made = RunTool("objcopy", {"-I", "binary", "-O", "ihex", "image.bin", "fw.hex"}, folder);
    } else if (recipe == QLatin1String("srec_cat")) {
        made = RunTool("srec_cat", {"image.bin", "-binary", "-o", "fw.hex", "-intel"}, folder);
    } else if (recipe == QLatin1String("intelhex")) {
        // Debian's python3-intelhex is the system interpreter's.
        made = RunTool("/usr/bin/python3",
                       {"-c", "from intelhex import IntelHex\nh = IntelHex()\n"
                              "h.loadbin('image.bin')\nh.write_hex_file('fw.hex')"},
                       folder);
    } else if (recipe.startsWith(QLatin1String("elf"))) {
        // An ELF file linked at 0x200, its entry the start (elf) or an address given after
        // the colon, then objcopy's HEX file of it.
        QFile source(dir.filePath(QStringLiteral("fw.s")));
        made = source.open(QIODevice::WriteOnly)
            && source.write(".globl _start\n.text\n_start:\n.incbin \"image.bin\"\n") > 0;
        source.close();
        const QString entry = recipe.section(QLatin1Char(':'), 1);
        made = made && RunTool("as", {"-o", "fw.o", "fw.s"}, folder)
            && RunTool("ld",
                       {"-Ttext=0x200", "-e", entry.isEmpty() ? QStringLiteral("_start") : entry,
                        "-o", "fw.elf", "fw.o"},
                       folder)
            && RunTool("objcopy", {"-O", "ihex", "fw.elf", "fw.hex"}, folder);
    }
    return made ? hex : QString();
}

} // namespace

class TestLoaderAgainstSim : public QObject {
    Q_OBJECT
private slots:
    void toolFiles_data()
    {
        QTest::addColumn<QString>("recipe");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("from"); // replaced in the file as the tool wrote it
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("entry"); // how the instrument comes to be in its boot loader
        QTest::addColumn<QString>("message"); // the start of the refusal; empty: programmed

        const auto row = [](const char *name, const QString &recipe, int size, const QString &entry,
                            const QString &message = {}, const QByteArray &from = {}, const QByteArray &to = {}) {
            QTest::newRow(name) << recipe << size << from << to << entry << message;
        };
        row("objcopy from a binary, 4 KiB", "objcopy", 0x1000, "--boot-on-sync");
        row("srec_cat from a binary, 80 KiB: two pages", "srec_cat", 0x14000, "--boot-loader");
        row("intelhex from a binary, 8 KiB", "intelhex", 0x2000, "--boot-loader");
        // 256 data records from 0x200, then objcopy's start address record: type 03 for an entry
        // below 1 MiB, 05 above.
        row("objcopy from an ELF file", "elf", 0x1000, "--boot-on-sync",
            "Line 257: a start segment address record (type 03) cannot be programmed: leave it out");
        row("objcopy from an ELF file, entry above 1 MiB", "elf:0x100200", 0x1000, "--boot-on-sync",
            "Line 257: a start linear address record (type 05) cannot be programmed: leave it out");
        // objcopy addresses the second 64 KiB with an extended segment address record.
        row("objcopy from a binary, 80 KiB", "objcopy", 0x14000, "--boot-on-sync",
            "Line 4097: an extended segment address record (type 02) cannot be programmed");
        // The address of the third record changed, its checksum not.
        row("damaged checksum", "objcopy", 0x1000, "--boot-on-sync", "Line 3: the record checksum is ", "\n:10002000",
            "\n:10002100");
        // srec_cat: a page record, 128 records of 32 bytes, the end record on line 130.
        row("no end record", "srec_cat", 0x1000, "--boot-on-sync", "Line 130: the file ends without an end-of-file record",
            ":00000001FF");
    }

    void toolFiles()
    {
        QFETCH(QString, recipe);
        QFETCH(int, size);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, entry);
        QFETCH(QString, message);
        Fixture f;
        const QString hex = MakeHex(recipe, Pattern(size, size), f.dir.path());
        QVERIFY2(!hex.isEmpty(), "binutils, srecord and python3-intelhex are needed: run "
                                 "scripts/install-deps.sh");
        if (!from.isEmpty()) {
            QFile file(hex);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray text = file.readAll();
            QVERIFY(text.contains(from));
            QVERIFY(file.resize(0) && file.write(text.replace(from, to)) > 0);
        }
        const QString dump = f.path(QStringLiteral("flash.bin"));
        const QByteArray expected = ObjcopyFlashImage(hex, f.path(QStringLiteral("objcopy.bin")),
                                                      zopsim::BootLoader::FlashSize);

        SimProcess sim({entry, QStringLiteral("--flash-dump"), dump,
                        QStringLiteral("--boot-firmware"), QStringLiteral("4.80")},
                       SimLine::Pty);
        QVERIFY(!sim.linkPath().isEmpty());
        ModData &data = modData();
        data.comm.setTransportFactory(MakeTransport);
        data.CommDevice = sim.linkPath();
        data.CommKind = LinkKind::Rs232;
        QVERIFY(OpenLink());

        ProgrammingRun run;
        QList<LoaderStatus> statuses;
        connect(&run, &ProgrammingRun::statusChanged, [&](LoaderStatus s) { statuses << s; });
        run.Start(hex);
        // The emulator answers at once; the manual clock only has to carry the restart's waits.
        QElapsedTimer guard;
        guard.start();
        while (run.isActive() && guard.elapsed() < 90000) {
            QTest::qWait(2);
            f.clock->advance(20);
        }
        QVERIFY(!run.isActive());

        if (!message.isEmpty()) {
            QCOMPARE(statuses, QList<LoaderStatus>({LoaderStatus::Cleared, LoaderStatus::Error}));
            QCOMPARE(f.prompter->shown.size(), 1);
            QVERIFY2(f.prompter->shown.first().text.startsWith(message),
                     qPrintable(f.prompter->shown.first().text));
            QTest::qWait(200); // anything sent would be in the trace by now
            QCOMPARE(sim.received(), QByteArray());
            QCOMPARE(sim.notes().filter(QStringLiteral("boot:")), QStringList());
            QVERIFY(!QFile::exists(dump));
            return;
        }
        QCOMPARE(statuses.last(), LoaderStatus::Finished);
        QCOMPARE(data.FirmwareVersion, QStringLiteral("4.8"));
        QVERIFY(f.prompter->shown.isEmpty());
        QVERIFY2(!expected.isEmpty(), "objcopy (binutils) is needed: run scripts/install-deps.sh");
        const QByteArray image = FileBytes(dump);
        QCOMPARE(image.size(), expected.size());
        for (qsizetype i = 0; i < image.size(); ++i) {
            if (image.at(i) != expected.at(i))
                QFAIL(qPrintable(QStringLiteral("first difference at 0x%1").arg(i, 0, 16)));
        }
    }
};

QTEST_GUILESS_MAIN(TestLoaderAgainstSim)
#include "test_loaderagainstsim.moc"
