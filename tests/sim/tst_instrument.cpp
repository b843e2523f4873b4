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
    // Sends each step of a dialogue (see dialogue_data) and compares the reply.
    void converse(const QByteArrayList &steps)
    {
        for (const QByteArray &step : steps) {
            if (step.startsWith('+')) {
                clock.advance(step.mid(1).toLongLong());
                continue;
            }
            const QByteArray line = step.contains(" -> ") ? step.left(step.indexOf(" -> ")) : step;
            const QByteArray reply = send(line);
            const QByteArray got = reply.endsWith("\r\n") ? reply.chopped(2) : reply + "<no CR LF>";
            QCOMPARE(reply.isEmpty() ? line : line + " -> " + got, step);
        }
        QCOMPARE(supply.errors().size(), 0);
    }

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
        for (const char *blank : {"", "\r", "   ", "\t\r"})
            QTest::addRow("blank: %d bytes", int(strlen(blank))) << QByteArray(blank) << QByteArray();
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
        b.converse({"*IDN? -> Zoptrel,ZOP-SIM KM,0,1.40", "<>SCL -> EA60,9C4",
                    "SYST:VERS? -> ZOP-SIM Firmware 1.40 Hardware Revision 2.05",
                    "<>ALL -> 0,0,101D0,ABE,0,0,578"});
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

    // Each step of a row is a line sent and its reply ("LINE -> REPLY"; no arrow: no reply) or
    // "+MS", the instrument's clock moved on; every row ends with an empty error queue.
    void dialogue_data()
    {
        QTest::addColumn<QByteArrayList>("steps");

        QTest::newRow("MAX") << QByteArrayList{"VOLT MAX", "VOLT? -> 16.500"};
        QTest::newRow("trigger") << QByteArrayList{"VOLT:TRIG 3", "INIT", "STAT:OPER:COND? -> 104", "*TRG",
                                                   "VOLT? -> 3.000", "STAT:OPER:COND? -> 72"};
        QTest::newRow("period in <>ALL") << QByteArrayList{"PER 2.5", "<>ALL -> 0,0,4074,1ADB0,9C4,0,125C"};
        QTest::newRow("remote sense") << QByteArrayList{"CONF:REM:SENS 1", "STAT:OPER:COND? -> 584"};
        QTest::newRow("external control") << QByteArrayList{"CONF:CONT:EXT ON", "STAT:OPER:COND? -> 80"};
        QTest::newRow("internal control off") << QByteArrayList{"CONF:CONT:INT 0", "CONF:CONT:EXT? -> 1"};
        QTest::newRow("interlock") << QByteArrayList{"CONF:INTE 1", "STAT:OPER:COND? -> 76"};
        QTest::newRow("arm, bare; stop disarms") << QByteArrayList{"OUTP:Arm", "OUTP:ARM? -> 1", "OUTP:STOP", "OUTP:ARM? -> 0"};
        QTest::newRow("arm in word A") << QByteArrayList{"OUTP:A 1", "<>STA -> 0,0,49,200,0"};
        QTest::newRow("output state") << QByteArrayList{"OUTP 1", "OUTPut:STATe? -> 1"};
        QTest::newRow("abort") << QByteArrayList{"OUTP:START", "ABOR", "OUTP:STAT? -> 0"};
        QTest::newRow("last step, as many decimals as it needs") << QByteArrayList{"SOUR:LAST 2.5", "LAST? -> 2.5"};
        QTest::newRow("calibration text") << QByteArrayList{"CAL:IDN \"bench 7\"", "CAL:IDN? -> bench 7"};
        QTest::newRow("pot, default pots") << QByteArrayList{"CAL:PASS 3846", "CAL:POT 3,129", "CALibrate:POT? 3 -> 129",
                                                             "CAL:DEF", "<>POT -> 80,80,80,80,80"};
        QTest::newRow("the limits follow the rating") << QByteArrayList{"CAL:PASS 6043", "CAL:SCAL:VOLT 20", "VOLT 21", "VOLT? -> 21.000"};
        QTest::newRow("factory version text") << QByteArrayList{"CAL:PASS 6043", "SYST:VERS ZOP-SIM Firmware 4.80 Hardware Revision 1.40", "SYST:VERS? -> ZOP-SIM Firmware 4.80 Hardware Revision 1.40"};
        QTest::newRow("wrong code locks, so does the end of calibration") << QByteArrayList{"CAL:PASS 6043",
            "CAL:PASS 1234", "CAL:PASS? -> 0", "CAL:PASS 6043", "CAL:PASS? -> 2", "CAL:STOP", "CAL:PASS? -> 0"};
        QTest::newRow("modulation selection keeps the type") << QByteArrayList{"MODulation:TYPE:SELect 2, 1",
            "MOD:TYPE:SEL? -> 2,1", "MOD:TYPE:SEL 1", "MOD:TYPE:SEL? -> 1,1"};
        QTest::newRow("no table") << QByteArrayList{"MOD:TYPE:SEL 0", "MOD:TABL? 1 -> No table selected"};
        QTest::newRow("table rows, their precision") << QByteArrayList{"MODulation:TABLe 7(1.5 , 2.0 )",
            "MOD:TABL? 7 -> 7(1.50,2.00)", "MOD:TABL 50(0.125,-1)", "MOD:TABL? 50 -> 50(0.125,-1.00)"};
        QTest::newRow("EEPROM copy survives *RST") << QByteArrayList{"MOD:TABL 4(1,2)", "MOD:TABL:SAVE", "MOD:TABL 4(8,8)", "MOD:TYPE:SEL 0", "*RST", "MOD:TABL? 4 -> 4(1.00,2.00)"};
        QTest::newRow("*SRE ignores bit 6") << QByteArrayList{"*SRE 255", "*SRE? -> 191"};
        QTest::newRow("*SAV keeps the location") << QByteArrayList{"VOLT 1", "*SAV 6", "*SAV? -> 0"};
        QTest::newRow("read-only headers ignore values") << QByteArrayList{"MEAS:VOLT 5", "*IDN x", "STAT:OPER 1", "<>STA -> 0,0,48,200,0"};
        const QByteArrayList tripped{"VOLT 12", "CURR 100", "VOLT:PROT 5", "OUTP:START"};
        QTest::newRow("CLEAR released keeps the alarm") << tripped + QByteArrayList{"<>CLR 0", "<>STA -> 0,0,848,281,0"};
        QTest::newRow("CLEAR held 5 s clears it, keeps the setpoints")
            << tripped + QByteArrayList{"<>CLR 1", "<>STA -> 0,0,48,200,0", "VOLT? -> 12.000"};
        QTest::newRow("CLEAR held 10 s restores them") << tripped + QByteArrayList{"<>CLR 2", "<>ALL -> 0,0,4074,1ADB0,0,0,125C"};
        QTest::newRow("untouched memory holds the power-on setpoints") << QByteArrayList{"VOLT 3", "*RCL 9", "<>ALL -> 0,0,4074,1ADB0,0,9,125C"};
        QTest::newRow("recall while on can trip") << QByteArrayList{"VOLT 12", "CURR 100", "VOLT:PROT 5", "*SAV 1", "VOLT:PROT 16.5", "OUTP:START", "*RCL 1", "<>STA -> 0,0,848,281,1"};
        QTest::newRow("trigger without INIT is ignored") << QByteArrayList{"VOLT:TRIG 7", "*TRG", "VOLT? -> 0.000"};
        QTest::newRow("continuous: still waiting after a trigger") << QByteArrayList{"INIT:CONT 1", "*TRG", "STAT:OPER:COND? -> 104"};
        QTest::newRow("abort ends the wait") << QByteArrayList{"INIT", "ABOR", "STAT:OPER:COND? -> 72"};
        QTest::newRow("*RST clears a latched alarm") << tripped + QByteArrayList{"*RST", "<>STA -> 0,0,48,200,0"};
        QTest::newRow("*RST") << QByteArrayList{"VOLT 3", "MEM 2", "OUTP:START", "*RST", "<>ALL -> 0,0,4074,1ADB0,0,0,125C"};
        // 12 V into 0.3 ohm would need 40 A: current control at 5 A and 1.5 V. Raising the
        // current limit crosses over to voltage control: 40 A, above the 24 A trip, so OCT
        // latches with the alarm summary and the output drops to standby.
        QTest::newRow("the model behind the replies") << QByteArrayList{"VOLT 12", "CURR 5",
            "VOLT:PROT 13.284", "CURR:PROT 24", "PER 1", "*SAV 3", "*RST", "*RCL 3",
            "<>ALL -> 2EE0,1388,33E4,5DC0,3E8,3,125C", "OUTP:START", "<>STA -> 5DC,1388,488,200,3",
            "MEAS:VOLT? -> 1.500", "CURR 100", "<>STA -> 0,0,848,282,3", "OUTP:START",
            "SYST:ERR? -> -221,\"Settings conflict; protection latched\"", "CURR:PROT 50", "OUTP:PROT:CLE",
            "OUTP:START", "<>STA -> 2EE0,9C40,188,200,3", "STAT:OPER:COND? -> 392", "CAL:PASS 3846",
            "CAL:POT 1,0", "CAL:POT 5,255", "<>POT -> 0,80,80,80,FF", "CAL:PASS 6043",
            "CAL:SCAL:VOLT 20", "CAL:SCAL:CURR 50.5", "<>SCL -> 4E20,C544"};
        // The period counts from the start; a timed stop is no alarm; PER 0 runs without end.
        QTest::newRow("period on the instrument's clock") << QByteArrayList{"VOLT 5", "CURR 10", "PER 2",
            "+500", "OUTP:START", "+1999", "OUTP:STAT? -> 1", "+1", "<>STA -> 0,0,48,200,0", "PER 0",
            "OUTP:START", "+100000000", "OUTP:STAT? -> 1"};
        QTest::newRow("error queue: order") << QByteArrayList{"FOO", "VOLT x", "VOLT 20",
            "SYST:ERR? -> -113,\"Undefined header\"", "SYST:ERR? -> -104,\"Data type error\"",
            "SYST:ERR? -> -222,\"Data out of range\"", "SYST:ERR? -> " + NoError};
        QTest::newRow("error queue: overflow, *CLS")
            << QByteArrayList(25, "FOO") + QByteArrayList(ErrorQueue::DefaultCapacity - 1,
                   "SYST:ERR? -> -113,\"Undefined header\"") + QByteArrayList{"SYST:ERR? -> -350,\"Queue overflow\"",
                   "SYST:ERR? -> " + NoError, "FOO", "*CLS", "SYST:ERR? -> " + NoError, "*ESR? -> 0"};
        QTest::newRow("common commands, status byte") << QByteArrayList{"*ESR? -> 128",
            "*ESR? -> 0" /* cleared on read */, "*ESE 32", "FOO", "*STB? -> 32", "*SRE 32", "*STB? -> 96",
            "*ESR? -> 32", "*STB? -> 0", "*OPC? -> 1", "*OPC", "*ESR? -> 1", "SYST:ERR? -> -113,\"Undefined header\""};
        // Network settings answer their set commands; serial number and module revision change
        // only with the scale access code.
        QTest::newRow("network settings") << QByteArrayList{"SYST:COMM:NET:PORT 5025 -> 5025",
            "SYST:COMM:NET:PORT 70000 -> 5025", "SYST:ERR? -> -222,\"Data out of range\"",
            "SYST:COMM:NET:GATE 10.0.0.5 -> 10.0.0.5", "SYST:COMM:NET:GATE 10.0.0.300 -> 10.0.0.5",
            "SYST:ERR? -> -222,\"Data out of range\"", "SYSTem:NET:SERial ZS00042 6043 -> ZS00042",
            "SYSTem:NET:SERial ZS00043 -> ZS00042", "SYST:ERR? -> -203,\"Command protected\"",
            "SYSTem:NET:VERS 2.10 6043 -> ZOP-SIM Ethernet Module Hardware Rev. 2.10"};
    }

    void dialogue()
    {
        QFETCH(QByteArrayList, steps);
        Bench b;
        b.converse(steps);
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

    void menuChangeKeepsWhatItLeavesOut()
    {
        Bench b;
        QCOMPARE(b.send("<>CHG 5,-1,2"), QByteArray());
        QCOMPARE(b.send("<>CHG 10,3"), QByteArray()); // item without sub-state
        const auto &panel = b.supply.panel();
        QCOMPARE(QList<int>({panel.menuLevel, panel.menuItem, panel.menuSub}), QList<int>({10, 3, 2}));
        QCOMPARE(b.nextError(), NoError);
    }

};

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
