// Header matching and the small text helpers of the command language.

#include "scpi.h"

#include <QTest>

using namespace zopsim;

class TestScpi : public QObject
{
    Q_OBJECT

private slots:
    void nodeSpellings_data()
    {
        QTest::addColumn<QString>("mnemonic");
        QTest::addColumn<QStringList>("spellings");

        QTest::newRow("regular") << "VOLTage" << QStringList{"VOLTAGE", "VOLT"};
        QTest::newRow("three-letter short form") << "PERiod" << QStringList{"PERIOD", "PER"};
        QTest::newRow("all capitals") << "SETPT" << QStringList{"SETPT"};
        QTest::newRow("two letters") << "DC" << QStringList{"DC"};
        QTest::newRow("capitals run long") << "LASTstep" << QStringList{"LASTSTEP", "LAST"};
        QTest::newRow("single capital: Version") << "Version" << QStringList{"VERSION", "V", "VERS"};
        QTest::newRow("single capital: Arm") << "Arm" << QStringList{"ARM", "A"};
        QTest::newRow("capitals split by lower case") << "SlewLIM" << QStringList{"SLEWLIM", "SLIM", "SLEW"};
    }

    void nodeSpellings()
    {
        QFETCH(QString, mnemonic);
        QFETCH(QStringList, spellings);
        QCOMPARE(scpi::nodeSpellings(mnemonic), spellings);
    }

    void shortForm()
    {
        QCOMPARE(scpi::shortForm(QStringLiteral("SOURce:VOLTage:LEVel:IMMediate:AMPLitude")),
                 QStringLiteral("SOUR:VOLT:LEV:IMM:AMPL"));
        QCOMPARE(scpi::shortForm(QStringLiteral("STATus:QUEStionable:CONDition")),
                 QStringLiteral("STAT:QUES:COND"));
        QCOMPARE(scpi::shortForm(QStringLiteral("MODulation:TABLe:SlewLIM")),
                 QStringLiteral("MOD:TABL:SLIM"));
    }

    void headerMatching_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("matches");

        const QString volt = QStringLiteral("[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]");
        QTest::newRow("all optional left out") << volt << "VOLT" << true;
        QTest::newRow("lower case") << volt << "volt" << true;
        QTest::newRow("long form") << volt << "SOURce:VOLTage:LEVel:IMMediate:AMPLitude" << true;
        QTest::newRow("short form, lower case") << volt << "sour:volt:lev:imm:ampl" << true;
        QTest::newRow("leading colon") << volt << ":SOUR:VOLT" << true;
        QTest::newRow("some optional nodes") << volt << "VOLT:LEV:AMPL" << true;
        QTest::newRow("last optional only") << volt << "VOLTAGE:AMPL" << true;
        QTest::newRow("nodes out of order") << volt << "VOLT:AMPL:LEV" << false;
        QTest::newRow("neither short nor long") << volt << "VOLTA" << false;
        QTest::newRow("too short") << volt << "VOL" << false;
        QTest::newRow("foreign node") << volt << "VOLT:PROT" << false;
        QTest::newRow("trailing colon") << volt << "VOLT:" << false;
        QTest::newRow("empty node") << volt << "VOLT::LEV" << false;
        QTest::newRow("empty") << volt << "" << false;
        QTest::newRow("only the optional node") << volt << "SOUR" << false;
        QTest::newRow("node repeated") << volt << "VOLT:VOLT" << false;

        const QString vers = QStringLiteral("SYSTem:Version");
        QTest::newRow("Version long") << vers << "SYSTem:Version" << true;
        QTest::newRow("Version 4 letters") << vers << "SYST:VERS" << true;
        QTest::newRow("Version capitals") << vers << "SYST:V" << true;
        QTest::newRow("Version 3 letters") << vers << "SYST:VER" << false;

        const QString slew = QStringLiteral("MODulation:TABLe:SlewLIM");
        QTest::newRow("SlewLIM conventional") << slew << "MOD:TABL:SLEW" << true;
        QTest::newRow("SlewLIM capitals") << slew << "mod:tabl:slim" << true;
        QTest::newRow("SlewLIM long") << slew << "MODULATION:TABLE:SLEWLIM" << true;
        QTest::newRow("SlewLIM partial") << slew << "MOD:TABL:SL" << false;

        const QString arm = QStringLiteral("OUTPut:Arm");
        QTest::newRow("Arm as listed") << arm << "OUTP:Arm" << true;
        QTest::newRow("Arm upper") << arm << "OUTP:ARM" << true;
        QTest::newRow("Arm capital") << arm << "OUTP:A" << true;
        QTest::newRow("Arm partial") << arm << "OUTP:AR" << false;

        const QString mem = QStringLiteral("[RECall:]MEMory");
        QTest::newRow("MEM alone") << mem << "MEM" << true;
        QTest::newRow("REC:MEM") << mem << "REC:MEM" << true;
        QTest::newRow("RECALL:MEMORY") << mem << "recall:memory" << true;
        QTest::newRow("REC alone") << mem << "REC" << false;
    }

    void headerMatching()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, header);
        QFETCH(bool, matches);
        QCOMPARE(scpi::HeaderPattern(pattern).matches(header), matches);
    }

    void longFormDropsTheBrackets()
    {
        QCOMPARE(scpi::HeaderPattern(QStringLiteral("[SOURce:]VOLTage:PROTection[:LEVel]")).longForm(),
                 QStringLiteral("SOURce:VOLTage:PROTection:LEVel"));
    }

    void parseNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");

        QTest::newRow("decimal") << "12.5" << true << 12.5;
        QTest::newRow("blanks around") << "  3 " << true << 3.0;
        QTest::newRow("negative") << "-1" << true << -1.0;
        QTest::newRow("plus") << "+2" << true << 2.0;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("trailing point") << "5." << true << 5.0;
        QTest::newRow("exponent") << "1e3" << true << 1000.0;
        QTest::newRow("negative exponent") << "1.5E-3" << true << 0.0015;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("word") << "abc" << false << 0.0;
        QTest::newRow("trailing junk") << "12.5abc" << false << 0.0;
        QTest::newRow("decimal comma") << "1,5" << false << 0.0;
        QTest::newRow("hexadecimal") << "0x10" << false << 0.0;
        QTest::newRow("inf") << "inf" << false << 0.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
        QTest::newRow("bare exponent") << "1e" << false << 0.0;
        QTest::newRow("double sign") << "--1" << false << 0.0;
        QTest::newRow("two numbers") << "1 2" << false << 0.0;
        QTest::newRow("overflowing exponent") << "1e999" << false << 0.0;
    }

    void parseNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        const auto parsed = scpi::parseNumber(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void parseBoolean_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: refused

        QTest::newRow("1") << "1" << 1;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("ON") << "ON" << 1;
        QTest::newRow("off") << "off" << 0;
        QTest::newRow("other number") << "2" << 1;
        QTest::newRow("rounds to zero") << "0.4" << 0;
        QTest::newRow("word") << "yes" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void parseBoolean()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const auto parsed = scpi::parseBoolean(text);
        QCOMPARE(parsed.has_value() ? int(*parsed) : -1, expected);
    }

    void formatting()
    {
        QCOMPARE(scpi::formatThousandths(12500), QStringLiteral("12.500"));
        QCOMPARE(scpi::formatThousandths(0), QStringLiteral("0.000"));
        QCOMPARE(scpi::formatThousandths(5), QStringLiteral("0.005"));
        QCOMPARE(scpi::formatThousandths(110000), QStringLiteral("110.000"));
        QCOMPARE(scpi::formatThousandths(-1500), QStringLiteral("-1.500"));

        QCOMPARE(scpi::formatDecimal(1.1, 2), QStringLiteral("1.10"));
        QCOMPARE(scpi::formatDecimal(0.125, 2), QStringLiteral("0.125"));
        QCOMPARE(scpi::formatDecimal(0.0, 0), QStringLiteral("0"));
        QCOMPARE(scpi::formatDecimal(2.5, 0), QStringLiteral("2.5"));
        QCOMPARE(scpi::formatDecimal(10.0, 3), QStringLiteral("10.000"));

        QCOMPARE(scpi::splitParameters(QStringLiteral("1, 0")), (QStringList{"1", "0"}));
        QCOMPARE(scpi::splitParameters(QStringLiteral("  ")), QStringList{});
        QCOMPARE(scpi::splitParameters(QStringLiteral("a,,b")), (QStringList{"a", "", "b"}));
    }
};

QTEST_GUILESS_MAIN(TestScpi)
#include "tst_scpi.moc"
