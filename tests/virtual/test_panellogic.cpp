// The virtual panels' decisions that need no window.

#include "panels/virtual/panellogic.h"
#include "panels/virtual/series.h"
#include "panels/virtual/trendbuffer.h"
#include "state/numbertext.h"

#include <QtTest>

using namespace zop;

class TestPanelLogic : public QObject {
    Q_OBJECT
private slots:
    void unpackBits();
    void pollFields();
    void forbiddenLetters();
    void typedEntry_data();
    void typedEntry();
    void tlbItemCycle_data();
    void tlbItemCycle();
    void seriesItemCycle_data();
    void seriesItemCycle();
    void stepping_data();
    void stepping();
    void stepSizes_data();
    void stepSizes();
    void clampAndWrap();
    void displayText_data();
    void displayText();
    void periodFormats();
    void shortestText();
    void legendsAndHints();
    void trendRing();
    void trendCsv();
};

void TestPanelLogic::unpackBits()
{
    const StatusBits bits = UnpackBits(72);
    QVERIFY(bits[3] && bits[6]);
    QCOMPARE(std::count(bits.begin(), bits.end(), true), 2);
    QVERIFY(UnpackBits(1 << 16)[16]);
    const StatusBits all = UnpackBits(-1);
    QCOMPARE(std::count(all.begin(), all.end(), true), 17);
}

void TestPanelLogic::pollFields()
{
    const auto fields = PollFields(QStringLiteral("3A98,1F4,48,0,3\r\n"));
    QCOMPARE(fields, (std::vector<qint32>{15000, 500, 72, 0, 3}));
    QVERIFY(PollFields(QString()).empty());
    QCOMPARE(PollFields(QStringLiteral("9.999\r\n")).size(), size_t(1));
    QVERIFY_THROWS_EXCEPTION(DecodeError, PollFields(QStringLiteral("1,FFFFFFFFF,2,3")));
}

void TestPanelLogic::forbiddenLetters()
{
    QCOMPARE(ForbiddenReplyLetter(QStringLiteral("3A98,1F4,48,0,3")), char(0));
    QCOMPARE(ForbiddenReplyLetter(QStringLiteral("3B98,1F4,48,0,3")), char(0)); // upper case is fine
    QCOMPARE(ForbiddenReplyLetter(QStringLiteral("3b98,1F4")), 'b');
    QCOMPARE(ForbiddenReplyLetter(QStringLiteral("j")), 'j');
}

void TestPanelLogic::typedEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("four digits") << "12345" << "1234";
    QTest::newRow("point after four") << "1234." << "1234.";
    QTest::newRow("point then more") << "1234.56" << "1234.";
    QTest::newRow("leading point") << "." << "0.";
    QTest::newRow("leading point digits") << ".5" << "0.5";
    QTest::newRow("second point dropped") << "1.2.3" << "1.23";
    QTest::newRow("letters dropped") << "1a" << "1";
    QTest::newRow("minus dropped") << "-5" << "5";
    QTest::newRow("empty") << "" << "";
}

void TestPanelLogic::typedEntry()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QCOMPARE(FilterTypedEntry(typed), kept);
}

void TestPanelLogic::tlbItemCycle_data()
{
    QTest::addColumn<int>("power");
    QTest::addColumn<QList<int>>("cycle");
    QTest::newRow("standby") << int(Power::Standby) << QList<int>{6, 7, 8, 9, 10, 11, 5};
    QTest::newRow("output on: no configuration") << int(Power::On) << QList<int>{6, 7, 8, 9, 11, 5};
    QTest::newRow("on and armed: values only") << int(Power::OnArmed) << QList<int>{6, 7, 8, 9, 5};
}

void TestPanelLogic::tlbItemCycle()
{
    QFETCH(int, power);
    QFETCH(QList<int>, cycle);
    qint16 level = 5;
    QList<int> seen;
    for (int i = 0; i < cycle.size(); ++i)
        seen << (level = NextTlbMenuLevel(level, qint16(power)));
    QCOMPARE(seen, cycle);
}

void TestPanelLogic::seriesItemCycle_data()
{
    QTest::addColumn<bool>("gz");
    QTest::addColumn<int>("power");
    QTest::addColumn<QList<int>>("cycle");
    QTest::newRow("KM standby") << false << int(Power::Standby) << QList<int>{8, 9, 10, 7};
    QTest::newRow("KM on") << false << int(Power::On) << QList<int>{8, 10, 7};
    QTest::newRow("GZ standby") << true << int(Power::Standby) << QList<int>{10, 9, 10};
    QTest::newRow("GZ on stays at 10") << true << int(Power::On) << QList<int>{10, 10};
}

void TestPanelLogic::seriesItemCycle()
{
    QFETCH(bool, gz);
    QFETCH(int, power);
    QFETCH(QList<int>, cycle);
    qint16 level = gz ? 9 : 7;
    QList<int> seen;
    for (int i = 0; i < cycle.size(); ++i)
        seen << (level = NextSeriesMenuLevel(level, qint16(power), gz));
    QCOMPARE(seen, cycle);
}

void TestPanelLogic::stepping_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("interval");
    QTest::addColumn<int>("factor");
    QTest::newRow("first") << 0 << 0.25 << 1;
    QTest::newRow("eleventh") << 10 << 0.25 << 1;
    QTest::newRow("twelfth") << 11 << 0.15 << 3;
    QTest::newRow("thirty-first") << 30 << 0.15 << 3;
    QTest::newRow("thirty-second") << 31 << 0.1 << 13;
}

void TestPanelLogic::stepping()
{
    QFETCH(int, count);
    QFETCH(double, interval);
    QFETCH(int, factor);
    QCOMPARE(StepInterval(count), interval);
    QCOMPARE(StepFactor(StepInterval(count), 5, 11), factor);
    // In the calibration menus the fastest steps stay small.
    QCOMPARE(StepFactor(0.1, 11, 11), 3);
}

void TestPanelLogic::stepSizes_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("level");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("step");
    QTest::newRow("0.0") << "0.0" << 5 << 1.0 << 0.101;
    QTest::newRow("0.00") << "0.00" << 5 << 1.0 << 0.0101;
    QTest::newRow("0.000") << "0.000" << 6 << 1.0 << 0.00101;
    QTest::newRow("whole") << "0." << 6 << 1.0 << 1.0;
    QTest::newRow("memory") << "" << 4 << 1.0 << 1.0;
    QTest::newRow("period large") << "0" << 9 << 1500.0 << 1.0;
    QTest::newRow("period medium") << "0.0" << 9 << 150.0 << 0.1;
    QTest::newRow("period small") << "0.00" << 9 << 15.0 << 0.01;
}

void TestPanelLogic::stepSizes()
{
    QFETCH(QString, format);
    QFETCH(int, level);
    QFETCH(double, value);
    QFETCH(double, step);
    QCOMPARE(StepSize(format, qint16(level), value, 9), step);
}

void TestPanelLogic::clampAndWrap()
{
    QCOMPARE(ClampValue(20, 15, 0), 15.0);
    QCOMPARE(ClampValue(-1, 15, 0), 0.0);
    QCOMPARE(ClampValue(1, 16.5, 1.5), 1.5);
    QCOMPARE(ClampValue(5, 1, 2), 2.0); // the minimum wins when the limits cross
    QCOMPARE(WrapMemory(10), 0);
    QCOMPARE(WrapMemory(-1), 9);
    QCOMPARE(WrapMemory(5), 5);
    // Stepping lands on the format's grid.
    QCOMPARE(SnapToFormat(0.0101 * 3, "0.00"), 0.03);
    QCOMPARE(SnapToFormat(12.0 + 13 * 0.0101, "0.00"), 12.13);
}

void TestPanelLogic::displayText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("truncate");
    QTest::addColumn<QString>("text");
    QTest::newRow("TLB rounds") << 12.349 << "0.00" << false << "12.35";
    QTest::newRow("KM cuts") << 12.349 << "0.00" << true << "12.34";
    QTest::newRow("KM whole with point") << 123.6 << "0." << true << "123.";
    QTest::newRow("0.5 amps") << 0.5 << "0.0" << false << "0.5";
    // A rating above 8000 has no format: the value is shown whole, not with a digit cut off.
    QTest::newRow("KM without a format") << 12345.5 << "" << true << "12345.5";
    QTest::newRow("KM zero without a format") << 0.0 << "" << true << "0";
}

void TestPanelLogic::displayText()
{
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(bool, truncate);
    QFETCH(QString, text);
    QCOMPARE(DisplayText(value, format, truncate), text);
}

void TestPanelLogic::periodFormats()
{
    QCOMPARE(PeriodEditFormat(1000), QString("0"));
    QCOMPARE(PeriodDisplayFormat(1000), QString("0."));
    QCOMPARE(PeriodEditFormat(100), QString("0.0"));
    QCOMPARE(PeriodEditFormat(99.99), QString("0.00"));
}

void TestPanelLogic::shortestText()
{
    QCOMPARE(ShortestText(12.5f), QString("12.5"));
    QCOMPARE(ShortestText(13.284f), QString("13.284"));
    QCOMPARE(ShortestText(0.0f), QString("0"));
    QCOMPARE(ShortestText(1.1f * 15.0f), QString("16.5"));
}

QTEST_GUILESS_MAIN(TestPanelLogic)
void TestPanelLogic::legendsAndHints()
{
    // Each menu's legend names the value its displays show; idle shows none.
    const struct {
        qint16 role, item;
        const char *legend;
    } rows[] = {{3, -1, "TRIPS"},  {7, -1, "OVT"},   {9, -1, "PERIOD"},   {11, 2, "POT 3"},
                {11, -1, "CAL CODE"}, {11, 6, "DEFAULTS"}, {12, 6, "V SCALE"}, {12, 7, "I SCALE"},
                {12, 8, "RETURN"}, {-1, -1, ""},  {13, 0, ""}};
    for (const auto &row : rows)
        QCOMPARE(MenuLegend(row.role, row.item), QString::fromLatin1(row.legend));
    QCOMPARE(RangeHint(QStringLiteral("Volts"), 0, 60, QStringLiteral("0.00")),
             QStringLiteral("Volts, 0.00 to 60.00"));
    QCOMPARE(RangeHint(QStringLiteral("Amperes"), 0.5, 11, QStringLiteral("0.0")),
             QStringLiteral("Amperes, 0.5 to 11.0"));
}

void TestPanelLogic::trendRing()
{
    // A ring of 4 after 10 samples: the last 4, oldest first; the bound holds.
    TrendBuffer ring(4);
    QVERIFY(ring.isEmpty());
    for (int i = 0; i < 10; ++i) {
        TrendSample s;
        s.timeMs = 1000 + 200 * i;
        s.volts = i;
        ring.add(s);
        QCOMPARE(ring.size(), std::min(i + 1, 4));
    }
    QCOMPARE(ring.capacity(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(ring.at(i).volts, double(6 + i));
    QCOMPARE(ring.newest().timeMs, 1000 + 200 * 9);
    // The trailing samples of a time span; a clock set back keeps the newest run only.
    QCOMPARE(ring.firstSince(1000 + 200 * 8), 2);
    QCOMPARE(ring.firstSince(0), 0);
    QCOMPARE(ring.firstSince(1000000), 4);
    TrendSample back;
    back.timeMs = 500;
    ring.add(back);
    QCOMPARE(ring.firstSince(400), 3);
    ring.clear();
    QVERIFY(ring.isEmpty());
    QCOMPARE(TrendBuffer().capacity(), 60 * 60 * 5);
}

void TestPanelLogic::trendCsv()
{
    TrendBuffer ring(8);
    TrendSample s;
    s.timeMs = QDateTime(QDate(2026, 3, 1), QTime(13, 5, 9, 40), Qt::UTC).toMSecsSinceEpoch();
    s.volts = 12.349;
    s.amps = 0.5;
    s.wordA = 0x48;
    s.wordB = 0x281;
    ring.add(s);
    s.timeMs += 200;
    s.volts = 1234.5;
    s.wordA = -1;
    ring.add(s);
    const QByteArray rounded = TrendCsv(ring, QStringLiteral("0.00"), QStringLiteral("0.000"),
                                        false, QTimeZone::utc());
    QCOMPARE(rounded, QByteArray("Time,Voltage (V),Current (A),Status A,Status B\r\n"
                                 "2026-03-01 13:05:09.040,12.35,0.500,48,281\r\n"
                                 "2026-03-01 13:05:09.240,1234.50,0.500,FFFFFFFF,281\r\n"));
    // KM, TW and GZ cut the readings to the format, as their displays do; the time stamp
    // follows the zone it is given.
    const QList<QByteArray> cut = TrendCsv(ring, QStringLiteral("0.00"), QStringLiteral("0.0"),
                                           true, QTimeZone(3600)).split('\n');
    QCOMPARE(cut.value(1), QByteArray("2026-03-01 14:05:09.040,12.34,0.5,48,281\r"));
    QCOMPARE(TrendCsv(TrendBuffer(2), {}, {}, false, QTimeZone::utc()),
             (TrendCsvHeader + QStringLiteral("\r\n")).toLatin1());
}

#include "test_panellogic.moc"
