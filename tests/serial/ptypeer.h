#pragma once
// The far end of a serial line for tests: a pseudo-terminal the test owns, whose program end
// is reached through a link in a temporary folder. A thread at the far end records every byte
// the program writes, with the line speed set at that moment, and answers like a scripted
// instrument. A TimelineClock puts the program's waits on the same record instead of sleeping
// through them, so a test sees "bytes, wait 10 ms, bytes" in the order they happened.

#include "core/clock.h"
#include "link/logsink.h"
#include "testsupport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace zop::test {

struct LineEvent {
    enum class Kind { Bytes, Wait };
    Kind kind = Kind::Bytes;
    qint32 baud = 0;     // Bytes: the line speed they arrived at
    QByteArray bytes;    // Bytes
    qint64 waitMs = 0;   // Wait: the wait the program asked for
};
inline LineEvent At(qint32 baud, const QByteArray &bytes) { return {LineEvent::Kind::Bytes, baud, bytes, 0}; }
inline LineEvent Wait(qint64 ms) { return {LineEvent::Kind::Wait, 0, {}, ms}; }

// For QCOMPARE messages: | 9600 "\x13""05\x01" | wait 10 | 19200 "\n".
QString Describe(const QList<LineEvent> &events);
// What the peer received, once the line is quiet, compared with the events given (retried
// for 2 s: the kernel may hand the last bytes over late).
#define QCOMPARE_LINE(peer, ...) \
    do { (peer).settle(); QTRY_COMPARE_WITH_TIMEOUT(Describe((peer).events()), Describe(__VA_ARGS__), 2000); } while (false)

class PtyPeer {
public:
    struct Reply {
        int afterMs = 0;      // after the unit that caused it
        QByteArray bytes;     // written to the program
        bool closeLine = false; // instead of writing: close the line (an adapter unplugged)
    };
    // Called on the peer's thread for every unit received: the bytes up to and including a
    // line feed or a carriage return.
    using Responder = std::function<QList<Reply>(const QByteArray &unit)>;

    explicit PtyPeer(Responder responder = {});
    ~PtyPeer();

    bool isOpen() const { return m_master >= 0; }
    // The link to the program end, for the "Device" setting.
    QString path() const { return m_linkPath; }
    // The program end itself ("/dev/pts/N").
    QString devicePath() const { return m_devicePath; }

    void write(const QByteArray &bytes);
    // Closes the far end and removes the link: the program's port goes away under it.
    void closeLine();
    // Returns once nothing has arrived for 10 ms. The kernel hands the program's bytes to this
    // end later, on a busy machine much later: a test compares the last of them with a retry.
    void settle();
    // Records a wait of the program after what it has written so far.
    void markWait(qint64 ms);

    // Everything recorded, with neighbouring chunks at the same speed joined.
    QList<LineEvent> events() const;
    void clearEvents();

private:
    void run();
    qint64 nowMs() const { return m_clock.elapsed(); }
    void closeLocked();

    QTemporaryDir m_dir;
    QString m_linkPath;
    QString m_devicePath;
    int m_master = -1;
    int m_keepOpen = -1;
    Responder m_responder;
    QElapsedTimer m_clock;

    mutable std::mutex m_mutex;
    QList<LineEvent> m_events;
    QByteArray m_unit;
    struct Pending {
        qint64 dueMs;
        Reply reply;
    };
    QList<Pending> m_pending;
    qint64 m_lastReadMs = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Real time for reads, but every wait of the program is recorded on the peer's timeline and
// skipped instead of slept.
class TimelineClock : public Clock {
public:
    explicit TimelineClock(PtyPeer &peer) : m_peer(peer) { m_timer.start(); }
    qint64 elapsedMs() const override { return m_timer.elapsed() + m_skipped; }
    void sleepMs(qint64 ms) override
    {
        m_peer.markWait(ms);
        m_skipped += ms;
    }

private:
    PtyPeer &m_peer;
    QElapsedTimer m_timer;
    qint64 m_skipped = 0;
};

// The global state of one test with the real serial transports. The test sets the device and
// the clock; the ports "present" are only those in `listed`, so no real port is looked at.
struct SerialFixture : Fixture {
    SerialFixture();
    ~SerialFixture() { Comm().CommControl.reset(); }
    bool open(qint16 kind) // the link kind, opened as configured
    {
        modData().CommKind = kind;
        return OpenLink();
    }
    TextLog log;
    QStringList listed;
};

} // namespace zop::test
