// The emulator's serial interface (zop-sim's Rs485Station): plain RS-232 text, the selection
// frame that only counts at 9600 baud, command frames for this instrument and for others, the
// attach and address-change frames, and bytes at a speed the instrument does not talk at.

#include "clock.h"
#include "instrument.h"
#include "powersupply.h"
#include "rs485.h"

#include <QTest>

using namespace zopsim;

namespace {

// One chunk as the line delivers it: the bytes and the speed they came at.
struct Chunk {
    qint32 baud;
    QByteArray bytes;
};

struct Bench {
    explicit Bench(int address) : supply({}, clock), instrument(supply), station(instrument, nullptr, address) {}
    // Feeds the chunks; returns everything the station asked to send, joined.
    QByteArray feed(const QList<Chunk> &chunks)
    {
        QByteArray sent;
        for (const Chunk &chunk : chunks)
            for (const LinkAction &action : station.receive(chunk.bytes, chunk.baud))
                if (action.kind == LinkAction::Kind::Send)
                    sent += action.bytes;
        return sent;
    }
    ManualClock clock;
    PowerSupply supply;
    Instrument instrument;
    Rs485Station station;
};

const QByteArray Status = "0,0,48,200,0\r\n";
const QByteArray Identity = "Zoptrel,ZOP-SIM TLB,0,4.70\r\n";

} // namespace

Q_DECLARE_METATYPE(Chunk)

class TestRs485Station : public QObject {
    Q_OBJECT
private slots:
    void conversations_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<QList<Chunk>>("chunks");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("after"); // the address afterwards, "quiet" when not selected
        using C = QList<Chunk>;
        const QByteArray select17("\x13" "11" "\x01");
        const QByteArray select5("\x13" "05" "\x01");
        const QByteArray none;
        QTest::newRow("plain RS-232 without any selection") << 17 << C{{19200, "<>STA\n"}} << Status << "17";
        QTest::newRow("selected at 9600, talks at 19200")
            << 17 << C{{9600, select17}, {19200, "\n*IDN?\n"}} << Identity << "17";
        QTest::newRow("another instrument selected: quiet")
            << 17 << C{{9600, select5}, {19200, "\n<>STA\n"}} << none << "17 quiet";
        QTest::newRow("selected again after another")
            << 17 << C{{9600, select5}, {9600, select17}, {19200, "\n<>STA\n"}} << Status << "17";
        QTest::newRow("selection at 19200 does not count")
            << 17 << C{{9600, select5}, {19200, select17 + "\n<>STA\n"}} << none << "17 quiet";
        QTest::newRow("selection split over chunks")
            << 17 << C{{9600, select5}, {9600, "\x13" "1"}, {9600, "1\x01"}, {19200, "\n<>STA\n"}} << Status << "17";
        QTest::newRow("a command at 9600 is garbage") << 17 << C{{9600, select17 + "<>STA\n"}} << none << "17";
        QTest::newRow("a command at 38400 is garbage")
            << 17 << C{{38400, "<>STA\n"}, {19200, "*IDN?\n"}} << Identity << "17";
        QTest::newRow("address digits in lower case")
            << 255 << C{{9600, select5}, {9600, "\x13" "ff" "\x01"}, {19200, "<>STA\n"}} << Status << "255";
        QTest::newRow("attach for programming") << 17 << C{{19200, "&11810\r"}} << QByteArray("&11OK\r") << "17";
        QTest::newRow("attach for another instrument") << 17 << C{{19200, "&05800\r"}} << none << "17";
        QTest::newRow("command over two frames and chunks")
            << 5 << C{{19200, "{05*ID"}, {19200, "N?\r{05"}, {19200, "\n\r"}} << Identity << "5";
        QTest::newRow("frames for another address are ignored")
            << 5 << C{{19200, "{06<>STA\n\r{05*IDN?\n\r"}} << Identity << "5";
        QTest::newRow("address change")
            << 17 << C{{19200, "%112058316024\r{20<>STA\n\r{11<>STA\n\r"}} << "%20OK\r" + Status << "32";
        QTest::newRow("address set by command, then selected there") // 0x12: 18
            << 17 << C{{19200, "SYST:COMM:SER:ADDR 18\n"}, {9600, select17}, {9600, "\x13" "12" "\x01"},
                       {19200, "\n<>STA\n"}} << Status << "18";
        QTest::newRow("address change with a wrong code") << 17 << C{{19200, "%112058316025\r"}} << none << "17";
        QTest::newRow("overlong frame is dropped, the next is taken")
            << 5 << C{{19200, "{05" + QByteArray(80, 'x') + "\r{05<>STA\n\r"}} << Status << "5";
        QTest::newRow("a brace inside a plain line is text") << 5 << C{{19200, "A{\n*IDN?\n"}} << Identity << "5";
    }

    void conversations()
    {
        QFETCH(int, address);
        QFETCH(QList<Chunk>, chunks);
        Bench bench(address);
        QTEST(bench.feed(chunks), "sent");
        QTEST(QString::number(bench.station.address()) + (bench.station.selected() ? "" : " quiet"), "after");
    }

    void notesForTheTrace()
    {
        Bench bench(17);
        bench.feed({{9600, "\x13" "05" "\x01"}, {9600, "\x13" "11" "\x01" "xy"}, {19200, "{05A\r&11800\r"}});
        QCOMPARE(bench.station.takeNotes(),
                 (QList<QByteArray>{"deselected: the selection is for 05", "selected as 11",
                                    "dropped 2 byte(s) at 9600 baud", "ignored a frame for 05",
                                    "attached"}));
        QVERIFY(bench.station.takeNotes().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRs485Station)
#include "test_rs485station.moc"
