// The network settings dialog: the check of the new values; on the offscreen platform over a
// scripted line what it reads and shows, DHCP and Static, and the exact commands OK sends for
// each method (Cancel and a bad entry send nothing); and against zop-sim, a new address and
// port given through "Change Device's Settings..." at which the instrument is reached after.

#include "link/linkkind.h"
#include "link/transports.h"
#include "setup/devicesetup.h"
#include "setup/frmchangetcpip.h"
#include "setup/frmcommsetup.h"
#include "setupfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// The instrument's answers to the dialog's reads.
const QMap<QByteArray, QByteArray> Reads{
    {"*IDN?", "Zoptrel,<b>TLB</b>,0,4.70\r\n"},
    {"SYST:COMM:NET:VERS?", "2.10\r\n"},
    {"SYST:COMM:NET:MAC?", "00:1E:C0:5A:00:01\r\n"},
    {"SYST:COMM:NET:HOST?", "ZOP-7\r\n"},
    {"SYST:COMM:NET:PORT?", "5025\r\n"},
    {"SYST:COMM:NET:ADDR?", "10.0.0.7\r\n"},
    {"SYST:COMM:NET:SUBN?", "255.0.0.0\r\n"},
    {"SYST:COMM:NET:GATE?", "10.0.0.1\r\n"},
};
const QStringList ReadOrder{"*IDN?",
                            "SYST:COMM:NET:VERS?",
                            "SYST:COMM:NET:MAC?",
                            "SYST:COMM:NET:DHCP?",
                            "SYST:COMM:NET:HOST?",
                            "SYST:COMM:NET:PORT?",
                            "SYST:COMM:NET:ADDR?",
                            "SYST:COMM:NET:SUBN?",
                            "SYST:COMM:NET:GATE?"};

// A scripted instrument: answers the reads, and each set command with its value as the
// network module does; notes when (on the manual clock) each command came.
struct NetworkLine {
    NetworkLine(SetupFixture &f, const QByteArray &dhcp)
    {
        modData().CommKind = LinkKind::TcpIp;
        modData().CommAddress = "10.0.0.7";
        modData().CommPort = 5025;
        OpenLink();
        f.line->responder = [this, &f, dhcp](const QByteArray &command) {
            at << f.clock->elapsedMs();
            QList<ScriptedLine::Chunk> reply;
            if (command == "SYST:COMM:NET:DHCP?")
                reply << ScriptedLine::Chunk{1, dhcp};
            else if (Reads.contains(command))
                reply << ScriptedLine::Chunk{1, Reads.value(command)};
            else if (command.startsWith("SYST:COMM:NET:"))
                reply << ScriptedLine::Chunk{1, command.mid(command.indexOf(' ') + 1) + "\r\n"};
            return reply;
        };
    }
    QList<qint64> at;
};

QString Boxes(const frmChangeTCPIP &d)
{
    QStringList shown;
    for (const QLineEdit *box : {d.txtIPAddress, d.txtSubnetMask, d.txtGateway})
        shown << box->text() + (box->isEnabled() ? "" : " (off)");
    return shown.join('|');
}

} // namespace

class TestFrmChangeTcpIp : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetChangeDeviceDialog(nullptr); }

    void check_data()
    {
        QTest::addColumn<bool>("dhcp");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<int>("field"); // NetworkField
        const int none = int(NetworkField::None), port = int(NetworkField::Port);
        QTest::newRow("0") << false << "0" << "10.0.0.1" << "10.0.0.7" << port;
        QTest::newRow("empty") << false << "" << "10.0.0.1" << "10.0.0.7" << port;
        QTest::newRow("5050.5") << false << "5050.5" << "10.0.0.1" << "10.0.0.7" << port;
        QTest::newRow("5050.") << true << "5050." << "" << "" << port;
        QTest::newRow("no point, not whole") << false << "15e-1" << "10.0.0.1" << "10.0.0.7" << port;
        QTest::newRow("letters") << true << "50a" << "" << "" << port;
        QTest::newRow("1") << false << "1" << "10.0.0.1" << "10.0.0.7" << none;
        QTest::newRow("65534") << false << "65534" << "10.0.0.1" << "10.0.0.7" << none;
        QTest::newRow("IP before gateway")
            << false << "5025" << "192.168.1" << "10.0.0.256" << int(NetworkField::IPAddress);
        QTest::newRow("port before IP") << false << "0" << "x" << "x" << port;
        QTest::newRow("DHCP: addresses not checked") << true << "5025" << "Set by DHCP" << "" << none;
    }

    void check()
    {
        QFETCH(bool, dhcp);
        QFETCH(QString, port);
        QFETCH(QString, gateway);
        QFETCH(QString, ip);
        QTEST(int(FirstInvalidNetworkSetting({dhcp, "", port, ip, "255.255.255.0", gateway})), "field");
    }

    // The reads in order, the module version as received, the design-time texts replaced, and
    // the three address boxes under DHCP and Static.
    void readsAndMethods()
    {
        SetupFixture f;
        NetworkLine line(f, "1\r\n");
        f.line->written.clear();
        frmChangeTCPIP d;
        QCOMPARE(d.lblCurrentName->text(), QString("QMXNIC"));
        QCOMPARE(d.txtPort->text(), QString("50505"));
        d.ReadInstrument();
        d.show();
        QCOMPARE(f.line->commands(), ReadOrder);
        QCOMPARE(d.lblIdentification->text(), QString("Zoptrel,<b>TLB</b>,0,4.70"));
        QCOMPARE(d.lblIdentification->textFormat(), Qt::PlainText);
        QCOMPARE(d.lblModVersion->text(), QString("2.10\r\n"));
        QCOMPARE(QStringList({d.lblMacAddress->text(), d.lblCurrentName->text(), d.txtName->text(),
                              d.lblCurrentPort->text(), d.txtPort->text(), d.lblCurrentIP->text(),
                              d.lblCurrentSubnet->text(), d.lblCurrentGateway->text()}),
                 QStringList({"00:1E:C0:5A:00:01", "ZOP-7", "ZOP-7", "5025", "5025", "10.0.0.7",
                              "255.0.0.0", "10.0.0.1"}));
        QVERIFY(d.txtName->isHidden());
        QVERIFY(d.optDHCP->isChecked());
        QCOMPARE(Boxes(d), QString("Set by DHCP (off)|Set by DHCP (off)|Set by DHCP (off)"));
        const QColor face = d.txtGateway->palette().color(QPalette::Base);
        d.optStatic->click();
        QCOMPARE(Boxes(d), QString("10.0.0.7|255.0.0.0|10.0.0.1"));
        QVERIFY(d.txtGateway->palette().color(QPalette::Base) != face);
        d.optDHCP->click();
        QCOMPARE(Boxes(d), QString("Set by DHCP (off)|Set by DHCP (off)|Set by DHCP (off)"));
        QCOMPARE(f.line->commands(), ReadOrder); // switching sends nothing
    }

    void ok_data()
    {
        QTest::addColumn<QByteArray>("dhcpReply");
        QTest::addColumn<QStringList>("entries"); // method|port|ip|gateway; "cancel": Cancel
        QTest::addColumn<QStringList>("sent");    // after the reads
        QTest::addColumn<QString>("result");      // Accepted|Address|Port|message|focus
        QTest::newRow("DHCP")
            << QByteArray("1\r\n") << QStringList{"DHCP", "50505"}
            << QStringList{"SYST:COMM:NET:DHCP 1", "SYST:COMM:NET:PORT 50505", "<>RST"}
            << "1|ZOP-7|50505||";
        for (const char *typed : {"1e3", "+1000", " 1000 "})
            QTest::addRow("port \"%s\" goes as the number checked", qPrintable(typed))
                << QByteArray("1\r\n") << QStringList{"DHCP", typed}
                << QStringList{"SYST:COMM:NET:DHCP 1", "SYST:COMM:NET:PORT 1000", "<>RST"}
                << "1|ZOP-7|1000||";
        QTest::newRow("static")
            << QByteArray("1\r\n") << QStringList{"Static", "6000", "10.0.0.9", "10.0.0.254"}
            << QStringList{"SYST:COMM:NET:DHCP 0", "SYST:COMM:NET:PORT 6000",
                           "SYST:COMM:NET:ADDR 10.0.0.9", "SYST:COMM:NET:SUBN 255.0.0.0",
                           "SYST:COMM:NET:GATE 10.0.0.254", "<>RST"}
            << "1|10.0.0.9|6000||";
        QTest::newRow("gateway 192.168.1")
            << QByteArray("0\r\n") << QStringList{"", "5025", "10.0.0.7", "192.168.1"}
            << QStringList{} << "0||0|Check IP for validity.|txtGateway";
        QTest::newRow("port 65535")
            << QByteArray("1\r\n") << QStringList{"", "65535"} << QStringList{}
            << "0||0|" + NetworkText::PortInvalid + "|txtPort";
        QTest::newRow("cancel") << QByteArray("0\r\n") << QStringList{"cancel"} << QStringList{}
                                << "0||0||";
    }

    void ok()
    {
        QFETCH(QByteArray, dhcpReply);
        QFETCH(QStringList, entries);
        SetupFixture f;
        NetworkLine line(f, dhcpReply);
        frmChangeTCPIP d;
        d.ReadInstrument();
        d.show();
        f.line->written.clear();
        line.at.clear();
        if (entries.value(0) == "DHCP")
            d.optDHCP->click();
        else if (entries.value(0) == "Static")
            d.optStatic->click();
        QLineEdit *boxes[] = {d.txtPort, d.txtIPAddress, d.txtGateway};
        for (int i = 1; i < entries.size(); ++i)
            boxes[i - 1]->setText(entries[i]);
        if (entries.value(0) == "cancel")
            d.cmdCancel->click();
        else
            d.cmdOK->click();
        QTEST(f.line->commands(), "sent");
        QVERIFY(f.line->pending.empty()); // every answer was read
        if (line.at.size() > 2) // the addresses follow the port after the pause
            QVERIFY2(line.at[2] - line.at[1] >= NetworkPortPauseMs,
                     qPrintable(QString::number(line.at[2] - line.at[1])));
        const QWidget *focus = d.focusWidget();
        QTEST(QStringList({QString::number(d.Accepted), d.Address, QString::number(d.Port),
                           f.prompter->texts().join('+'),
                           f.prompter->texts().isEmpty() || !focus ? QString() : focus->objectName()})
                  .join('|'),
              "result");
        QCOMPARE(d.isVisible(), !f.prompter->texts().isEmpty());
        for (const Prompt &p : f.prompter->shown)
            QVERIFY(p.title == "ZOP Panel" && p.icon == MsgIcon::None && p.buttons == MsgButtons::Ok);
        if (!f.line->commands().isEmpty()) // every send echoed to the log
            QVERIFY(f.log.logText().endsWith("<>RST\n"));
    }

    // Against zop-sim, reached at the address discovery finds it on: "Change Device's
    // Settings..." on TCP/IP, a static loopback address and a new port; the Communication Setup
    // dialog shows them, the program's own link is back, and the instrument answers at the new
    // address and port after its network restart, and at the port on the found address too.
    void newAddressReachesInstrument()
    {
        SimProcess sim({"--discovery", "127.0.0.2"});
        QVERIFY(sim.port() != 0);
        SetupFixture f;
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
        Arrange(d, LinkKind::TcpIp, "127.0.0.2", QString::number(sim.port()));

        QStringList shown;
        QTimer driver;
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
        QCOMPARE(d.txtAddress->text(), newAddress);
        QCOMPARE(d.cmbPort->currentText(), QString::number(newPort));
        QCOMPARE(data.CommKind, qint16(LinkKind::Simulated)); // the program's link is back
        QCOMPARE(f.prompter->texts(), QStringList());
        const QStringList lines = sim.receivedLines();
        const qsizetype dhcp = lines.indexOf("SYST:COMM:NET:DHCP 0");
        QVERIFY(dhcp > 0);
        QCOMPARE(lines.mid(dhcp, 6),
                 QStringList({"SYST:COMM:NET:DHCP 0", "SYST:COMM:NET:PORT " + QString::number(newPort),
                              "SYST:COMM:NET:ADDR 127.0.0.5", "SYST:COMM:NET:SUBN 255.0.0.0",
                              "SYST:COMM:NET:GATE 0.0.0.0", "<>RST"}));

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

QTEST_MAIN(TestFrmChangeTcpIp)
#include "test_frmchangetcpip.moc"
