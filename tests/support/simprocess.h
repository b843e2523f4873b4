#pragma once
// zop-sim as a child process on a free loopback port, with its trace file.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zop::test {

class SimProcess {
public:
    // Starts the emulator with `--port 0 --trace <file>` and the given extra arguments; waits
    // for it to say which port it listens on. QVERIFY-style failures are reported by port() == 0.
    explicit SimProcess(const QStringList &arguments = {});
    ~SimProcess();

    quint16 port() const { return m_port; }
    QString tracePath() const;
    // Everything the emulator received, unescaped and joined, in order.
    QByteArray received() const;
    // Every complete line the emulator received, without its line feed.
    QStringList receivedLines() const;
    // Each received chunk's time stamp (seconds since the emulator started) with its text.
    QList<QPair<double, QByteArray>> receivedChunks() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

// Where the built programs are.
QString BinaryPath(const QString &name);

// Undoes the trace file's escapes (\n, \r, \t, \\, \xHH).
QByteArray Unescape(const QByteArray &text);

} // namespace zop::test
