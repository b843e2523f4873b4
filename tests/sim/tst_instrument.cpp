// The command language: lines in, reply lines out, against a real model; every header of the
// panel's own command table is known in its long, short and mixed-case forms.

#include "app/configuration.h"
#include "clock.h"
#include "instrument.h"
#include "powersupply.h"
#include "scpi.h"

#include <QTest>

using namespace zopsim;

namespace {

struct Bench
{
    explicit Bench(const SupplyConfig &config = {})
        : supply(config, clock), instrument(supply)
    {
    }
    QByteArray send(const QByteArray &line) { return instrument.handleLine(line); }
    // The reply without its CR LF; fails the test when the reply is not one CR LF line.
    QByteArray ask(const QByteArray &line)
    {
        const QByteArray reply = send(line);
        if (!reply.endsWith("\r\n") || reply.count('\n') != 1 || reply.count('\r') != 1) {
            qWarning() << "not one reply line for" << line << ":" << reply;
            return "<bad reply>";
        }
        return reply.chopped(2);
    }
    QByteArray nextError() { return ask("SYST:ERR?"); }

    ManualClock clock;
    PowerSupply supply;
    Instrument instrument;
};

const QByteArray NoError = "0,\"No error\"";

// The parameter a query needs, for the headers of the panel's table whose query takes one.
const QMap<QByteArray, QByteArray> QueryParameter{{"MODulation:TABLe", "5"}};

QByteArray mixCase(const QByteArray &text)
{
    QByteArray out = text;
    for (int i = 0; i < out.size(); ++i)
        out[i] = i % 2 ? char(QChar::toLower(uint(out[i]))) : char(QChar::toUpper(uint(out[i])));
    return out;
}

} // namespace

class TestInstrument : public QObject
{
    Q_OBJECT

private slots:
    void freshInstrumentReplies_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("reply");

        // "<>STA" and "*IDN?" as sent: tst_simprocess.
        QTest::newRow("<>STA lower case, CR LF") << QByteArray("<>sta\r") << QByteArray("0,0,48,200,0\r\n");
        QTest::newRow("<>ALL") << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,0,0,125C\r\n");
        QTest::newRow("<>SCL") << QByteArray("<>SCL") << QByteArray("3A98,186A0\r\n");
        QTest::newRow("<>POT") << QByteArray("<>POT") << QByteArray("80,80,80,80,80\r\n");
        QTest::newRow("SYST:VERS?") << QByteArray("SYST:VERS?") << QByteArray("ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n");
        QTest::newRow("SYST:ERR?") << QByteArray("SYST:ERR?") << QByteArray("0,\"No error\"\r\n");
        QTest::newRow("*ESR? power-on") << QByteArray("*ESR?") << QByteArray("128\r\n");
        QTest::newRow("questionable: remote") << QByteArray("STAT:QUES:COND?") << QByteArray("512\r\n");
        QTest::newRow("CAL:POT? all") << QByteArray("CAL:POT?") << QByteArray("128,128,128,128,128\r\n");
        QTest::newRow("MOD:TABL? 5") << QByteArray("MOD:TABL? 5") << QByteArray("5(0.80,1.00)\r\n");
        QTest::newRow("blanks around") << QByteArray("  *IDN?  \r") << QByteArray("Zoptrel,ZOP-SIM TLB,0,4.70\r\n");
        // Blank lines (a keep-alive among them) answer nothing and are no remote use.
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("carriage return") << QByteArray("\r") << QByteArray();
        QTest::newRow("blanks") << QByteArray("   ") << QByteArray();
        QTest::newRow("tab and CR") << QByteArray("\t\r") << QByteArray();
    }

    void freshInstrumentReplies()
    {
        QFETCH(QByteArray, line);
        Bench b;
        QTEST(b.send(line), "reply");
        QVERIFY(b.supply.errors().isEmpty());
        if (line.trimmed().isEmpty())
            QCOMPARE(b.supply.statusWordB(), 0u);
    }

    void configurationNamesTheInstrument()
    {
        SupplyConfig c;
        c.series = Series::KM;
        c.ratedVolts = 60;
        c.ratedAmps = 2.5;
        c.firmwareVersion = 1.4;
        c.hardwareVersion = 2.05;
        Bench b(c);
        QCOMPARE(b.ask("*IDN?"), QByteArray("Zoptrel,ZOP-SIM KM,0,1.40"));
        QCOMPARE(b.ask("SYST:VERS?"), QByteArray("ZOP-SIM Firmware 1.40 Hardware Revision 2.05"));
        QCOMPARE(b.ask("<>SCL"), QByteArray("EA60,9C4"));
        QCOMPARE(b.ask("<>ALL"), QByteArray("0,0,101D0,ABE,0,0,578"));
    }

    void stateRepliesFollowTheModel()
    {
        Bench b;
        for (const char *line : {"VOLT 12", "CURR 5", "VOLT:PROT 13.284", "CURR:PROT 24",
                                 "PER 1", "*SAV 3", "*RST", "*RCL 3"})
            QCOMPARE(b.send(line), QByteArray());
        QCOMPARE(b.nextError(), NoError);
        QCOMPARE(b.ask("<>ALL"), QByteArray("2EE0,1388,33E4,5DC0,3E8,3,125C"));

        // 12 V into 0.3 ohm would need 40 A: current control at 5 A and 1.5 V.
        b.send("OUTP:START");
        QCOMPARE(b.ask("<>STA"), QByteArray("5DC,1388,488,200,3"));
        QCOMPARE(b.ask("MEAS:VOLT?"), QByteArray("1.500"));
        // Raising the current limit crosses over to voltage control: 40 A, above the 24 A
        // trip, so OCT latches with the alarm summary and the output drops to standby.
        b.send("CURR 100");
        QCOMPARE(b.ask("<>STA"), QByteArray("0,0,848,282,3"));
        b.send("OUTP:START");
        QCOMPARE(b.nextError(), QByteArray("-221,\"Settings conflict; protection latched\""));
        b.send("CURR:PROT 50");
        b.send("OUTP:PROT:CLE");
        b.send("OUTP:START");
        QCOMPARE(b.ask("<>STA"), QByteArray("2EE0,9C40,188,200,3"));
        QCOMPARE(b.ask("STAT:OPER:COND?"), QByteArray("392"));

        b.send("CAL:PASS 3846");
        b.send("CAL:POT 1,0");
        b.send("CAL:POT 5,255");
        QCOMPARE(b.ask("<>POT"), QByteArray("0,80,80,80,FF"));
        b.send("CAL:PASS 6043");
        b.send("CAL:SCAL:VOLT 20");
        b.send("CAL:SCAL:CURR 50.5");
        QCOMPARE(b.ask("<>SCL"), QByteArray("4E20,C544"));
        QCOMPARE(b.nextError(), NoError);
    }

    void periodRunsOnTheInstrumentClock()
    {
        Bench b;
        b.send("VOLT 5");
        b.send("CURR 10");
        b.send("PER 2");
        b.clock.advance(500); // the period counts from the start
        b.send("OUTP:START");
        b.clock.advance(1999);
        QCOMPARE(b.ask("OUTP:STAT?"), QByteArray("1"));
        b.clock.advance(1);
        QCOMPARE(b.ask("<>STA"), QByteArray("0,0,48,200,0")); // a timed stop is no alarm

        b.send("PER 0"); // runs without end
        b.send("OUTP:START");
        b.clock.advance(100000000);
        QCOMPARE(b.ask("OUTP:STAT?"), QByteArray("1"));
    }

    void everyTableHeaderIsAccepted_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("queryValue");

        for (const QString &entry : zop::SCPICommandTable()) {
            const QByteArray longForm = entry.toLatin1();
            const QByteArray shortForm = zopsim::scpi::shortForm(entry).toLatin1();
            const QByteArray value = QueryParameter.value(longForm);
            QTest::addRow("%s (long)", longForm.constData()) << longForm << value;
            QTest::addRow("%s (short)", longForm.constData()) << shortForm << value;
            QTest::addRow("%s (long, lower case)", longForm.constData()) << longForm.toLower() << value;
            QTest::addRow("%s (short, mixed case)", longForm.constData()) << mixCase(shortForm) << value;
            QTest::addRow("%s (leading colon)", longForm.constData()) << ":" + longForm.toUpper() << value;
        }
    }

    void everyTableHeaderIsAccepted()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, queryValue);

        Bench b;
        const QByteArray answer
            = b.ask(queryValue.isEmpty() ? header + '?' : header + "? " + queryValue);
        QVERIFY(!answer.isEmpty());
        QVERIFY(answer != "<bad reply>");
        QCOMPARE(b.nextError(), NoError);
    }

    void setThenReadBack_data()
    {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("reply");

        QTest::newRow("MAX") << QByteArrayList{"VOLT MAX"} << QByteArray("VOLT?") << QByteArray("16.500");
        QTest::newRow("trigger applies it") << QByteArrayList{"VOLT:TRIG 3", "INIT", "*TRG"} << QByteArray("VOLT?") << QByteArray("3.000");
        QTest::newRow("waiting for trigger") << QByteArrayList{"INIT"} << QByteArray("STAT:OPER:COND?") << QByteArray("104");
        QTest::newRow("period in <>ALL") << QByteArrayList{"PER 2.5"} << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,9C4,0,125C");
        QTest::newRow("remote sense") << QByteArrayList{"CONF:REM:SENS 1"} << QByteArray("STAT:OPER:COND?") << QByteArray("584");
        QTest::newRow("external control") << QByteArrayList{"CONF:CONT:EXT ON"} << QByteArray("STAT:OPER:COND?") << QByteArray("80");
        QTest::newRow("internal control off") << QByteArrayList{"CONF:CONT:INT 0"} << QByteArray("CONF:CONT:EXT?") << QByteArray("1");
        QTest::newRow("interlock") << QByteArrayList{"CONF:INTE 1"} << QByteArray("STAT:OPER:COND?") << QByteArray("76");
        QTest::newRow("arm, bare") << QByteArrayList{"OUTP:Arm"} << QByteArray("OUTP:ARM?") << QByteArray("1");
        QTest::newRow("arm in word A") << QByteArrayList{"OUTP:A 1"} << QByteArray("<>STA") << QByteArray("0,0,49,200,0");
        QTest::newRow("stop disarms") << QByteArrayList{"OUTP:ARM", "OUTP:STOP"} << QByteArray("OUTP:ARM?") << QByteArray("0");
        QTest::newRow("output state") << QByteArrayList{"OUTP 1"} << QByteArray("OUTPut:STATe?") << QByteArray("1");
        QTest::newRow("abort") << QByteArrayList{"OUTP:START", "ABOR"} << QByteArray("OUTP:STAT?") << QByteArray("0");
        QTest::newRow("last step, as many decimals as it needs") << QByteArrayList{"SOUR:LAST 2.5"} << QByteArray("LAST?") << QByteArray("2.5");
        QTest::newRow("calibration text") << QByteArrayList{"CAL:IDN \"bench 7\""} << QByteArray("CAL:IDN?") << QByteArray("bench 7");
        QTest::newRow("wrong code locks") << QByteArrayList{"CAL:PASS 6043", "CAL:PASS 1234"} << QByteArray("CAL:PASS?") << QByteArray("0");
        QTest::newRow("pot") << QByteArrayList{"CAL:PASS 3846", "CAL:POT 3,129"} << QByteArray("CALibrate:POT? 3") << QByteArray("129");
        QTest::newRow("default pots") << QByteArrayList{"CAL:PASS 3846", "CAL:POT 3,1", "CAL:DEF"} << QByteArray("<>POT") << QByteArray("80,80,80,80,80");
        QTest::newRow("the limits follow the rating") << QByteArrayList{"CAL:PASS 6043", "CAL:SCAL:VOLT 20", "VOLT 21"} << QByteArray("VOLT?") << QByteArray("21.000");
        QTest::newRow("factory version text") << QByteArrayList{"CAL:PASS 6043", "SYST:VERS ZOP-SIM Firmware 4.80 Hardware Revision 1.40"} << QByteArray("SYST:VERS?") << QByteArray("ZOP-SIM Firmware 4.80 Hardware Revision 1.40");
        QTest::newRow("end of calibration") << QByteArrayList{"CAL:PASS 6043", "CAL:STOP"} << QByteArray("CAL:PASS?") << QByteArray("0");
        QTest::newRow("modulation selection") << QByteArrayList{"MODulation:TYPE:SELect 2, 1"} << QByteArray("MOD:TYPE:SEL?") << QByteArray("2,1");
        QTest::newRow("selection keeps the type") << QByteArrayList{"MOD:TYPE:SEL 2,1", "MOD:TYPE:SEL 1"} << QByteArray("MOD:TYPE:SEL?") << QByteArray("1,1");
        QTest::newRow("no table") << QByteArrayList{"MOD:TYPE:SEL 0"} << QByteArray("MOD:TABL? 1") << QByteArray("No table selected");
        QTest::newRow("table row") << QByteArrayList{"MODulation:TABLe 7(1.5 , 2.0 )"} << QByteArray("MOD:TABL? 7") << QByteArray("7(1.50,2.00)");
        QTest::newRow("table row precision") << QByteArrayList{"MOD:TABL 50(0.125,-1)"} << QByteArray("MOD:TABL? 50") << QByteArray("50(0.125,-1.00)");
        QTest::newRow("EEPROM copy survives *RST") << QByteArrayList{"MOD:TABL 4(1,2)", "MOD:TABL:SAVE", "MOD:TABL 4(8,8)", "MOD:TYPE:SEL 0", "*RST"} << QByteArray("MOD:TABL? 4") << QByteArray("4(1.00,2.00)");
        QTest::newRow("*SRE ignores bit 6") << QByteArrayList{"*SRE 255"} << QByteArray("*SRE?") << QByteArray("191");
        QTest::newRow("*SAV keeps the location") << QByteArrayList{"VOLT 1", "*SAV 6"} << QByteArray("*SAV?") << QByteArray("0");
        QTest::newRow("read-only headers ignore values") << QByteArrayList{"MEAS:VOLT 5", "*IDN x", "STAT:OPER 1"} << QByteArray("<>STA") << QByteArray("0,0,48,200,0");
        const QByteArrayList tripped{"VOLT 12", "CURR 100", "VOLT:PROT 5", "OUTP:START"};
        QTest::newRow("CLEAR released keeps the alarm") << tripped + QByteArrayList{"<>CLR 0"} << QByteArray("<>STA") << QByteArray("0,0,848,281,0");
        QTest::newRow("CLEAR held 5 s clears it") << tripped + QByteArrayList{"<>CLR 1"} << QByteArray("<>STA") << QByteArray("0,0,48,200,0");
        QTest::newRow("CLEAR held 5 s keeps the setpoints") << tripped + QByteArrayList{"<>CLR 1"} << QByteArray("VOLT?") << QByteArray("12.000");
        QTest::newRow("CLEAR held 10 s restores them") << tripped + QByteArrayList{"<>CLR 2"} << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,0,0,125C");
        QTest::newRow("untouched memory holds the power-on setpoints") << QByteArrayList{"VOLT 3", "*RCL 9"} << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,0,9,125C");
        QTest::newRow("recall while on can trip") << QByteArrayList{"VOLT 12", "CURR 100", "VOLT:PROT 5", "*SAV 1", "VOLT:PROT 16.5", "OUTP:START", "*RCL 1"} << QByteArray("<>STA") << QByteArray("0,0,848,281,1");
        QTest::newRow("trigger without INIT is ignored") << QByteArrayList{"VOLT:TRIG 7", "*TRG"} << QByteArray("VOLT?") << QByteArray("0.000");
        QTest::newRow("continuous: still waiting after a trigger") << QByteArrayList{"INIT:CONT 1", "*TRG"} << QByteArray("STAT:OPER:COND?") << QByteArray("104");
        QTest::newRow("a single trigger ends the wait") << QByteArrayList{"INIT", "*TRG"} << QByteArray("STAT:OPER:COND?") << QByteArray("72");
        QTest::newRow("abort ends the wait") << QByteArrayList{"INIT", "ABOR"} << QByteArray("STAT:OPER:COND?") << QByteArray("72");
        QTest::newRow("*RST clears a latched alarm") << tripped + QByteArrayList{"*RST"} << QByteArray("<>STA") << QByteArray("0,0,48,200,0");
        QTest::newRow("*RST") << QByteArrayList{"VOLT 3", "MEM 2", "OUTP:START", "*RST"} << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,0,0,125C");
    }

    void setThenReadBack()
    {
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArray, query);

        Bench b;
        for (const QByteArray &line : lines)
            QCOMPARE(b.send(line), QByteArray());
        QCOMPARE(b.nextError(), NoError);
        QTEST(b.ask(query), "reply");
    }

    void refusedLinesQueueAnError_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("clamped"); // "<>ALL" afterwards; empty: unchanged

        QTest::newRow("unknown header") << QByteArray("FOO 1") << -113 << QByteArray();
        QTest::newRow("node misspelt") << QByteArray("VOLT:PROTX 5") << -113 << QByteArray();
        QTest::newRow("question mark alone") << QByteArray("?") << -113 << QByteArray();
        QTest::newRow("unknown common") << QByteArray("*FOO") << -113 << QByteArray();
        QTest::newRow("unknown <>") << QByteArray("<>FOO") << -113 << QByteArray();
        QTest::newRow("word for number") << QByteArray("VOLT abc") << -104 << QByteArray();
        QTest::newRow("no value") << QByteArray("VOLT") << -109 << QByteArray();
        QTest::newRow("blank, no value") << QByteArray("SOURce:VOLTage:LEVel:IMMediate:AMPLitude ") << -109 << QByteArray();
        QTest::newRow("voltage above limit") << QByteArray("VOLT 99") << -222 << QByteArray("4074,0,4074,1ADB0,0,0,125C");
        QTest::newRow("negative voltage") << QByteArray("VOLT -1") << -222 << QByteArray();
        QTest::newRow("current above limit") << QByteArray("CURR 200") << -222 << QByteArray("0,1ADB0,4074,1ADB0,0,0,125C");
        QTest::newRow("period above 9999 s") << QByteArray("PER 10000") << -222 << QByteArray("0,0,4074,1ADB0,989298,0,125C");
        QTest::newRow("*SAV -1") << QByteArray("*SAV -1") << -222 << QByteArray();
        QTest::newRow("memory 10") << QByteArray("MEM 10") << -222 << QByteArray();
        QTest::newRow("value to an action") << QByteArray("OUTP:START 1") << -108 << QByteArray();
        QTest::newRow("not a boolean") << QByteArray("CONF:REM:SENS maybe") << -104 << QByteArray();
        QTest::newRow("pot without the code") << QByteArray("CAL:POT 3,129") << -203 << QByteArray();
        QTest::newRow("scale with the pot code") << QByteArray("CAL:PASS 3846\nCAL:SCAL:VOLT 20") << -203 << QByteArray();
        QTest::newRow("pot 6") << QByteArray("CAL:PASS 3846\nCAL:POT 6,1") << -222 << QByteArray();
        QTest::newRow("pot value 256") << QByteArray("CAL:PASS 3846\nCAL:POT 2,256") << -222 << QByteArray();
        QTest::newRow("pot after the end of calibration") << QByteArray("CAL:PASS 3846\nCAL:STOP\nCAL:POT 1,1") << -203 << QByteArray();
        QTest::newRow("default pots without the code") << QByteArray("CAL:DEF") << -203 << QByteArray();
        QTest::newRow("version text with the pot code") << QByteArray("CAL:PASS 3846\nSYST:VERS 4.80") << -203 << QByteArray();
        QTest::newRow("pot without value") << QByteArray("CAL:POT 3") << -109 << QByteArray();
        QTest::newRow("table row 51") << QByteArray("MOD:TABL 51(1,1)") << -222 << QByteArray();
        QTest::newRow("table row without brackets") << QByteArray("MOD:TABL 5 1,1") << -104 << QByteArray();
        QTest::newRow("control input 3") << QByteArray("MOD:TYPE:SEL 3") << -222 << QByteArray();
        QTest::newRow("*ESE 256") << QByteArray("*ESE 256") << -222 << QByteArray();
        QTest::newRow("<>CHG words") << QByteArray("<>CHG a,b,c") << -104 << QByteArray();
        QTest::newRow("<>CHG empty") << QByteArray("<>CHG") << -109 << QByteArray();
        QTest::newRow("<>CHG four numbers") << QByteArray("<>CHG 1,2,3,4") << -108 << QByteArray();
        QTest::newRow("query of pot 6") << QByteArray("CAL:POT? 6") << -222 << QByteArray();
        QTest::newRow("Latin-1 junk") << QByteArray("\xff\xfe\x01") << -113 << QByteArray();
    }

    void refusedLinesQueueAnError()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, code);
        QFETCH(QByteArray, clamped);

        Bench b;
        QByteArrayList setUp = line.split('\n'); // lines before the last one set the stage
        const QByteArray refused = setUp.takeLast();
        for (const QByteArray &l : setUp)
            b.send(l);
        const QByteArray before = b.ask("<>ALL");
        QCOMPARE(b.send(refused), QByteArray()); // refused lines, queries too, get no reply
        QVERIFY(b.nextError().startsWith(QByteArray::number(code) + ",\""));
        QCOMPARE(b.nextError(), NoError);
        QCOMPARE(b.ask("<>ALL"), clamped.isEmpty() ? before : clamped);
        QVERIFY(b.supply.eventStatus() & (code <= -200 ? Esr::ExecutionError : Esr::CommandError));
    }

    void errorQueueOrderAndOverflow()
    {
        Bench b;
        b.send("FOO");
        b.send("VOLT x");
        b.send("VOLT 20");
        QCOMPARE(b.nextError(), QByteArray("-113,\"Undefined header\""));
        QCOMPARE(b.nextError(), QByteArray("-104,\"Data type error\""));
        QCOMPARE(b.nextError(), QByteArray("-222,\"Data out of range\""));
        QCOMPARE(b.nextError(), NoError);

        for (int i = 0; i < 25; ++i)
            b.send("FOO");
        for (int i = 0; i < ErrorQueue::DefaultCapacity - 1; ++i)
            QCOMPARE(b.nextError(), QByteArray("-113,\"Undefined header\""));
        QCOMPARE(b.nextError(), QByteArray("-350,\"Queue overflow\""));
        QCOMPARE(b.nextError(), NoError);

        b.send("FOO");
        b.send("*CLS");
        QCOMPARE(b.nextError(), NoError);
        QCOMPARE(b.ask("*ESR?"), QByteArray("0"));
    }

    void menuChangeKeepsWhatItLeavesOut()
    {
        Bench b;
        QCOMPARE(b.send("<>CHG 5,-1,2"), QByteArray());
        QCOMPARE(b.send("<>CHG 10,3"), QByteArray()); // item without sub-state
        const auto &panel = b.supply.panel();
        QCOMPARE(QList<int>({panel.menuLevel, panel.menuItem, panel.menuSub}), QList<int>({10, 3, 2}));
        QCOMPARE(b.nextError(), NoError);
    }

    void commonCommandsAndStatusByte()
    {
        Bench b;
        QCOMPARE(b.ask("*ESR?"), QByteArray("128"));
        QCOMPARE(b.ask("*ESR?"), QByteArray("0")); // cleared on read
        b.send("*ESE 32");
        b.send("FOO"); // command error
        QCOMPARE(b.ask("*STB?"), QByteArray("32"));
        b.send("*SRE 32");
        QCOMPARE(b.ask("*STB?"), QByteArray("96"));
        QCOMPARE(b.ask("*ESR?"), QByteArray("32"));
        QCOMPARE(b.ask("*STB?"), QByteArray("0"));
        QCOMPARE(b.ask("*OPC?"), QByteArray("1"));
        b.send("*OPC");
        QCOMPARE(b.ask("*ESR?"), QByteArray("1"));
        QCOMPARE(b.nextError(), QByteArray("-113,\"Undefined header\""));
    }

    void networkSettingsAnswerTheirSetCommands()
    {
        Bench b;
        QCOMPARE(b.send("SYST:COMM:NET:PORT 5025"), QByteArray("5025\r\n"));
        QCOMPARE(b.send("SYST:COMM:NET:PORT 70000"), QByteArray("5025\r\n"));
        QCOMPARE(b.nextError(), QByteArray("-222,\"Data out of range\""));
        QCOMPARE(b.send("SYST:COMM:NET:GATE 10.0.0.5"), QByteArray("10.0.0.5\r\n"));
        QCOMPARE(b.send("SYST:COMM:NET:GATE 10.0.0.300"), QByteArray("10.0.0.5\r\n"));
        QCOMPARE(b.nextError(), QByteArray("-222,\"Data out of range\""));

        // Serial number and module revision change only with the scale access code.
        QCOMPARE(b.send("SYSTem:NET:SERial ZS00042 6043"), QByteArray("ZS00042\r\n"));
        QCOMPARE(b.send("SYSTem:NET:SERial ZS00043"), QByteArray("ZS00042\r\n"));
        QCOMPARE(b.nextError(), QByteArray("-203,\"Command protected\""));
        QCOMPARE(b.send("SYSTem:NET:VERS 2.10 6043"),
                 QByteArray("ZOP-SIM Ethernet Module Hardware Rev. 2.10\r\n"));
        QCOMPARE(b.nextError(), NoError);
    }
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
