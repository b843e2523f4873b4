// The virtual panels' decisions that need no window.

#include "engine/panellogic.h"
#include "engine/readinglog.h"
#include "engine/seriesspec.h"
#include "engine/trendbuffer.h"
#include "core/numbertext.h"

#include <QtTest>

using namespace zop;

class TestPanelLogic : public QObject {
    Q_OBJECT
private slots:
    void unpackBits();
    void stepSizes_data();
    void stepSizes();
    void limits();
    void texts_data();
    void texts();
    void trendRing();
    void trendCsv();
    void trendTicks_data();
    void trendTicks();
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
    QTEST(StepSize(format, qint16(level), value, 9), "step");
}

void TestPanelLogic::limits()
{
    QCOMPARE(ClampValue(5, 1, 2), 2.0); // the minimum wins when the limits cross
    // In the calibration menus the fastest steps stay small.
    QCOMPARE(StepFactor(0.1, 11, 11), 3);
    QCOMPARE(StepFactor(0.1, 5, 11), 13);
}

// What the panel writes: display texts, period formats, setpoints, range hints.
void TestPanelLogic::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("KM whole with point") << DisplayText(123.6, "0.", true) << "123.";
    // A rating above 8000 has no format: the value is shown whole, not with a digit cut off.
    QTest::newRow("KM without a format") << DisplayText(12345.5, "", true) << "12345.5";
    QTest::newRow("KM zero without a format") << DisplayText(0, "", true) << "0";
    QTest::newRow("period 1000 edited") << PeriodEditFormat(1000) << "0";
    QTest::newRow("period 1000 shown") << PeriodDisplayFormat(1000) << "0.";
    QTest::newRow("period 100") << PeriodEditFormat(100) << "0.0";
    QTest::newRow("period 99.99") << PeriodEditFormat(99.99) << "0.00";
    QTest::newRow("shortest 13.284") << ShortestText(13.284f) << "13.284";
    QTest::newRow("shortest 0") << ShortestText(0.0f) << "0";
    QTest::newRow("shortest 1.1 x 15") << ShortestText(1.1f * 15.0f) << "16.5";
    QTest::newRow("hint volts") << RangeHint("Volts", 0, 60, "0.00") << "Volts, 0.00 to 60.00";
    QTest::newRow("hint amperes") << RangeHint("Amperes", 0.5, 11, "0.0") << "Amperes, 0.5 to 11.0";
}

void TestPanelLogic::texts()
{
    QFETCH(QString, text);
    QTEST(text, "expected");
}

void TestPanelLogic::trendRing()
{
    // A ring of 4 after 10 samples: the last 4, oldest first; the bound holds.
    TrendBuffer ring(4);
    for (int i = 0; i < 10; ++i) {
        TrendSample s;
        s.timeMs = 1000 + 200 * i;
        s.volts = i;
        ring.add(s);
        QCOMPARE(ring.size(), std::min(i + 1, 4));
    }
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
    // The reading log's layout (tested whole with the log), one row per sample, oldest first.
    const QList<QByteArray> lines
        = TrendCsv(ring, SeriesSpecFor(PanelId::TLB), QStringLiteral("0.00"),
                   QStringLiteral("0.0"), QTimeZone(3600)).split('\n');
    QCOMPARE(lines, (QList<QByteArray>{
                        ReadingCsvHeader.toLatin1() + '\r',
                        "2026-03-01T14:05:09.040+01:00,12.35,0.5,0,0,off,48,281,INT CTL;STANDBY;OVT;REMOTE,,\r",
                        "2026-03-01T14:05:09.240+01:00,1234.50,0.5,0,0,off,FFFFFFFF,281,"
                        "ARM;INT CTL;EXT CTL;STANDBY;POWER;CTL (voltage);REM SEN;CTL (current);OVT;"
                        "REMOTE,,\r",
                        ""}));
}

// The trend's value axes end on a round number and tick at round steps.
void TestPanelLogic::trendTicks_data()
{
    QTest::addColumn<double>("top");   // the highest value to show
    QTest::addColumn<double>("axisTop");
    QTest::addColumn<int>("ticks");
    QTest::newRow("15 V and head room") << 15.75 << 20.0 << 5;   // 0 5 10 15 20
    QTest::newRow("60 V") << 63.0 << 80.0 << 5;                  // steps of 20
    QTest::newRow("100 A") << 105.0 << 120.0 << 7;               // steps of 20
    QTest::newRow("1.05 A") << 1.05 << 1.2 << 7;                 // steps of 0.2
    QTest::newRow("2.5 A") << 2.625 << 3.0 << 7;                 // steps of 0.5
    QTest::newRow("exactly round") << 30.0 << 30.0 << 7;         // steps of 5
    QTest::newRow("nothing yet") << 0.0 << 1.0 << 2;
}

void TestPanelLogic::trendTicks()
{
    QFETCH(double, top);
    const RoundTicks ticks = RoundAxisTicks(top);
    QTEST(ticks.tickCount, "ticks");
    QFETCH(double, axisTop);
    QVERIFY(qFuzzyCompare(ticks.top, axisTop));
    QVERIFY(ticks.top >= top);
    QVERIFY(ticks.tickCount - 1 <= RoundTicks::MaxIntervals);
}

QTEST_GUILESS_MAIN(TestPanelLogic)
#include "test_panellogic.moc"
