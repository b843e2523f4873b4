// The instrument state readers: decoding of "<>ALL", "<>SCL", "<>POT" and "SYST:VERS?", the
// defaults of short replies, the partial updates of malformed ones, the number formats.

#include "link/logsink.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"
#include "testsupport.h"

#include <QtTest>

#include <limits>

using namespace zop;
using namespace zop::test;

namespace {
// A scripted TCP/IP link answering the given replies.
void Connect(Fixture &f, const QMap<QString, QByteArray> &replies)
{
    modData().CommKind = 2;
    QVERIFY(OpenLink());
    for (auto it = replies.begin(); it != replies.end(); ++it)
        f.line->answer(it.key(), it.value());
}

const SettingsRecord Untouched{1, 2, 3, 4, 5, 6};
} // namespace

Q_DECLARE_METATYPE(zop::SettingsRecord)

class TestInstrumentState : public QObject {
    Q_OBJECT
private slots:
    void hexFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<qint64>("value"); // -1: overflow
        QTest::newRow("upper") << "2EE0" << qint64(12000);
        QTest::newRow("lower") << "2ee0" << qint64(12000);
        QTest::newRow("terminator ignored") << "1194\r\n" << qint64(4500);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("not hex") << "zz" << qint64(0);
        QTest::newRow("stops at junk") << "1Fq5" << qint64(31);
        QTest::newRow("leading blank stops") << " 10" << qint64(0);
        QTest::newRow("largest") << "7FFFFFFF" << qint64(0x7FFFFFFF);
        QTest::newRow("leading zeros") << "000000000001F4" << qint64(500);
        QTest::newRow("above 7FFFFFFF") << "80000000" << qint64(-1);
        QTest::newRow("far too long") << "FFFFFFFFFFFFFFFFFFFF" << qint64(-1);
    }

    void hexFields()
    {
        QFETCH(QString, field);
        QFETCH(qint64, value);
        if (value < 0) {
            QVERIFY_THROWS_EXCEPTION(DecodeError, HexFieldValue(field));
        } else {
            QCOMPARE(qint64(HexFieldValue(field)), value);
        }
    }

    void integerConversions()
    {
        // An instrument's extreme numbers become integers without overflow.
        const qint32 largest = std::numeric_limits<qint32>::max();
        const qint32 smallest = std::numeric_limits<qint32>::min();
        const QList<QPair<double, qint32>> rows{{12.5, 12}, {13.5, 14}, {-2.5, -2},
                                                {2147483647.0, largest}, {3e9, largest},
                                                {-3e12, smallest}, {qQNaN(), 0}, {qInf(), largest}};
        for (const auto &[value, expected] : rows)
            QCOMPARE(SaturatedInt32(value), expected);
        // Halves to the even neighbour, both signs.
        for (const auto &[value, expected] : {std::pair{2.5, 2.0}, {3.5, 4.0}, {-2.5, -2.0}, {2.4999, 2.0}, {0.5, 0.0}})
            QCOMPARE(RoundHalfEven(value), expected);
        // The memory field against the single-precision record of it.
        QVERIFY(!MemoryLocationChanged(0x7FFFFFFF, float(0x7FFFFFFF)));
        QVERIFY(!MemoryLocationChanged(4, 4.0f));
        QVERIFY(MemoryLocationChanged(5, 4.0f));
    }

    void leadingDecimal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "4.70" << 4.7;
        QTest::newRow("terminated") << "1.30\r\n" << 1.3;
        QTest::newRow("blanks") << "  12" << 12.0;
        QTest::newRow("sign") << "-3.5x" << -3.5;
        QTest::newRow("word") << "Firmware" << 0.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("bare e") << "2e" << 2.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("empty") << "" << 0.0;
    }

    void leadingDecimal()
    {
        QFETCH(QString, text);
        QTEST(LeadingDecimal(text), "value");
    }

    void formatNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("0.00") << 12.0 << "0.00" << "12.00";
        QTest::newRow("0.0 rounds") << 0.5 << "0.0" << "0.5";
        QTest::newRow("halves away from zero") << 2.345 << "0.00" << "2.35";
        QTest::newRow("single precision value") << double(12.345f) << "0.00" << "12.35";
        QTest::newRow("0.000") << 1.5 << "0.000" << "1.500";
        QTest::newRow("trailing point") << 1234.4 << "0." << "1234.";
        QTest::newRow("whole") << 7.5 << "0" << "8";
        QTest::newRow("no negative zero") << -0.001 << "0.00" << "0.00";
        QTest::newRow("negative") << -1.25 << "0.0" << "-1.3";
        QTest::newRow("empty pattern") << 9000.5 << "" << "9000.5";
    }

    void formatNumber()
    {
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QTEST(FormatNumber(value, pattern), "text");
    }

    void readAll_data()
    {
        QTest::addColumn<QByteArray>("all");
        QTest::addColumn<QByteArray>("vers");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("hardware");
        QTest::addColumn<SettingsRecord>("settings");
        const auto row = [](const char *name, const QByteArray &all, const QByteArray &vers, const QString &firmware,
                            const QString &hardware, const SettingsRecord &settings) {
            QTest::newRow(name) << all << vers << firmware << hardware << settings;
        };
        row("every field", "2EE0,1388,33E4,5DC0,3E8,3,1194\r\n", "ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n",
            "4.7", "1.3", {12, 5, 13.284f, 24, 1, 3});
        const QByteArray all7 = "0,0,0,0,9C4,0,125C\r\n";
        row("two words: from field 6", all7, "ZOP 9\r\n", "4.70", "1.0", {0, 0, 0, 0, 2, 0});
        row("three words: hardware missing", all7, "a b 5.25\r\n", "5.3", "old", Untouched);
        row("six words, period 3500 rounds to even", "0,0,0,0,DAC,0,0\r\n", "a b 2.0 c d 3.04\r\n", "2.0", "3.0",
            {0, 0, 0, 0, 4, 0});
        row("period 2500 rounds to even", "0,0,0,0,9C4,0,1\r\n", "a b 1 c d 1\r\n", "1.0", "1.0", {0, 0, 0, 0, 2, 0});
        row("five fields and few words: nothing", "1,2,3,4,5\r\n", "x\r\n", "old", "old", Untouched);
        row("four fields: versions only", "1,2,3,4\r\n", "a b 6.1 c d 7.2\r\n", "6.1", "7.2", Untouched);
        // A field that cannot be decoded leaves the settings and the versions as they were, unasked.
        row("field above 7FFFFFFF", "1,2,3,80000000,5,6,7\r\n", QByteArray(), "old", "old", Untouched);
        row("huge first field", "FFFFFFFFFF,2,3,4,5,6,7\r\n", QByteArray(), "old", "old", Untouched);
        // Fewer than four fields: the defaults. A null "vers": no version query.
        for (const auto &[name, reply] : {std::pair{"empty line", "\r\n"}, {"one field", "9.999\r\n"}, {"three fields", "1,2,3\r\n"}})
            row(name, reply, QByteArray(), "1.0", "1.0", {0, 0, 16.5f, 110.0f, 0, 0});
    }

    void readAll()
    {
        QFETCH(QByteArray, all);
        QFETCH(QByteArray, vers);
        QFETCH(SettingsRecord, settings);
        Fixture f;
        Connect(f, {{"<>ALL", all}, {"SYST:VERS?", vers}});
        modData().FirmwareVersion = "old";
        modData().HardwareVersion = "old";
        modData().Settings = Untouched;
        ReadAllState();
        QTEST(modData().FirmwareVersion, "firmware");
        QTEST(modData().HardwareVersion, "hardware");
        QCOMPARE(modData().Settings, settings);
        if (!(settings == Untouched))
            QCOMPARE(modData().SettingsBackup, settings);
        QCOMPARE(f.line->commands().contains("SYST:VERS?"), !vers.isNull());
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void readScales_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<float>("volts");
        QTest::addColumn<float>("amps");
        QTest::addColumn<QString>("voltFormat");
        QTest::addColumn<QString>("currFormat");
        QTest::newRow("15 V 100 A") << QByteArray("3A98,186A0\r\n") << 15.0f << 100.0f << "0.00" << "0.0";
        QTest::newRow("short reply") << QByteArray("9.999\r\n") << 15.0f << 100.0f << "0.00" << "0.0";
        QTest::newRow("6 V 1000 A") << QByteArray("1770,F4240\r\n") << 6.0f << 1000.0f << "0.000" << "0.";
        QTest::newRow("non-hex fields are 0") << QByteArray("zz,yy\r\n") << 0.0f << 0.0f << "0.000"
                                              << "0.000";
        QTest::newRow("no answer: Simulated mode's") << QByteArray() << 15.0f << 100.0f << "0.00" << "0.0";
        QTest::newRow("field above 7FFFFFFF: all kept") << QByteArray("3A98,FFFFFFFF\r\n") << 7.0f << 9.0f << "kept" << "kept";
    }

    void readScales()
    {
        QFETCH(QByteArray, reply);
        QFETCH(float, volts);
        QFETCH(float, amps);
        Fixture f;
        Connect(f, {{"<>SCL", reply}});
        const auto ratings = [](float v, float a) { return RatingsRecord{v, 1.1f * v, 0.1f * v, a, 1.1f * a, 0.1f * a}; };
        modData().Ratings = modData().RatingsBackup = ratings(7, 9);
        modData().VoltageFormat = modData().CurrentFormat = "kept";
        ReadScales();
        const RatingsRecord expected = ratings(volts, amps);
        QCOMPARE(modData().Ratings, expected);
        QCOMPARE(modData().RatingsBackup, expected);
        QTEST(modData().VoltageFormat, "voltFormat");
        QTEST(modData().CurrentFormat, "currFormat");
        QCOMPARE(modData().CommKind, qint16(reply.isNull() ? 5 : 2)); // a time-out falls back
        QCOMPARE(f.prompter->texts(), reply.isNull() ? QStringList{"Device Timed Out.  Entering Simulated Mode!"}
                                                     : QStringList{});
    }

    void readPots_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<int>>("pots");
        QTest::addColumn<QList<int>>("backup");
        QTest::newRow("five") << QByteArray("10,20,30,40,FF\r\n") << QList<int>{16, 32, 48, 64, 255} << QList<int>{16, 32, 48, 64, 255};
        QTest::newRow("short: defaults") << QByteArray("1,2,3\r\n") << QList<int>(5, 128) << QList<int>(5, 128);
        QTest::newRow("exactly four: partial") << QByteArray("1,2,3,4\r\n") << QList<int>{1, 2, 3, 4, 9} << QList<int>(5, 9);
        QTest::newRow("above 16 bits: partial") << QByteArray("1,2,10000,4,5\r\n") << QList<int>{1, 2, 9, 9, 9} << QList<int>(5, 9);
    }

    void readPots()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QList<int>, pots);
        QFETCH(QList<int>, backup);
        Fixture f;
        Connect(f, {{"<>POT", reply}});
        modData().Pots.fill(9);
        modData().PotsBackup.fill(9);
        ReadPots();
        QCOMPARE(QList<int>(modData().Pots.begin(), modData().Pots.end()), pots);
        QCOMPARE(QList<int>(modData().PotsBackup.begin(), modData().PotsBackup.end()), backup);
    }

    void numberFormats_data()
    {
        QTest::addColumn<float>("rating");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("ok");
        QTest::newRow("7.99") << 7.99f << "0.000" << true;
        QTest::newRow("8") << 8.0f << "0.00" << true;
        QTest::newRow("79.9") << 79.9f << "0.00" << true;
        QTest::newRow("80") << 80.0f << "0.0" << true;
        QTest::newRow("800") << 800.0f << "0." << true;
        QTest::newRow("8000") << 8000.0f << "0." << true;
        QTest::newRow("8000.5") << 8000.5f << "" << false;
    }

    void numberFormats()
    {
        QFETCH(float, rating);
        Fixture f;
        modData().Ratings.VoltMax = rating;
        modData().Ratings.CurrMax = 1;
        QTEST(ChooseNumberFormats(), "ok");
        QTEST(modData().VoltageFormat, "format");
        QCOMPARE(modData().CurrentFormat, QString("0.000"));
    }

    void refreshSendsItsQueries()
    {
        Fixture f;
        TextLog log;
        Comm().LogTarget = &log;
        Connect(f, {});
        AnswerStateRefresh(*f.line);
        f.line->deliver(f.clock->elapsedMs(), "stale\r\n");
        QCOMPARE(RefreshInstrumentState(), 14);
        QCOMPARE(f.line->commands(), (QStringList{"<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?"}));
        QCOMPARE(modData().LastErrorReply, QString("0,\"No error\"\r\n"));
        QCOMPARE(modData().Ratings.VoltMax, 30.0f);
        QCOMPARE(modData().Settings.VoltSet, 12.0f);
        QCOMPARE(log.logText(), QString("TCP/IP - Initialized\r\n")); // nothing of it logged
    }
};

QTEST_GUILESS_MAIN(TestInstrumentState)
#include "test_instrumentstate.moc"
