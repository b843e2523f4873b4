#pragma once
// The communication layer: the one link to the instrument. It opens the configured link, sends
// text commands, reads text replies with a time-out, discards stale input, echoes traffic into
// the transaction log of the window in front, records errors in "debug.txt" and falls back to
// Simulated mode when the instrument cannot be reached.
//
// Every operation runs on the user-interface thread and returns only when done. The layer owns
// the link's settings (`CommKind`, address, port, device); the configuration writes them.

#include "core/prompter.h"
#include "link/gpiblink.h"
#include "link/linkkind.h"
#include "link/linkstatus.h"
#include "link/logsink.h"
#include "link/transport.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zop {


// Texts of the link's messages (title "Comm Error").
namespace CommText {
inline const QString Title = QStringLiteral("Comm Error");
inline const QString NoPort = QStringLiteral("No comm Port selected!");
inline const QString NotFound = QStringLiteral("Device not Found.  Entering Simulated Mode!");
inline const QString TimedOut = QStringLiteral("Device Timed Out.  Entering Simulated Mode!");
inline const QString Initialized = QStringLiteral("- Initialized\r\n");
// Every reply in Simulated mode.
inline const QString SimulatedReply = QStringLiteral("9.999\r\n");
} // namespace CommText

// What an opening does with the transaction log before it writes the link's name: replaces
// the log (the name starts it afresh), or keeps it and writes the name on a line under it.
enum class LogOnOpen { Replace, Keep };

class CommLayer {
public:
    // Makes the transport for a link kind (0 to 4) from the configuration; returns null when
    // this build has no transport for the kind (opening then fails like a missing device).
    using TransportFactory = std::function<std::unique_ptr<Transport>(qint16 kind)>;

    // One read keeps at most this many characters; an instrument that streams without end
    // cannot grow the program's memory past it.
    static constexpr int MaxReplyChars = 64 * 1024;
    // Closing a socket is followed by this pause before the next open.
    static constexpr int SocketCloseWaitMs = 500;

    CommLayer();
    ~CommLayer();

    // The link's settings ("Communication" of ZOP_Panel.ini).
    qint16 CommKind = LinkKind::NotConfigured;
    QString CommAddress;
    qint32 CommPort = 0;
    // The serial device named by "Device" of "Communication" (empty: the port number picks
    // the device, link/serialports.h). Used by every serial link kind when set.
    QString CommDevice;
    QString GpibEos;
    // The GPIB module: its descriptors and status copies.
    Gpib gpib;

    bool OpenLink(LogOnOpen log = LogOnOpen::Replace);
    // Appends a line feed to `text` (the caller's variable receives it), writes it on the link
    // and echoes it into `LogTarget` when `log` is set. Returns the length of the extended text.
    qint32 SendCommand(QString &text, bool log);
    qint32 SendCommand(const QString &text, bool log)
    {
        QString extended = text;
        return SendCommand(extended, log);
    }
    // Reads one reply ending with a line feed. Returns its length, or -1 after a time-out
    // (which shows a message and falls back to Simulated mode); 0 after a link error.
    qint32 ReadReply(QString &reply, qint16 timeoutSeconds, bool log);
    // The same read without message and fall-back on a time-out.
    qint32 ReadStatusReply(QString &reply, qint16 timeoutSeconds, bool log);
    // ReadReply with its time-out in milliseconds (the command line waits fractions of a
    // second too).
    qint32 ReadReplyWithin(QString &reply, qint64 timeoutMs, bool log);
    void FlushInput();
    // Waits at least n x 10 ms without letting window events run.
    void WaitTicks(float n);
    // The tick of `tcpTimer`: a lone line feed keeps an idle TCP/IP connection alive.
    void TcpKeepAlive();
    // Closes whatever link is open (the first step of every open).
    void CloseLink();
    // A link failure outside the operations above (the RS-485 control frames): writes the
    // record under `heading` ("Write Error:", "Read Error:") and falls back to Simulated mode
    // with "Device not Found.  Entering Simulated Mode!", as a failing send does.
    void LinkFailed(const QString &heading, const LinkError &error);

    // The link in use as people name it ("TCP/IP 127.0.0.1:50505"), from the configuration and
    // the device the transport opened.
    QString LinkInUse() const;
    // Which link is in use and whether it is live, or why the program is in Simulated mode.
    LinkStatus Status() const;
    // The last fall-back to Simulated mode since the link was last opened (Cause::None when
    // there was none): what the status line and the fall-back's message box tell.
    LinkFallBack LastFallBack;

    // True while a wait of the link runs (window events may run inside it on TCP/IP), or while
    // the link asks the user whether to go on (GPIB's "Device Timeout" question): no other
    // exchange may start then.
    bool isWaiting() const;
    // True while OpenLink runs (opening a socket or a port may let window events run): the
    // new link is not ready to carry a command yet.
    bool isOpening() const { return m_openDepth > 0; }

    void setTransportFactory(TransportFactory factory) { m_factory = std::move(factory); }
    TransportFactory transportFactory() const { return m_factory; }

    // The transaction log that receives echoed traffic; null when none.
    LogSink *LogTarget = nullptr;
    bool QuietMode = false;
    // Told of every link failure as its record is written, for callers without a screen that
    // report failures themselves (the command line); may be empty.
    std::function<void(const QString &heading, const LinkError &error)> OnLinkError;
    // Asked while a read waits, every CancelCheckMs at least: true ends the read at once as
    // an interrupted one (no message, no fall-back). For callers that must stop on a signal
    // (the command line's Ctrl-C); may be empty.
    std::function<bool()> Cancelled;
    // Told after a real link (not Simulated mode) has opened; may be empty.
    std::function<void()> OnLinkOpened;
    static constexpr int CancelCheckMs = 50;
    bool KeepAliveOff = false;
    // The active transport; null in Simulated mode and before the first open.
    std::unique_ptr<Transport> CommControl;

private:
    // Interrupted: the link was closed, re-opened or replaced while the read waited (window
    // events ran meanwhile); the read ends with what it had, as a failure without message.
    enum class ReadEnd { Complete, TimedOut, Interrupted };
    ReadEnd readLine(QString &reply, qint64 timeoutMs, bool checked);
    qint32 readReply(QString &reply, qint64 timeoutMs, bool log, bool withFallBack);
    void writeRecord(const QString &heading, const LinkError &error) const;
    // Shows `message` with the details of `failure`, keeps it as LastFallBack and switches to
    // Simulated mode.
    void fallBack(const QString &message, const LinkFallBack &failure);
    LinkFallBack failure(LinkFallBack::Cause cause, const QString &reason,
                         int timeoutSeconds = 0) const;
    void prompt(const QString &text, MsgIcon icon) const;
    void appendLog(const QString &text) const;
    // The link's log name at the start of an opening's log line.
    void logLinkName(qint16 kind, LogOnOpen log) const;
    void appendTraffic(const QString &text, LogTraffic traffic) const;
    Transport &transport();
    // Lets the transport wait for input (or finish opening) while window events may run.
    // Whatever those events do to the link, the transport stays alive until the outermost
    // wait has returned: a link replaced meanwhile is closed at once and deleted afterwards.
    template <typename Body>
    void waitOn(Body &&body);
    // Closes and lets go of the active transport (kept until no wait runs).
    void retireTransport();

    TransportFactory m_factory;
    // Counts the closings of the link: a wait that finds it changed knows that its transport
    // is no longer the link.
    quint64 m_linkGeneration = 0;
    int m_waitDepth = 0;
    int m_openDepth = 0;
    std::vector<std::unique_ptr<Transport>> m_retired;
};

// The program's one layer (its owner, the global state, makes it) and its operations, named as
// every window calls them.
CommLayer &Comm();
// The layer while the program runs; null once it is shutting down (for late destructors).
CommLayer *CommIfAlive();
inline bool OpenLink(LogOnOpen log = LogOnOpen::Replace) { return Comm().OpenLink(log); }
inline qint32 SendCommand(QString &text, bool log) { return Comm().SendCommand(text, log); }
inline qint32 SendCommand(const QString &text, bool log) { return Comm().SendCommand(text, log); }
inline qint32 ReadReply(QString &reply, qint16 timeoutSeconds, bool log)
{
    return Comm().ReadReply(reply, timeoutSeconds, log);
}
inline qint32 ReadStatusReply(QString &reply, qint16 timeoutSeconds, bool log)
{
    return Comm().ReadStatusReply(reply, timeoutSeconds, log);
}
inline void FlushInput() { Comm().FlushInput(); }
inline void WaitTicks(float n) { Comm().WaitTicks(n); }

} // namespace zop
