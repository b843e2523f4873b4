// zop-panel and zop-sim as processes: the start-up sequence as the instrument sees it.

#include "simprocess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zop::test;

namespace {
QByteArray Config(quint16 port, const QByteArray &comm = "TCP/IP")
{
    QFile defaults(QStringLiteral(ZOP_BIN_DIR "/ZOP_Panel.ini"));
    if (!defaults.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = defaults.readAll();
    text.replace("Comm=Simulated", "Comm=" + comm);
    text.replace("Port=50505", "Port=" + QByteArray::number(port));
    return text;
}

// Runs zop-panel's start-up in `dir` and returns its standard output.
QByteArray RunStartup(const QString &dir)
{
    QProcess panel;
    panel.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    panel.setProcessEnvironment(env);
    panel.start(BinaryPath(QStringLiteral("zop-panel")),
                {QStringLiteral("--dir"), dir, QStringLiteral("--startup-only")});
    if (!panel.waitForFinished(15000)) {
        panel.kill();
        return "did not finish";
    }
    return panel.readAllStandardOutput();
}
} // namespace

class TestStartupE2e : public QObject {
    Q_OBJECT
private slots:
    void startupQueriesOverTcp();
    void shippedConfigurationRunsSimulated();
};

void TestStartupE2e::startupQueriesOverTcp()
{
    SimProcess sim({QStringLiteral("--volts"), QStringLiteral("30"), QStringLiteral("--amps"),
                    QStringLiteral("50")});
    QVERIFY(sim.port() != 0);
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("ZOP_Panel.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(Config(sim.port()));
    ini.close();

    const QByteArray out = RunStartup(dir.path());
    QVERIFY2(out.contains("link: TCP/IP\n"), out.constData());
    QVERIFY2(out.contains("rated: 30 V, 50 A\n"), out.constData());
    QVERIFY2(out.contains("firmware: 4.7\n"), out.constData());
    QVERIFY2(out.contains("hardware: 1.3\n"), out.constData());
    QCOMPARE(sim.received(), QByteArray("<>SCL\n<>ALL\nSYST:VERS?\nSYST:ERR?\n"));
    // "debug.txt" is emptied at the end of start-up, in the working folder.
    QFile debug(dir.filePath(QStringLiteral("debug.txt")));
    QVERIFY(debug.exists());
    QCOMPARE(debug.size(), 0);
}

void TestStartupE2e::shippedConfigurationRunsSimulated()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(QStringLiteral(ZOP_BIN_DIR "/ZOP_Panel.ini"),
                        dir.filePath(QStringLiteral("ZOP_Panel.ini"))));
    const QByteArray out = RunStartup(dir.path());
    QVERIFY2(out.contains("link: Simulated\n"), out.constData());
    QVERIFY2(out.contains("rated: 15 V, 100 A\n"), out.constData());
    QVERIFY2(out.contains("firmware: 1.0\n"), out.constData());
}

QTEST_GUILESS_MAIN(TestStartupE2e)
#include "test_startup_e2e.moc"
