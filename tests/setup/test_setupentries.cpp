// What the setup dialogs decide without a screen: the address checks, the link named in
// messages, the addresses kept aside while the link kind changes, the OK checks, the serial
// port entry and the "Device" key, and the configuration file they write.

#include "app/configuration.h"
#include "app/setupentries.h"
#include "link/linkaddress.h"
#include "link/linkkind.h"
#include "setupfixture.h"

#include <QFile>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
const QString LongName = QString(300, QLatin1Char('a'));
} // namespace

class TestSetupEntries : public QObject {
    Q_OBJECT
private slots:
    void ipAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "10.0.0.1" << true;
        QTest::newRow("three parts") << "10.0.0" << false;
        QTest::newRow("five parts") << "10.0.0.1.5" << false;
        QTest::newRow("empty part") << "10..0.1" << false;
        QTest::newRow("trailing dot") << "10.0.0.1." << false;
        QTest::newRow("256") << "10.0.0.256" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks") << "   " << false;
        QTest::newRow("all zero") << "0.0.0.0" << true;
        QTest::newRow("all ones") << "255.255.255.255" << true;
        QTest::newRow("leading zeros") << "010.001.000.001" << true;
        QTest::newRow("leading zeros above 255") << "0300.0.0.1" << false;
        QTest::newRow("sign") << "+1.2.3.4" << false;
        QTest::newRow("blank in part") << "1.2. 3.4" << false;
        QTest::newRow("exponent") << "1e2.0.0.1" << false;
        QTest::newRow("very long part") << QString("1.2.3.") + QString(50, '0') + "1" << true;
    }

    void ipAddress()
    {
        QFETCH(QString, text);
        QTEST(IsValidIPAddress(text), "valid");
    }

    void hostName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("dotAndUnderscore");
        QTest::addColumn<bool>("valid");
        QTest::newRow("underscore not allowed") << "my_host" << false << false;
        QTest::newRow("dot not allowed") << "zop.lan" << false << false;
        QTest::newRow("number") << "987" << false << false;
        QTest::newRow("number with exponent") << "1e5" << false << false;
        QTest::newRow("hyphen") << "dev-1" << false << true;
        QTest::newRow("empty") << "" << true << false;
        QTest::newRow("blank") << " " << true << false;
        QTest::newRow("non-ASCII letter") << QString::fromUtf8("zop-\xc3\xbc") << true << false;
        QTest::newRow("very long") << LongName << true << true;
    }

    void hostName()
    {
        QFETCH(QString, text);
        QFETCH(bool, dotAndUnderscore);
        QTEST(IsValidHostName(text, dotAndUnderscore), "valid");
    }

    void describeLink()
    {
        const QStringList texts{
            DescribeLink(LinkKind::Gpib, "", "7"),
            DescribeLink(LinkKind::Rs232, "1", ""),
            DescribeLink(LinkKind::TcpIp, "5025", "zop-1"),
            DescribeLink(LinkKind::Rs485Selected, "2", "17"),
            DescribeLink(LinkKind::Rs485Framed, "3", "18"),
            DescribeLink(LinkKind::Simulated, "", ""),
        };
        QCOMPARE(texts, (QStringList{"GPIB Address 7", "", "TCP/IP Address zop-1 and Port 5025",
                                     "RS486 Port 2 and address 17", "RS486 Port 3 and address 18", ""}));
    }

    void linkKindChanges_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QList<int>>("positions");
        // The address after each change, then the port at the end.
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("finalPort");
        QTest::newRow("GPIB 5, TCP/IP, GPIB") << "5" << "0" << QList<int>{0, 2, 0}
                                              << QStringList{"5", "", "5"} << "0";
        QTest::newRow("network address kept while numbered")
            << "127.0.0.1" << "50505" << QList<int>{2, 0, 3, 2}
            << QStringList{"127.0.0.1", "1", "1", "127.0.0.1"} << "50505";
        QTest::newRow("typed address comes back") << "" << "" << QList<int>{2, 1, 2}
                                                  << QStringList{"", "1", ""} << "";
        QTest::newRow("RS-232 drops a TCP port") << "zop" << "50505" << QList<int>{1}
                                                 << QStringList{"1"} << "1";
        QTest::newRow("RS-232 keeps a serial port") << "3" << "12" << QList<int>{1}
                                                    << QStringList{"3"} << "12";
        QTest::newRow("RS-485 keeps a TCP port") << "3" << "50505" << QList<int>{4}
                                                 << QStringList{"3"} << "50505";
    }

    void linkKindChanges()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QList<int>, positions);
        SetupAddresses entries{address, port, {}, {}};
        QStringList seen;
        for (int position : positions) {
            ChangeLinkKind(entries, position);
            seen << entries.Address;
        }
        QTEST(seen, "addresses");
        QTEST(entries.Port, "finalPort");
    }

    void linkEntries_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("addressAfter");
        QTest::addColumn<QString>("portAfter");
        using namespace SetupText;
        QTest::newRow("GPIB") << 0 << "7" << "50505" << "" << "7" << "";
        QTest::newRow("RS-232") << 1 << "5" << "2" << "" << "" << "2";
        QTest::newRow("TCP/IP by name") << 2 << "zop-1.lan" << "5025" << "" << "zop-1.lan" << "5025";
        QTest::newRow("TCP/IP name the file cannot keep")
            << 2 << LongName << "5025" << CheckAddressAndPort << LongName << "5025";
        QTest::newRow("RS-485") << 3 << "17" << "1" << "" << "17" << "1";
        QTest::newRow("Simulated") << 5 << "zop" << "1" << "" << "" << "";
        QTest::newRow("nothing chosen") << -1 << "zop" << "1" << CheckBus << "zop" << "1";
    }

    void linkEntries()
    {
        QFETCH(int, kind);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QTEST(CheckLinkEntries(kind, address, port), "message");
        QTEST(address, "addressAfter");
        QTEST(port, "portAfter");
    }

    void serialPortEntry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("previousPort");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("number") << "3" << "1" << "3" << "";
        QTest::newRow("list item") << "2: /dev/ttyUSB0" << "1" << "2" << "";
        QTest::newRow("missing port item") << "9: not present" << "1" << "9" << "";
        QTest::newRow("path keeps the port") << "/tmp/zop-line" << "2" << "2" << "/tmp/zop-line";
        QTest::newRow("path after a TCP port") << " /dev/ttyUSB1 " << "50505" << "1" << "/dev/ttyUSB1";
        QTest::newRow("path after port 0") << "ttyACM0" << "0" << "1" << "ttyACM0";
        QTest::newRow("empty") << "" << "2" << "" << "";
    }

    void serialPortEntry()
    {
        QFETCH(QString, text);
        QFETCH(QString, previousPort);
        const SerialPortEntry entry = ParseSerialPortEntry(text, previousPort);
        QTEST(entry.port, "port");
        QTEST(entry.device, "device");
    }

    void writeKeepsTheRestOfTheFile_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("deviceLine"); // in the file afterwards
        QTest::newRow("typed path") << 1 << "/tmp/zop-line" << QByteArray("Device=/tmp/zop-line\r\n");
        QTest::newRow("numbered port") << 3 << "" << QByteArray();
        QTest::newRow("not serial") << 2 << "" << QByteArray("Device=/dev/ttyS1\r\n");
    }

    void writeKeepsTheRestOfTheFile()
    {
        QFETCH(int, kind);
        QFETCH(QString, device);
        QFETCH(QByteArray, deviceLine);
        Fixture f;
        // A comment in Windows-1252 (the euro sign is 0x80), an unknown key, the keys out of order.
        const QByteArray before = "; hand-made \x80 notes\r\n[Application]\r\nStart-Up=Command Panel\r\n"
                                  "\r\n[Communication]\r\nPort=1\r\nExtra=kept\r\nDevice=/dev/ttyS1\r\n"
                                  "Comm=RS-232\r\n\r\n[Other]\r\nx=1\r\n";
        f.writeFile("ZOP_Panel.ini", before);
        QVERIFY(WriteConfiguration("Register Panel", "TCP/IP", "zop-1", "5025", "TW Series",
                                   DeviceKeyFor(kind, device)));
        const QByteArray expected = "; hand-made \x80 notes\r\n[Application]\r\nStart-Up=Register Panel\r\n"
                                    "\r\n[Communication]\r\nPort=5025\r\nExtra=kept\r\n"
                                    + deviceLine + "Comm=TCP/IP\r\nAddress=zop-1\r\n"
                                      "\r\n[Other]\r\nx=1\r\n[System]\r\nType=TW Series\r\n";
        QCOMPARE(FileText(f.path("ZOP_Panel.ini")), expected);
    }

    void linkSettingsComeFromTheFile()
    {
        Fixture f;
        f.writeFile("ZOP_Panel.ini", "[Comm_List]\nItem00=0,GPIB\nItem01=1,RS-232\nItem02=2,TCP/IP\n"
                                     "[Communication]\nComm=tcp/ip\nAddress=Zop-1\nPort=\nDevice= /dev/x \n");
        ReadConfiguration();
        modData().CommKind = LinkKind::Simulated; // a fall-back since
        const LinkSettingsInFile link = ReadLinkSettings();
        QCOMPARE((QStringList{QString::number(link.kind), link.address, link.port, link.device}),
                 (QStringList{"2", "Zop-1", "0", "/dev/x"}));
    }
};

QTEST_GUILESS_MAIN(TestSetupEntries)
#include "test_setupentries.moc"
