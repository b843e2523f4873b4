// Header matching and the small text helpers of the command language.

#include "scpi.h"

#include <QTest>

using namespace zopsim;

class TestScpi : public QObject
{
    Q_OBJECT

private slots:
    // Short forms, a pattern's long form, thousandths with their leading zeros.
    void textForms()
    {
        QCOMPARE(QStringList({scpi::shortForm("SOURce:VOLTage:LEVel:IMMediate:AMPLitude"),
                              scpi::shortForm("MODulation:TABLe:SlewLIM"),
                              scpi::HeaderPattern("[SOURce:]VOLTage:PROTection[:LEVel]").longForm(),
                              scpi::formatThousandths(5), scpi::formatThousandths(-1500)}),
                 QStringList({"SOUR:VOLT:LEV:IMM:AMPL", "MOD:TABL:SLIM",
                              "SOURce:VOLTage:PROTection:LEVel", "0.005", "-1.500"}));
    }

    void headerMatching_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("matches");

        const QString volt = QStringLiteral("[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]");
        QTest::newRow("all optional left out") << volt << "VOLT" << true;
        QTest::newRow("some optional nodes") << volt << "VOLT:LEV:AMPL" << true;
        QTest::newRow("last optional only") << volt << "VOLTAGE:AMPL" << true;
        // Nodes out of order, neither short nor long, too short, a foreign node, a trailing colon,
        // an empty node, nothing, only the optional node, a node repeated.
        for (const char *header :
             {"VOLT:AMPL:LEV", "VOLTA", "VOL", "VOLT:PROT", "VOLT:", "VOLT::LEV", "", "SOUR", "VOLT:VOLT"})
            QTest::addRow("not \"%s\"", header) << volt << header << false;

        const QString vers = QStringLiteral("SYSTem:Version");
        QTest::newRow("Version capitals") << vers << "SYST:V" << true;
        QTest::newRow("Version 3 letters") << vers << "SYST:VER" << false;

        const QString slew = QStringLiteral("MODulation:TABLe:SlewLIM");
        QTest::newRow("SlewLIM conventional") << slew << "MOD:TABL:SLEW" << true;
        QTest::newRow("SlewLIM partial") << slew << "MOD:TABL:SL" << false;

        const QString arm = QStringLiteral("OUTPut:Arm");
        QTest::newRow("Arm capital") << arm << "OUTP:A" << true;
        QTest::newRow("Arm partial") << arm << "OUTP:AR" << false;

        const QString mem = QStringLiteral("[RECall:]MEMory");
        QTest::newRow("REC alone") << mem << "REC" << false;
    }

    void headerMatching()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, header);
        QTEST(scpi::HeaderPattern(pattern).matches(header), "matches");
    }

    void parseNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");

        QTest::newRow("blanks around") << "  3 " << true << 3.0;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("exponent") << "1e3" << true << 1000.0;
        // Empty, trailing junk, a decimal comma, hexadecimal, nan, a bare exponent, a double sign,
        // two numbers, an overflowing exponent.
        for (const char *text : {"", "12.5abc", "1,5", "0x10", "nan", "1e", "--1", "1 2", "1e999"})
            QTest::addRow("refused: \"%s\"", text) << text << false << 0.0;
    }

    void parseNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto parsed = scpi::parseNumber(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QTEST(*parsed, "value");
    }

    void parseBoolean_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: refused

        QTest::newRow("off, lower case") << "off" << 0;
        QTest::newRow("other number") << "2" << 1;
        QTest::newRow("rounds to zero") << "0.4" << 0;
        QTest::newRow("negative half") << "-0.5" << 1;
        QTest::newRow("beyond 64 bits") << "1e47" << 1;
        QTest::newRow("empty") << "" << -1;
    }

    void parseBoolean()
    {
        QFETCH(QString, text);
        const auto parsed = scpi::parseBoolean(text);
        QTEST(parsed.has_value() ? int(*parsed) : -1, "expected");
    }
};

QTEST_GUILESS_MAIN(TestScpi)
#include "tst_scpi.moc"
