// What zopctl's --link names: the program's own link URLs and the VISA resource strings pasted
// from VISA tools, with the raw port that a TCPIP::HOST::INSTR resource needs.

#include "link/linkkind.h"
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
        QTest::addColumn<int>("kind");    // -1: refused
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device"); // for a refusal: a part of the reason
        const int tcp = LinkKind::TcpIp;
        const int rs232 = LinkKind::Rs232;
        QTest::newRow("tcp") << "tcp://10.1.2.3:5025" << 0 << tcp << "10.1.2.3" << 5025 << "";
        QTest::newRow("tcp default port") << "tcp://psu.lab" << 0 << tcp << "psu.lab" << 50505 << "";
        QTest::newRow("tcp no host") << "tcp://:5025" << 0 << -1 << "" << 0 << "tcp://HOST:PORT";
        QTest::newRow("serial path") << "serial:///dev/ttyUSB0" << 0 << rs232 << "" << 0
                                     << "/dev/ttyUSB0";
        QTest::newRow("serial COM") << "serial://com3" << 0 << rs232 << "" << 3 << "";
        QTest::newRow("serial name") << "serial://ttyS1" << 0 << rs232 << "" << 0 << "/dev/ttyS1";
        QTest::newRow("rs485") << "rs485:///dev/ttyS0?address=17" << 0 << int(LinkKind::Rs485Selected)
                               << "17" << 0 << "/dev/ttyS0";
        QTest::newRow("rs485 framed") << "RS485+Framed://COM2?address=0" << 0
                                      << int(LinkKind::Rs485Framed) << "0" << 2 << "";
        QTest::newRow("rs485 address too big") << "rs485://COM1?address=256" << 0 << -1 << "" << 0
                                               << "0 to 255";
        QTest::newRow("unknown setting") << "rs485://COM1?address=1&baud=9600" << 0 << -1 << "" << 0
                                         << "\"baud\"";
        QTest::newRow("sim") << "sim://" << 0 << int(LinkKind::Simulated) << "" << 0 << "";
        QTest::newRow("gpib") << "gpib://0/5" << 0 << int(LinkKind::Gpib) << "5" << 0 << "";
        QTest::newRow("gpib board 1") << "gpib://1/5" << 0 << -1 << "" << 0 << "board 0";
        QTest::newRow("gpib address 31") << "gpib://0/31" << 0 << -1 << "" << 0 << "0 to 30";
        QTest::newRow("no scheme") << "127.0.0.1:5025" << 0 << -1 << "" << 0 << "VISA resource";

        // VISA resource strings.
        QTest::newRow("VISA socket") << "TCPIP0::192.168.1.20::50505::SOCKET" << 0 << tcp
                                     << "192.168.1.20" << 50505 << "";
        QTest::newRow("VISA socket, no board, lower case")
            << "tcpip::psu.lab::5025::socket" << 0 << tcp << "psu.lab" << 5025 << "";
        QTest::newRow("VISA socket, IPv6") << "TCPIP0::[fd00::5]::5025::SOCKET" << 0 << tcp
                                           << "fd00::5" << 5025 << "";
        QTest::newRow("VISA socket, port too big")
            << "TCPIP0::psu.lab::70000::SOCKET" << 0 << -1 << "" << 0 << "1 to 65535";
        QTest::newRow("VISA INSTR with --port") << "TCPIP::10.0.0.7::INSTR" << 50505 << tcp
                                                << "10.0.0.7" << 50505 << "";
        QTest::newRow("VISA INSTR with a LAN device name and --port")
            << "TCPIP0::10.0.0.7::inst0::INSTR" << 5025 << tcp << "10.0.0.7" << 5025 << "";
        QTest::newRow("VISA INSTR without --port") << "TCPIP::10.0.0.7::INSTR" << 0 << -1 << ""
                                                   << 0 << "--port";
        QTest::newRow("--port with a socket resource")
            << "TCPIP0::10.0.0.7::5025::SOCKET" << 5025 << -1 << "" << 0 << "--port goes only";
        QTest::newRow("--port with a URL") << "tcp://10.0.0.7:5025" << 5025 << -1 << "" << 0
                                           << "--port goes only";
        QTest::newRow("VISA serial path") << "ASRL/dev/ttyUSB0::INSTR" << 0 << rs232 << "" << 0
                                          << "/dev/ttyUSB0";
        QTest::newRow("VISA serial by-id path")
            << "asrl/dev/serial/by-id/usb-FTDI_A1-if00-port0::instr" << 0 << rs232 << "" << 0
            << "/dev/serial/by-id/usb-FTDI_A1-if00-port0";
        QTest::newRow("VISA serial number is COMn") << "ASRL3::INSTR" << 0 << rs232 << "" << 3 << "";
        QTest::newRow("VISA serial 0") << "ASRL0::INSTR" << 0 << -1 << "" << 0 << "ASRL1";
        QTest::newRow("VISA GPIB") << "GPIB0::5::INSTR" << 0 << int(LinkKind::Gpib) << "5" << 0 << "";
        QTest::newRow("VISA GPIB, no board") << "gpib::12::instr" << 0 << int(LinkKind::Gpib) << "12"
                                             << 0 << "";
        QTest::newRow("VISA GPIB board 1") << "GPIB1::5::INSTR" << 0 << -1 << "" << 0 << "board 0";
        QTest::newRow("VISA GPIB secondary address") << "GPIB0::5::96::INSTR" << 0 << -1 << "" << 0
                                                     << "no secondary address";
        QTest::newRow("VISA GPIB address 31") << "GPIB0::31::INSTR" << 0 << -1 << "" << 0 << "0 to 30";
        QTest::newRow("VISA USB") << "USB0::0x1234::0x5678::SN1::INSTR" << 0 << -1 << "" << 0
                                  << "VISA resource";
        QTest::newRow("VISA without INSTR") << "GPIB0::5" << 0 << -1 << "" << 0 << "GPIB0::5::INSTR";
    }

    void links()
    {
        QFETCH(QString, url);
        QFETCH(int, rawPort);
        QFETCH(int, kind);
        QFETCH(QString, device);
        QString error;
        const auto link = ParseLinkUrl(url, &error, rawPort);
        QCOMPARE(link.has_value(), kind >= 0);
        if (!link) {
            QVERIFY2(error.contains(device), qPrintable(error));
            return;
        }
        QCOMPARE(int(link->kind), kind);
        QTEST(link->address, "address");
        QTEST(int(link->port), "port");
        QCOMPARE(link->device, device);
    }
};

QTEST_GUILESS_MAIN(TestLinkUrl)
#include "test_linkurl.moc"
