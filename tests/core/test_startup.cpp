// The start-up sequence of the hidden start form on a scripted link.

#include "app/configuration.h"
#include "app/startform.h"
#include "testsupport.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
QByteArray Config(const QByteArray &startup, const QByteArray &comm, const QByteArray &type)
{
    return "[Form_List]\nItem00=0,Virtual Control Panel\nItem01=1,Command Panel\n"
           "Item02=2,Register Panel\nItem03=3,Calibration Panel\nItem04=4,Modulation Panel\n"
           "[Comm_List]\nItem00=0,GPIB\nItem01=1,RS232\nItem02=2,TCP/IP\nItem03=3,RS485\n"
           "Item04=4,RS485 Framed\nItem05=5,Simulated\n"
           "[Syst_List]\nItem00=0,GZ Series\nItem01=1,GZ2 Series\nItem02=2,TLB Series\n"
           "Item03=3,KM Series\nItem04=4,TW Series\n"
           "[Application]\nStart-Up=" + startup + "\n[Communication]\nComm=" + comm
         + "\nAddress=127.0.0.1\nPort=50505\n[System]\nType=" + type + "\n";
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void sequenceOverTcp();
    void failingOpenLeavesNoRecord();
    void missingConfigurationRunsSimulated();
};

void TestStartup::sequenceOverTcp()
{
    Fixture f;
    f.writeFile(ConfigFileName, Config("Virtual Control Panel", "TCP/IP", "TLB Series"));
    AnswerStateRefresh(*f.line);
    StartForm frmComm;
    QObject panel;
    QList<PanelId> asked;
    const PanelId shown = frmComm.Load([&](PanelId id) {
        asked << id;
        return &panel;
    });
    QCOMPARE(shown, PanelId::TLB);
    QCOMPARE(asked, QList<PanelId>{PanelId::TLB});
    QCOMPARE(modData().CurrentPanel.data(), &panel);
    QCOMPARE(f.line->commands(), (QStringList{"<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?"}));
    QCOMPARE(frmComm.rtbTranx.logText(), QString("TCP/IP - Initialized\r\n"));
    QCOMPARE(modData().GpibEos, QString("10"));
    QCOMPARE(modData().Ratings.VoltMax, 30.0f);
    QVERIFY(f.prompter->shown.isEmpty());
    QVERIFY(frmComm.tcpTimer.isActive()); // the keep-alive
}

void TestStartup::failingOpenLeavesNoRecord()
{
    Fixture f;
    f.writeFile(ConfigFileName, Config("Command Panel", "RS232", "TLB Series"));
    f.writeFile("debug.txt", "\"an old record\"\r\n");
    f.line->failOpen = true;
    StartForm frmComm;
    const PanelId shown = frmComm.Load([](PanelId) { return nullptr; });
    QCOMPARE(shown, PanelId::None);
    QCOMPARE(modData().CommKind, qint16(5));
    QCOMPARE(f.prompter->texts(), QStringList{"Device not Found.  Entering Simulated Mode!"});
    // The record written while opening is gone with the emptying at the end of start-up.
    QCOMPARE(f.debugText(), QString());
    QCOMPARE(modData().Ratings.VoltMax, 15.0f); // the defaults of Simulated mode
}

void TestStartup::missingConfigurationRunsSimulated()
{
    Fixture f;
    StartForm frmComm;
    QObject window;
    PanelId asked = PanelId::None;
    frmComm.Load([&](PanelId id) {
        asked = id;
        return &window;
    });
    QCOMPARE(f.prompter->texts(), QStringList{"No comm Port selected!"});
    QCOMPARE(modData().CommKind, qint16(5));
    QCOMPARE(frmComm.rtbTranx.logText(), QString("- Initialized\r\n"));
    QCOMPARE(asked, PanelId::TLB);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
