// Discovery replies as the network search reads them: the fields kept, the datagrams ignored,
// untrusted text made plain, the sender's address and the target of the request.

#include "setup/discoveryreply.h"
#include "testsupport.h"

#include <QHostAddress>
#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestDiscoveryReply : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("row"); // name|mac|port; empty: ignored
        const QByteArray reply = "QMXNIC\r\n00-04-A3-12-34-56\r\n50505";
        QTest::newRow("name, MAC, port") << reply << "QMXNIC|00-04-A3-12-34-56|50505";
        QTest::newRow("trailing CR LF") << reply + "\r\n" << "QMXNIC|00-04-A3-12-34-56|50505";
        QTest::newRow("later fields ignored") << QByteArray("a\r\nb\r\nc\r\nd\r\ne") << "a|b|c";
        QTest::newRow("empty port field") << QByteArray("a\r\nb\r\n") << "a|b|";
        QTest::newRow("two fields") << QByteArray("a\r\nb") << "";
        QTest::newRow("bare line feeds") << QByteArray("a\nb\nc") << "";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("the request itself") << QByteArray("D") << "";
        QTest::newRow("controls and markup stay plain")
            << QByteArray("\x01<b>x</b>\x1b\r\nm\xff\x00\r\n5\x7f\x85", 20)
            << QString::fromLatin1("<b>x</b>|m\xff|5");
        QTest::newRow("long field cut") << QByteArray(200, 'n') + "\r\nm\r\n1"
                                        << QString(Discovery::MaxFieldChars, 'n') + "|m|1";
        QByteArray largest = "a\r\nb\r\n1\r\n";
        largest += QByteArray(Discovery::MaxDatagramBytes - largest.size(), 'z');
        QTest::newRow("1500 bytes") << largest << "a|b|1";
        QTest::newRow("1501 bytes") << largest + 'z' << "";
    }

    void parse()
    {
        QFETCH(QByteArray, datagram);
        const std::optional<DiscoveryReply> reply = ParseDiscoveryReply(datagram);
        QTEST(reply ? QStringList({reply->name, reply->mac, reply->port}).join('|') : QString(), "row");
    }

    void senderAddress()
    {
        QCOMPARE(SenderAddressText(QHostAddress("192.168.1.213")), QString("192.168.1.213"));
        QCOMPARE(SenderAddressText(QHostAddress("::ffff:127.0.0.2")), QString("127.0.0.2"));
        QCOMPARE(SenderAddressText(QHostAddress("::1")), QString());
    }

    void target_data()
    {
        QTest::addColumn<QByteArray>("line"); // in section "Communication"; empty: no key
        QTest::addColumn<QString>("target");  // empty: nothing is sent
        QTest::newRow("no key") << QByteArray() << "255.255.255.255";
        QTest::newRow("empty key") << QByteArray("DiscoveryTarget=") << "255.255.255.255";
        QTest::newRow("loopback") << QByteArray("discoverytarget = 127.0.0.2") << "127.0.0.2";
        QTest::newRow("not an address") << QByteArray("DiscoveryTarget=zop-1") << "";
        QTest::newRow("IPv6") << QByteArray("DiscoveryTarget=::1") << "";
        // The address the search listens on.
        QTest::newRow("bind: no key") << QByteArray("DiscoveryTarget=127.0.0.2") << "bind 0.0.0.0";
        QTest::newRow("bind: loopback") << QByteArray("DiscoveryBind=127.0.0.1") << "bind 127.0.0.1";
        QTest::newRow("bind: not an address") << QByteArray("DiscoveryBind=any") << "bind ";
    }

    void target()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, target);
        Fixture f;
        f.writeFile("ZOP_Panel.ini", "[Communication]\r\nComm=TCP/IP\r\n" + line + "\r\n");
        const bool bind = target.startsWith("bind ");
        const std::optional<QHostAddress> address = bind ? DiscoveryBindAddress() : DiscoveryTarget();
        QCOMPARE((bind ? "bind " : "") + (address ? address->toString() : QString()), target);
    }
};

QTEST_GUILESS_MAIN(TestDiscoveryReply)
#include "test_discoveryreply.moc"
