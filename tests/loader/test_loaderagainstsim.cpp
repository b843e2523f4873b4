// Whole programming runs against zop-sim's boot loader on a pseudo-terminal: the flash image
// the emulator writes out equals objcopy's binary image of the same HEX file (gaps blank),
// but for the first record of page 0, which the loader never sends.

#include "loaderfixture.h"
#include "link/transports.h"
#include "simprocess.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestLoaderAgainstSim : public QObject {
    Q_OBJECT
private slots:
    void imageMatchesObjcopy_data();
    void imageMatchesObjcopy();
};

void TestLoaderAgainstSim::imageMatchesObjcopy_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("entry"); // how the instrument comes to be in its boot loader
    QTest::newRow("4 KiB, entered on synchronisation") << 0x1000 << "--boot-on-sync";
    QTest::newRow("80 KiB, two pages") << 0x14000 << "--boot-loader";
}

void TestLoaderAgainstSim::imageMatchesObjcopy()
{
    QFETCH(int, size);
    QFETCH(QString, entry);
    Fixture f;
    const QString hex = f.path(QStringLiteral("fw.hex"));
    const QString dump = f.path(QStringLiteral("flash.bin"));
    const QByteArray text = HexText(Pattern(size, size));
    QCOMPARE(text.contains(":02000004"), size > 0x10000);
    f.writeFile(QStringLiteral("fw.hex"), text);
    const QByteArray expected = ObjcopyFlashImage(hex, f.path(QStringLiteral("objcopy.bin")),
                                                  zopsim::BootLoader::FlashSize);
    QVERIFY2(!expected.isEmpty(), "objcopy (binutils) is needed: run scripts/install-deps.sh");

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
    QCOMPARE(statuses.last(), LoaderStatus::Finished);
    QCOMPARE(data.FirmwareVersion, QStringLiteral("4.8"));
    QVERIFY(f.prompter->shown.isEmpty());

    QFile flash(dump);
    QVERIFY(flash.open(QIODevice::ReadOnly));
    const QByteArray image = flash.readAll();
    QCOMPARE(image.size(), expected.size());
    for (qsizetype i = 0; i < image.size(); ++i) {
        if (image.at(i) != expected.at(i))
            QFAIL(qPrintable(QStringLiteral("first difference at 0x%1").arg(i, 0, 16)));
    }
}

QTEST_GUILESS_MAIN(TestLoaderAgainstSim)
#include "test_loaderagainstsim.moc"
