// The Communication Setup and Configuration Setup dialogs on the offscreen platform: the
// fields of each link kind, the checks on OK, the device probe and its restore, the opening
// steps, what OK writes and re-opens, and what Cancel leaves alone.

#include "app/usersettings.h"
#include "frame/frmsetup.h"
#include "link/linkkind.h"
#include "setup/frmcommsetup.h"
#include "setupfixture.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QAccessible>
#include <QtTest>

using namespace zop;
using namespace zop::test;

Q_DECLARE_METATYPE(zop::CommSetupEntries)

namespace {

// The visible controls of a dialog's frame, in the order they were made.
QStringList Visible(QWidget *frame)
{
    QStringList names;
    static const QRegularExpression named(QStringLiteral("^(lbl|txt|cmb|cmd)"));
    for (QWidget *w : frame->findChildren<QWidget *>()) {
        if (named.match(w->objectName()).hasMatch() && w->isVisibleTo(frame))
            names << w->objectName();
    }
    return names;
}

QString Describe(const CommSetupEntries &e)
{
    return QStringLiteral("%1|%2|%3|%4").arg(e.kind).arg(e.address, e.port, e.device);
}

QList<ConfigKey> Link(const QString &comm, const QString &address = "127.0.0.1",
                      const QString &port = "50505")
{
    return {{"Communication", "Comm", comm}, {"Communication", "Address", address},
            {"Communication", "Port", port}};
}

} // namespace

class TestSetupDialogs : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_requests.clear();
        m_answer.reset();
        SetCommSetupRunner([this](QWidget *, CommSetupEntries &entries) {
            m_requests << Describe(entries);
            if (m_answer)
                entries = *m_answer;
            return bool(m_answer);
        });
        SetFindDeviceDialog([](QWidget *, qint16) { return std::optional<DeviceChoice>(); });
    }

    void cleanup()
    {
        SetCommSetupRunner(nullptr);
        SetFindDeviceDialog(nullptr);
        SetChangeDeviceDialog(nullptr);
    }

    void commSetupFields_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("visible");
        // lblAddress, then cmbPort: item count, first and last item, text, accessible name.
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("portRowOffset"); // cmbPort below the address row, in pixels
        const QString serial = "Comm Port|9|1: /dev/ttyS0|9: not present|";
        const QString rs232 = "lblAddress cmbPort";
        QTest::newRow("GPIB") << 0 << "7" << "" << "" << "lblAddress cmbPort cmdFind cmdChange"
                              << "Address|31|1|31|7|Address" << 0;
        QTest::newRow("RS-232 port 0") << 1 << "" << "0" << "" << rs232 << serial + "|Comm Port" << 0;
        QTest::newRow("RS-232 port 2")
            << 1 << "" << "2" << "" << rs232 << serial + "2: /dev/ttyUSB0|Comm Port" << 0;
        QTest::newRow("RS-232 device")
            << 1 << "" << "1" << "/tmp/zop-line" << rs232 << serial + "/tmp/zop-line|Comm Port" << 0;
        QTest::newRow("TCP/IP") << 2 << "zop-1" << "5025" << ""
                                << "lblAddress txtAddress lblPort cmbPort cmdFind cmdChange"
                                << "Address|10001|1|10001|5025|Port" << 40;
        QTest::newRow("RS-485") << 3 << "17" << "2" << "" << "lblAddress cmbAddress lblPort cmbPort cmdChange"
                                << "RS485 Address|9|1: /dev/ttyS0|9: not present|2: /dev/ttyUSB0|Comm Port"
                                << 40;
        QTest::newRow("Simulated") << 5 << "" << "" << "" << rs232 << "|0||||" << 0;
    }

    // The fields of each kind, and Escape leaving the entries as they were.
    void commSetupFields()
    {
        QFETCH(int, kind);
        QFETCH(int, portRowOffset);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, device);
        SetupFixture f;
        frmCommSetup d;
        Arrange(d, qint16(kind), address, port, device);
        d.show();
        QTEST(Visible(d.fraCommType).join(' '), "visible");
        const QComboBox *p = d.cmbPort;
        QTEST((QStringList{d.lblAddress->text(), QString::number(p->count()), p->itemText(0),
                           p->itemText(p->count() - 1), p->currentText(), p->accessibleName()})
                  .join('|'),
              "shown");
        QCOMPARE(d.cmbPort->isEnabled(), kind != LinkKind::Simulated);
        const int offset = d.cmbPort->geometry().center().y() - d.lblAddress->geometry().center().y();
        QVERIFY2(qAbs(offset - portRowOffset) <= 1, qPrintable(QString::number(offset)));
        if (kind == LinkKind::Rs485Selected) {
            QCOMPARE(d.cmbAddress->count(), 256);
            QCOMPARE(d.cmbAddress->currentText(), address);
            QCOMPARE(d.cmdChange->x(), 0); // in the place of "Find Device..."
        }
        // The window fits the visible fields: OK and Cancel right below the frame.
        QVERIFY(d.cmdCancel->geometry().right() <= d.width());
        QVERIFY(d.cmdOK->y() > d.fraCommType->geometry().bottom());
        QVERIFY(d.height() - d.cmdOK->geometry().bottom() < 20);
        d.txtAddress->setText("zop-2");
        QTest::keyClick(d.lblAddress, Qt::Key_Escape);
        QVERIFY(!d.Accepted && !d.isVisible());
        QCOMPARE((QStringList{d.Address, d.Port, d.Device}), (QStringList{address, port, device}));
    }

    // Which field holds what for each kind, and Enter as OK (the checks themselves:
    // test_setupentries).
    void commSetupChecks_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("address"); // typed into the kind's address field
        QTest::addColumn<QString>("port");    // typed into cmbPort (GPIB: its address)
        QTest::addColumn<QString>("result"); // Address|Port|Device, or the box "title: text"
        const QString refused = "Data Error: " + SetupText::CheckAddressAndPort;
        QTest::newRow("GPIB") << 0 << "" << "7" << "7||";
        QTest::newRow("RS-232 list item") << 1 << "" << "2: /dev/ttyUSB0" << "|2|";
        QTest::newRow("RS-232 typed device") << 1 << "" << "/tmp/zop-line" << "|5|/tmp/zop-line";
        QTest::newRow("TCP/IP") << 2 << "192.168.1.300" << "5025" << "192.168.1.300|5025|";
        QTest::newRow("TCP/IP blank in name") << 2 << "my host" << "5025" << refused;
        QTest::newRow("RS-485") << 4 << "17" << "1" << "17|1|";
        QTest::newRow("RS-485 empty address") << 3 << "" << "1" << refused;
    }

    void commSetupChecks()
    {
        QFETCH(int, kind);
        QFETCH(QString, address);
        QFETCH(QString, port);
        SetupFixture f;
        frmCommSetup d;
        Arrange(d, qint16(kind), "", "5");
        d.show();
        d.txtAddress->setText(address);
        d.cmbAddress->setEditText(address);
        d.cmbPort->setEditText(port);
        // Enter in the field in front is OK.
        QWidget *field = kind == LinkKind::TcpIp ? static_cast<QWidget *>(d.txtAddress) : d.cmbPort;
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(d.isVisible(), !d.Accepted);
        const Prompt box = f.prompter->shown.value(0);
        QTEST(d.Accepted ? QStringList({d.Address, d.Port, d.Device}).join('|') : box.title + ": " + box.text, "result");
        QVERIFY(f.prompter->shown.size() == int(!d.Accepted) && box.icon == MsgIcon::None);
    }

    void probe_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("failOpen");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("changeAsked"); // kind|address the change dialog was given
        const QString tcp = "TCP/IP Address zop-probe and Port 5025.";
        QTest::newRow("cannot open") << 2 << true << false
                                     << "Error initializing communications on " + tcp << "";
        QTest::newRow("no answer") << 2 << false << false << "Could not communicate with device on " + tcp
                                   << "";
        QTest::newRow("TCP/IP answers") << 2 << false << true << "" << "2|zop-probe";
        QTest::newRow("RS-485 answers") << 4 << false << true << "" << "4|17";
    }

    void probe()
    {
        QFETCH(int, kind);
        QFETCH(bool, failOpen);
        QFETCH(bool, answers);
        QFETCH(QString, message);
        QFETCH(QString, changeAsked);
        const bool tcp = kind == LinkKind::TcpIp;
        SetupFixture f;
        ModData &data = modData();
        // The configured link, open before and after.
        data.CommKind = LinkKind::TcpIp;
        data.CommAddress = "127.0.0.1";
        data.CommPort = 50505;
        QVERIFY(OpenLink());
        f.links.clear();
        // A serial link has no address to route by: it reaches the configured line.
        ScriptedLine &far = tcp ? *f.probeLine : *f.line;
        far.failOpen = failOpen;
        if (answers)
            far.answer("<>STA", "0,0,48,0,3\r\n");
        QStringList asked;
        bool quietWhileChanging = true;
        SetChangeDeviceDialog([&](QWidget *, qint16 type, const QString &address) {
            asked << QString("%1|%2").arg(type).arg(address);
            quietWhileChanging = Comm().QuietMode;
            return std::optional<DeviceChoice>(DeviceChoice{"18", "5026"});
        });

        frmCommSetup d;
        // RS-485 reaches the probe line through its device path.
        Arrange(d, qint16(kind), tcp ? f.ProbeAddress : QString("17"), tcp ? "5025" : "2");

        d.cmdChange->click();

        QCOMPARE(f.prompter->texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QVERIFY(f.prompter->shown[0].title == "Communications Error"
                    && f.prompter->shown[0].icon == MsgIcon::Critical);
        QCOMPARE(asked, changeAsked.isEmpty() ? QStringList() : QStringList{changeAsked});
        QCOMPARE(quietWhileChanging, !answers); // messages are back on for the change dialog
        if (answers)
            QCOMPARE(tcp ? d.txtAddress->text() : d.cmbAddress->currentText(), QString("18"));
        // The probe went to the entries, then the configured link came back.
        QCOMPARE(f.links.value(0).section(' ', 0, 1), tcp ? QString("2 zop-probe:5025") : QString("%1 17:2").arg(kind));
        QCOMPARE(f.links.value(1), QString("2 127.0.0.1:50505"));
        QCOMPARE(Describe({data.CommKind, data.CommAddress, QString::number(data.CommPort), ""}),
                 QString("2|127.0.0.1|50505|"));
        QVERIFY(!Comm().QuietMode);
        QVERIFY(f.line->open);
        QVERIFY(f.log.logText().startsWith("TCP/IP - Initialized\r\n"));
    }

    void setupOpening_data()
    {
        QTest::addColumn<QList<ConfigKey>>("keys");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("request"); // the Communication Setup opened at the first showing
        QTest::addColumn<QString>("visible");
        QTest::addColumn<QString>("texts"); // address caption, value, port caption, value
        const QString port = "lblPort lblPortDisplay cmdConfigure";
        const QString both = "lblAddress lblAddressDisplay " + port;
        auto device = Link("RS-232", "", "1");
        device.append({"Communication", "Device", "/tmp/zop-line"});
        QTest::newRow("GPIB") << Link("GPIB", "5", "") << 0 << "0|5|0|"
                              << "lblAddress lblAddressDisplay cmdConfigure" << "Address|5|Port|0";
        QTest::newRow("RS-232") << Link("RS-232", "127.0.0.1", "2") << 1 << "1|1|2|" << port
                                << "Address|1|Comm Port|2: /dev/ttyUSB0";
        QTest::newRow("RS-232 on a device") << device << 1 << "1|1|1|/tmp/zop-line" << port
                                            << "Address|1|Comm Port|/tmp/zop-line";
        QTest::newRow("TCP/IP") << Link("tcp/ip") << 2 << "2|127.0.0.1|50505|" << both
                                << "Address|127.0.0.1|Port|50505";
        QTest::newRow("RS-485") << Link("RS-485 Framed", "17", "1") << 4 << "4|17|1|" << both
                                << "RS485 Address|17|Comm Port|1: /dev/ttyS0";
        QTest::newRow("Simulated") << Link("Simulated") << 5 << "" << "" << "Address|1|Port|50505";
        QTest::newRow("not in the list") << Link("Serial") << -1 << "" << "" << "Address|127.0.0.1|Port|50505";
    }

    void setupOpening()
    {
        QFETCH(QList<ConfigKey>, keys);
        QFETCH(QString, request);
        SetupFixture f(keys);
        modData().CommKind = LinkKind::Simulated; // a fall-back since start-up: not shown here
        frmSetup d;
        QTEST(d.cmbComm->currentIndex(), "position");
        QCOMPARE((QStringList{d.cmbApp->currentText(), d.cmbPanel->currentText(), d.cmbPanel->currentData().toString()}),
                 (QStringList{"Virtual Control Panel", "TLB Series", "2"}));
        QCOMPARE(m_requests, QStringList()); // not before the dialog is on the screen
        d.show();
        QCoreApplication::processEvents();
        QCOMPARE(m_requests, request.isEmpty() ? QStringList() : QStringList{request});
        QTEST(Visible(d.fraComm).mid(2).join(' '), "visible"); // after lblComm and cmbComm
        QTEST((QStringList{d.lblAddress->text(), d.lblAddressDisplay->text(), d.lblPort->text(),
                           d.lblPortDisplay->text()}).join('|'),
              "texts");
        if (!d.lblAddress->isVisible() && d.lblPort->isVisible()) { // moved up to the address row
            const auto *grid = qobject_cast<QGridLayout *>(d.fraComm->layout());
            QCOMPARE(d.lblPort->geometry().center().y(), grid->cellRect(1, 0).center().y());
        }
    }

    // OK refused with a message, and Cancel, Escape and the close box: the file, the state and
    // the link as they were.
    void setupChangesNothing_data()
    {
        QTest::addColumn<QList<ConfigKey>>("keys");
        QTest::addColumn<QString>("answer"); // Address|Port given back by Communication Setup
        QTest::addColumn<QString>("message"); // how it begins; or how the dialog is closed
        using namespace SetupText;
        QTest::newRow("short start-up name")
            << QList<ConfigKey>{{"Form_List", "Item01", "1,Cmd"}, {"Application", "Start-Up", "Cmd"}}
            << "" << CheckStartup;
        QTest::newRow("short system name")
            << QList<ConfigKey>{{"Syst_List", "Item02", "2,TLB"}, {"System", "Type", "TLB"}} << ""
            << CheckSystem;
        QTest::newRow("no system type") << QList<ConfigKey>{{"System", "Type", "None"}} << ""
                                        << CheckSystem;
        QTest::newRow("no link kind") << Link("Serial") << "" << CheckBus;
        // The link's checks themselves: test_setupentries.
        QTest::newRow("TCP/IP with a blank") << Link("TCP/IP") << "my host|5025" << CheckAddressAndPort;
        // The folder is gone (or may not be written): nothing can be saved there.
        QTest::newRow("file cannot be written") << Link("Simulated") << "<gone>"
                                                << "The settings could not be saved to ";
        for (const char *how : {"Cancel", "Escape", "close box"})
            QTest::newRow(how) << Link("TCP/IP") << "" << QString(how);
    }

    void setupChangesNothing()
    {
        QFETCH(QList<ConfigKey>, keys);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        SetupFixture f(keys);
        const bool closed = QStringList{"Cancel", "Escape", "close box"}.contains(message);
        if (closed) { // the link open before
            QVERIFY(OpenLink());
            f.links.clear();
        }
        const QByteArray before = f.configText();
        const qint16 kind = modData().CommKind;
        const qint16 system = modData().SystemType;
        const bool gone = answer == "<gone>";
        frmSetup d;
        if (!answer.isEmpty() && !gone)
            m_answer = CommSetupEntries{qint16(d.cmbComm->currentIndex()), answer.section('|', 0, 0),
                                        answer.section('|', 1, 1), ""};
        d.show();
        QCoreApplication::processEvents(); // the Communication Setup of the opening
        if (gone) {
            d.cmbPanel->setCurrentIndex(d.cmbPanel->findText("KM Series"));
            modData().ProgramFolder = f.path("gone");
            message += QDir::toNativeSeparators(f.path("gone/ZOP_Panel.ini")) + ": ";
        }
        if (closed) { // other choices, then dropped
            m_answer = CommSetupEntries{0, "9", "", ""};
            d.cmbComm->setCurrentIndex(0);
            d.cmbApp->setCurrentIndex(2);
            d.cmbPanel->setCurrentIndex(0);
            QCOMPARE(d.lblAddressDisplay->text(), QString("9"));
        }
        if (message == "Cancel")
            d.cmdCancel->click();
        else if (message == "Escape")
            QTest::keyClick(d.cmbComm, Qt::Key_Escape);
        else if (message == "close box")
            d.close();
        else
            d.cmdOK->click();
        QCOMPARE(d.isVisible(), !closed);
        QCOMPARE(f.prompter->shown.size(), closed ? 0 : 1);
        if (!closed) {
            QVERIFY2(f.prompter->texts()[0].startsWith(message), qPrintable(f.prompter->texts()[0]));
            QVERIFY(gone ? f.prompter->shown[0].icon == MsgIcon::Critical
                         : f.prompter->shown[0].title == "Data Error");
        }
        QCOMPARE(d.result(), int(QDialog::Rejected)); // not accepted, whether closed or open
        QCOMPARE(f.configText(), before);
        QCOMPARE((QList<qint16>{modData().CommKind, modData().SystemType}), (QList<qint16>{kind, system}));
        QCOMPARE(f.links, QStringList());
        QCOMPARE(f.line->open, closed);
    }

    void setupWritesReadsAndReopens_data()
    {
        QTest::addColumn<QString>("oldDevice"); // "Device" in the file before
        QTest::addColumn<CommSetupEntries>("answer");
        QTest::addColumn<QString>("written"); // the [Communication] keys afterwards
        QTest::addColumn<QString>("opened");  // the link opened
        QTest::newRow("TCP/IP") << "" << CommSetupEntries{2, "127.0.0.1", "5025", ""}
                                << "Comm=TCP/IP Address=127.0.0.1 Port=5025" << "2 127.0.0.1:5025";
        QTest::newRow("TCP/IP keeps Device")
            << "/dev/ttyS1" << CommSetupEntries{2, "zop-1", "5025", ""}
            << "Comm=TCP/IP Address=zop-1 Port=5025 Device=/dev/ttyS1" << "2 zop-1:5025 /dev/ttyS1";
        QTest::newRow("RS-232 on a typed device")
            << "" << CommSetupEntries{1, "", "2", "/tmp/zop-line"}
            << "Comm=RS-232 Address= Port=2 Device=/tmp/zop-line" << "1 :2 /tmp/zop-line";
        QTest::newRow("RS-485 on a numbered port")
            << "/tmp/old" << CommSetupEntries{3, "17", "1", ""} << "Comm=RS-485 Address=17 Port=1" << "3 17:1";
    }

    void setupWritesReadsAndReopens()
    {
        QFETCH(QString, oldDevice);
        QFETCH(CommSetupEntries, answer);
        QFETCH(QString, written);
        const qint16 position = answer.kind;
        QList<ConfigKey> keys = Link("Simulated");
        if (!oldDevice.isEmpty())
            keys.append({"Communication", "Device", oldDevice});
        SetupFixture f(keys);
        const QByteArray before = f.configText();
        frmSetup d;
        d.show();
        m_answer = answer;
        d.cmbApp->setCurrentIndex(1);
        d.cmbPanel->setCurrentIndex(d.cmbPanel->findText("KM Series"));
        d.cmbComm->setCurrentIndex(position); // opens Communication Setup at once
        QCOMPARE(m_requests.size(), 1);
        QTest::keyClick(d.cmbApp, Qt::Key_Return); // Enter is OK
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(f.prompter->texts(), QStringList());

        // Exactly the five keys (and the Device rule); every other line as it was.
        QByteArray expected = before;
        const auto lines = [](QString keys) { return keys.replace(' ', "\r\n").toLatin1() + "\r\n"; };
        const QByteArray oldComm = lines("Comm=Simulated Address=127.0.0.1 Port=50505"
                                         + (oldDevice.isEmpty() ? "" : " Device=" + oldDevice));
        QVERIFY(expected.contains(oldComm));
        expected.replace(oldComm, lines(written));
        expected.replace("Start-Up=Virtual Control Panel", "Start-Up=Command Panel");
        expected.replace("Type=TLB Series", "Type=KM Series");
        QCOMPARE(f.configText(), expected);
        // Read back and re-opened.
        const ModData &data = modData();
        QCOMPARE((QList<qint16>{data.StartupPanel, data.SystemType, data.CommKind}), (QList<qint16>{1, 3, position}));
        QTEST(f.links.join(';'), "opened");
        QCOMPARE(f.log.logText(), LinkLogName(position) + "- Initialized\r\n");

        // The link, remembered as it opened and chosen again from "Recent Links" after the file
        // changed, writes the file as the dialog did.
        const std::optional<RecentLink> recent = LinkInUseAsRecent();
        QVERIFY(recent);
        const QByteArray bySetup = f.configText();
        f.writeFile(ConfigFileName, QByteArray(bySetup).replace(lines(written), oldComm));
        ReadConfiguration();
        QCOMPARE(WriteRecentLink(*recent), QString());
        QCOMPARE(f.configText(), bySetup);
        QCOMPARE(data.CommKind, position);
    }

    void setupKeyboardAndNames()
    {
        SetupFixture f(Link("TCP/IP"));
        frmSetup d;
        d.show();
        QCoreApplication::processEvents();
        QStringList order;
        QWidget *w = d.cmbApp;
        do {
            if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
                order << w->objectName();
            w = w->nextInFocusChain();
        } while (w != d.cmbApp);
        QCOMPARE(order, (QStringList{"cmbApp", "cmbPanel", "cmbComm", "cmdConfigure", "cmdOK", "cmdCancel"}));
        // What a screen reader reads of the read-only values: caption and value.
        const auto read = [](QWidget *w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        QCOMPARE((QStringList{d.cmbApp->accessibleName(), d.cmbPanel->accessibleName(),
                              d.cmbComm->accessibleName(), read(d.lblAddressDisplay),
                              read(d.lblPortDisplay)}),
                 (QStringList{"Start-Up Panel", "System Type", "Type of Communications",
                              "Address: 127.0.0.1", "Port: 50505"}));
    }

private:
    // The Communication Setup requests frmSetup made, and the answer it gets (none: Cancel).
    QStringList m_requests;
    std::optional<CommSetupEntries> m_answer;
};

QTEST_MAIN(TestSetupDialogs)
#include "test_setupdialogs.moc"
