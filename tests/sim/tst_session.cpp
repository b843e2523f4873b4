// Line assembly, the per-link session with its faults, and the trace line format: everything a
// front end uses between its socket (or serial port) and the instrument.

#include "clock.h"
#include "faults.h"
#include "instrument.h"
#include "lineassembler.h"
#include "powersupply.h"
#include "session.h"
#include "trace.h"

#include <QTest>

using namespace zopsim;

namespace {

struct Bench
{
    Bench() : supply({}, clock), instrument(supply) {}
    ManualClock clock;
    PowerSupply supply;
    Instrument instrument;
};

const QByteArray FreshStatus = "0,0,48,200,0\r\n";

// Each action as "send@DELAY BYTES", "close" or "stream/LIMIT BYTES", joined by "|".
QByteArray Actions(const QList<LinkAction> &actions)
{
    QByteArrayList texts;
    for (const LinkAction &a : actions) {
        if (a.kind == LinkAction::Kind::Close)
            texts << "close";
        else if (a.kind == LinkAction::Kind::Send)
            texts << "send@" + QByteArray::number(a.delayMs) + ' ' + a.bytes;
        else
            texts << "stream/" + QByteArray::number(a.limit) + ' ' + a.bytes;
    }
    return texts.join('|');
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void lineAssembly_data()
    {
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QByteArrayList>("lines"); // "<overlong>" marks a dropped line
        QTest::addColumn<int>("pending");

        QTest::newRow("one line") << 64 << QByteArrayList{"<>STA\n"} << QByteArrayList{"<>STA"} << 0;
        QTest::newRow("CR stays for the handler") << 64 << QByteArrayList{"<>STA\r\n"} << QByteArrayList{"<>STA\r"} << 0;
        QTest::newRow("split across chunks") << 64 << QByteArrayList{"<>S", "TA", "\n"} << QByteArrayList{"<>STA"} << 0;
        QTest::newRow("two in one chunk") << 64 << QByteArrayList{"A\nB\n"} << QByteArrayList{"A", "B"} << 0;
        QTest::newRow("partial line waits") << 64 << QByteArrayList{"A\nBC"} << QByteArrayList{"A"} << 2;
        QTest::newRow("keep-alives") << 64 << QByteArrayList{"\n\n"} << QByteArrayList{"", ""} << 0;
        QTest::newRow("too long") << 8 << QByteArrayList{"123456789\nOK\n"} << QByteArrayList{"<overlong>", "OK"} << 0;
        QTest::newRow("exactly the limit, CR not counted") << 8 << QByteArrayList{"12345678\r\n"} << QByteArrayList{"12345678\r"} << 0;
        QTest::newRow("limit reached before the CR arrives") << 8 << QByteArrayList{"12345678\r", "\n"} << QByteArrayList{"12345678\r"} << 0;
        QTest::newRow("too long over chunks, reported once") << 8 << QByteArrayList{"1234", "56789", "abcdefghijk", "\nOK\n"} << QByteArrayList{"<overlong>", "OK"} << 0;
        QTest::newRow("endless line stays bounded") << 8 << QByteArrayList{"1234567890", "1234567890", "12"} << QByteArrayList{"<overlong>"} << 0;
    }

    void lineAssembly()
    {
        QFETCH(int, maxLength);
        QFETCH(QByteArrayList, chunks);

        LineAssembler assembler(maxLength);
        QByteArrayList got;
        for (const QByteArray &chunk : chunks) {
            for (const LineAssembler::Line &line : assembler.feed(chunk))
                got << (line.overlong ? QByteArray("<overlong>") : line.text);
        }
        QTEST(got, "lines");
        QTEST(assembler.pending(), "pending");
    }

    void sessionAnswersEachLine()
    {
        Bench b;
        Session session(b.instrument, nullptr);
        QVERIFY(session.receive("<>ST").isEmpty());
        QCOMPARE(Actions(session.receive("A\r\n\nVOLT 5\n*IDN?\n*CLS")),
                 "send@0 " + FreshStatus + "|send@0 Zoptrel,ZOP-SIM TLB,0,4.70\r\n");
        QCOMPARE(b.supply.setpoints().voltMv, 5000);
        QCOMPARE(session.pendingBytes(), 4);
    }

    // A --fault option, what the session does with a line when it is the only fault.
    void faultActions_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("actions"); // Actions(); "refused": the option is

        // late, cut, close, garbage and stream: on the wire in tst_simprocess.
        const QByteArray sta = "<>STA";
        QTest::newRow("silent") << "silent" << sta << QByteArray();
        QTest::newRow("other prefix: normal reply") << "silent:<>ALL" << sta << "send@0 " + FreshStatus;
        QTest::newRow("prefix ignores case") << "close:<>sta" << sta << QByteArray("close");
        QTest::newRow("prefix holding colons") << "garbage:SYST:ERR?" << QByteArray("SYST:ERR?") << QByteArray("send@0 zz#!?\r\n");
        QTest::newRow("upper case kind, late") << "LATE=5:<>STA" << sta << "send@5 " + FreshStatus;
        QTest::newRow("flood") << "flood=1" << sta << "stream/1048576 " + QByteArray(Session::FloodLine);
        QTest::newRow("binary") << "binary" << sta << "send@0 " + QByteArray("\0\xe9\x80\xff\0", 5) + FreshStatus;
        QByteArrayList bytewise;
        for (int i = 0; i < FreshStatus.size(); ++i)
            bytewise << "send@" + QByteArray::number(2 * (i + 1)) + ' ' + FreshStatus.at(i);
        QTest::newRow("bytewise") << "bytewise" << sta << bytewise.join('|');
        QTest::newRow("drop answers as usual") << "drop" << sta << "send@0 " + FreshStatus;
        QTest::newRow("no reply, nothing to fault") << "close" << QByteArray("VOLT 5") << QByteArray();
        for (const char *option : {"late=-1", "late=abc", "boom", "silent:", "flood=2048"})
            QTest::addRow("refused: %s", option) << option << sta << QByteArray("refused");
    }

    void faultActions()
    {
        QFETCH(QString, option);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, actions);

        Bench b;
        QString error;
        const auto fault = Fault::parse(option, &error);
        QCOMPARE(error.isEmpty(), fault.has_value());
        FaultPlan plan;
        if (fault)
            plan.add(*fault);
        Session session(b.instrument, &plan);
        QCOMPARE(fault ? Actions(session.receive(line + '\n')) : QByteArray("refused"), actions);
    }

    void floodEndsAfterItsBudget()
    {
        StreamSource flood;
        flood.start({LinkAction::Kind::Stream, QByteArray(Session::FloodLine), 0, 1000});
        QByteArray out;
        while (flood.isActive())
            out += flood.take(300);
        QCOMPARE(out.size(), 1000);
        QVERIFY(out.startsWith(QByteArray(Session::FloodLine) + Session::FloodLine));
        QCOMPARE(out.count('\n'), 1000 / 64);
        StreamSource endless;
        endless.start({LinkAction::Kind::Stream, {}, 0});
        QCOMPARE(endless.take(1 << 20).count('\n'), 0);
        QVERIFY(endless.isActive());
    }

    void faultPlanCountsAndPicks()
    {
        Bench b;
        FaultPlan plan;
        plan.add(*Fault::parse(QStringLiteral("garbage:<>ALL")));
        plan.add(*Fault::parse(QStringLiteral("silent")));
        plan.setAfter(3);
        Session first(b.instrument, &plan);
        Session second(b.instrument, &plan);
        QCOMPARE(first.receive("<>STA\n\n\n").size(), 1); // 1; keep-alives do not count
        QCOMPARE(second.receive("VOLT 5\n").size(), 0);   // 2, on another link
        QCOMPARE(first.receive("VOLT?\n").size(), 1);     // 3
        QCOMPARE(second.receive("VOLT?\n").size(), 0);    // 4: faulted
        // The first fault that matches wins.
        QCOMPARE(first.receive("<>ALL\n").at(0).bytes, QByteArray("zz#!?\r\n"));
        QCOMPARE(plan.handled(), 5);
    }

    void traceLine_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QByteArray>("direction");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("line");

        // Line feeds and carriage returns, RX and TX: the trace of a real exchange in tst_simprocess.
        QTest::newRow("tab and backslash") << qint64(61005) << QByteArray("RX") << QByteArray("a\tb\\c") << "61.005 RX a\\tb\\\\c";
        QTest::newRow("other bytes in hex") << qint64(7) << QByteArray("RX") << QByteArray("\x00\x1b\x7f\xe9 ~", 6) << "0.007 RX \\x00\\x1B\\x7F\\xE9 ~";
        QTest::newRow("empty chunk") << qint64(10) << QByteArray("TX") << QByteArray() << "0.010 TX ";
    }

    void traceLine()
    {
        QFETCH(qint64, ms);
        QFETCH(QByteArray, direction);
        QFETCH(QByteArray, bytes);
        QTEST(Trace::formatLine(ms, direction.constData(), bytes), "line");
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
