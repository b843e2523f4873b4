#pragma once
// zop-sim as a child process with its trace file: on a free loopback port, or on a
// pseudo-terminal (a serial line) reached through a link in the process's own folder.

#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zop::test {

enum class SimLine { Tcp, Pty, Gpib };

class SimProcess {
public:
    // Starts the emulator with `--port 0 --trace <file>` (Tcp) or `--pty <link> --trace
    // <file>` (Pty) and the given extra arguments; waits for it to say which port it listens
    // on or which terminal it made. QVERIFY-style failures are reported by port() == 0
    // (Tcp) or an empty linkPath() (Pty).
    explicit SimProcess(const QStringList &arguments = {}, SimLine line = SimLine::Tcp);
    ~SimProcess();

    quint16 port() const { return m_port; }
    // The link to the pseudo-terminal, for the panel's "Device" setting (Pty); the socket of
    // the GPIB bus, for the stand-in library's ZOP_GPIB_SOCKET (Gpib).
    QString linkPath() const { return m_linkPath; }
    // What the emulator made of the serial frames, in order (Pty).
    QStringList notes() const;
    // Every change of the setpoints, the output and the alarms, in order ("volt 2.000").
    QStringList changes() const;
    // True while the emulator runs.
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    // Ends the emulator at once, as a pulled cable or a crash would: its serial line vanishes.
    void kill();
    // Ends the emulator with SIGTERM (unless it has ended already); true when it ended normally
    // with status 0 (no crash, no sanitizer report).
    bool endedWell();
    QString tracePath() const;
    // Everything the emulator received, unescaped and joined, in order.
    QByteArray received() const;
    // Every complete line the emulator received, without its line feed.
    QStringList receivedLines() const;
    // Each received chunk's time stamp (seconds since the emulator started) with its text.
    QList<QPair<double, QByteArray>> receivedChunks() const;

private:
    QList<QByteArray> traceLines() const;
    // The texts of the trace lines of one kind ("NOTE ", "CHG ").
    QStringList traceTexts(const QByteArray &kind) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_linkPath;
};

// Where the built programs are.
QString BinaryPath(const QString &name);

// A key of ZOP_Panel.ini to set: section, key, value.
struct ConfigKey {
    QString section;
    QString key;
    QString value;
};
// Copies the shipped ZOP_Panel.ini into `folder` and sets the given keys in it.
bool WritePanelConfig(const QString &folder, const QList<ConfigKey> &keys);
// Runs zop-panel's start-up only (offscreen) with `folder` as program and working folder;
// returns what it printed.
QByteArray RunPanelStartup(const QString &folder);

// CPU seconds (user + system) a running process has used so far (Linux /proc); -1 when
// unknown.
double ProcessCpuSeconds(qint64 pid);
// Starts zop-panel (offscreen) with `folder` as program and working folder and the given
// extra arguments; false when it did not start.
bool StartPanel(QProcess &panel, const QString &folder, const QStringList &arguments = {});
// The resident memory of a running process in KiB (Linux /proc); -1 when unknown.
qint64 ProcessRssKiB(qint64 pid);

// A client of zop-panel's remote control (--remote-control PATH).
class RemoteClient {
public:
    // Connects to the socket at `path`, trying for up to `waitMs` while the program starts.
    bool connectTo(const QString &path, int waitMs = 10000);
    // Sends one command and returns its JSON reply; an empty object when none came within
    // `timeoutMs` (the window does not answer).
    QJsonObject ask(const QByteArray &command, int timeoutMs = 1000);

private:
    QLocalSocket m_socket;
};
// zop-panel started (StartPanel) with its remote control at `folder`/control and a client
// connected to it; killed when this ends.
struct RemotePanel {
    bool start(const QString &folder);
    ~RemotePanel();
    QProcess process;
    RemoteClient remote;
};
// The texts of the message boxes a remote-control "state" reply lists.
QStringList BoxTexts(const QJsonObject &state);
// When the emulator received `chunk` (seconds since it started), in order.
QList<double> ReceivedAt(const SimProcess &sim, const QByteArray &chunk);
// The median gap between successive times (0 for fewer than two).
double MedianGap(const QList<double> &times);

// Undoes the trace file's escapes (\n, \r, \t, \\, \xHH).
QByteArray Unescape(const QByteArray &text);

} // namespace zop::test
