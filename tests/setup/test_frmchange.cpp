// The address change dialog on the offscreen platform: what it reads and shows for each link
// kind, the exact command or frame OK sends, and Cancel sending nothing. GPIB and RS-485
// selected run on a scripted line; the framed address change goes to the emulator on a
// pseudo-terminal.

#include "link/linkkind.h"
#include "link/transports.h"
#include "setup/frmchange.h"
#include "setupfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestFrmChange : public QObject {
    Q_OBJECT
private slots:
    void changeOnScriptedLine_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("pick"); // empty: Cancel
        QTest::addColumn<QString>("shown"); // title|setting|list count|last item|version shown
        QTest::addColumn<QStringList>("sent");
        const QStringList gpibReads{"*IDN?", "GPIB:VERS?"};
        const QString gpib = "Change Device's GPIB Settings|GPIB Address|30|30|1|V 1.00";
        QTest::newRow("GPIB") << 0 << "7" << "12" << gpib << gpibReads + QStringList{"GPIB:ADDR 12"};
        QTest::newRow("GPIB cancel") << 0 << "7" << "" << gpib << gpibReads;
        QTest::newRow("RS-485 address not listed")
            << 3 << "0" << "200" << "Change Device's RS-485 Settings|RS-485 Address|256|0|0|S 2.00"
            << QStringList{"*IDN?", "SER:VERS?", "SYST:COMM:SER:ADDR 200"};
        QTest::newRow("RS-485 typed address")
            << 3 << "17" << "x9" << "Change Device's RS-485 Settings|RS-485 Address|255|255|0|S 2.00"
            << QStringList{"*IDN?", "SER:VERS?", "SYST:COMM:SER:ADDR x9"};
    }

    void changeOnScriptedLine()
    {
        QFETCH(int, kind);
        QFETCH(QString, current);
        QFETCH(QString, pick);
        SetupFixture f;
        modData().CommKind = qint16(kind);
        modData().CommAddress = current;
        QVERIFY(OpenLink());
        f.line->answer("*IDN?", "Zoptrel,<b>TLB</b>,0,4.70\r\n");
        f.line->answer("GPIB:VERS?", "V 1.00\r\n");
        f.line->answer("SER:VERS?", "S 2.00\r\n");
        f.line->written.clear();

        frmChange d;
        d.SetCommType(qint16(kind));
        d.SetCurrentAddress(current);
        d.show();
        QCOMPARE(d.lblIdentification->text(), QString("Zoptrel,<b>TLB</b>,0,4.70"));
        QCOMPARE(d.lblIdentification->textFormat(), Qt::PlainText);
        QCOMPARE((QStringList{d.cboAddress->currentText(), d.lblAddress->text()}), QStringList(2, current));
        QTEST(QStringList({d.windowTitle(), d.lblAddressSetting->text(),
                           QString::number(d.cboAddress->count()),
                           d.cboAddress->itemText(d.cboAddress->count() - 1),
                           QString::number(d.lblModVersion->isVisible()), d.lblModVersion->text()})
                  .join('|'),
              "shown");
        if (pick.isEmpty()) {
            d.cmdCancel->click();
        } else {
            d.cboAddress->setEditText(pick);
            d.cmdOK->click();
        }
        QCOMPARE(d.Accepted ? d.Address() : QString(), pick);
        QVERIFY(!d.isVisible());
        QTEST(f.line->commands(), "sent");
        QVERIFY(f.log.logText().endsWith(pick.isEmpty() ? QString("V 1.00\r\n") : pick + "\n"));
    }

    // RS-485 framed: OK sends the address-change frame, and the instrument takes it.
    void framedChangeReachesInstrument()
    {
        SimProcess sim({"--rs485-address", "17"}, SimLine::Pty);
        QVERIFY(!sim.linkPath().isEmpty());
        SetupFixture f;
        ModData &data = modData();
        data.clock = std::make_shared<SteadyClock>();
        data.comm.setTransportFactory(MakeTransport);
        data.CommKind = LinkKind::Rs485Framed;
        data.CommDevice = sim.linkPath();
        data.CommAddress = "17";
        QVERIFY(OpenLink());
        frmChange d;
        d.SetCommType(LinkKind::Rs485Framed);
        d.SetCurrentAddress("17");
        QVERIFY(d.lblIdentification->text().startsWith("Zoptrel,ZOP-SIM"));
        QVERIFY(d.lblModVersion->text().isEmpty()); // no version query on this kind
        d.cboAddress->setCurrentText("32");
        d.cmdOK->click();
        QVERIFY(d.Accepted);
        QVERIFY(sim.received().contains("%112058316024\r"));
        // The emulator answering at its new address: test_rs485station.
        QCOMPARE(sim.notes(), (QStringList{"attached", "address changed to 20"}));
        QCOMPARE(f.prompter->texts(), QStringList());
    }
};

QTEST_MAIN(TestFrmChange)
#include "test_frmchange.moc"
