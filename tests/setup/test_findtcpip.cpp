// The network search on the offscreen platform, all on loopback: the program's socket listens
// on 127.0.0.1 alone (so no other program's socket on the port can take its replies, nor it
// theirs), senders stand on 127.0.0.3 and up. Replies arrive as real datagrams; nothing here
// goes to a broadcast address. Against zop-sim (answering from 127.0.0.2): the search through
// "Find Device...", and a new address and port through "Change Device's Settings...". Every
// test that binds the search's port is here, so that no two run at once.

#include "link/linkkind.h"
#include "link/transports.h"
#include "setup/devicesetup.h"
#include "setup/discoveryreply.h"
#include "setup/frmchangetcpip.h"
#include "setup/frmcommsetup.h"
#include "setup/frmfindtcpip.h"
#include "setupfixture.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// Requests go to an address where nobody listens; the search listens on 127.0.0.1.
const QList<ConfigKey> Target{{"Communication", "DiscoveryTarget", "127.0.0.9"},
                              {"Communication", "DiscoveryBind", "127.0.0.1"}};

QStringList Rows(const QTreeWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        rows << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join('|');
    }
    return rows;
}

// A sender on its own loopback address, replying to the program's port.
struct Sender {
    explicit Sender(const QString &address) { socket.bind(QHostAddress(address), 0); }
    void send(const QByteArray &datagram)
    {
        QVERIFY(socket.writeDatagram(datagram, QHostAddress("127.0.0.1"), Discovery::Port) > 0);
    }
    QUdpSocket socket;
};

} // namespace

class TestFindTcpIp : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        SetFindDeviceDialog(LinkKind::TcpIp, nullptr);
        SetChangeDeviceDialog(nullptr);
    }

    void rowsAndResult_data()
    {
        QTest::addColumn<QStringList>("datagrams"); // "sender address>payload", in order
        QTest::addColumn<QStringList>("rows");
        // Address|Port after OK on the first row; "by mouse": after sorting, a double-click on
        // the second row
        QTest::addColumn<QString>("result");
        QTest::newRow("two instruments")
            << QStringList{"127.0.0.3>A\r\n00-01\r\n50505", "127.0.0.4>B\r\n00-02\r\n5025\r\n"}
            << QStringList{"A|127.0.0.3|50505|00-01", "B|127.0.0.4|5025|00-02"} << "127.0.0.3|50505";
        QTest::newRow("one instrument twice")
            << QStringList{"127.0.0.3>A\r\nM\r\n1", "127.0.0.3>A\r\nM\r\n1"}
            << QStringList{"A|127.0.0.3|1|M", "A|127.0.0.3|1|M"} << "127.0.0.3|1";
        QTest::newRow("port not a number")
            << QStringList{"127.0.0.3>A\r\nM\r\nfifty"} << QStringList{"A|127.0.0.3|fifty|M"}
            << "127.0.0.3|0";
        QTest::newRow("malformed, oversized and the request ignored")
            << QStringList{"127.0.0.3>D", "127.0.0.3>A\r\nM",
                           "127.0.0.3>A\r\nM\r\n1\r\n" + QString(1500, 'x'), "127.0.0.4>B\r\nN\r\n2"}
            << QStringList{"B|127.0.0.4|2|N"} << "127.0.0.4|2";
        QTest::newRow("by mouse") << QStringList{"127.0.0.4>b\r\nM2\r\n20", "127.0.0.3>a\r\nM1\r\n100"}
                                  << QStringList{"b|127.0.0.4|20|M2", "a|127.0.0.3|100|M1"} << "127.0.0.4|20";
    }

    void rowsAndResult()
    {
        QFETCH(QStringList, datagrams);
        QFETCH(QStringList, rows);
        SetupFixture f(Target);
        frmFindTCPIP d;
        QVERIFY(d.OpenDiscovery());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!d.cmdOK->isEnabled());
        for (const QString &datagram : datagrams)
            Sender(datagram.section('>', 0, 0)).send(datagram.section('>', 1).toLatin1());
        // The last datagram makes a row in every case.
        QTRY_COMPARE(Rows(d.lvDevices), rows);
        QVERIFY(!d.cmdOK->isEnabled());
        if (QTest::currentDataTag() == QByteArray("by mouse")) {
            QHeaderView *header = d.lvDevices->header();
            QStringList orders{Rows(d.lvDevices).join(',')};
            for (int column : {0, 0, 2}) {
                const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
                QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
                orders << Rows(d.lvDevices).join(',');
            }
            // Arrival order, by name up and down; another column ascending, as text ("100"
            // before "20").
            const QString ab = rows[1] + "," + rows[0], ba = rows.join(',');
            QCOMPARE(orders, (QStringList{ba, ab, ba, ab}));
            // A double-click below the rows does nothing, on a row it takes that row.
            QWidget *viewport = d.lvDevices->viewport();
            d.lvDevices->setCurrentItem(d.lvDevices->topLevelItem(1));
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() - 5));
            QVERIFY(!d.Accepted && d.isVisible());
            QTest::mouseDClick(viewport, Qt::LeftButton, {},
                               d.lvDevices->visualItemRect(d.lvDevices->topLevelItem(1)).center());
        } else {
            d.lvDevices->setCurrentItem(d.lvDevices->topLevelItem(0));
            QVERIFY(d.cmdOK->isEnabled());
            d.cmdOK->click();
        }
        QVERIFY(d.Accepted && !d.isVisible());
        QTEST(QString("%1|%2").arg(d.Address).arg(d.Port), "result");
    }

    // A program holding the port exclusively (no address sharing) makes the bind fail.
    void bindRefused()
    {
        SetupFixture f(Target);
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress("127.0.0.1"), Discovery::Port, QUdpSocket::DontShareAddress));
        QCOMPARE(FindTcpIpDevice(nullptr).has_value(), false);
        QCOMPARE(f.prompter->texts(), QStringList{"Unable to bind to UDP Port 30303"});
        QVERIFY(f.prompter->shown[0].title == "ZOP Panel" && f.prompter->shown[0].icon == MsgIcon::None);
        // Nor beside a program that would share the port (SO_REUSEADDR, as another account could
        // bind it to take the instruments' replies): the search never shares it.
        holder.close();
        QUdpSocket sharer;
        QVERIFY(sharer.bind(QHostAddress("127.0.0.1"), Discovery::Port,
                            QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        frmFindTCPIP d;
        QVERIFY(!d.OpenDiscovery());
        // Alone on the port, it binds.
        sharer.close();
        QVERIFY(d.OpenDiscovery());
    }

    // Thousands of datagrams: a few taken per turn of the event loop, at most 1000 rows.
    void flood()
    {
        SetupFixture f(Target);
        frmFindTCPIP d;
        QVERIFY(d.OpenDiscovery());
        d.show();
        Sender s("127.0.0.3");
        // A burst that the socket's buffer holds whole: one turn takes only a share of it.
        constexpr int Burst = 150;
        for (int i = 0; i < Burst; ++i)
            s.send(QByteArray::number(i) + "\r\nM\r\n1");
        QCoreApplication::processEvents();
        QVERIFY2(d.lvDevices->topLevelItemCount() <= frmFindTCPIP::DatagramsPerTurn,
                 qPrintable(QString::number(d.lvDevices->topLevelItemCount())));
        QTRY_COMPARE(d.lvDevices->topLevelItemCount(), Burst);
        constexpr int Batch = 100;
        for (int sent = Burst; sent < 5000; sent += Batch) {
            for (int i = 0; i < Batch; ++i)
                s.send(QByteArray::number(sent + i) + "\r\nM\r\n1");
            if (sent < Discovery::MaxRows)
                QTRY_COMPARE(d.lvDevices->topLevelItemCount(), qMin(sent + Batch, Discovery::MaxRows));
            else
                QTest::qWait(1); // the rest as fast as the receiver takes them
        }
        QTest::qWait(50);
        QCOMPARE(d.lvDevices->topLevelItemCount(), Discovery::MaxRows);
        QCOMPARE(d.lvDevices->topLevelItem(999)->text(0), QString("999"));
        d.cmdRefresh->click();
        QCOMPARE(d.lvDevices->topLevelItemCount(), 0);
    }

    // Against zop-sim, all on loopback (it answers the search from 127.0.0.2): "Find Device..."
    // finds it, again after Refresh, and fills in its address and port; "Change Device's
    // Settings..." there gives it a static loopback address and a new port. The Communication
    // Setup dialog shows them, the program's own link is back, and the instrument answers at
    // the new address and port after its network restart, and at the port on the found
    // address too.
    void findAndReaddressInstrument()
    {
        SimProcess sim({"--discovery", "127.0.0.2", "--discovery-name", "ZOP-A", "--discovery-mac",
                        "00:1E:C0:00:00:0A"});
        QVERIFY(sim.port() != 0);
        SetupFixture f({{"Communication", "DiscoveryTarget", "127.0.0.2"}, Target[1]});
        ModData &data = modData();
        data.clock = std::make_shared<SteadyClock>();
        data.comm.setTransportFactory(MakeTransport);
        data.CommKind = LinkKind::Simulated;
        const QString newAddress = "127.0.0.5";
        quint16 newPort = 0;
        {
            QTcpServer probe; // a port nobody uses on that address
            QVERIFY(probe.listen(QHostAddress(newAddress), 0));
            newPort = probe.serverPort();
        }
        RegisterDeviceSetupDialogs();
        frmCommSetup d;
        Arrange(d, LinkKind::TcpIp, "zop-1", "5025");

        const QString row = QString("ZOP-A|127.0.0.2|%1|00:1E:C0:00:00:0A").arg(sim.port());
        bool refreshEmptied = false;
        QTimer::singleShot(0, [&] {
            auto *find = qobject_cast<frmFindTCPIP *>(QApplication::activeModalWidget());
            QVERIFY(find);
            QTreeWidget *list = find->lvDevices;
            QTRY_COMPARE(Rows(list), QStringList{row});
            list->setCurrentItem(list->topLevelItem(0));
            find->cmdRefresh->click();
            refreshEmptied = list->topLevelItemCount() == 0 && !find->cmdOK->isEnabled();
            QTRY_COMPARE(Rows(list), QStringList{row}); // answers the new request
            list->setCurrentItem(list->topLevelItem(0));
            find->cmdOK->click();
        });
        d.cmdFind->click();
        QVERIFY(refreshEmptied);
        QCOMPARE(d.txtAddress->text() + ":" + d.cmbPort->currentText(), "127.0.0.2:" + QString::number(sim.port()));

        QStringList shown;
        QTimer driver; // the change dialog comes up once the probe has its answer
        driver.setInterval(10);
        connect(&driver, &QTimer::timeout, [&] {
            auto *change = qobject_cast<frmChangeTCPIP *>(QApplication::activeModalWidget());
            if (!change)
                return;
            driver.stop();
            shown = QStringList{change->lblCurrentPort->text(), change->lblCurrentIP->text(),
                                change->txtIPAddress->text(), QString::number(change->optStatic->isChecked())};
            change->txtIPAddress->setText(newAddress);
            change->txtPort->setText(QString::number(newPort));
            change->cmdOK->click();
        });
        driver.start();
        d.cmdChange->click();
        QCOMPARE(shown, QStringList({QString::number(sim.port()), "127.0.0.2", "127.0.0.2", "1"}));
        QCOMPARE(d.txtAddress->text() + ":" + d.cmbPort->currentText(), newAddress + ":" + QString::number(newPort));
        QCOMPARE(data.CommKind, qint16(LinkKind::Simulated)); // the program's link is back
        QCOMPARE(f.prompter->texts(), QStringList());
        // The commands themselves: test_frmchangetcpip; here the instrument takes them.
        for (const QString &at : {newAddress, QStringLiteral("127.0.0.2")}) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress(at), newPort);
            QVERIFY2(socket.waitForConnected(5000), qPrintable(at));
            socket.write("SYST:COMM:NET:ADDR?\n");
            QByteArray reply;
            while (!reply.endsWith('\n') && socket.waitForReadyRead(5000))
                reply += socket.readAll();
            QCOMPARE(reply, QByteArray("127.0.0.5\r\n"));
        }
    }
};

QTEST_MAIN(TestFindTcpIp)
#include "test_findtcpip.moc"
