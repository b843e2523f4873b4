// The TLB panel's load, status poll, lamps and shutdown.

#include "app/configuration.h"
#include "panelfixture.h"
#include "engine/instrumentstate.h"
#include "ui/transactionlog.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestTlbPolling : public QObject {
    Q_OBJECT
private slots:
    void loadSetsUpThePanel();
    void debugAccessCodeShowsTheLog();
    void pollShowsReadingsAndLamps();
    void lampColoursFromStatusWords_data();
    void lampColoursFromStatusWords();
    void shortReplyUsesDefaults_data();
    void shortReplyUsesDefaults();
    void lowerCaseLettersAreRefused();
    void garbageRepliesEndTheTickQuietly_data();
    void garbageRepliesEndTheTickQuietly();
    void silentInstrumentFallsBackToSimulated();
    void memoryChangeAtTheInstrumentRereadsState();
    void noTimerExchangeWhileAnotherAwaitsItsReply_data();
    void noTimerExchangeWhileAnotherAwaitsItsReply();
    void armFlashesWhileTheOutputIsOn();
    void anotherCurrentPanelMakesThisOneGiveWay();
    void closingSendsClearAndEndsTheProgram();
};

void TestTlbPolling::loadSetsUpThePanel()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    QCOMPARE(p.FlashItem, qint16(5));
    QCOMPARE(p.PowerState, qint16(3));
    QCOMPARE(p.EntryMode, qint16(-1));
    QCOMPARE(p.knbVolt->maximum(), 15.0f);
    QCOMPARE(p.knbCurr->maximum(), 100.0f);
    QCOMPARE(p.knbVolt->value(), 12.0f);
    QCOMPARE(p.knbCurr->value(), 5.0f);
    QVERIFY(p.knbVolt->isEnabled() && p.knbCurr->isEnabled());
    QVERIFY(p.tmrInfo.isActive() && p.tmrFlash.isActive() && !p.tmrMenu.isActive());
    QCOMPARE(Comm().LogTarget, static_cast<LogSink *>(p.rtbTranx));
    QVERIFY(!p.DebugMode);
    QVERIFY(p.fraIn->isHidden());
    // Every control a user reaches has a name a screen reader can say.
    QCOMPARE(p.txtVolt->accessibleName(), QString("Voltage display"));
    QCOMPARE(p.knbCurr->accessibleName(), QString("Current knob"));
    QCOMPARE(p.lamp("lblErrors", 0)->accessibleName(), QString("OVT lamp"));
    QCOMPARE(p.cmdClear->accessibleName(), QString("CLEAR"));
}

void TestTlbPolling::debugAccessCodeShowsTheLog()
{
    PanelFixture f(PanelId::TLB, false);
    f.writeFile(DebugIniFileName, "[Debug]\r\nType=TAN_WHELK\r\n");
    f.openPanel(PanelId::TLB);
    QVERIFY(f.panel->DebugMode);
    QVERIFY(!f.panel->fraIn->isHidden());
    f.poll();
    QVERIFY(f.panel->rtbTranx->logText().endsWith("<>STA\n0,0,48,0,3\r\n"));
}

void TestTlbPolling::pollShowsReadingsAndLamps()
{
    PanelFixture f;
    f.staReply = "2EE0,1F4,588,0,3\r\n"; // 12 V, 0.5 A, output on in CV
    f.poll();
    VirtualPanel &p = *f.panel;
    QCOMPARE(p.tmrInfo.interval(), 200);
    QCOMPARE(p.txtVolt->text(), QString("12.00"));
    QCOMPARE(p.txtCurr->text(), QString("0.5"));
    QCOMPARE(p.txtMEM->text(), QString("3"));
    QCOMPARE(p.PowerState, qint16(4));
    QVERIFY(p.lamp("lblStatus", 7)->isLit());
    QVERIFY(p.lamp("lblStatus", 8)->isLit());
    QVERIFY(!p.lamp("lblStatus", 6)->isLit());
    QCOMPARE(f.sent(), QStringList{"<>STA"});

    f.staReply = "0,0,48,0,C\r\n";
    f.poll();
    QCOMPARE(p.txtMEM->text(), QString("E"));
}

void TestTlbPolling::lampColoursFromStatusWords_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("lampName");
    QTest::addColumn<QString>("colour"); // "" = dark
    const QString green = ColourFromBgr(65280).name();
    const QString red = ColourFromBgr(255).name();
    const QString yellow = ColourFromBgr(65535).name();
    const QString orange = ColourFromBgr(33023).name();
    QTest::newRow("INT CTL green") << QByteArray("0,0,48,0,3") << "lblStatus(3)" << green;
    QTest::newRow("STANDBY orange") << QByteArray("0,0,48,0,3") << "lblStatus(6)" << orange;
    QTest::newRow("EXT CTL dark") << QByteArray("0,0,48,0,3") << "lblStatus(4)" << "";
    QTest::newRow("ARM yellow") << QByteArray("0,0,49,0,3") << "lblArm(0)" << yellow;
    QTest::newRow("current CTL green") << QByteArray("0,0,480,0,3") << "lblStatus(10)" << green;
    QTest::newRow("OVT red") << QByteArray("0,0,48,1,3") << "lblErrors(0)" << red;
    QTest::newRow("FSE red") << QByteArray("0,0,48,20,3") << "lblErrors(5)" << red;
    QTest::newRow("LOC red") << QByteArray("0,0,48,100,3") << "lblErrors(8)" << red;
    QTest::newRow("REMOTE green") << QByteArray("0,0,48,200,3") << "lblDisabled(2)" << green;
    QTest::newRow("OCT dark") << QByteArray("0,0,48,1,3") << "lblErrors(1)" << "";
}

void TestTlbPolling::lampColoursFromStatusWords()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, lampName);
    QFETCH(QString, colour);
    PanelFixture f;
    f.staReply = reply + "\r\n";
    f.poll();
    Lamp *l = f.panel->findChild<Lamp *>(lampName);
    QVERIFY(l);
    QCOMPARE(l->isLit(), !colour.isEmpty());
    if (!colour.isEmpty())
        QCOMPARE(l->colour().name(), colour);
    else
        QCOMPARE(l->colour(), DarkLampColour());
}

void TestTlbPolling::shortReplyUsesDefaults_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("two fields") << QByteArray("0,0\r\n");
    QTest::newRow("simulated") << QByteArray("9.999\r\n");
    QTest::newRow("empty line") << QByteArray("\r\n");
}

void TestTlbPolling::shortReplyUsesDefaults()
{
    QFETCH(QByteArray, reply);
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.staReply = reply;
    f.poll();
    QVERIFY(p.lamp("lblStatus", 3)->isLit()); // INT CTL
    QCOMPARE(p.lamp("lblStatus", 6)->colour(), ColourFromBgr(33023)); // STANDBY orange
    QCOMPARE(p.txtVolt->text(), QString("0.00"));
    QCOMPARE(p.txtCurr->text(), QString("0.0"));

    // With the output on the displays follow the knobs, and START set the default word.
    p.cmdStart_Click();
    f.poll();
    QCOMPARE(p.txtVolt->text(), QString("12.00"));
    QCOMPARE(p.txtCurr->text(), QString("5.0"));
    QVERIFY(p.lamp("lblStatus", 7)->isLit());   // POWER
    QVERIFY(!p.lamp("lblStatus", 6)->isLit());  // no STANDBY
    p.cmdStop_Click();
    f.poll();
    QVERIFY(p.lamp("lblStatus", 6)->isLit());
    QCOMPARE(p.txtVolt->text(), QString("0.00"));
}

void TestTlbPolling::lowerCaseLettersAreRefused()
{
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.staReply = "0,0,48,1,3\r\n";
    f.poll();
    QVERIFY(p.lamp("lblErrors", 0)->isLit());
    // A reply with "b" is refused: the lamps keep their state, no message outside debug mode.
    f.staReply = "0,0,4b,0,3\r\n";
    f.poll();
    QVERIFY(p.lamp("lblErrors", 0)->isLit());
    QVERIFY(f.prompter->shown.isEmpty());
    // In debug mode the refusal is reported.
    p.DebugMode = true;
    f.staReply = "j\r\n";
    f.poll();
    QCOMPARE(f.prompter->shown.size(), 1);
    QCOMPARE(f.prompter->shown[0].title, QString("ZOPPanel Error"));
    QCOMPARE(f.prompter->shown[0].icon, MsgIcon::Critical);
    QCOMPARE(f.prompter->shown[0].text,
             QString("Error retrieving scale information:\r\nCommand: <>STA\r\nResponse: j\r\n\r\n"
                     "Error: Result contains 'j'"));
    // While the box is open polling waits: no second box, no poll; it resumes afterwards.
    QStringList sentWhileShown;
    bool open = false;
    f.prompter->whileShown = [&] {
        if (std::exchange(open, true))
            return; // a second box over the first: counted in shown
        f.sent();
        f.run(2000);
        sentWhileShown << f.sent();
        open = false;
    };
    f.prompter->shown.clear();
    f.run(250);
    f.prompter->whileShown = nullptr;
    QCOMPARE(f.prompter->shown.size(), 1);
    QCOMPARE(sentWhileShown, QStringList{});
    QVERIFY(p.tmrInfo.isActive());
}

void TestTlbPolling::garbageRepliesEndTheTickQuietly_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("overflow") << QByteArray("1,2,FFFFFFFFFF,0,3\r\n");
    QTest::newRow("four fields") << QByteArray("1,2,48,0\r\n");
    QTest::newRow("junk") << QByteArray("zz#!?,x,y,z,3\r\n");
}

void TestTlbPolling::garbageRepliesEndTheTickQuietly()
{
    QFETCH(QByteArray, reply);
    PanelFixture f;
    f.staReply = reply;
    f.poll();
    QVERIFY(f.prompter->shown.isEmpty());
    QCOMPARE(modData().CommKind, qint16(2));
    // The next tick polls again and shows what it gets.
    f.staReply = "2EE0,1F4,48,0,3\r\n";
    f.poll();
    QCOMPARE(f.panel->txtVolt->text(), QString("12.00"));
}

void TestTlbPolling::silentInstrumentFallsBackToSimulated()
{
    PanelFixture f;
    f.staReply.clear();
    f.line->responder = [](const QByteArray &) { return QList<ScriptedLine::Chunk>{}; };
    const qint64 before = f.clock->elapsedMs();
    f.poll();
    // The status read waits 2 s quietly, the retry 1 s before the fall-back.
    QVERIFY(f.clock->elapsedMs() - before > 3000);
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>STA"}));
    QCOMPARE(f.prompter->texts(), QStringList{"Device Timed Out.  Entering Simulated Mode!"});
    QCOMPARE(modData().CommKind, qint16(5));
    // Simulated mode then gives the default record.
    f.poll();
    QVERIFY(f.panel->lamp("lblStatus", 6)->isLit());
}

void TestTlbPolling::memoryChangeAtTheInstrumentRereadsState()
{
    PanelFixture f;
    f.replies["<>ALL"] = "1F40,3E8,3A98,EA60,0,4,1194\r\n";
    f.staReply = "0,0,48,0,4\r\n";
    f.poll();
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>ALL", "SYST:VERS?"}));
    QCOMPARE(modData().Settings.MemLoc, 4.0f);
    QCOMPARE(f.panel->knbVolt->value(), 8.0f);
    QCOMPARE(f.panel->knbCurr->value(), 1.0f);
    f.poll();
    QCOMPARE(f.sent(), QStringList{"<>STA"});
    // The largest memory number is read once, not taken for a change on every poll.
    f.replies["<>ALL"] = "1F40,3E8,3A98,EA60,0,7FFFFFFF,1194\r\n";
    f.staReply = "0,0,48,0,7FFFFFFF\r\n";
    f.poll();
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>ALL", "SYST:VERS?"}));
    f.poll();
    QCOMPARE(f.sent(), QStringList{"<>STA"});
}

void TestTlbPolling::noTimerExchangeWhileAnotherAwaitsItsReply_data()
{
    QTest::addColumn<bool>("memoryChange"); // the poll's own state refresh, or a key's query
    QTest::addColumn<bool>("clearPending"); // CLEAR released after a hold: its state read is due
    QTest::newRow("poll ticks in a key's query") << false << false;
    QTest::newRow("poll ticks in the refresh after a memory change") << true << false;
    QTest::newRow("CLEAR's state read due in a key's query") << false << true;
}

// A TCP/IP wait lets the panel's timers run. A poll inside it took the reply the exchange
// waited for, and the exchange timed out: "Device Timed Out" against an instrument that
// answered. The hold timer's state read after a CLEAR release could do the same.
void TestTlbPolling::noTimerExchangeWhileAnotherAwaitsItsReply()
{
    QFETCH(bool, memoryChange);
    QFETCH(bool, clearPending);
    PanelFixture f;
    VirtualPanel &p = *f.panel;
    f.replies["<>ALL"] = "1F40,3E8,3A98,EA60,0,4,1194\r\n";
    if (clearPending) {
        p.cmdMenu_Click();
        p.cmdClear_MouseDown();
        f.advance(6000);
        p.cmdClear_MouseUp(); // the menu is left and the state read 0.2 s later
        f.sent();
    }
    const ScriptedLine::Responder instrument = f.line->responder;
    f.line->responder = [instrument](const QByteArray &command) {
        QList<ScriptedLine::Chunk> chunks = instrument(command);
        if (command != "<>STA")
            for (ScriptedLine::Chunk &chunk : chunks)
                chunk.afterMs = 300; // later than the next tick
        return chunks;
    };
    int ticks = 0; // a few ticks of the timers while the reply is awaited
    f.line->duringWait = [&f, &ticks, clearPending] {
        if (++ticks > 3)
            return;
        if (clearPending)
            f.advance(300); // the hold timer, every 10 ms, until the reply is due
        else
            f.poll();
    };
    QStringList expected{"<>SCL"};
    if (memoryChange) {
        f.staReply = "0,0,48,0,4\r\n";
        f.poll();
        expected = QStringList{"<>STA", "<>ALL", "SYST:VERS?"};
    } else {
        ReadScales();
        QCOMPARE(modData().Ratings.VoltMax, 15.0f);
    }
    QCOMPARE(f.sent(), expected);
    QCOMPARE(f.prompter->texts(), QStringList());
    QCOMPARE(modData().CommKind, qint16(LinkKind::TcpIp));
    if (memoryChange)
        QCOMPARE(modData().Settings.MemLoc, 4.0f);
    // Once the exchange is over, the ticks go on.
    f.line->duringWait = nullptr;
    if (clearPending) {
        f.advance(10);
        QCOMPARE(f.sent(), (QStringList{"<>CHG 0,-1,0", "<>ALL", "SYST:VERS?"}));
        QCOMPARE(p.MenuLevel, qint16(3));
    } else {
        f.poll();
        QCOMPARE(f.sent().value(0), QStringLiteral("<>STA"));
    }
}

void TestTlbPolling::armFlashesWhileTheOutputIsOn()
{
    PanelFixture f;
    f.staReply = "0,0,181,0,3\r\n"; // POWER, CV, ARM
    f.panel->FlashPhase = false;
    f.poll();
    QCOMPARE(f.panel->PowerState, qint16(5));
    QVERIFY(f.lamp("lblArm", 0)->isLit());
    f.panel->FlashPhase = true;
    f.poll();
    QVERIFY(!f.lamp("lblArm", 0)->isLit());
    // The flash phase turns every 0.35 s.
    f.clock->advance(200);
    f.panel->tmrFlash_Timer();
    QVERIFY(f.panel->FlashPhase);
    f.clock->advance(200);
    f.panel->tmrFlash_Timer();
    QVERIFY(!f.panel->FlashPhase);
}

void TestTlbPolling::anotherCurrentPanelMakesThisOneGiveWay()
{
    PanelFixture f;
    QObject other;
    other.setObjectName("frmCommand");
    modData().CurrentPanel = &other;
    f.poll();
    QVERIFY(!f.panel->isVisible());
    QCOMPARE(f.programEnded, 0);
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>CLR 0"}));
}

void TestTlbPolling::closingSendsClearAndEndsTheProgram()
{
    PanelFixture f;
    f.panel->close();
    QCOMPARE(f.sent(), QStringList{"<>CLR 0"});
    QCOMPARE(f.programEnded, 1);
    QVERIFY(!f.panel->tmrInfo.isActive());
    QVERIFY(f.panel->operationLamps.isEmpty());
}

QTEST_MAIN(TestTlbPolling)
#include "test_tlbpolling.moc"
