#include "simprocess.h"

#include "core/inifile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>

#include <unistd.h>

namespace zop::test {

QString BinaryPath(const QString &name) { return QStringLiteral(ZOP_BIN_DIR "/") + name; }

bool WritePanelConfig(const QString &folder, const QList<ConfigKey> &keys)
{
    const QString path = QDir(folder).filePath(QStringLiteral("ZOP_Panel.ini"));
    QFile::remove(path);
    if (!QFile::copy(BinaryPath(QStringLiteral("ZOP_Panel.ini")), path))
        return false;
    for (const ConfigKey &k : keys) {
        if (!WriteProfileString(path, k.section, k.key, k.value))
            return false;
    }
    return true;
}

QByteArray RunPanelStartup(const QString &folder)
{
    QProcess panel;
    if (!StartPanel(panel, folder, {QStringLiteral("--startup-only")}) || !panel.waitForFinished(15000)) {
        panel.kill();
        return "did not finish";
    }
    return panel.readAllStandardOutput();
}

double ProcessCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // After the command name: state is field 0, utime 11, stime 12.
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

bool StartPanel(QProcess &panel, const QString &folder, const QStringList &arguments)
{
    panel.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    panel.setProcessEnvironment(env);
    panel.start(BinaryPath(QStringLiteral("zop-panel")),
                QStringList{QStringLiteral("--dir"), folder} + arguments);
    return panel.waitForStarted(5000);
}

qint64 ProcessRssKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool RemoteClient::connectTo(const QString &path, int waitMs)
{
    QDeadlineTimer deadline(waitMs);
    do {
        m_socket.connectToServer(path);
        if (m_socket.waitForConnected(500))
            return true;
        m_socket.abort();
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

QJsonObject RemoteClient::ask(const QByteArray &command, int timeoutMs)
{
    if (m_socket.state() != QLocalSocket::ConnectedState)
        return {};
    m_socket.readAll(); // a late reply to an earlier command that timed out
    m_socket.write(command + '\n');
    m_socket.flush();
    QDeadlineTimer deadline(timeoutMs);
    while (!m_socket.canReadLine()) {
        if (deadline.hasExpired() || !m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return {};
    }
    return QJsonDocument::fromJson(m_socket.readLine()).object();
}

bool RemotePanel::start(const QString &folder)
{
    const QString control = QDir(folder).filePath(QStringLiteral("control"));
    return StartPanel(process, folder, {QStringLiteral("--remote-control"), control})
        && remote.connectTo(control);
}

RemotePanel::~RemotePanel()
{
    process.kill();
    process.waitForFinished(3000);
}

QStringList BoxTexts(const QJsonObject &state)
{
    QStringList texts;
    for (const QJsonValue &box : state.value(QStringLiteral("boxes")).toArray())
        texts << box.toObject().value(QStringLiteral("text")).toString();
    return texts;
}

QList<double> ReceivedAt(const SimProcess &sim, const QByteArray &chunk)
{
    QList<double> times;
    for (const auto &received : sim.receivedChunks()) {
        if (received.second == chunk)
            times << received.first;
    }
    return times;
}

double MedianGap(const QList<double> &times)
{
    QList<double> gaps;
    for (qsizetype i = 1; i < times.size(); ++i)
        gaps << times[i] - times[i - 1];
    if (gaps.isEmpty())
        return 0;
    std::sort(gaps.begin(), gaps.end());
    return gaps[gaps.size() / 2];
}

QByteArray Unescape(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char e = text[++i];
        switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x':
            if (i + 2 < text.size()) {
                out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            }
            break;
        default: out += e; break;
        }
    }
    return out;
}

SimProcess::SimProcess(const QStringList &arguments, SimLine line)
{
    const QString link = m_dir.filePath(QStringLiteral("line"));
    m_process.setProgram(BinaryPath(QStringLiteral("zop-sim")));
    m_process.setArguments((line == SimLine::Pty    ? QStringList{QStringLiteral("--pty"), link}
                            : line == SimLine::Gpib ? QStringList{QStringLiteral("--gpib"), link}
                                : QStringList{QStringLiteral("--port"), QStringLiteral("0")})
                           + QStringList{QStringLiteral("--trace"), tracePath()} + arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return;
    static const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    static const QRegularExpression onPty(QStringLiteral("on pseudo-terminal \\S+, linked at "));
    QByteArray out;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (m_process.waitForReadyRead(int(deadline.remainingTime())))
            out += m_process.readAllStandardOutput();
        if (line == SimLine::Gpib ? out.contains("GPIB bus on ")
                                  : line == SimLine::Pty && onPty.match(QString::fromLatin1(out)).hasMatch()) {
            m_linkPath = link;
            return;
        }
        if (const auto match = listening.match(QString::fromLatin1(out)); line == SimLine::Tcp && match.hasMatch()) {
            m_port = quint16(match.captured(1).toUInt());
            return;
        }
        if (m_process.state() != QProcess::Running)
            return;
    }
}

SimProcess::~SimProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

bool SimProcess::endedWell()
{
    // Still running, it is asked to end; one that ended by itself (a line closed on purpose)
    // must have ended the same way: normally, with status 0.
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

void SimProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(3000);
}

QString SimProcess::tracePath() const { return m_dir.filePath(QStringLiteral("trace.txt")); }

QList<QByteArray> SimProcess::traceLines() const
{
    QFile file(tracePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n');
}

QList<QPair<double, QByteArray>> SimProcess::receivedChunks() const
{
    QList<QPair<double, QByteArray>> chunks;
    for (const QByteArray &line : traceLines()) {
        const qsizetype first = line.indexOf(' ');
        if (first < 0 || line.mid(first + 1, 3) != "RX ")
            continue;
        chunks.append({line.left(first).toDouble(), Unescape(line.mid(first + 4))});
    }
    return chunks;
}

QStringList SimProcess::notes() const { return traceTexts("NOTE "); }

QStringList SimProcess::changes() const { return traceTexts("CHG "); }

QStringList SimProcess::traceTexts(const QByteArray &kind) const
{
    QStringList texts;
    for (const QByteArray &line : traceLines()) {
        const qsizetype first = line.indexOf(' ');
        if (first >= 0 && line.mid(first + 1, kind.size()) == kind)
            texts << QString::fromLatin1(line.mid(first + 1 + kind.size()));
    }
    return texts;
}

QByteArray SimProcess::received() const
{
    QByteArray all;
    for (const auto &chunk : receivedChunks())
        all += chunk.second;
    return all;
}

QStringList SimProcess::receivedLines() const
{
    QStringList lines = QString::fromLatin1(received()).split(QLatin1Char('\n'));
    if (!lines.isEmpty())
        lines.removeLast(); // the text after the last line feed is no complete line
    return lines;
}

} // namespace zop::test
