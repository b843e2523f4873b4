// The panel's log file survives a kill: zop-panel runs a sequence against zop-sim over TCP/IP,
// both as processes, with "Log to file" on (driven through the remote control), and is killed
// with SIGKILL mid-run. Every row of the file but possibly the last must be whole.

#include "simprocess.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zop::test;

class TestLogKillE2e : public QObject {
    Q_OBJECT
private slots:
    void killedWhileLogging();
};

namespace {

const QByteArray Header
    = "time,voltage,current,voltage_set,current_set,output,status_word,alarm_word,lamps,step,event";

QList<QByteArray> Lines(const QString &path) { return FileBytes(path).split('\n'); }

// A whole row: its line end, the eleven fields of the layout (an event's text may be quoted),
// a time stamp that reads back.
bool Whole(const QByteArray &line)
{
    if (!line.endsWith('\r'))
        return false;
    const QByteArray row = line.chopped(1);
    int fields = 1;
    bool quoted = false;
    for (char c : row) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            ++fields;
    }
    return !quoted && fields == 11
        && QDateTime::fromString(QString::fromLatin1(row.left(row.indexOf(','))), Qt::ISODateWithMs).isValid();
}

} // namespace

void TestLogKillE2e::killedWhileLogging()
{
    SimProcess sim;
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    QVERIFY(WritePanelConfig(dir.path(), {{"Communication", "Comm", "TCP/IP"},
                                          {"Communication", "Port", QString::number(sim.port())}}));
    const QString sequence = dir.filePath(QStringLiteral("ramp.txt"));
    QFile ramp(sequence);
    QVERIFY(ramp.open(QIODevice::WriteOnly));
    ramp.write("set 0V 1A\noutput on\nramp volt 1V 5V 2s 1V\nwait 30s\n");
    ramp.close();
    const QString log = dir.filePath(QStringLiteral("run.csv"));
    RemotePanel panel;
    QVERIFY(panel.start(dir.path()));
    RemoteClient &remote = panel.remote;
    QTRY_VERIFY_WITH_TIMEOUT(
        remote.ask("state", 3000).value(QStringLiteral("panel")).toString() == "frmTLB", 15000);

    for (const QByteArray &command : QByteArrayList{"press mnuSequence", "choose " + sequence.toUtf8(),
                                      "press cmdOpenSequence", "choose " + log.toUtf8(),
                                      "press chkLog", "choose", "press cmdStartSequence"}) {
        QVERIFY2(!remote.ask(command).contains(QStringLiteral("error")), command.constData());
        QTest::qWait(50); // the press is carried out after its reply
    }
    // Rows of the running sequence (a step in the step column) coming in, then the kill.
    QTRY_VERIFY_WITH_TIMEOUT(Lines(log).size() > 8 && Lines(log).at(Lines(log).size() - 2).contains(",4,"), 10000);
    panel.process.kill();
    QVERIFY(panel.process.waitForFinished(3000));
    QCOMPARE(panel.process.exitStatus(), QProcess::CrashExit);

    QList<QByteArray> lines = Lines(log);
    QCOMPARE(lines.first(), Header + '\r');
    lines.removeFirst();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the last row was whole
    else if (!lines.isEmpty())
        lines.removeLast(); // possibly cut short
    QVERIFY(lines.size() > 5);
    for (const QByteArray &line : std::as_const(lines))
        QVERIFY2(Whole(line), line.constData());
    // The log showed the fourth step (1 V, then 2 V of the ramp): the instrument had it.
    QVERIFY(sim.changes().contains(QStringLiteral("volt 2.000")));
}

QTEST_GUILESS_MAIN(TestLogKillE2e)
#include "test_logkill_e2e.moc"
