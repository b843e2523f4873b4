// zop-panel and zop-sim as processes, over a pseudo-terminal: the start-up sequence of each
// serial link kind as the instrument sees it, with the line speed of every byte.

#include "simprocess.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zop::test;

namespace {

const QByteArray StartupQueries = "<>SCL\n<>ALL\nSYST:VERS?\nSYST:ERR?\n";

} // namespace

class TestSerialE2e : public QObject {
    Q_OBJECT
private slots:
    void startup_data()
    {
        QTest::addColumn<QByteArray>("comm");
        QTest::addColumn<QByteArray>("linkName");
        QTest::addColumn<QByteArray>("at9600");
        QTest::addColumn<QByteArray>("at19200");
        QTest::addColumn<QStringList>("notes");
        QTest::newRow("RS-232") << QByteArray("RS-232") << QByteArray("RS232") << QByteArray()
                                << StartupQueries << QStringList{};
        QTest::newRow("RS-485 selected")
            << QByteArray("RS-485") << QByteArray("RS485") << QByteArray("\x13" "11" "\x01")
            << "\n" + StartupQueries << QStringList{"selected as 11"};
        QTest::newRow("RS-485 framed")
            << QByteArray("RS-485 Framed") << QByteArray("RS485") << QByteArray()
            << QByteArray("&11800\r{11<>SCL\n\r{11<>ALL\n\r{11SYST:VERS?\n\r{11SYST:ERR?\n\r")
            << QStringList{"attached"};
    }

    void startup()
    {
        QFETCH(QByteArray, comm);
        QFETCH(QByteArray, linkName);
        QFETCH(QByteArray, at9600);
        QFETCH(QByteArray, at19200);
        QFETCH(QStringList, notes);
        SimProcess sim({QStringLiteral("--volts"), QStringLiteral("30"), QStringLiteral("--amps"),
                        QStringLiteral("50"), QStringLiteral("--rs485-address"), QStringLiteral("17")},
                       SimLine::Pty);
        QVERIFY(!sim.linkPath().isEmpty());
        QTemporaryDir dir;
        // The port number names no port here, so the device wins.
        QVERIFY(WritePanelConfig(dir.path(), {{"Communication", "Comm", QString::fromLatin1(comm)},
                                              {"Communication", "Address", "17"},
                                              {"Communication", "Port", "9"},
                                              {"Communication", "Device", sim.linkPath()}}));
        const QByteArray out = RunPanelStartup(dir.path());
        QVERIFY2(out.contains("link: " + linkName + "\n"), out.constData());
        QVERIFY2(out.contains("rated: 30 V, 50 A\n"), out.constData());
        QVERIFY2(out.contains("firmware: 4.7\n"), out.constData());

        QByteArray slow;
        QByteArray talk;
        for (const SimProcess::SerialChunk &chunk : sim.receivedOnLine()) {
            QVERIFY2(chunk.baud == 9600 || chunk.baud == 19200, qPrintable(QString::number(chunk.baud)));
            (chunk.baud == 9600 ? slow : talk) += chunk.bytes;
        }
        QCOMPARE(slow, at9600);
        QCOMPARE(talk, at19200);
        QCOMPARE(sim.notes(), notes);
        QVERIFY(sim.isRunning());
    }
};

QTEST_GUILESS_MAIN(TestSerialE2e)
#include "test_serial_e2e.moc"
