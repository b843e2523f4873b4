// The network search on the offscreen platform, all on loopback: the program's socket listens
// on 127.0.0.1 alone (so no other program's socket on the port can take its replies, nor it
// theirs), the emulator answers from 127.0.0.2, other senders stand on 127.0.0.3 and up. Replies arrive as real datagrams; nothing here goes to a broadcast address.

#include "link/linkkind.h"
#include "setup/devicesetup.h"
#include "setup/discoveryreply.h"
#include "setup/frmcommsetup.h"
#include "setup/frmfindtcpip.h"
#include "setupfixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// Requests go to an address where nobody listens, unless a test names another; the search
// listens on 127.0.0.1.
QList<ConfigKey> Target(const QString &address = "127.0.0.9")
{
    return {{"Communication", "DiscoveryTarget", address},
            {"Communication", "DiscoveryBind", "127.0.0.1"}};
}

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

    // "Find Device..." on TCP/IP finds the emulator and fills in its address and port.
    void findThroughCommSetup()
    {
        SimProcess sim({"--discovery", "127.0.0.2", "--discovery-name", "ZOP-A", "--discovery-mac",
                        "00:1E:C0:00:00:0A"});
        QVERIFY(sim.port() != 0);
        SetupFixture f(Target("127.0.0.2"));
        RegisterDeviceSetupDialogs();
        frmCommSetup d;
        Arrange(d, LinkKind::TcpIp, "zop-1", "5025");

        const QString row = QString("ZOP-A|127.0.0.2|%1|00:1E:C0:00:00:0A").arg(sim.port());
        QStringList seen;
        bool refreshEmptied = false;
        QTimer::singleShot(0, [&] {
            auto *find = qobject_cast<frmFindTCPIP *>(QApplication::activeModalWidget());
            QVERIFY(find);
            QTRY_COMPARE(Rows(find->lvDevices), QStringList{row});
            find->lvDevices->setCurrentItem(find->lvDevices->topLevelItem(0));
            QVERIFY(find->cmdOK->isEnabled());
            find->cmdRefresh->click();
            refreshEmptied = find->lvDevices->topLevelItemCount() == 0 && !find->cmdOK->isEnabled();
            QTRY_COMPARE(Rows(find->lvDevices), QStringList{row}); // answers the new request
            seen = Rows(find->lvDevices);
            find->lvDevices->setCurrentItem(find->lvDevices->topLevelItem(0));
            find->cmdOK->click();
        });
        d.cmdFind->click();
        QCOMPARE(seen, QStringList{row});
        QVERIFY(refreshEmptied);
        QCOMPARE(d.txtAddress->text(), QString("127.0.0.2"));
        QCOMPARE(d.cmbPort->currentText(), QString::number(sim.port()));
        QCOMPARE(f.prompter->texts(), QStringList());
    }

    void rowsAndResult_data()
    {
        QTest::addColumn<QStringList>("datagrams"); // "sender address>payload", in order
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("result"); // Address|Port after OK on the first row
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
    }

    void rowsAndResult()
    {
        QFETCH(QStringList, datagrams);
        QFETCH(QStringList, rows);
        SetupFixture f(Target());
        frmFindTCPIP d;
        QVERIFY(d.OpenDiscovery());
        d.show();
        QVERIFY(!d.cmdOK->isEnabled());
        std::map<QString, std::unique_ptr<Sender>> senders;
        for (const QString &datagram : datagrams) {
            const QString from = datagram.section('>', 0, 0);
            auto &sender = senders[from];
            if (!sender)
                sender = std::make_unique<Sender>(from);
            sender->send(datagram.section('>', 1).toLatin1());
        }
        // The last datagram makes a row in every case.
        QTRY_COMPARE(Rows(d.lvDevices), rows);
        QVERIFY(!d.cmdOK->isEnabled());
        d.lvDevices->setCurrentItem(d.lvDevices->topLevelItem(0));
        QVERIFY(d.cmdOK->isEnabled());
        d.cmdOK->click();
        QVERIFY(d.Accepted && !d.isVisible());
        QTEST(QString("%1|%2").arg(d.Address).arg(d.Port), "result");
    }

    void pickByMouseAndSort()
    {
        SetupFixture f(Target());
        frmFindTCPIP d;
        QVERIFY(d.OpenDiscovery());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        Sender a("127.0.0.3"), b("127.0.0.4");
        b.send("b\r\nM2\r\n20");
        QTRY_COMPARE(d.lvDevices->topLevelItemCount(), 1);
        a.send("a\r\nM1\r\n100");
        QTRY_COMPARE(d.lvDevices->topLevelItemCount(), 2);
        QHeaderView *header = d.lvDevices->header();
        auto clickHeader = [&](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        };
        auto names = [&] { return QStringList{d.lvDevices->topLevelItem(0)->text(0), d.lvDevices->topLevelItem(1)->text(0)}; };
        QStringList orders{names().join(',')};
        for (int column : {0, 0, 2}) {
            clickHeader(column);
            orders << names().join(',');
        }
        // Arrival order, by name up and down; another column ascending, as text ("100" before "20").
        QCOMPARE(orders, (QStringList{"b,a", "a,b", "b,a", "a,b"}));

        // A double-click below the rows does nothing, on a row it takes that row.
        QWidget *viewport = d.lvDevices->viewport();
        d.lvDevices->setCurrentItem(d.lvDevices->topLevelItem(1));
        const QPoint empty(5, viewport->height() - 5);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, empty);
        QVERIFY(!d.Accepted && d.isVisible());
        const QPoint second = d.lvDevices->visualItemRect(d.lvDevices->topLevelItem(1)).center();
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, second);
        QVERIFY(d.Accepted && !d.isVisible());
        QCOMPARE(QString("%1|%2").arg(d.Address).arg(d.Port), QString("127.0.0.4|20"));
    }

    // A program holding the port exclusively (no address sharing) makes the bind fail.
    void bindRefused()
    {
        SetupFixture f(Target());
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress("127.0.0.1"), Discovery::Port, QUdpSocket::DontShareAddress));
        SetFindDeviceDialog(LinkKind::TcpIp, [](QWidget *p, qint16) { return FindTcpIpDevice(p); });
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
        SetupFixture f(Target());
        frmFindTCPIP d;
        QVERIFY(d.OpenDiscovery());
        d.show();
        Sender s("127.0.0.3");
        QElapsedTimer took;
        took.start();
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
        qInfo("%d datagrams sent and handled in %lld ms", 5000, qint64(took.elapsed()));
        d.cmdRefresh->click();
        QCOMPARE(d.lvDevices->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TestFindTcpIp)
#include "test_findtcpip.moc"
