// RS-485 texts and waits without a port: the two-digit address (the frames built from it are
// checked on the line in test_seriallink), and the wait for the reply to an attach or
// address-change frame on a scripted line and a manual clock.

#include "link/rs485.h"
#include "testsupport.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

class TestRs485 : public QObject {
    Q_OBJECT
private slots:
    void addressText_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("text");
        QTest::newRow("15 is one digit") << "15" << "0F";
        QTest::newRow("16 is two") << "16" << "10";
        QTest::newRow("blanks around") << " 17 " << "11";
        QTest::newRow("not a number") << "abc" << "00";
        QTest::newRow("empty") << "" << "00";
        QTest::newRow("trailing text") << "12 Ohm" << "0C";
        QTest::newRow("half rounds to even, down") << "4.5" << "04";
        QTest::newRow("half rounds to even, up") << "5.5" << "06";
        QTest::newRow("above 255 takes three digits") << "256" << "100";
        QTest::newRow("negative is 32-bit two's complement") << "-1" << "FFFFFFFF";
    }

    void addressText()
    {
        QFETCH(QString, address);
        QTEST(AddressText(address), "text");
    }

    void frameReplyWait_data()
    {
        QTest::addColumn<QList<ScriptedLine::Chunk>>("reply"); // times after the frame
        QTest::addColumn<qint64>("returnsAfterMs");
        QTest::addColumn<int>("leftUnread"); // chunks still waiting when the wait ends

        using C = ScriptedLine::Chunk;
        QTest::newRow("answer at once") << QList<C>{{0, "&05OK\r"}} << qint64(0) << 0;
        QTest::newRow("answer in two pieces")
            << QList<C>{{100, "&05"}, {400, "OK\r"}} << qint64(400) << 0;
        QTest::newRow("first carriage return ends it, in mid-chunk")
            << QList<C>{{100, "&05OK\rmore"}, {200, "\r"}} << qint64(100) << 1;
        QTest::newRow("no carriage return: 2 s") << QList<C>{{100, "&05OK\n"}} << qint64(2001) << 0;
        QTest::newRow("carriage return at 2 s still counts")
            << QList<C>{{2000, "\r"}} << qint64(2000) << 0;
        QTest::newRow("carriage return after 2 s is not waited for")
            << QList<C>{{2500, "\r"}} << qint64(2001) << 1;
    }

    void frameReplyWait()
    {
        QFETCH(QList<ScriptedLine::Chunk>, reply);
        Fixture f;
        ScriptedTransport link(f.line);
        link.open();
        const qint64 start = f.clock->elapsedMs();
        f.line->responder = [&](const QByteArray &) { return reply; };
        link.write(AttachFrame("5", false));
        AwaitFrameReply(link, start);
        QTEST(f.clock->elapsedMs() - start, "returnsAfterMs");
        QTEST(int(f.line->pending.size()), "leftUnread");
        QVERIFY(f.prompter->shown.isEmpty()); // a missing reply is not an error
        QCOMPARE(f.debugText(), QString());
    }

    void controlExchangeOutsideSerialLinks()
    {
        // In Simulated mode and on a TCP/IP link the frames are never sent.
        Fixture f;
        for (qint16 kind : {LinkKind::Simulated, LinkKind::TcpIp}) {
            modData().CommKind = kind;
            modData().CommAddress = "17";
            QVERIFY(OpenLink());
            Rs485Attach(false);
            Rs485ChangeAddress("32");
            QCOMPARE(f.line->written, QList<QByteArray>{});
            QCOMPARE(modData().CommKind, kind);
        }
    }
};

QTEST_GUILESS_MAIN(TestRs485)
#include "test_rs485.moc"
