// The network settings dialog: the check of the new values; on the offscreen platform over a
// scripted line what it reads and shows, DHCP and Static, and the exact commands OK sends for
// each method (Cancel and a bad entry send nothing). Against zop-sim: test_findtcpip.

#include "link/linkkind.h"
#include "setup/frmchangetcpip.h"
#include "setupfixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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
const QStringList ReadOrder{"*IDN?", "SYST:COMM:NET:VERS?", "SYST:COMM:NET:MAC?", "SYST:COMM:NET:DHCP?",
                            "SYST:COMM:NET:HOST?", "SYST:COMM:NET:PORT?", "SYST:COMM:NET:ADDR?",
                            "SYST:COMM:NET:SUBN?", "SYST:COMM:NET:GATE?"};

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

// The three address boxes: text, "off" when disabled, "grey" on the colour of a button.
QString Boxes(const frmChangeTCPIP &d)
{
    QStringList shown;
    for (const QLineEdit *box : {d.txtIPAddress, d.txtSubnetMask, d.txtGateway}) {
        const bool grey = box->palette().color(QPalette::Base) == QApplication::palette().color(QPalette::Button);
        shown << box->text() + (box->isEnabled() ? "" : " off") + (grey ? " grey" : "");
    }
    return shown.join('|');
}

} // namespace

class TestFrmChangeTcpIp : public QObject {
    Q_OBJECT
private slots:
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

    void ok_data()
    {
        QTest::addColumn<QByteArray>("dhcpReply");
        QTest::addColumn<QStringList>("entries"); // method|port|ip|gateway; "cancel": Cancel
        QTest::addColumn<QString>("sent");        // after the reads: the settings, then "<>RST"
        QTest::addColumn<QString>("result");      // Accepted|Address|Port|message|focus
        QTest::newRow("static to DHCP") << QByteArray("0\r\n") << QStringList{"DHCP", "50505"}
                                        << "DHCP 1|PORT 50505" << "1|ZOP-7|50505||";
        for (const char *typed : {"1e3", "+1000", " 1000 "})
            QTest::addRow("port \"%s\" goes as the number checked", qPrintable(typed))
                << QByteArray("1\r\n") << QStringList{"DHCP", typed} << "DHCP 1|PORT 1000" << "1|ZOP-7|1000||";
        QTest::newRow("DHCP to static")
            << QByteArray("1\r\n") << QStringList{"Static", "6000", "10.0.0.9", "10.0.0.254"}
            << "DHCP 0|PORT 6000|ADDR 10.0.0.9|SUBN 255.0.0.0|GATE 10.0.0.254" << "1|10.0.0.9|6000||";
        QTest::newRow("gateway 192.168.1") << QByteArray("0\r\n") << QStringList{"", "5025", "10.0.0.7", "192.168.1"}
                                           << "" << "0||0|Check IP for validity.|txtGateway";
        QTest::newRow("port 65535") << QByteArray("1\r\n") << QStringList{"", "65535"} << ""
                                    << "0||0|" + NetworkText::PortInvalid + "|txtPort";
        QTest::newRow("cancel") << QByteArray("0\r\n") << QStringList{"cancel"} << "" << "0||0||";
    }

    // What it reads and shows (the design-time texts replaced), the address boxes under each
    // method, and what OK sends; switching the method sends nothing.
    void ok()
    {
        QFETCH(QByteArray, dhcpReply);
        QFETCH(QStringList, entries);
        SetupFixture f;
        NetworkLine line(f, dhcpReply);
        f.line->written.clear();
        frmChangeTCPIP d;
        QCOMPARE(d.lblCurrentName->text() + "|" + d.txtPort->text(), QString("QMXNIC|50505"));
        d.ReadInstrument();
        d.show();
        QCOMPARE(f.line->commands(), ReadOrder);
        QCOMPARE(d.lblIdentification->text(), QString("Zoptrel,<b>TLB</b>,0,4.70"));
        QCOMPARE(d.lblIdentification->textFormat(), Qt::PlainText);
        QCOMPARE(QStringList({d.lblModVersion->text(), d.lblMacAddress->text(), d.lblCurrentName->text(),
                              d.txtName->text(), d.lblCurrentPort->text(), d.txtPort->text(),
                              d.lblCurrentIP->text(), d.lblCurrentSubnet->text(), d.lblCurrentGateway->text()}),
                 QStringList({"2.10\r\n", "00:1E:C0:5A:00:01", "ZOP-7", "ZOP-7", "5025", "5025", "10.0.0.7",
                              "255.0.0.0", "10.0.0.1"}));
        QVERIFY(d.txtName->isHidden());
        QCOMPARE(d.optDHCP->isChecked(), dhcpReply == "1\r\n");
        f.line->written.clear();
        line.at.clear();
        if (entries.value(0) == "DHCP")
            d.optDHCP->click();
        else if (entries.value(0) == "Static")
            d.optStatic->click();
        QCOMPARE(Boxes(d), d.optDHCP->isChecked() ? "Set by DHCP off grey|Set by DHCP off grey|Set by DHCP off grey"
                                                  : "10.0.0.7|255.0.0.0|10.0.0.1");
        QLineEdit *boxes[] = {d.txtPort, d.txtIPAddress, d.txtGateway};
        for (int i = 1; i < entries.size(); ++i)
            boxes[i - 1]->setText(entries[i]);
        if (entries.value(0) == "cancel")
            d.cmdCancel->click();
        else
            d.cmdOK->click();
        QFETCH(QString, sent);
        QStringList commands;
        for (const QString &setting : sent.split('|', Qt::SkipEmptyParts))
            commands << "SYST:COMM:NET:" + setting;
        QCOMPARE(f.line->commands(), sent.isEmpty() ? commands : commands << "<>RST");
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
};

QTEST_MAIN(TestFrmChangeTcpIp)
#include "test_frmchangetcpip.moc"
