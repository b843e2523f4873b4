#pragma once
// What the tests share: a prompter that records, a scripted instrument line on a manual clock,
// and a fresh global state in a temporary program folder.

#include "core/clock.h"
#include "app/moddata.h"
#include "core/prompter.h"
#include "link/transport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <deque>
#include <sys/resource.h>
#include <functional>
#include <memory>
#include <vector>

namespace zop::test {

// Runs the process as user and group nobody (65534) without supplementary groups until
// destroyed, when it runs as root: the system then refuses what a user would be refused (a
// device node outside the user's groups), which root itself is never refused. Not root:
// nothing changes and dropped() is false.
class Unprivileged {
public:
    Unprivileged();
    ~Unprivileged();
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;
    bool dropped() const { return m_dropped; }

private:
    bool m_wasRoot = false;
    bool m_dropped = false;
    std::vector<unsigned> m_groups;
};

// What the file at `path` holds; empty when it cannot be read.
QByteArray FileBytes(const QString &path);

// Until destroyed, no file of this process may grow past `bytes` (a full disk): writes beyond
// fail instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(quint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_before{};
    void (*m_handler)(int);
};

struct Prompt {
    QString text;
    QString title;
    MsgIcon icon;
    MsgButtons buttons;
    QString details; // the box's informative text
};

class RecordingPrompter : public Prompter {
public:
    MsgAnswer Show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override
    {
        return record({text, title, icon, buttons, QString()});
    }
    MsgAnswer ShowWithDetails(const QString &text, const QString &details, const QString &title,
                              MsgIcon icon, MsgButtons buttons) override
    {
        return record({text, title, icon, buttons, details});
    }
    MsgAnswer record(const Prompt &prompt)
    {
        shown.append(prompt);
        if (whileShown) // what the event loop of a modal box would run meanwhile
            whileShown();
        return answers.empty() ? MsgAnswer::Ok : takeAnswer();
    }
    QStringList texts() const
    {
        QStringList result;
        for (const Prompt &p : shown)
            result << p.text;
        return result;
    }
    QList<Prompt> shown;
    std::deque<MsgAnswer> answers;
    std::function<void()> whileShown;

private:
    MsgAnswer takeAnswer()
    {
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

// The far end of a scripted link: what the program wrote, and what it will receive when. A
// responder turns each written command into reply chunks due some milliseconds later; waits
// move the manual clock straight to the next chunk (or the end of the wait).
class ScriptedLine {
public:
    struct Chunk {
        qint64 afterMs;
        QByteArray bytes;
    };
    using Responder = std::function<QList<Chunk>(const QByteArray &command)>;

    explicit ScriptedLine(std::shared_ptr<ManualClock> clock) : clock(std::move(clock)) {}

    // Answers each listed command (line feed stripped) with its reply at once.
    void answer(const QString &command, const QByteArray &reply)
    {
        replies[command.toLatin1()] = reply;
    }

    std::shared_ptr<ManualClock> clock;
    Responder responder;
    QMap<QByteArray, QByteArray> replies;
    QList<QByteArray> written;
    // Faults.
    bool failOpen = false;
    bool failWrite = false;
    bool lost = false; // the link is gone: reads and writes fail
    bool open = false;
    bool connected = true;
    int opens = 0;
    int closes = 0;
    // Runs inside every wait, as the window events of a TCP/IP wait would.
    std::function<void()> duringWait;
    // Faults of the program: a transport deleted while a wait was inside it, a take from a
    // transport after it was closed.
    int deletedInWait = 0;
    int takesAfterClose = 0;
    // The most one take returned.
    qsizetype largestTake = 0;

    // Commands written, each without its final line feed.
    QStringList commands() const
    {
        QStringList result;
        for (const QByteArray &w : written)
            result << QString::fromLatin1(w.endsWith('\n') ? w.chopped(1) : w);
        return result;
    }

    void deliver(qint64 atMs, const QByteArray &bytes) { pending.push_back({atMs, bytes}); }
    std::deque<Chunk> pending; // absolute due times
};

// The three lists of the shipped settings: panels, link kinds, series.
inline const QByteArray ConfigLists =
    "[Form_List]\r\nItem00=0,Virtual Control Panel\r\nItem01=1,Command Panel\r\n"
    "Item02=2,Register Panel\r\nItem03=3,Calibration Panel\r\nItem04=4,Modulation Panel\r\n"
    "[Comm_List]\r\nItem00=0,GPIB\r\nItem01=1,RS232\r\nItem02=2,TCP/IP\r\n"
    "Item03=3,RS485\r\nItem04=4,RS485 Framed\r\nItem05=5,Simulated\r\n"
    "[Syst_List]\r\nItem00=0,GZ Series\r\nItem01=1,GZ2 Series\r\nItem02=2,TLB Series\r\n"
    "Item03=3,KM Series\r\nItem04=4,TW Series\r\n";

// Answers the queries of an instrument state refresh (ratings, settings, versions, errors) the
// way a TLB instrument rated 30 V and 50 A does.
inline void AnswerStateRefresh(ScriptedLine &line)
{
    line.answer(QStringLiteral("<>SCL"), "7530,C350\r\n");
    line.answer(QStringLiteral("<>ALL"), "2EE0,1388,33E4,5DC0,3E8,3,1194\r\n");
    line.answer(QStringLiteral("SYST:VERS?"), "ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n");
    line.answer(QStringLiteral("SYST:ERR?"), "0,\"No error\"\r\n");
}

class ScriptedTransport : public Transport {
public:
    explicit ScriptedTransport(std::shared_ptr<ScriptedLine> line, QString name = QStringLiteral("tcpComm"))
        : m_line(std::move(line)), m_name(std::move(name))
    {
    }
    ~ScriptedTransport() override
    {
        if (m_waiting)
            ++m_line->deletedInWait;
    }
    void open() override
    {
        ++m_line->opens;
        if (m_line->failOpen)
            throw LinkError{QStringLiteral("Port not found"), m_name, 8002};
        m_line->open = true;
    }
    void close() override
    {
        ++m_line->closes;
        m_line->open = false;
        m_closed = true;
    }
    bool isOpen() const override { return m_line->open; }
    bool isConnected() const override { return m_line->open && m_line->connected && !m_line->lost; }
    void write(const QByteArray &bytes) override
    {
        if (m_line->failWrite || m_line->lost)
            throw LinkError{QStringLiteral("Not connected"), m_name, 40006};
        m_line->written << bytes;
        const QByteArray command = bytes.endsWith('\n') ? bytes.chopped(1) : bytes;
        const qint64 now = m_line->clock->elapsedMs();
        if (m_line->responder) {
            for (const auto &chunk : m_line->responder(command))
                m_line->deliver(now + chunk.afterMs, chunk.bytes);
        } else if (m_line->replies.contains(command)) {
            m_line->deliver(now, m_line->replies.value(command));
        }
    }
    QByteArray takeAll() override { return takeUpTo(ReceiveBufferBytes); }
    QByteArray takeUpTo(qint64 maxBytes) override
    {
        if (m_closed)
            ++m_line->takesAfterClose;
        QByteArray bytes;
        const qint64 now = m_line->clock->elapsedMs();
        while (!m_line->pending.empty() && m_line->pending.front().afterMs <= now
               && bytes.size() < maxBytes) {
            QByteArray &next = m_line->pending.front().bytes;
            const qsizetype n = std::min<qsizetype>(next.size(), maxBytes - bytes.size());
            bytes += next.left(n);
            next.remove(0, n);
            if (next.isEmpty())
                m_line->pending.pop_front();
        }
        m_line->largestTake = std::max(m_line->largestTake, bytes.size());
        if (bytes.isEmpty() && m_line->lost)
            throw LinkError{QStringLiteral("Connection lost"), m_name, 10053};
        return bytes;
    }
    void waitForInput(int ms, bool) override
    {
        if (m_line->duringWait) {
            m_waiting = true;
            const auto events = m_line->duringWait; // may replace the hook
            events();
            m_waiting = false;
            if (m_closed)
                return; // closing a link ends its waits
        }
        const qint64 now = m_line->clock->elapsedMs();
        qint64 until = now + ms;
        if (!m_line->pending.empty())
            until = std::min(until, std::max(now, m_line->pending.front().afterMs));
        m_line->clock->advance(until - now);
    }
    QString controlName() const override { return m_name; }

private:
    std::shared_ptr<ScriptedLine> m_line;
    QString m_name;
    bool m_waiting = false;
    bool m_closed = false;
};

// A fresh global state for one test: a temporary program and working folder, a recording
// prompter, a manual clock, "debug.txt" in the folder, and every link kind 0 to 4 opened on the
// scripted line.
class Fixture {
public:
    Fixture()
    {
        ResetModData();
        ModData &data = modData();
        data.ProgramFolder = dir.path();
        data.prompter = prompter;
        data.clock = clock;
        data.debugLog.setPath(dir.filePath(QStringLiteral("debug.txt")));
        data.comm.setTransportFactory(
            [line = line](qint16) { return std::make_unique<ScriptedTransport>(line); });
    }
    ~Fixture() { ResetModData(); }

    QString debugText() const;
    void writeFile(const QString &name, const QByteArray &text) const;
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::shared_ptr<RecordingPrompter> prompter = std::make_shared<RecordingPrompter>();
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ScriptedLine> line = std::make_shared<ScriptedLine>(clock);
};

} // namespace zop::test
