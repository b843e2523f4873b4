// The console's logic without a screen or an instrument: which lines are queries, which are
// refused before anything goes out, what one line sends and reads (with the error check), the
// history of distinct lines, and header completion from the command tables.

#include "app/configuration.h"
#include "engine/console.h"

#include <QtTest>

using namespace zop;

namespace {
// Records what the console did: "send X", "query X" or "check X" (a query kept out of the log).
// Queries are answered from a table; without an entry no reply comes.
struct RecordingLink : ConsoleLink {
    void send(const QString &command) override { traffic << "send " + command; }
    std::optional<QString> query(const QString &command, bool echo) override
    {
        traffic << (echo ? "query " : "check ") + command;
        if (!replies.contains(command))
            return std::nullopt;
        return replies.value(command);
    }
    QStringList traffic;
    QHash<QString, QString> replies;
};
} // namespace

class TestConsole : public QObject {
    Q_OBJECT
private slots:
    void runLine_data();
    void runLine();
    void history_data();
    void history();
    void completion_data();
    void completion();
};

void TestConsole::runLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("checkErrors");
    QTest::addColumn<QString>("errorReply"); // SYST:ERR?'s answer
    QTest::addColumn<QStringList>("traffic");
    QTest::addColumn<QStringList>("outcome"); // "query" (a reply awaited), the error, "refused"

    const QString noError = "0,\"No error\"";
    const QString undefined = "-113,\"Undefined header\"";
    const QStringList none, query{"query"}, refused{"refused"};
    const auto row = [](const char *name, const QString &line, bool checkErrors, const QString &errorReply,
                        const QStringList &traffic, const QStringList &outcome) {
        QTest::newRow(name) << line << checkErrors << errorReply << traffic << outcome;
    };
    row("command", "  VOLT 5 ", false, noError, {"send VOLT 5"}, none);
    row("query", "*IDN?", false, noError, {"query *IDN?"}, query);
    row("query in the header", "MEAS:VOLT? (@1)", false, noError, {"query MEAS:VOLT? (@1)"}, query);
    row("question mark in data only", "CAL:IDN \"a?b\"", false, noError, {"send CAL:IDN \"a?b\""}, none);
    row("checked, no error", "VOLT 5", true, noError, {"send VOLT 5", "check SYST:ERR?"}, none);
    row("checked, error", "FOO", true, undefined, {"send FOO", "check SYST:ERR?"}, {undefined});
    row("no reply, the check tells why", "MEAS:VOLT:?", true, undefined, {"query MEAS:VOLT:?", "check SYST:ERR?"},
        {"query", undefined});
    row("blank line", "   ", true, noError, {}, none);
    row("line break", "VOLT 5\nOUTP:START", true, noError, {}, refused);
    row("control character", "VOLT 5\x1b", true, noError, {}, refused);
    row("beyond 8 bits", QString("VOLT 5\u20ac"), true, noError, {}, refused);
    row("8-bit text goes", QString("CAL:IDN \"5\u00b5\""), false, noError, {QString("send CAL:IDN \"5\u00b5\"")}, none);
}

void TestConsole::runLine()
{
    QFETCH(QString, line);
    QFETCH(bool, checkErrors);
    QFETCH(QString, errorReply);
    RecordingLink link;
    link.replies.insert(ConsoleErrorQuery, errorReply);
    link.replies.insert("*IDN?", "Zoptrel,<b>ZOP</b>");
    link.replies.insert("MEAS:VOLT? (@1)", "1.5");
    const ConsoleStep step = RunConsoleLine(line, checkErrors, link);
    QTEST(link.traffic, "traffic");
    QStringList outcome{step.queried ? "query" : "", step.error, step.refused.isEmpty() ? "" : "refused"};
    outcome.removeAll(QString());
    QTEST(outcome, "outcome");
    if (step.queried)
        QCOMPARE(step.reply, link.replies.contains(line.trimmed())
                                 ? std::optional<QString>(link.replies.value(line.trimmed()))
                                 : std::nullopt);
}

void TestConsole::history_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("keys");    // U: Up, D: Down, on a line holding "draft"
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("kept"); // the last three lines kept, oldest first

    const QStringList abc{"A", "B", "C"};
    QTest::newRow("up once: newest") << abc << "U" << "C" << abc;
    QTest::newRow("up stops at the oldest") << abc << "UUUUU" << "A" << abc;
    QTest::newRow("down again: the draft") << abc << "UUDD" << "draft" << abc;
    QTest::newRow("down at the draft stays") << abc << "D" << "draft" << abc;
    QTest::newRow("typed again moves to the end") << QStringList{"A", "B", "A", " B "} << "UU"
                                                  << "A" << QStringList{"A", "B"};
    QTest::newRow("blank lines are not kept") << QStringList{"A", "  ", ""} << "UU" << "A"
                                              << QStringList{"A"};
    QStringList many;
    for (int i = 0; i < ConsoleHistory::Capacity + 50; ++i)
        many << QString::number(i % (ConsoleHistory::Capacity + 10));
    // 210 distinct lines, "0" to "39" typed again: of those typed once, "40" to "49" drop out.
    QTest::newRow("capacity") << many << QString(ConsoleHistory::Capacity + 5, 'U') << "50"
                              << QStringList{"37", "38", "39"};
}

void TestConsole::history()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(QStringList, kept);

    ConsoleHistory history;
    for (const QString &line : typed)
        history.add(line);
    QString text = "draft";
    for (QChar key : keys)
        text = key == 'U' ? history.previous(text) : history.next(text);
    QCOMPARE(text, shown);
    const QStringList lines = history.lines();
    QCOMPARE(lines.mid(qMax(0, int(lines.size()) - 3)), kept);
    QVERIFY(lines.size() <= ConsoleHistory::Capacity);
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), lines.size());
    // What the next run reads back is the same history.
    ConsoleHistory again;
    again.setLines(lines);
    QCOMPARE(again.lines(), lines);
}

void TestConsole::completion_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("completed");
    QTest::addColumn<QStringList>("candidates");

    const auto row = [](const char *name, const QString &typed, const QString &completed, const QStringList &candidates) {
        QTest::newRow(name) << typed << completed << candidates;
    };
    row("common command", "*ID", "*IDN", {"*IDN"});
    row("short form, any case", "sour:vo", "sour:VOLTage:", {"sour:VOLTage:"});
    row("long form typed", "SOURce:VOLTage:PROT", "SOURce:VOLTage:PROTection:", {"SOURce:VOLTage:PROTection:"});
    row("several, their common part", "MEAS:", "MEAS:", {"MEAS:CURRent:", "MEAS:VOLTage:"});
    row("several, extended", "OUTP:ST", "OUTP:ST", {"OUTP:START", "OUTP:STATe", "OUTP:STOP"});
    row("an end that also leads on", "mod:tabl", "mod:TABLe", {"mod:TABLe"});
    row("short form ends the node", "SYST:ERR", "SYST:ERRor", {"SYST:ERRor"});
    for (const char *finished : {"FOO", "SOUR:FOO:L", "VOLT 5", "VOLT?"}) // unknown, a wrong node, finished
        row(finished, finished, finished, {});
}

void TestConsole::completion()
{
    QFETCH(QString, typed);
    QFETCH(QString, completed);
    QFETCH(QStringList, candidates);
    const HeaderCompletion found = CompleteHeader(typed, IEEECommandTable(), SCPICommandTable());
    QCOMPARE(found.candidates, candidates);
    QCOMPARE(found.completed, completed);
}

QTEST_GUILESS_MAIN(TestConsole)
#include "test_console.moc"
