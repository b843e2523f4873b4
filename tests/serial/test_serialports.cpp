// Which device a serial link opens: the order in which the ports present are numbered, the
// port number and the "Device" setting (the key in the file: the setup tests), and the list
// zopctl ports prints. Only lists of names and a folder of files standing in for /dev are used
// here; no device is opened or looked at.

#include "link/serialports.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace zop;

class TestSerialPorts : public QObject {
    Q_OBJECT
private slots:
    void portOrder_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("built-in before adapters")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyS0"}
            << QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"};
        QTest::newRow("adapters before modem-class ports")
            << QStringList{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyUSB0"}
            << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0"};
        QTest::newRow("numbers compare as numbers")
            << QStringList{"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyUSB10", "/dev/ttyUSB9"}
            << QStringList{"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB9", "/dev/ttyUSB10"};
        QTest::newRow("on-board UARTs count as built-in")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyAMA0", "/dev/ttyS0"}
            << QStringList{"/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyUSB0"};
        QTest::newRow("listed twice counts once")
            << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB0"} << QStringList{"/dev/ttyUSB0"};
    }

    void portOrder()
    {
        QFETCH(QStringList, present);
        QTEST(SerialPortOrder(present), "ordered");
    }

    // Port n is the n-th port present (on real ports in test_seriallink); here: when there is
    // none, and the Device key.
    void portLocation_data()
    {
        QTest::addColumn<qint32>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("problem"); // a part of the reason, when there is no location

        const QStringList laptop{"/dev/ttyUSB0"};
        const QStringList desktop{"/dev/ttyUSB0", "/dev/ttyS0"};
        QTest::newRow("COM3 is not there")
            << 3 << "" << desktop << ""
            << "Serial port COM3 does not exist: the serial ports here are COM1 = /dev/ttyS0, "
               "COM2 = /dev/ttyUSB0";
        QTest::newRow("no ports at all")
            << 1 << "" << QStringList{} << "" << "no serial port was found on this machine";
        QTest::newRow("port 0") << 0 << "" << laptop << "" << "No serial port is configured";
        QTest::newRow("Device wins over the port number")
            << 2 << "/dev/ttyUSB3" << desktop << "/dev/ttyUSB3" << "";
        QTest::newRow("Device even with port 0") << 0 << "/dev/ttyACM1" << QStringList{}
                                                 << "/dev/ttyACM1" << "";
        QTest::newRow("blank Device is no Device") << 1 << "  " << laptop << "/dev/ttyUSB0" << "";
    }

    void portLocation()
    {
        QFETCH(qint32, port);
        QFETCH(QString, device);
        QFETCH(QStringList, present);
        QFETCH(QString, problem);
        int listed = 0;
        QString reason;
        const QString found = SerialPortLocation(port, device, [&] {
            ++listed;
            return present;
        }, &reason);
        QTEST(found, "location");
        QVERIFY2(reason.contains(problem), qPrintable(reason));
        QCOMPARE(reason.isEmpty(), problem.isEmpty());
        // The ports present are only looked at when the port number has to be turned into one.
        if (!device.trimmed().isEmpty() || port < 1)
            QCOMPARE(listed, 0);
    }

    // zopctl ports: in port-number order, each port with the by-id links that lead to it,
    // relative or absolute, and none that lead elsewhere or nowhere.
    void portTable()
    {
        QTemporaryDir dev;
        const QDir root(dev.path());
        for (const char *name : {"ttyS0", "ttyUSB0", "ttyUSB1"})
            QVERIFY(QFile(root.filePath(name)).open(QIODevice::WriteOnly));
        QVERIFY(root.mkpath("serial/by-id"));
        const QString byId = root.filePath("serial/by-id");
        QVERIFY(QFile::link("../../ttyUSB1", byId + "/usb-FTDI_FT232R_A1-if00-port0"));
        QVERIFY(QFile::link(root.filePath("ttyUSB0"), byId + "/usb-Prolific_PL2303-if00-port0"));
        QVERIFY(QFile::link("../../ttyUSB0", byId + "/usb-Prolific_PL2303-if00"));
        QVERIFY(QFile::link("../../ttyUSB7", byId + "/usb-gone-if00-port0"));
        QList<QStringList> rows; // port, device, by-id links
        for (const SerialPortRow &r :
             SerialPortTable({root.filePath("ttyUSB1"), root.filePath("ttyUSB0"), root.filePath("ttyS0")}, byId))
            rows << QStringList{QString::number(r.port), r.device} + r.byId;
        QCOMPARE(rows, (QList<QStringList>{
                           {"1", root.filePath("ttyS0")},
                           {"2", root.filePath("ttyUSB0"), byId + "/usb-Prolific_PL2303-if00",
                            byId + "/usb-Prolific_PL2303-if00-port0"},
                           {"3", root.filePath("ttyUSB1"), byId + "/usb-FTDI_FT232R_A1-if00-port0"}}));
    }
};

QTEST_GUILESS_MAIN(TestSerialPorts)
#include "test_serialports.moc"
