// The command language: lines in, reply lines out, against a real model.

#include "clock.h"
#include "instrument.h"
#include "powersupply.h"

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

struct TableHeader
{
    const char *longForm;
    const char *shortForm;
    const char *setValue;   // nullptr: the command takes no value
    const char *queryValue; // parameter of the query, if it needs one
    bool setAnswers;        // the set command acknowledges with a line
};

// The panel's SCPI command table, index by index, with the SCPI short form of each header.
const TableHeader PanelTable[] = {
    {"SOURce:VOLTage:LEVel:IMMediate:AMPLitude", "SOUR:VOLT:LEV:IMM:AMPL", "12.5", nullptr, false},
    {"SOURce:CURRent:LEVel:IMMediate:AMPLitude", "SOUR:CURR:LEV:IMM:AMPL", "5", nullptr, false},
    {"SOURce:VOLTage:PROTection:LEVel", "SOUR:VOLT:PROT:LEV", "16", nullptr, false},
    {"SOURce:CURRent:PROTection:LEVel", "SOUR:CURR:PROT:LEV", "20", nullptr, false},
    {"SOURce:VOLTage:LEVel:TRIGgered:AMPLitude", "SOUR:VOLT:LEV:TRIG:AMPL", "3", nullptr, false},
    {"SOURce:CURRent:LEVel:TRIGgered:AMPLitude", "SOUR:CURR:LEV:TRIG:AMPL", "2", nullptr, false},
    {"SOURce:PERiod", "SOUR:PER", "2", nullptr, false},
    {"RECall:MEMory", "REC:MEM", "3", nullptr, false},
    {"OUTPut:START", "OUTP:START", nullptr, nullptr, false},
    {"OUTPut:STOP", "OUTP:STOP", nullptr, nullptr, false},
    {"ABORt", "ABOR", nullptr, nullptr, false},
    {"OUTPut:PROTection:CLEar", "OUTP:PROT:CLE", nullptr, nullptr, false},
    {"TRIGger:IMMediate", "TRIG:IMM", nullptr, nullptr, false},
    {"INITiate:IMMediate", "INIT:IMM", nullptr, nullptr, false},
    {"CALibrate:IDN", "CAL:IDN", "\"bench 7\"", nullptr, false},
    {"INITiate:CONTinuous", "INIT:CONT", "1", nullptr, false},
    {"MEASure:VOLTage:DC", "MEAS:VOLT:DC", nullptr, nullptr, false},
    {"MEASure:CURRent:DC", "MEAS:CURR:DC", nullptr, nullptr, false},
    {"SYSTem:ERRor", "SYST:ERR", nullptr, nullptr, false},
    {"SYSTem:Version", "SYST:V", "4.70 6043", nullptr, false},
    {"STATus:OPERation:CONDition", "STAT:OPER:COND", nullptr, nullptr, false},
    {"STATus:QUEStionable:CONDition", "STAT:QUES:COND", nullptr, nullptr, false},
    {"CONFigure:REMote:SENSe", "CONF:REM:SENS", "1", nullptr, false},
    {"CONFigure:CONTrol:EXTernal", "CONF:CONT:EXT", "1", nullptr, false},
    {"CONFigure:CONTrol:INTernal", "CONF:CONT:INT", "1", nullptr, false},
    {"CONFigure:INTErlock", "CONF:INTE", "1", nullptr, false},
    {"OUTPut:Arm", "OUTP:A", "1", nullptr, false},
    {"SOURce:LASTstep", "SOUR:LAST", "4", nullptr, false},
    {"OUTPut:STATe", "OUTP:STAT", "1", nullptr, false},
    {"CALibrate:PASSword", "CAL:PASS", "3846", nullptr, false},
    {"CALibrate:POT", "CAL:POT", "3,129", "3", false},
    {"CALibrate:SCALe:VOLTage", "CAL:SCAL:VOLT", "15", nullptr, false},
    {"CALibrate:SCALe:CURRent", "CAL:SCAL:CURR", "100", nullptr, false},
    {"CALibrate:DEFaults", "CAL:DEF", nullptr, nullptr, false},
    {"CALibrate:STOP", "CAL:STOP", nullptr, nullptr, false},
    {"MODulation:TYPE:SELect", "MOD:TYPE:SEL", "2,1", nullptr, false},
    {"MODulation:TABLe", "MOD:TABL", "5(0.25,1.10)", "5", false},
    {"SYSTem:GPIB:VERS", "SYST:GPIB:VERS", nullptr, nullptr, false},
    {"SYSTem:NET:VERSion", "SYST:NET:VERS", "1.10 6043", nullptr, true},
    {"CONFigure:SETPT", "CONF:SETPT", "1", nullptr, false},
    {"SYSTem:NET:SERial", "SYST:NET:SER", "ZS00042 6043", nullptr, true},
    {"SYSTem:NET:VERS", "SYST:NET:VERS", "1.10 6043", nullptr, true},
    {"CALibrate:SCALe:INPut", "CAL:SCAL:INP", "5", nullptr, false},
    {"MODulation:TABLe:SlewLIM", "MOD:TABL:SLIM", "0.5", nullptr, false},
};

// The common 4-letter short forms of the oddly cased nodes.
const TableHeader ConventionalForms[] = {
    {"SYSTem:Version", "SYST:VERS", nullptr, nullptr, false},
    {"OUTPut:Arm", "OUTP:ARM", nullptr, nullptr, false},
    {"SOURce:LASTstep", "SOUR:LAST", "4", nullptr, false},
    {"MODulation:TABLe:SlewLIM", "MOD:TABL:SLEW", "0.5", nullptr, false},
};

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

        QTest::newRow("<>STA") << QByteArray("<>STA") << QByteArray("0,0,48,200,0\r\n");
        QTest::newRow("<>STA lower case, CR LF") << QByteArray("<>sta\r") << QByteArray("0,0,48,200,0\r\n");
        QTest::newRow("<>ALL") << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,0,0,125C\r\n");
        QTest::newRow("<>SCL") << QByteArray("<>SCL") << QByteArray("3A98,186A0\r\n");
        QTest::newRow("<>POT") << QByteArray("<>POT") << QByteArray("80,80,80,80,80\r\n");
        QTest::newRow("SYST:VERS?") << QByteArray("SYST:VERS?") << QByteArray("ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n");
        QTest::newRow("SYSTem:Version?") << QByteArray("SYSTem:Version?") << QByteArray("ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n");
        QTest::newRow("*IDN?") << QByteArray("*IDN?") << QByteArray("Zoptrel,ZOP-SIM TLB,0,4.70\r\n");
        QTest::newRow("SYST:ERR?") << QByteArray("SYST:ERR?") << QByteArray("0,\"No error\"\r\n");
        QTest::newRow("*ESR? power-on") << QByteArray("*ESR?") << QByteArray("128\r\n");
        QTest::newRow("*STB?") << QByteArray("*STB?") << QByteArray("0\r\n");
        QTest::newRow("operation condition") << QByteArray("STAT:OPER:COND?") << QByteArray("72\r\n");
        QTest::newRow("questionable: remote") << QByteArray("STAT:QUES:COND?") << QByteArray("512\r\n");
        QTest::newRow("VOLT?") << QByteArray("VOLT?") << QByteArray("0.000\r\n");
        QTest::newRow("VOLT:PROT?") << QByteArray("VOLT:PROT?") << QByteArray("16.500\r\n");
        QTest::newRow("CURR:PROT?") << QByteArray("CURR:PROT?") << QByteArray("110.000\r\n");
        QTest::newRow("MEAS:CURR?") << QByteArray("MEAS:CURR?") << QByteArray("0.000\r\n");
        QTest::newRow("OUTP?") << QByteArray("OUTP?") << QByteArray("0\r\n");
        QTest::newRow("MEM?") << QByteArray("MEM?") << QByteArray("0\r\n");
        QTest::newRow("CAL:POT? 3") << QByteArray("CALibrate:POT? 3") << QByteArray("128\r\n");
        QTest::newRow("CAL:POT? all") << QByteArray("CAL:POT?") << QByteArray("128,128,128,128,128\r\n");
        QTest::newRow("CAL:SCAL:VOLT?") << QByteArray("CALibrate:SCALe:VOLTage?") << QByteArray("15.000\r\n");
        QTest::newRow("MOD:TYPE:SEL?") << QByteArray("MOD:TYPE:SEL?") << QByteArray("1,0\r\n");
        QTest::newRow("MOD:TABL? 5") << QByteArray("MOD:TABL? 5") << QByteArray("5(0.80,1.00)\r\n");
        QTest::newRow("network hardware") << QByteArray("SYSTem:NET:VERS?") << QByteArray("ZOP-SIM Ethernet Module Hardware Rev. 1.00\r\n");
        QTest::newRow("blanks around") << QByteArray("  *IDN?  \r") << QByteArray("Zoptrel,ZOP-SIM TLB,0,4.70\r\n");
    }

    void freshInstrumentReplies()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, reply);
        Bench b;
        QCOMPARE(b.send(line), reply);
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
        const QList<QByteArray> words = b.ask("SYST:VERS?").split(' ');
        QCOMPARE(words.size(), 6);
        QCOMPARE(words.at(2), QByteArray("1.40"));
        QCOMPARE(words.at(5), QByteArray("2.05"));
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
        QCOMPARE(b.ask("MEAS:CURR?"), QByteArray("5.000"));
        // Raising the current limit crosses over to voltage control: 40 A, above the 24 A
        // trip, so OCT latches with the alarm summary and the output drops to standby.
        b.send("CURR 100");
        QCOMPARE(b.ask("<>STA"), QByteArray("0,0,848,282,3"));
        b.send("CURR:PROT 50");
        b.send("OUTP:PROT:CLE");
        b.send("OUTP:START");
        QCOMPARE(b.ask("<>STA"), QByteArray("2EE0,9C40,188,200,3"));
        QCOMPARE(b.ask("STAT:OPER:COND?"), QByteArray("392"));
        // The over-voltage trip latches OVT and the alarm summary, and drops to standby.
        b.send("VOLT:PROT 10");
        QCOMPARE(b.ask("<>STA"), QByteArray("0,0,848,281,3"));
        b.send("OUTP:START");
        QCOMPARE(b.nextError(), QByteArray("-221,\"Settings conflict; protection latched\""));
        b.send("VOLT:PROT 16.5");
        b.send("OUTP:PROT:CLE");
        QCOMPARE(b.ask("<>STA"), QByteArray("0,0,48,200,3"));
        b.send("OUTP:START");
        QCOMPARE(b.ask("<>STA"), QByteArray("2EE0,9C40,188,200,3"));
        b.send("OUTP:STOP");
        QCOMPARE(b.ask("<>STA"), QByteArray("0,0,48,200,3"));

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
        b.send("OUTP:START");
        QCOMPARE(b.ask("OUTP:STAT?"), QByteArray("1"));
        b.clock.advance(1999);
        QCOMPARE(b.ask("OUTP:STAT?"), QByteArray("1"));
        b.clock.advance(1);
        QCOMPARE(b.ask("<>STA"), QByteArray("0,0,48,200,0"));
    }

    void everyTableHeaderIsAccepted_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("setValue");
        QTest::addColumn<bool>("bare");
        QTest::addColumn<QByteArray>("queryValue");
        QTest::addColumn<bool>("setAnswers");

        auto add = [](const TableHeader &h, const char *form, const QByteArray &header) {
            QTest::addRow("%s (%s)", h.longForm, form)
                << header << QByteArray(h.setValue) << (h.setValue == nullptr)
                << QByteArray(h.queryValue) << h.setAnswers;
        };
        for (const TableHeader &h : PanelTable) {
            add(h, "long", h.longForm);
            add(h, "short", h.shortForm);
            add(h, "long, lower case", QByteArray(h.longForm).toLower());
            add(h, "short, mixed case", mixCase(h.shortForm));
            add(h, "long, upper case, leading colon", ":" + QByteArray(h.longForm).toUpper());
        }
        for (const TableHeader &h : ConventionalForms)
            add(h, "4-letter", h.shortForm);
    }

    void everyTableHeaderIsAccepted()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, setValue);
        QFETCH(bool, bare);
        QFETCH(QByteArray, queryValue);
        QFETCH(bool, setAnswers);

        Bench b;
        b.send("CAL:PASS 6043");
        const QByteArray reply = b.send(bare ? header : header + ' ' + setValue);
        QCOMPARE(reply.isEmpty(), !setAnswers);
        QCOMPARE(b.nextError(), NoError);

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

        QTest::newRow("VOLT, read in long form") << QByteArrayList{"VOLT 12.5"} << QByteArray("SOURce:VOLTage:LEVel:IMMediate:AMPLitude?") << QByteArray("12.500");
        QTest::newRow("current in short form") << QByteArrayList{"sour:curr:lev:imm:ampl 5"} << QByteArray("CURR?") << QByteArray("5.000");
        QTest::newRow("exponent") << QByteArrayList{"CURR 2.5e1"} << QByteArray("CURR?") << QByteArray("25.000");
        QTest::newRow("MAX") << QByteArrayList{"VOLT MAX"} << QByteArray("VOLT?") << QByteArray("16.500");
        QTest::newRow("over-voltage") << QByteArrayList{"VOLT:PROT 16"} << QByteArray("SOUR:VOLT:PROT:LEV?") << QByteArray("16.000");
        QTest::newRow("over-current") << QByteArrayList{"CURR:PROT 20"} << QByteArray("CURRent:PROTection?") << QByteArray("20.000");
        QTest::newRow("triggered voltage") << QByteArrayList{"VOLT:TRIG 3"} << QByteArray("VOLT:LEV:TRIG:AMPL?") << QByteArray("3.000");
        QTest::newRow("trigger applies it") << QByteArrayList{"VOLT:TRIG 3", "INIT", "*TRG"} << QByteArray("VOLT?") << QByteArray("3.000");
        QTest::newRow("waiting for trigger") << QByteArrayList{"INIT"} << QByteArray("STAT:OPER:COND?") << QByteArray("104");
        QTest::newRow("period") << QByteArrayList{"PER 2"} << QByteArray("SOURce:PERiod?") << QByteArray("2.000");
        QTest::newRow("period in <>ALL") << QByteArrayList{"PER 2.5"} << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,9C4,0,125C");
        QTest::newRow("remote sense") << QByteArrayList{"CONF:REM:SENS 1"} << QByteArray("STAT:OPER:COND?") << QByteArray("584");
        QTest::newRow("external control") << QByteArrayList{"CONF:CONT:EXT ON"} << QByteArray("STAT:OPER:COND?") << QByteArray("80");
        QTest::newRow("internal control off") << QByteArrayList{"CONF:CONT:INT 0"} << QByteArray("CONF:CONT:EXT?") << QByteArray("1");
        QTest::newRow("interlock") << QByteArrayList{"CONF:INTE 1"} << QByteArray("STAT:OPER:COND?") << QByteArray("76");
        QTest::newRow("arm, bare") << QByteArrayList{"OUTP:Arm"} << QByteArray("OUTP:ARM?") << QByteArray("1");
        QTest::newRow("arm in word A") << QByteArrayList{"OUTP:A 1"} << QByteArray("<>STA") << QByteArray("0,0,49,200,0");
        QTest::newRow("disarm") << QByteArrayList{"OUTP:ARM", "OUTP:Arm 0"} << QByteArray("OUTP:Arm?") << QByteArray("0");
        QTest::newRow("stop disarms") << QByteArrayList{"OUTP:ARM", "OUTP:STOP"} << QByteArray("OUTP:ARM?") << QByteArray("0");
        QTest::newRow("output state") << QByteArrayList{"OUTP 1"} << QByteArray("OUTPut:STATe?") << QByteArray("1");
        QTest::newRow("abort") << QByteArrayList{"OUTP:START", "ABOR"} << QByteArray("OUTP:STAT?") << QByteArray("0");
        QTest::newRow("continuous") << QByteArrayList{"INIT:CONT 1"} << QByteArray("INITiate:CONTinuous?") << QByteArray("1");
        QTest::newRow("last step") << QByteArrayList{"SOUR:LAST 4"} << QByteArray("LAST?") << QByteArray("4");
        QTest::newRow("setpoint source") << QByteArrayList{"CONF:SETPT 1"} << QByteArray("CONF:SETPT?") << QByteArray("1");
        QTest::newRow("calibration text") << QByteArrayList{"CAL:IDN \"bench 7\""} << QByteArray("CAL:IDN?") << QByteArray("bench 7");
        QTest::newRow("pot access") << QByteArrayList{"CAL:PASS 3846"} << QByteArray("CAL:PASS?") << QByteArray("1");
        QTest::newRow("wrong code locks") << QByteArrayList{"CAL:PASS 6043", "CAL:PASS 1234"} << QByteArray("CAL:PASS?") << QByteArray("0");
        QTest::newRow("pot") << QByteArrayList{"CAL:PASS 3846", "CAL:POT 3,129"} << QByteArray("CALibrate:POT? 3") << QByteArray("129");
        QTest::newRow("default pots") << QByteArrayList{"CAL:PASS 3846", "CAL:POT 3,1", "CAL:DEF"} << QByteArray("<>POT") << QByteArray("80,80,80,80,80");
        QTest::newRow("input scale") << QByteArrayList{"CAL:PASS 6043", "CAL:SCAL:INP 5"} << QByteArray("CAL:SCAL:INP?") << QByteArray("5.000");
        QTest::newRow("end of calibration") << QByteArrayList{"CAL:PASS 6043", "CAL:STOP"} << QByteArray("CAL:PASS?") << QByteArray("0");
        QTest::newRow("modulation selection") << QByteArrayList{"MODulation:TYPE:SELect 2, 1"} << QByteArray("MOD:TYPE:SEL?") << QByteArray("2,1");
        QTest::newRow("selection keeps the type") << QByteArrayList{"MOD:TYPE:SEL 2,1", "MOD:TYPE:SEL 1"} << QByteArray("MOD:TYPE:SEL?") << QByteArray("1,1");
        QTest::newRow("no table") << QByteArrayList{"MOD:TYPE:SEL 0"} << QByteArray("MOD:TABL? 1") << QByteArray("No table selected");
        QTest::newRow("table row") << QByteArrayList{"MODulation:TABLe 7(1.5 , 2.0 )"} << QByteArray("MOD:TABL? 7") << QByteArray("7(1.50,2.00)");
        QTest::newRow("table row precision") << QByteArrayList{"MOD:TABL 50(0.125,-1)"} << QByteArray("MOD:TABL? 50") << QByteArray("50(0.125,-1.00)");
        QTest::newRow("slew limit") << QByteArrayList{"MOD:TABL:SLEW 0.5"} << QByteArray("MODulation:TABLe:SlewLIM?") << QByteArray("0.500");
        QTest::newRow("table saved") << QByteArrayList{"MOD:TABL:SAVE"} << QByteArray("MOD:TABL:SAVE?") << QByteArray("1");
        QTest::newRow("*ESE") << QByteArrayList{"*ESE 36"} << QByteArray("*ESE?") << QByteArray("36");
        QTest::newRow("*SRE ignores bit 6") << QByteArrayList{"*SRE 255"} << QByteArray("*SRE?") << QByteArray("191");
        QTest::newRow("MEM") << QByteArrayList{"MEM 3"} << QByteArray("RECall:MEMory?") << QByteArray("3");
        QTest::newRow("*RCL") << QByteArrayList{"*RCL 4"} << QByteArray("<>STA") << QByteArray("0,0,48,200,4");
        QTest::newRow("*SAV keeps the location") << QByteArrayList{"VOLT 1", "*SAV 6"} << QByteArray("*SAV?") << QByteArray("0");
        QTest::newRow("GPIB address") << QByteArrayList{"GPIB:ADDR 12"} << QByteArray("GPIB:ADDR?") << QByteArray("12");
        QTest::newRow("RS-485 address") << QByteArrayList{"SYST:COMM:SER:ADDR 200"} << QByteArray("SYST:COMM:SER:ADDR?") << QByteArray("200");
        QTest::newRow("*RST") << QByteArrayList{"VOLT 3", "MEM 2", "OUTP:START", "*RST"} << QByteArray("<>ALL") << QByteArray("0,0,4074,1ADB0,0,0,125C");
    }

    void setThenReadBack()
    {
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, reply);

        Bench b;
        for (const QByteArray &line : lines)
            QCOMPARE(b.send(line), QByteArray());
        QCOMPARE(b.nextError(), NoError);
        QCOMPARE(b.ask(query), reply);
    }

    void refusedLinesQueueAnError_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("code");

        QTest::newRow("unknown header") << QByteArray("FOO 1") << -113;
        QTest::newRow("unknown query") << QByteArray("FOO?") << -113;
        QTest::newRow("node misspelt") << QByteArray("VOLT:PROTX 5") << -113;
        QTest::newRow("question mark alone") << QByteArray("?") << -113;
        QTest::newRow("unknown common") << QByteArray("*FOO") << -113;
        QTest::newRow("unknown <>") << QByteArray("<>FOO") << -113;
        QTest::newRow("word for number") << QByteArray("VOLT abc") << -104;
        QTest::newRow("number with junk") << QByteArray("VOLT 12.5abc") << -104;
        QTest::newRow("no value") << QByteArray("VOLT") << -109;
        QTest::newRow("blank, no value") << QByteArray("SOURce:VOLTage:LEVel:IMMediate:AMPLitude ") << -109;
        QTest::newRow("voltage above limit") << QByteArray("VOLT 99") << -222;
        QTest::newRow("negative current") << QByteArray("CURR -1") << -222;
        QTest::newRow("memory 10") << QByteArray("MEM 10") << -222;
        QTest::newRow("*RCL word") << QByteArray("*RCL x") << -104;
        QTest::newRow("value to an action") << QByteArray("OUTP:START 1") << -108;
        QTest::newRow("not a boolean") << QByteArray("CONF:REM:SENS maybe") << -104;
        QTest::newRow("pot without the code") << QByteArray("CAL:POT 3,129") << -203;
        QTest::newRow("scale without the code") << QByteArray("CAL:SCAL:VOLT 20") << -203;
        QTest::newRow("pot without value") << QByteArray("CAL:POT 3") << -109;
        QTest::newRow("table row 51") << QByteArray("MOD:TABL 51(1,1)") << -222;
        QTest::newRow("table row without brackets") << QByteArray("MOD:TABL 5 1,1") << -104;
        QTest::newRow("control input 3") << QByteArray("MOD:TYPE:SEL 3") << -222;
        QTest::newRow("*ESE 256") << QByteArray("*ESE 256") << -222;
        QTest::newRow("<>CHG words") << QByteArray("<>CHG a,b,c") << -104;
        QTest::newRow("<>CHG empty") << QByteArray("<>CHG") << -109;
        QTest::newRow("<>CHG four numbers") << QByteArray("<>CHG 1,2,3,4") << -108;
        QTest::newRow("<>IGN empty") << QByteArray("<>IGN") << -109;
        QTest::newRow("query of pot 6") << QByteArray("CAL:POT? 6") << -222;
        QTest::newRow("query of table row 0") << QByteArray("MOD:TABL? 0") << -222;
        QTest::newRow("Latin-1 junk") << QByteArray("\xff\xfe\x01") << -113;
    }

    void refusedLinesQueueAnError()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, code);

        Bench b;
        const QByteArray before = b.ask("<>ALL");
        QCOMPARE(b.send(line), QByteArray()); // refused lines, queries too, get no reply
        QVERIFY(b.nextError().startsWith(QByteArray::number(code) + ",\""));
        QCOMPARE(b.nextError(), NoError);
        if (code != -222) // out-of-range values are clamped, everything else changes nothing
            QCOMPARE(b.ask("<>ALL"), before);
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

    void blankLinesAnswerNothing_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("carriage return") << QByteArray("\r");
        QTest::newRow("blanks") << QByteArray("   ");
        QTest::newRow("tab and CR") << QByteArray("\t\r");
    }

    void blankLinesAnswerNothing()
    {
        QFETCH(QByteArray, line);
        Bench b;
        QVERIFY(Instrument::isBlank(line));
        QCOMPARE(b.send(line), QByteArray());
        QVERIFY(b.supply.errors().isEmpty());
        QCOMPARE(b.supply.statusWordB(), 0u); // a keep-alive does not count as remote use
    }

    void panelMirrorCommandsAreRemembered()
    {
        Bench b;
        QCOMPARE(b.send("<>CHG 5,-1,2"), QByteArray());
        QCOMPARE(b.supply.panel().menuLevel, 5);
        QCOMPARE(b.supply.panel().menuItem, -1);
        QCOMPARE(b.supply.panel().menuSub, 2);
        QCOMPARE(b.send("<>CHG 10,3"), QByteArray()); // item without sub-state
        QCOMPARE(b.supply.panel().menuLevel, 10);
        QCOMPARE(b.supply.panel().menuItem, 3);
        QCOMPARE(b.supply.panel().menuSub, 2);
        QCOMPARE(b.send("<>IGN 1"), QByteArray());
        QVERIFY(b.supply.panel().ignoreFrontPanel);
        QCOMPARE(b.send("<>TYP 1"), QByteArray());
        QCOMPARE(b.supply.panel().entryMode, 1);
        QCOMPARE(b.send("<>PRO 12.5"), QByteArray());
        QCOMPARE(b.supply.panel().promptText, QStringLiteral("12.5"));
        QCOMPARE(b.send("<>RST"), QByteArray());
        QCOMPARE(b.supply.interfaces().restarts, 1);
        QCOMPARE(b.nextError(), NoError);

        // CLEAR: 0 (release) keeps a latched alarm, 1 clears it, 2 also restores setpoints.
        b.send("VOLT 12");
        b.send("CURR 100");
        b.send("VOLT:PROT 5");
        b.send("OUTP:START");
        QCOMPARE(b.supply.latchedAlarms(), WordB::Ovt);
        QCOMPARE(b.send("<>CLR 0"), QByteArray());
        QCOMPARE(b.supply.latchedAlarms(), WordB::Ovt);
        QCOMPARE(b.send("<>CLR 1"), QByteArray());
        QCOMPARE(b.supply.latchedAlarms(), 0u);
        QCOMPARE(b.supply.panel().clearLevel, 1);
        QCOMPARE(b.ask("VOLT?"), QByteArray("12.000"));
        QCOMPARE(b.send("<>CLR 2"), QByteArray());
        QCOMPARE(b.ask("<>ALL"), QByteArray("0,0,4074,1ADB0,0,0,125C"));
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
        QCOMPARE(b.send("SYST:COMM:NET:DHCP 1"), QByteArray("1\r\n"));
        QCOMPARE(b.ask("SYST:COMM:NET:DHCP?"), QByteArray("1"));
        QCOMPARE(b.send("SYST:COMM:NET:PORT 5025"), QByteArray("5025\r\n"));
        QCOMPARE(b.send("SYST:COMM:NET:PORT 70000"), QByteArray("5025\r\n"));
        QCOMPARE(b.nextError(), QByteArray("-222,\"Data out of range\""));
        QCOMPARE(b.send("SYST:COMM:NET:ADDR 10.0.0.5"), QByteArray("10.0.0.5\r\n"));
        QCOMPARE(b.send("SYST:COMM:NET:GATE 10.0.0.300"), QByteArray("0.0.0.0\r\n"));
        QCOMPARE(b.nextError(), QByteArray("-222,\"Data out of range\""));
        QCOMPARE(b.send("SYST:COMM:NET:SUBN 255.255.255.0"), QByteArray("255.255.255.0\r\n"));
        QCOMPARE(b.send("SYST:COMM:NET:HOST BENCH"), QByteArray("BENCH\r\n"));
        QVERIFY(!b.ask("SYST:COMM:NET:MAC?").isEmpty());
        QVERIFY(!b.ask("SYST:COMM:NET:VERS?").isEmpty());
        QVERIFY(!b.ask("GPIB:VERS?").isEmpty());
        QVERIFY(!b.ask("SER:VERS?").isEmpty());

        // Serial number and module revision change only with the scale access code.
        QCOMPARE(b.send("SYSTem:NET:SERial ZS00042 6043"), QByteArray("ZS00042\r\n"));
        QCOMPARE(b.send("SYSTem:NET:SERial ZS00043"), QByteArray("ZS00042\r\n"));
        QCOMPARE(b.nextError(), QByteArray("-203,\"Command protected\""));
        QCOMPARE(b.send("SYSTem:NET:VERS 2.10 6043"),
                 QByteArray("ZOP-SIM Ethernet Module Hardware Rev. 2.10\r\n"));
        QCOMPARE(b.nextError(), NoError);
    }

    void readOnlyHeadersIgnoreValues()
    {
        Bench b;
        const QByteArray before = b.ask("<>STA");
        for (const char *line : {"MEAS:VOLT 5", "SYST:VERS 4.70 6043", "*IDN x", "STAT:OPER 1"})
            QCOMPARE(b.send(line), QByteArray());
        QCOMPARE(b.nextError(), NoError);
        QCOMPARE(b.ask("<>STA"), before);
    }

    void overlongLineIsReported()
    {
        Bench b;
        b.instrument.rejectOverlongLine();
        QCOMPARE(b.nextError(), QByteArray("-223,\"Too much data; line too long\""));
    }
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
