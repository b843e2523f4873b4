// What the setup dialogs decide without a screen: the address checks, the link named in
// messages, the addresses kept aside while the link kind changes, the OK checks, the serial
// port entry and the "Device" key, and the configuration file they write.

#include "app/configuration.h"
#include "app/setupentries.h"
#include "link/linkaddress.h"
#include "link/linkkind.h"
#include "setupfixture.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
const QString LongName = QString(300, QLatin1Char('a'));
} // namespace

class TestSetupEntries : public QObject {
    Q_OBJECT
private slots:
    void addressCheck_data()
    {
        QTest::addColumn<QString>("check"); // "ip", or "name" ("name._": dots and underscores allowed)
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "ip" << "10.0.0.1" << true;
        QTest::newRow("three parts") << "ip" << "10.0.0" << false;
        QTest::newRow("five parts") << "ip" << "10.0.0.1.5" << false;
        QTest::newRow("empty part") << "ip" << "10..0.1" << false;
        QTest::newRow("trailing dot") << "ip" << "10.0.0.1." << false;
        QTest::newRow("256") << "ip" << "10.0.0.256" << false;
        QTest::newRow("empty") << "ip" << "" << false;
        QTest::newRow("blanks") << "ip" << "   " << false;
        QTest::newRow("all zero") << "ip" << "0.0.0.0" << true;
        QTest::newRow("all ones") << "ip" << "255.255.255.255" << true;
        QTest::newRow("leading zeros") << "ip" << "010.001.000.001" << true;
        QTest::newRow("leading zeros above 255") << "ip" << "0300.0.0.1" << false;
        QTest::newRow("sign") << "ip" << "+1.2.3.4" << false;
        QTest::newRow("blank in part") << "ip" << "1.2. 3.4" << false;
        QTest::newRow("exponent") << "ip" << "1e2.0.0.1" << false;
        QTest::newRow("very long part") << "ip" << QString("1.2.3.") + QString(50, '0') + "1" << true;
        QTest::newRow("name: underscore not allowed") << "name" << "my_host" << false;
        QTest::newRow("name: dot not allowed") << "name" << "zop.lan" << false;
        QTest::newRow("name: number") << "name" << "987" << false;
        QTest::newRow("name: number with exponent") << "name" << "1e5" << false;
        QTest::newRow("name: hyphen") << "name" << "dev-1" << true;
        QTest::newRow("name: empty") << "name._" << "" << false;
        QTest::newRow("name: blank") << "name._" << " " << false;
        QTest::newRow("name: non-ASCII letter") << "name._" << QString::fromUtf8("zop-\xc3\xbc") << false;
        QTest::newRow("name: very long") << "name._" << LongName << true;
    }

    void addressCheck()
    {
        QFETCH(QString, check);
        QFETCH(QString, text);
        QTEST(check == "ip" ? IsValidIPAddress(text) : IsValidHostName(text, check == "name._"), "valid");
    }

    void describeLink()
    {
        QStringList texts; // each kind with port "<kind>" and address "zop-1"
        for (qint16 kind = LinkKind::Gpib; kind <= LinkKind::Simulated; ++kind)
            texts << DescribeLink(kind, QString::number(kind), "zop-1");
        QCOMPARE(texts, (QStringList{"GPIB Address zop-1", "", "TCP/IP Address zop-1 and Port 2",
                                     "RS486 Port 3 and address zop-1", "RS486 Port 4 and address zop-1", ""}));
    }

    void linkKindChanges_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("positions"); // the link kinds chosen in turn
        QTest::addColumn<QString>("addresses"); // the address after each change
        QTest::addColumn<QString>("finalPort");
        QTest::newRow("GPIB 5, TCP/IP, GPIB") << "5" << "0" << "0 2 0" << "5,,5" << "0";
        QTest::newRow("network address kept while numbered")
            << "127.0.0.1" << "50505" << "2 0 3 2" << "127.0.0.1,1,1,127.0.0.1" << "50505";
        QTest::newRow("typed address comes back") << "" << "" << "2 1 2" << ",1," << "";
        QTest::newRow("RS-232 drops a TCP port") << "zop" << "50505" << "1" << "1" << "1";
        QTest::newRow("RS-232 keeps a serial port") << "3" << "12" << "1" << "3" << "12";
        QTest::newRow("RS-485 keeps a TCP port") << "3" << "50505" << "4" << "3" << "50505";
    }

    void linkKindChanges()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, positions);
        SetupAddresses entries{address, port, {}, {}};
        QStringList seen;
        for (const QString &position : positions.split(' ')) {
            ChangeLinkKind(entries, position.toInt());
            seen << entries.Address;
        }
        QTEST(seen.join(','), "addresses");
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
        QTest::newRow("GPIB without address") << 0 << "" << "" << CheckAddress << "" << "";
        QTest::newRow("RS-232") << 1 << "5" << "2" << "" << "" << "2";
        QTest::newRow("RS-232 without port") << 1 << "" << "" << CheckPort << "" << "";
        QTest::newRow("TCP/IP by name") << 2 << "zop-1.lan" << "5025" << "" << "zop-1.lan" << "5025";
        QTest::newRow("TCP/IP underscore") << 2 << "my_host" << "5" << "" << "my_host" << "5";
        QTest::newRow("TCP/IP without port") << 2 << "zop" << "" << CheckAddressAndPort << "zop" << "";
        QTest::newRow("TCP/IP name the file cannot keep")
            << 2 << LongName << "5025" << CheckAddressAndPort << LongName << "5025";
        QTest::newRow("RS-485") << 3 << "17" << "1" << "" << "17" << "1";
        QTest::newRow("RS-485 without port") << 4 << "17" << "" << CheckAddressAndPort << "17" << "";
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
