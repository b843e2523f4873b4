// The front-panel engine without a window, on a scripted link and a manual clock: sessions of
// keys, typing, knobs, holds and polls per series (enginefixture.h plays and checks them), the
// menu levels and time-outs among them; a refused reply in debug mode, a silent instrument, and
// the exchanges a poll must not disturb.

#include "enginefixture.h"
#include "engine/instrumentstate.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

Q_DECLARE_METATYPE(zop::PanelId)

class TestFrontPanel : public QObject {
    Q_OBJECT
private slots:
    void sessions_data();
    void sessions();
    void refusedReplyInDebugMode();
    void silentInstrumentFallsBackToSimulated();
    void noTimerExchangeWhileAnotherAwaitsItsReply_data();
    void noTimerExchangeWhileAnotherAwaitsItsReply();
};

void TestFrontPanel::sessions_data()
{
    QTest::addColumn<PanelId>("series");
    QTest::addColumn<QString>("script"); // EngineFixture::play
    QTest::addColumn<QString>("wire");   // sent, polls left out, '|' between; "*": not compared
    QTest::addColumn<QString>("expect"); // EngineFixture::check
    const auto row = [](const char *name, PanelId series, const QString &script, const QString &wire,
                        const QString &expect) { QTest::newRow(name) << series << script << wire << expect; };
    const PanelId TLB = PanelId::TLB, KM = PanelId::KM, TW = PanelId::TW, GZ = PanelId::GZ;

    row("TLB start-up", TLB, "", "", "L=3 flash=5 power=3 entry=-1 knobV=12 knobI=5 maxV=15 maxI=100 knobsOn=1 polling=1 menuTimer=0 pollMs=250");
    row("GZ trip knobs", GZ, "", "", "L=4 knobOVP=13.5 maxOVP=16.5");
    // MENU, ITEM, UP, DN, ENTER.
    row("TLB MENU opens the voltage setpoint", TLB, "MENU f0 menu MENU", "<>CHG 5,-1,2",
        "L=5 sub=2 V=12.00 I= legend=VOLT_SET lblStatus(8)=green polling=0 menuTimer=1 knobsOn=0");
    // MENU, then ITEM after ITEM: the levels of each series by the output's state.
    const std::tuple<const char *, PanelId, const char *, QString> menus[] = {
        {"TLB standby", TLB, "48", "5,6,7,8,9,10,11,5"}, {"TLB output on", TLB, "180", "5,6,7,8,9,11,5"},
        {"TLB on and armed", TLB, "181", "5,6,7,8,9,5"}, {"KM standby", KM, "48", "7,8,9,10,7"},
        {"TW output on", TW, "180", "7,8,10,7"}, {"GZ standby", GZ, "48", "9,10,9"}, {"GZ output on", GZ, "180", "10,10"}};
    for (const auto &[name, s, word, levels] : menus)
        QTest::addRow("%s menu levels", name) << s << QStringLiteral("sta=0,0,%1,0,3 poll MENU L").arg(word)
            + QString(" ITEM L").repeated(levels.count(',')) << "*" << "levels=" + levels;
    row("TLB ITEM locked after a change, MENU lifts the lock", TLB, "MENU UP ITEM L ENTER MENU ITEM", "*", "levels=5 L=6");
    row("TLB UP held: first step", TLB, "vset=1 MENU -- UP+", "<>IGN 1|<>TYP 0|VOLT 1.01", "edit=1.01");
    row("TLB UP held: 10 steps of 0.01", TLB, "vset=1 MENU UP+ +2500", "*", "edit=1.11");
    row("TLB UP held: 20 steps of 0.03", TLB, "vset=1 MENU UP+ +5600", "*", "edit=1.71");
    row("TLB UP held: then 0.13", TLB, "vset=1 MENU UP+ +5750 -- UP- +1000", "<>IGN 0", "edit=1.84 vset=1.84 polling=0");
    row("TLB DN clamped at 0", TLB, "vset=0.005 MENU DN", "*", "edit=0");
    row("TLB UP clamped at the rating", TLB, "vset=15 MENU -- UP", "<>IGN 1|<>TYP 0|VOLT 15|<>IGN 0", "edit=15");
    // Typed entry.
    row("TLB typed voltage", TLB, "MENU -- '12.5 ENTER",
        "<>CHG 5,-1,2|<>TYP 1|<>PRO 1|<>PRO 12|<>PRO 12.|<>PRO 12.5|VOLT 12.5|<>CHG 0,-1,0",
        "flash=5 L=3 entry=-1 typed=| polling=1 menuTimer=0 vbak=12.5");
    row("TLB typed voltage above the rating", TLB, "MENU -- '99 ENTER",
        "<>CHG 5,-1,2|<>TYP 1|<>PRO 9|<>PRO 99|VOLT 15|<>CHG 0,-1,0", "vset=15 vbak=15");
    row("TLB typed current", TLB, "MENU ITEM -- '7 ENTER", "<>CHG 6,-1,2|<>TYP 1|<>PRO 7|CURR 7|<>CHG 0,-1,0", "flash=6 cset=7");
    row("TLB typed OVT below its low limit", TLB, "MENU ITEM ITEM -- '0.1 ENTER",
        "<>CHG 7,-1,2|<>TYP 1|<>PRO 0|<>PRO 0.|<>PRO 0.1|VOLT:PROT 1.5|<>CHG 0,-1,0", "flash=7 vprot=1.5");
    row("TLB typed OCT", TLB, "MENU ITEM ITEM ITEM -- '60 ENTER",
        "<>CHG 8,-1,2|<>TYP 1|<>PRO 6|<>PRO 60|CURR:PROT 60|<>CHG 0,-1,0", "flash=8");
    row("TLB typed period", TLB, "MENU ITEM ITEM ITEM ITEM -- '20 ENTER",
        "<>CHG 9,-1,2|<>TYP 1|<>PRO 2|<>PRO 20|PER 20|<>CHG 0,-1,0", "flash=9");
    const std::pair<const char *, const char *> filtered[] = {
        {"12345", "1234"}, {"1234.", "1234."}, {"1234.56", "1234."}, {".", "0."}, {".5", "0.5"},
        {"1.2.3", "1.23"}, {".5x", "0.5"}, {"-5", "5"}};
    for (const auto &[typed, kept] : filtered)
        QTest::addRow("TLB entry filter %s", typed) << TLB << QStringLiteral("MENU '%1").arg(typed) << "*"
                                                   << QStringLiteral("typed=%1|%1").arg(kept);
    // Direct adjustment at idle.
    row("TLB ENTER with nothing adjusted", TLB, "ENTER", "<>CHG 0,-1,0", "L=3");
    row("TLB UP at idle adjusts the last value", TLB, "MENU ITEM '5 ENTER -- UP",
        "<>CHG 3,-1,7|<>IGN 1|<>TYP 0|CURR 5.1|<>IGN 0", "flash=6 sub=7 knobsOn=0");
    row("TLB the adjusted value flashes", TLB, "MENU ITEM '5 ENTER UP f0 poll", "*", "lblStatus(10)=green I=5.1");
    row("TLB the adjusted value flashes off", TLB, "MENU ITEM '5 ENTER UP f1 poll", "*", "lblStatus(10)=off");
    // The display keys: held, then the level returns 0.4 s after the release.
    row("TLB DISPLAY", TLB, "sta=2EE0,1F4,48,0,3 vbak=7.25 DISPLAY+", "<>CHG 2,-1,0|<>TYP -1",
        "L=2 V=7.25 I=5.0 legend=SET_POINTS");
    row("TLB DISPLAY released", TLB, "DISPLAY+ DISPLAY- +300 L -- +200 poll", "<>CHG 3,-1,0|<>TYP -1",
        "levels=2 L=3 legend= polling=1");
    row("TW TRIP", TW, "sta=2EE0,1F4,48,0,0 TRIP+", "<>CHG 3,-1,0", "V=13.50 I=50.0 legend=TRIPS");
    row("TW TRIP released", TW, "TRIP+ TRIP- +300 -- +200 poll", "<>CHG 4,-1,0", "L=4 legend= polling=1");
    row("GZ V/I", GZ, "vbak=7.25 VISET+", "<>CHG 2,-1,0", "V=7.25 I=5.0");
    // Configuration menus: ENTER picks the first item, ITEM goes round, ENTER sets, CLEAR unsets.
    row("TLB configuration", TLB, "MENU ITEM ITEM ITEM ITEM ITEM -- ENTER ITEM ITEM ITEM ITEM ITEM ENTER",
        "<>CHG 10,0,2|<>CHG 10,1|<>CHG 10,2|<>CHG 10,7|<>CHG 10,0|<>CHG 10,1|CONF:CONT:INT 1|<>CHG 0,-1,0", "L=3");
    row("TLB configuration locks the entry", TLB, "MENU ITEM ITEM ITEM ITEM ITEM", "*", "L=10 locked=1");
    row("KM configuration", KM, "MENU ITEM ITEM -- ENTER ITEM ITEM ITEM ITEM ITEM ENTER",
        "<>CHG 9,0,2|<>CHG 9,1|<>CHG 9,2|<>CHG 9,6|<>CHG 9,0|<>CHG 9,1|CONF:CONT:INT 1|<>CHG 0,-1,0", "L=4");
    row("GZ configuration", GZ, "MENU -- ENTER ITEM ITEM ITEM ENTER", "<>CHG 9,0,2|<>CHG 9,1|<>CHG 9,2|<>CHG 9,6|CONF:INTE 1|<>CHG 0,-1,0", "L=4");
    row("TLB LOC unset with CLEAR", TLB, "MENU ITEM ITEM ITEM ITEM ITEM ENTER ITEM ITEM ITEM -- CLEAR +300",
        "<>CLR 0|CONF:INTE 0|<>CHG 0,-1,0", "L=3");
    row("KM LOC unset with CLEAR", KM, "MENU ITEM ITEM ENTER ITEM ITEM ITEM -- CLEAR +600",
        "<>CLR 0|CONF:INTE 0|<>CHG 0,-1,0", "L=4");
    row("TLB configuration left after 10 s with an item", TLB, "MENU ITEM ITEM ITEM ITEM ITEM ENTER -- @10001 menu +300",
        "<>CHG 0,-1,0|<>CLR 0", "L=3");
    row("KM configuration left after 10 s with an item", KM, "MENU ITEM ITEM ENTER -- @10001 menu +600",
        "<>CHG 0,-1,0|<>CLR 0", "L=4");
    // Calibration: the TLB's codes, the pots; the KM's key held 10 s.
    row("TLB code typed", TLB, "MENU ITEM ITEM ITEM ITEM ITEM ITEM -- '3846 f0 ~300",
        "<>CHG 11,-1,1|<>TYP 1|<>PRO 3|<>PRO 38|<>PRO 384|<>PRO 3846", "L=11 V=CAL_ I=3846 entry=1");
    row("TLB potentiometer code", TLB, "MENU ITEM ITEM ITEM ITEM ITEM ITEM '3846 -- ENTER", "CAL:PASS 3846|<>POT",
        "L=11 item=0 edit=5 knobsOn=0");
    row("TLB scale code", TLB, "MENU ITEM ITEM ITEM ITEM ITEM ITEM '6043 -- ENTER", "CAL:PASS 6043|<>POT", "L=12 item=0");
    row("TLB wrong code", TLB, "MENU ITEM ITEM ITEM ITEM ITEM ITEM '1111 -- ENTER", "<>CHG 0,-1,0", "L=3");
    const QString pots = "MENU ITEM ITEM ITEM ITEM ITEM ITEM '3846 ENTER ITEM";
    row("TLB second pot", TLB, pots + " f0 menu", "*", "item=1 edit=6 V=P I=__6 M=2 legend=POT_2");
    row("TLB pot stepped", TLB, pots + " -- UP", "<>IGN 1|<>TYP 0|CAL:POT 2,7|<>IGN 0", "pot2=7");
    row("TLB pot put back by CLEAR", TLB, pots + " UP -- CLEAR", "<>CLR 0|CAL:POT 2,6", "L=11 pot2=6");
    row("TLB START on a pot", TLB, pots + " -- START", "OUTP:START", "L=11");
    row("TLB no START above the pots; rEt leaves", TLB, pots + " ITEM ITEM ITEM ITEM ITEM ITEM -- START ENTER",
        "<>CHG 0,-1,0", "L=3");
    const QString cal = "<>POT=21,22,23,24,25 MENU ITEM ITEM ITEM -- CAL+";
    row("KM calibration key held 9.9 s", KM, cal + " +9900", "", "hold=9900 item=-1");
    row("KM calibration key let go early", KM, cal + " +5000 CAL- +6000", "", "hold=-1 item=-1");
    row("KM calibration key held 10 s", KM, cal + " +10100", "CAL:PASS 3846|<>POT",
        "hold=-1 L=10 item=0 edit=33 hidden:ENTER=0 hidden:CAL=1 hidden:UP=0");
    row("KM first pot", KM, cal + " +10100 CAL- f0 menu", "*", "V=P I=_33");
    row("KM pot stepped and put back", KM, cal + " +10100 CAL- UP -- CLEAR", "<>CLR 0|CAL:POT 1,33", "edit=33");
    // The KM/TW/GZ key row: display keys outside menus, UP and DN inside; CAL for ENTER.
    row("KM keys at idle", KM, "", "", "hidden:UP=1 hidden:DN=1 hidden:VISET=0 hidden:TRIP=0 hidden:ENTER=0 hidden:CAL=1");
    row("KM keys in a menu", KM, "MENU", "*", "hidden:UP=0 hidden:VISET=1 disabled:VOLT=1");
    row("KM keys at the calibration level", KM, "MENU ITEM ITEM ITEM", "*", "L=10 hidden:ENTER=1 hidden:CAL=0");
    row("KM CLEAR there", KM, "MENU ITEM ITEM ITEM CLEAR", "*", "hidden:ENTER=0 hidden:CAL=1");
    row("KM keys back at idle", KM, "MENU ITEM ITEM ITEM CLEAR +600", "*",
        "L=4 hidden:UP=1 hidden:VISET=0 disabled:VOLT=0 knobsOn=1");
    // START, STOP, ARM, MEM.
    row("TLB ARM", TLB, "ARM", "OUTP:Arm 1", "wordA=73 lblArm(0)=yellow");
    row("TLB START armed", TLB, "ARM -- START", "OUTP:START", "power=5 wordA=393");
    row("TLB no ARM with the output on", TLB, "ARM START -- ARM", "", "power=5");
    row("TLB STOP", TLB, "ARM START -- STOP", "OUTP:STOP|<>IGN 0", "power=3 wordA=72 lblArm(0)=off polling=1");
    row("TLB no START in a menu", TLB, "MENU -- START", "", "L=5 wordA=392");
    row("TLB MEM", TLB, "mem=9 MEM", "<>CHG 4,-1,0", "L=4");
    row("TLB MEM 9 up", TLB, "mem=9 MEM -- UP f1 menu", "<>IGN 1|<>TYP 0|MEM 0|<>IGN 0", "M=0.");
    row("TLB MEM 0 down", TLB, "mem=0 MEM -- DN", "<>IGN 1|<>TYP 0|MEM 9|<>IGN 0", "");
    row("TLB MEM recalled", TLB, "mem=4 MEM UP -- ENTER", "MEM 5|<>SCL|<>ALL|SYST:VERS?|SYST:ERR?|<>CHG 0,-1,0", "L=3");
    // The setpoint keys: the Enter Value dialog's text goes out as typed, the panel keeps it
    // clamped, and the key's level shows for a moment.
    row("GZ VOLTAGE as typed", GZ, "answer=12.5abc VOLT", "VOLT 12.5abc", "asked=Voltage_Set|12 L=5 vset=12.5 vbak=12.5 knobV=12.5");
    row("GZ VOLTAGE above the rating", GZ, "answer=20 VOLT", "VOLT 20", "vset=15 knobV=15");
    row("GZ CURRENT empty: nothing", GZ, "answer= CURR", "", "asked=Current_Set|5 L=4 cset=5");
    row("GZ OVT junk", GZ, "answer=abc OVT", "VOLT:PROT abc", "asked=OVT_Set|13.5 L=7 vprot=1.5 knobOVP=1.5");
    row("GZ OVT cancelled", GZ, "OVT", "", "asked=OVT_Set|13.5 L=4 vprot=13.5");
    row("GZ OCT", GZ, "answer=60 OCT", "CURR:PROT 60", "asked=OCT_Set|50 L=8");
    row("KM VOLTAGE level held 0.8 s", KM, "answer=3 VOLT +700 L -- +200", "<>CHG 4,-1,0", "levels=5 L=4");
    row("KM CURRENT level held 1 s", KM, "answer=3 CURR +900 L +200", "*", "levels=6 L=4");
    // CLEAR: held in a value menu it resets in two steps; released it puts the value back.
    row("TLB CLEAR held 4.9 s", TLB, "MENU -- CLEAR+ +4900", "", "");
    row("TLB CLEAR held 5 s", TLB, "MENU CLEAR+ +4900 -- +1100", "<>CLR 1", "menuTimer=0");
    row("TLB CLEAR held 10 s", TLB, "MENU CLEAR+ +6000 -- +4000", "<>CLR 2", "");
    row("TLB CLEAR blinks twelve times", TLB, "MENU CLEAR+ +10000 -- +9600", "<>ALL|SYST:VERS?", "");
    row("TLB CLEAR let go after the blinking", TLB, "MENU CLEAR+ +19600 -- CLEAR-", "<>CLR 0|VOLT 12", "");
    row("TLB CLEAR released at once", TLB, "MENU UP UP UP -- CLEAR+ CLEAR- ~300",
        "<>CLR 0|VOLT 12|<>CHG 0,-1,0|<>ALL|SYST:VERS?", "L=3 vbak=12 knobV=12");
    // Menus time out once, then the panel only polls (5 a second).
    const QString idle = " knobsOn=1 menuTimer=0 polling=1 pollMs=200";
    row("TLB CLEAR released after 6 s", TLB, "MENU UP UP UP -- CLEAR+ ~6000 CLEAR- ~6000",
        "<>CLR 1|<>CLR 0|VOLT 12|<>CHG 0,-1,0|<>ALL|SYST:VERS?", "L=3 vbak=12 knobV=12" + idle);
    row("TLB voltage left after 10 s", TLB, "~1000 MENU -- ~9900 none ~6000", "<>CLR 0|VOLT 12|<>CHG 0,-1,0", "L=3" + idle);
    row("KM trip left after 10 s", KM, "~1000 MENU -- ~9900 none ~6000", "<>CLR 0|VOLT:PROT 13.5|<>CHG 0,-1,0", "L=4" + idle);
    row("TW trip left after 10 s", TW, "~1000 MENU -- ~9900 none ~6000", "<>CLR 0|VOLT:PROT 13.5|<>CHG 0,-1,0", "L=4" + idle);
    row("GZ configuration left after 10 s", GZ, "~1000 MENU -- ~9900 none ~6000", "<>CLR 0|<>CHG 0,-1,0", "L=4" + idle);
    row("TLB calibration left after 60 s", TLB, "MENU ITEM ITEM ITEM ITEM ITEM ITEM '3846 ENTER -- ~59000 quiet ~6000",
        "<>CHG 0,-1,0|<>CLR 0", "L=3" + idle);
    // The saved value is sent before the menu state is reset, so the instrument drops the step.
    row("TLB direct adjustment left after 10 s", TLB, "MENU ITEM '5 ENTER UP -- ~9000 quiet ~6000",
        "<>CLR 0|CURR 5|<>CHG 0,-1,0", "L=3" + idle);
    row("KM CLEAR releases a latched alarm", KM, "sta=0,0,48,81,0 poll -- CLEAR", "<>CLR 0|OUTP:PROT:CLE", "L=4");
    row("KM CLEAR puts the trip back", KM, "MENU UP -- CLEAR", "<>CLR 0|VOLT:PROT 13.5", "vprot=13.5");
    row("KM CLEAR leaves after 0.5 s", KM, "MENU UP CLEAR +400 L +200", "*", "levels=7 L=4");
    // Knobs: the value shown goes out; the setpoint and its saved copy follow.
    row("TLB voltage knob", TLB, "knob:V=7.4567", "VOLT 7.46", "V=7.46 vset=7.46 vbak=7.46 polling=1");
    row("KM current knob cut", KM, "knob:I=7.49", "CURR 7.4", "I=7.4 cset=7.4");
    row("GZ over-voltage knob", GZ, "knob:OVP=14.2", "VOLT:PROT 14.20", "V=14.20 vprot=14.2 polling=1");
    row("GZ over-current knob", GZ, "knob:OCP=70", "CURR:PROT 70.0", "I=70.0");
    // The knob was last turned to 4.1 V; the setpoint then changes another way. The knobs show
    // the new setpoint, sending nothing more, and a step down goes down from there: a stale
    // knob raised the output when it was turned down.
    const QString stale = "knob:V=4.1 stale:V=9 ALL=3000 ";
    for (PanelId s : {TLB, KM, TW, GZ}) {
        QTest::addRow("%s knob after a typed value", qPrintable(SeriesSpecFor(s).windowName))
            << s << stale + (s == TLB ? "MENU '1 ENTER" : "answer=1 VOLT") + " -- knob:V-0.1"
            << "VOLT 0.90" << "vset=0.9";
    }
    row("TLB knob after a memory recall", TLB, stale + "MEM '4 ENTER -- knob:V-0.1", "VOLT 2.90", "vset=2.9");
    row("TLB knob after CLEAR in a menu", TLB, stale + "MENU UP CLEAR +300 -- knob:V-0.1", "VOLT 4.00", "vset=4");
    row("KM knob after a trip menu", KM, stale + "MENU UP ENTER -- knob:V-0.1", "VOLT 4.00", "vset=4");
    // The poll: readings, memory, lamps, power state; short and broken replies.
    row("TLB output on in CV", TLB, "sta=2EE0,1F4,588,0,3 poll", "",
        "V=12.00 I=0.5 M=3 power=4 lblStatus(7)=green lblStatus(8)=green lblStatus(6)=off reads=1 pollMs=200");
    row("TLB memory above 9", TLB, "sta=2EE0,1F4,588,0,C poll", "<>ALL|SYST:VERS?", "M=E");
    row("KM cut to the format", KM, "sta=303D,3B,588,0,0 poll", "", "V=12.34 I=0.0 M=");
    row("TLB lower-case letter refused", TLB, "sta=0,0,48,1,3 poll sta=0,0,4b,0,3 poll", "", "lblErrors(0)=red boxes=0");
    row("GZ no letter check, no memory", GZ, "sta=2EE0,1F4,588,b,9 poll", "", "lblErrors(0)=red lblErrors(1)=red M=");
    const std::tuple<const char *, const char *, const char *> lamps[] = {
        {"48,0", "lblStatus(3)", "green"}, {"48,0", "lblStatus(6)", "orange"}, {"48,0", "lblStatus(4)", "off"},
        {"49,0", "lblArm(0)", "yellow"}, {"480,0", "lblStatus(10)", "green"}, {"48,1", "lblErrors(0)", "red"},
        {"48,20", "lblErrors(5)", "red"}, {"48,100", "lblErrors(8)", "red"},
        {"48,200", "lblDisabled(2)", "green"}, {"48,1", "lblErrors(1)", "off"}};
    for (const auto &[words, lamp, light] : lamps)
        QTest::addRow("TLB %s from %s", lamp, words) << TLB << QStringLiteral("sta=0,0,%1,3 poll").arg(words)
                                                     << "" << QStringLiteral("%1=%2").arg(lamp, light);
    for (const char *reply : {"0,0", "9.999", ""})
        QTest::addRow("TLB short reply '%s'", reply) << TLB << QStringLiteral("sta=%1 poll").arg(reply) << ""
                                                     << "lblStatus(3)=green lblStatus(6)=orange V=0.00 I=0.0 reads=0";
    row("TLB short reply, output on", TLB, "sta=0,0 poll START poll", "OUTP:START",
        "V=12.00 I=5.0 lblStatus(7)=green lblStatus(6)=off");
    row("TLB short reply, output off", TLB, "sta=0,0 START poll STOP poll", "*", "V=0.00 lblStatus(6)=orange");
    for (const char *reply : {"1,2,FFFFFFFFFF,0,3", "1,2,48,0", "zz#!?,x,y,z,3"})
        QTest::addRow("TLB broken reply %s", reply)
            << TLB << QStringLiteral("sta=%1 poll sta=2EE0,1F4,48,0,3 poll").arg(reply) << "" << "V=12.00 boxes=0 link=2";
    row("TLB ARM flashes with the output on", TLB, "sta=0,0,181,0,3 f0 poll", "", "power=5 lblArm(0)=yellow");
    row("TLB ARM flashes off", TLB, "sta=0,0,181,0,3 f1 poll", "", "lblArm(0)=off");
    row("TLB flash phase holds 0.35 s", TLB, "f1 @200 flash", "", "phase=1");
    row("TLB flash phase turns", TLB, "f1 @400 flash", "", "phase=0");
    // A memory changed at the instrument is read once; so is the largest memory number.
    row("TLB memory set at the instrument", TLB, "<>ALL=1F40,3E8,3A98,EA60,0,4,1194 sta=0,0,48,0,4 poll poll",
        "<>ALL|SYST:VERS?", "memloc=4 knobV=8 knobI=1");
    row("TLB largest memory", TLB, "<>ALL=1F40,3E8,3A98,EA60,0,7FFFFFFF,1194 sta=0,0,48,0,7FFFFFFF poll poll",
        "<>ALL|SYST:VERS?", "knobV=8");
}

void TestFrontPanel::sessions()
{
    QFETCH(PanelId, series);
    QFETCH(QString, script);
    QFETCH(QString, wire);
    QFETCH(QString, expect);
    EngineFixture f(series);
    f.play(script);
    QVERIFY(f.e);
    if (wire != "*")
        QCOMPARE(f.sentWithoutPolls().join('|'), wire);
    QCOMPARE(f.check(expect), QString());
}

// In debug mode a refused reply is reported (outside it only the lamps keep their state).
void TestFrontPanel::refusedReplyInDebugMode()
{
    EngineFixture f;
    f.e->setDebugMode(true);
    f.play("sta=j poll");
    QCOMPARE(f.prompter->texts(), QStringList{"Error retrieving scale information:\r\nCommand: <>STA\r\n"
                                              "Response: j\r\n\r\nError: Result contains 'j'"});
    QVERIFY(f.prompter->shown[0].title == "ZOPPanel Error" && f.prompter->shown[0].icon == MsgIcon::Critical);
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
    QVERIFY(f.e->timerActive(FrontPanel::Timer::Poll));
}

void TestFrontPanel::silentInstrumentFallsBackToSimulated()
{
    EngineFixture f;
    f.line->responder = [](const QByteArray &) { return QList<ScriptedLine::Chunk>{}; };
    const qint64 before = f.clock->elapsedMs();
    f.poll();
    // The status read waits 2 s quietly, the retry 1 s before the fall-back.
    QVERIFY(f.clock->elapsedMs() - before > 3000);
    QCOMPARE(f.sent(), (QStringList{"<>STA", "<>STA"}));
    QCOMPARE(f.prompter->texts(), QStringList{"Device Timed Out.  Entering Simulated Mode!"});
    // Simulated mode then gives the default record.
    f.poll();
    QCOMPARE(f.check("link=5 lblStatus(6)=orange"), QString());
}

void TestFrontPanel::noTimerExchangeWhileAnotherAwaitsItsReply_data()
{
    QTest::addColumn<QString>("before");   // EngineFixture::play
    QTest::addColumn<QString>("tick");     // what the timers do while a reply is awaited
    QTest::addColumn<QString>("exchange"); // a script, or "scales" (a key's query: ReadScales)
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("after");    // the timers, once the exchange is over
    QTest::addColumn<QString>("sentAfter");
    QTest::newRow("poll ticks in a key's query") << "" << "poll" << "scales" << "<>SCL" << "poll" << "<>STA";
    QTest::newRow("poll ticks in the refresh after a memory change")
        << "<>ALL=1F40,3E8,3A98,EA60,0,4,1194" << "poll" << "sta=0,0,48,0,4 poll" << "<>STA|<>ALL|SYST:VERS?" << "poll" << "<>STA";
    // CLEAR released after a hold: the menu is left and the state read 0.2 s later.
    QTest::newRow("CLEAR's state read due in a key's query") << "MENU CLEAR+ +6000 CLEAR-" << "+300" << "scales"
        << "<>SCL" << "+10" << "<>CHG 0,-1,0|<>ALL|SYST:VERS?";
}

// A TCP/IP wait lets the panel's timers run. A poll inside it took the reply the exchange
// waited for, and the exchange timed out: "Device Timed Out" against an instrument that
// answered. The hold timer's state read after a CLEAR release could do the same.
void TestFrontPanel::noTimerExchangeWhileAnotherAwaitsItsReply()
{
    QFETCH(QString, before);
    QFETCH(QString, tick);
    QFETCH(QString, exchange);
    QFETCH(QString, after);
    EngineFixture f;
    f.play(before + " --");
    const ScriptedLine::Responder instrument = f.line->responder;
    f.line->responder = [instrument](const QByteArray &command) {
        QList<ScriptedLine::Chunk> chunks = instrument(command);
        for (ScriptedLine::Chunk &chunk : chunks)
            chunk.afterMs = command == "<>STA" ? 0 : 300; // later than the next tick
        return chunks;
    };
    int ticks = 0; // a few ticks of the timers while the reply is awaited
    f.line->duringWait = [&] {
        if (++ticks <= 3)
            f.play(tick);
    };
    if (exchange == "scales")
        ReadScales();
    else
        f.play(exchange);
    QTEST(f.sent().join('|'), "sent");
    QCOMPARE(f.check("boxes=0 link=2"), QString());
    f.line->duringWait = nullptr;
    f.play(after);
    QTEST(f.sent().join('|'), "sentAfter");
}

QTEST_MAIN(TestFrontPanel)
#include "test_frontpanel.moc"
