// What zopctl's --link names: the program's own link URLs and the VISA resource strings pasted
// from VISA tools, with the raw port that a TCPIP::HOST::INSTR resource needs.

#include "link/linkurl.h"

#include <QtTest>

using namespace zop;

class TestLinkUrl : public QObject {
    Q_OBJECT
private slots:
    void links_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("rawPort"); // --port; 0: not given
        // "KIND ADDRESS:PORT DEVICE", or "refused: " and a part of the reason.
        QTest::addColumn<QString>("link");
        QTest::newRow("tcp") << "tcp://10.1.2.3:5025" << 0 << "2 10.1.2.3:5025";
        QTest::newRow("tcp default port") << "tcp://psu.lab" << 0 << "2 psu.lab:50505";
        QTest::newRow("tcp no host") << "tcp://:5025" << 0 << "refused: tcp://HOST:PORT";
        QTest::newRow("serial path") << "serial:///dev/ttyUSB0" << 0 << "1 :0 /dev/ttyUSB0";
        QTest::newRow("serial COM") << "serial://com3" << 0 << "1 :3";
        QTest::newRow("serial name") << "serial://ttyS1" << 0 << "1 :0 /dev/ttyS1";
        QTest::newRow("rs485") << "rs485:///dev/ttyS0?address=17" << 0 << "3 17:0 /dev/ttyS0";
        QTest::newRow("rs485 framed") << "RS485+Framed://COM2?address=0" << 0 << "4 0:2";
        QTest::newRow("rs485 address too big") << "rs485://COM1?address=256" << 0 << "refused: 0 to 255";
        QTest::newRow("unknown setting") << "rs485://COM1?address=1&baud=9600" << 0 << "refused: \"baud\"";
        QTest::newRow("sim") << "sim://" << 0 << "5 :0";
        QTest::newRow("gpib") << "gpib://0/5" << 0 << "0 5:0";
        QTest::newRow("gpib board 1") << "gpib://1/5" << 0 << "refused: board 0";
        QTest::newRow("gpib address 31") << "gpib://0/31" << 0 << "refused: 0 to 30";
        QTest::newRow("no scheme") << "127.0.0.1:5025" << 0 << "refused: VISA resource";

        // VISA resource strings.
        QTest::newRow("VISA socket") << "TCPIP0::192.168.1.20::50505::SOCKET" << 0 << "2 192.168.1.20:50505";
        QTest::newRow("VISA socket, no board, lower case") << "tcpip::psu.lab::5025::socket" << 0 << "2 psu.lab:5025";
        QTest::newRow("VISA socket, IPv6") << "TCPIP0::[fd00::5]::5025::SOCKET" << 0 << "2 fd00::5:5025";
        QTest::newRow("VISA socket, port too big") << "TCPIP0::psu.lab::70000::SOCKET" << 0 << "refused: 1 to 65535";
        QTest::newRow("VISA INSTR with --port") << "TCPIP::10.0.0.7::INSTR" << 50505 << "2 10.0.0.7:50505";
        QTest::newRow("VISA INSTR with a LAN device name and --port")
            << "TCPIP0::10.0.0.7::inst0::INSTR" << 5025 << "2 10.0.0.7:5025";
        QTest::newRow("VISA INSTR without --port") << "TCPIP::10.0.0.7::INSTR" << 0 << "refused: --port";
        QTest::newRow("--port with a socket resource")
            << "TCPIP0::10.0.0.7::5025::SOCKET" << 5025 << "refused: --port goes only";
        QTest::newRow("--port with a URL") << "tcp://10.0.0.7:5025" << 5025 << "refused: --port goes only";
        QTest::newRow("VISA serial path") << "ASRL/dev/ttyUSB0::INSTR" << 0 << "1 :0 /dev/ttyUSB0";
        QTest::newRow("VISA serial by-id path") << "asrl/dev/serial/by-id/usb-FTDI_A1-if00-port0::instr" << 0
                                                << "1 :0 /dev/serial/by-id/usb-FTDI_A1-if00-port0";
        QTest::newRow("VISA serial number is COMn") << "ASRL3::INSTR" << 0 << "1 :3";
        QTest::newRow("VISA serial 0") << "ASRL0::INSTR" << 0 << "refused: ASRL1";
        QTest::newRow("VISA GPIB") << "GPIB0::5::INSTR" << 0 << "0 5:0";
        QTest::newRow("VISA GPIB, no board") << "gpib::12::instr" << 0 << "0 12:0";
        QTest::newRow("VISA GPIB board 1") << "GPIB1::5::INSTR" << 0 << "refused: board 0";
        QTest::newRow("VISA GPIB secondary address") << "GPIB0::5::96::INSTR" << 0 << "refused: no secondary address";
        QTest::newRow("VISA GPIB address 31") << "GPIB0::31::INSTR" << 0 << "refused: 0 to 30";
        QTest::newRow("VISA USB") << "USB0::0x1234::0x5678::SN1::INSTR" << 0 << "refused: VISA resource";
        QTest::newRow("VISA without INSTR") << "GPIB0::5" << 0 << "refused: GPIB0::5::INSTR";
    }

    void links()
    {
        QFETCH(QString, url);
        QFETCH(int, rawPort);
        QFETCH(QString, link);
        QString error;
        const auto parsed = ParseLinkUrl(url, &error, rawPort);
        if (!parsed || link.startsWith("refused: ")) {
            QVERIFY2(!parsed && error.contains(link.mid(9)), qPrintable(error));
            return;
        }
        QCOMPARE(QString("%1 %2:%3 %4").arg(parsed->kind).arg(parsed->address).arg(parsed->port).arg(parsed->device).trimmed(),
                 link);
    }
};

QTEST_GUILESS_MAIN(TestLinkUrl)
#include "test_linkurl.moc"
