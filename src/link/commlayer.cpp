#include "link/commlayer.h"

#include "core/ground.h"
#include "link/logsink.h"
#include "link/transports.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

namespace zop {

LogSink::~LogSink()
{
    if (CommLayer *comm = CommIfAlive(); comm && comm->LogTarget == this)
        comm->LogTarget = nullptr;
}

CommLayer::CommLayer() : m_factory(MakeTransport) {}
CommLayer::~CommLayer() = default;

namespace {

// Runs `body`; turns anything it throws into a LinkError.
template <typename Body>
bool Guarded(Body &&body, LinkError &error)
{
    try {
        body();
        return true;
    } catch (const LinkError &e) {
        error = e;
    } catch (const std::exception &e) {
        error = LinkError{QString::fromLocal8Bit(e.what()), QStringLiteral("ZOP Panel"), 0};
    }
    return false;
}

LinkError NotOpen()
{
    return LinkError{QStringLiteral("The link to the instrument is not open"),
                     QStringLiteral("CommControl"), 0};
}

} // namespace

Transport &CommLayer::transport()
{
    if (!CommControl)
        throw NotOpen();
    return *CommControl;
}

void CommLayer::prompt(const QString &text, MsgIcon icon) const
{
    if (!QuietMode)
        ground().prompter->Show(text, CommText::Title, icon, MsgButtons::Ok);
}

void CommLayer::appendLog(const QString &text) const
{
    if (LogTarget)
        LogTarget->appendLogText(text);
}

void CommLayer::appendTraffic(const QString &text, LogTraffic traffic) const
{
    if (LogTarget)
        LogTarget->appendTraffic(text, traffic);
}

void CommLayer::writeRecord(const QString &heading, const LinkError &error) const
{
    const QString crlf = QStringLiteral("\r\n");
    ground().debugLog.appendRecord(heading + crlf + QStringLiteral("Error Description: ")
                                    + error.description + crlf
                                    + QStringLiteral("Error Source : ") + error.source + crlf
                                    + QStringLiteral("Error #: ") + QString::number(error.number));
    if (OnLinkError)
        OnLinkError(heading, error);
}

QString CommLayer::LinkInUse() const
{
    return LinkText({CommKind, CommAddress, CommPort, CommDevice,
                     CommControl ? CommControl->deviceLocation() : QString()});
}

LinkStatus CommLayer::Status() const
{
    return DescribeLinkStatus(CommKind, LinkInUse(),
                              CommControl && CommControl->isConnected(), LastFallBack);
}

LinkFallBack CommLayer::failure(LinkFallBack::Cause cause, const QString &reason,
                                int timeoutSeconds) const
{
    return {cause, LinkInUse(), reason, timeoutSeconds};
}

void CommLayer::fallBack(const QString &message, const LinkFallBack &failure)
{
    LastFallBack = failure;
    // Start-up empties "debug.txt": the box itself says which link failed and why.
    if (!QuietMode)
        ground().prompter->ShowWithDetails(message, FallBackDetails(failure), CommText::Title,
                                            MsgIcon::None, MsgButtons::Ok);
    CommKind = LinkKind::Simulated;
}

void CommLayer::LinkFailed(const QString &heading, const LinkError &error)
{
    writeRecord(heading, error);
    const bool writing = heading.startsWith(QLatin1String("Write"));
    fallBack(CommText::NotFound,
             failure(writing ? LinkFallBack::Cause::WriteFailed : LinkFallBack::Cause::ReadFailed,
                     error.description));
}

bool CommLayer::isWaiting() const { return m_waitDepth > 0 || gpib.isPrompting(); }

template <typename Body>
void CommLayer::waitOn(Body &&body)
{
    struct Depth {
        CommLayer &layer;
        explicit Depth(CommLayer &l) : layer(l) { ++layer.m_waitDepth; }
        ~Depth()
        {
            if (--layer.m_waitDepth == 0)
                layer.m_retired.clear();
        }
    } depth(*this);
    body();
}

void CommLayer::retireTransport()
{
    if (!CommControl)
        return;
    ++m_linkGeneration;
    if (CommControl->isOpen())
        CommControl->close();
    // A wait may still be inside this transport (window events ran in it and re-opened the
    // link): it is deleted once that wait has returned.
    if (m_waitDepth > 0)
        m_retired.push_back(std::move(CommControl));
    CommControl.reset();
}

void CommLayer::CloseLink()
{
    if (!CommControl || !CommControl->isOpen())
        return;
    ++m_linkGeneration;
    const bool socket = CommControl->controlName() == QLatin1String("tcpComm");
    CommControl->close();
    if (socket)
        ground().clock->sleepMs(SocketCloseWaitMs);
}

void CommLayer::logLinkName(qint16 kind, LogOnOpen log) const
{
    if (!LogTarget)
        return;
    if (log == LogOnOpen::Replace) {
        LogTarget->setLogText(LinkLogName(kind));
        return;
    }
    const QString before = LogTarget->logText();
    LogTarget->appendLogText((before.isEmpty() || before.endsWith(QLatin1Char('\n'))
                                  ? QString()
                                  : QStringLiteral("\r\n"))
                             + LinkLogName(kind));
}

bool CommLayer::OpenLink(LogOnOpen log)
{
    LinkError error;
    // Opening a socket or a serial port lets window events run; whatever they do to the link
    // (another opening from a menu) supersedes this opening.
    std::optional<quint64> generation;
    LastFallBack = {};
    struct Opening {
        int &depth;
        explicit Opening(int &d) : depth(d) { ++depth; }
        ~Opening() { --depth; }
    } openingNow(m_openDepth);
    const auto superseded = [&] { return generation && *generation != m_linkGeneration; };
    const bool ok = Guarded(
        [&] {
            CloseLink();
            retireTransport();
            generation = m_linkGeneration;
            const qint16 kind = CommKind;
            if (kind >= LinkKind::Gpib && kind <= LinkKind::Rs485Framed) {
                std::unique_ptr<Transport> made = m_factory ? m_factory(kind) : nullptr;
                if (!made)
                    throw LinkError{QStringLiteral("No driver for this link is available"),
                                    QStringLiteral("CommControl"), 0};
                CommControl = std::move(made);
                Transport *opening = CommControl.get();
                waitOn([opening] { opening->open(); });
                if (superseded())
                    return;
                logLinkName(kind, log);
                waitOn([opening] { opening->afterOpen(); });
            } else if (kind == LinkKind::Simulated) {
                logLinkName(kind, log);
            } else {
                prompt(CommText::NoPort, MsgIcon::Exclamation);
                LastFallBack.cause = LinkFallBack::Cause::NoLinkConfigured;
                CommKind = LinkKind::Simulated;
            }
        },
        error);
    // A later opening, made while this one waited, has reported its own outcome.
    if (superseded())
        return false;
    if (!ok) {
        writeRecord(QStringLiteral("Initialization Error:"), error);
        // Named before the transport goes: it knows the device it tried.
        const LinkFallBack failed = failure(LinkFallBack::Cause::OpenFailed, error.description);
        retireTransport();
        fallBack(CommText::NotFound, failed);
        return false;
    }
    appendLog(CommText::Initialized);
    if (OnLinkOpened && CommControl)
        OnLinkOpened();
    return true;
}

qint32 CommLayer::SendCommand(QString &text, bool log)
{
    text += QLatin1Char('\n');
    LinkError error;
    const bool ok = Guarded(
        [&] {
            switch (CommKind) {
            case LinkKind::Rs485Selected:
                WaitTicks(1);
                transport().write(text.toLatin1());
                break;
            case LinkKind::Gpib:
            case LinkKind::Rs232:
            case LinkKind::TcpIp:
            case LinkKind::Rs485Framed:
                transport().write(text.toLatin1());
                break;
            case LinkKind::Simulated:
                break;
            default:
                prompt(CommText::NoPort, MsgIcon::Exclamation);
                break;
            }
        },
        error);
    if (!ok) {
        writeRecord(QStringLiteral("Write Error:"), error);
        fallBack(CommText::NotFound, failure(LinkFallBack::Cause::WriteFailed, error.description));
        return 0;
    }
    if (log)
        appendTraffic(text, LogTraffic::Sent);
    return text.size();
}

CommLayer::ReadEnd CommLayer::readLine(QString &reply, qint64 timeoutMs, bool checked)
{
    const qint16 kind = CommKind;
    const bool runEvents = kind == LinkKind::TcpIp;
    const quint64 generation = m_linkGeneration;
    const qint64 start = ground().clock->elapsedMs();
    const qint64 limit = timeoutMs;
    Transport &opened = transport(); // throws when no link is open
    reply.clear();
    if (Cancelled && Cancelled())
        return ReadEnd::Interrupted;
    // A GPIB reply is one transfer, bounded by the device's own time-out (no window events
    // run meanwhile); it is complete when it holds a line feed anywhere.
    if (QByteArray transfer; opened.readTransfer(transfer, checked)) {
        reply = QString::fromLatin1(transfer.left(MaxReplyChars));
        return transfer.contains('\n') ? ReadEnd::Complete : ReadEnd::TimedOut;
    }
    bool endsWithLineFeed = false;
    for (;;) {
        // Window events may have run in the last wait: a link closed, re-opened or replaced
        // meanwhile (or a switch to Simulated mode) ends the read with what it had.
        if (m_linkGeneration != generation || !CommControl || CommKind != kind
            || (Cancelled && Cancelled()))
            return ReadEnd::Interrupted;
        Transport *link = CommControl.get();
        // Never more than the reply may keep: once it is full, what follows is taken in
        // pieces of the same size only to find the line feed.
        const qsizetype room = MaxReplyChars - reply.size();
        const QByteArray chunk = link->takeUpTo(room > 0 ? room : MaxReplyChars);
        if (!chunk.isEmpty()) {
            endsWithLineFeed = chunk.endsWith('\n');
            if (room > 0)
                reply += QString::fromLatin1(chunk.left(room));
        }
        if (endsWithLineFeed)
            return ReadEnd::Complete;
        const qint64 elapsed = ground().clock->elapsedMs() - start;
        if (elapsed > limit)
            return ReadEnd::TimedOut;
        const int left = int(limit - elapsed + 1);
        waitOn([link, ms = Cancelled ? std::min(left, CancelCheckMs) : left, runEvents] {
            link->waitForInput(ms, runEvents);
        });
    }
}

qint32 CommLayer::readReply(QString &reply, qint64 timeoutMs, bool log, bool withFallBack)
{
    ReadEnd end = ReadEnd::Complete;
    LinkError error;
    const bool ok = Guarded(
        [&] {
            switch (CommKind) {
            case LinkKind::Gpib:
            case LinkKind::Rs232:
            case LinkKind::TcpIp:
            case LinkKind::Rs485Selected:
            case LinkKind::Rs485Framed:
                end = readLine(reply, timeoutMs, withFallBack);
                break;
            case LinkKind::Simulated:
                reply = CommText::SimulatedReply;
                break;
            default:
                prompt(CommText::NoPort, MsgIcon::Exclamation);
                break;
            }
        },
        error);
    if (!ok) {
        writeRecord(QStringLiteral("Read Error:"), error);
        if (withFallBack)
            fallBack(CommText::NotFound,
                     failure(LinkFallBack::Cause::ReadFailed, error.description));
        return 0;
    }
    if (end == ReadEnd::Interrupted)
        return -1;
    if (end == ReadEnd::TimedOut) {
        if (withFallBack)
            fallBack(CommText::TimedOut,
                     failure(LinkFallBack::Cause::TimedOut, QString(), int(timeoutMs / 1000)));
        return -1;
    }
    if (log)
        appendTraffic(reply, LogTraffic::Received);
    return reply.size();
}

qint32 CommLayer::ReadReply(QString &reply, qint16 timeoutSeconds, bool log)
{
    return readReply(reply, qint64(timeoutSeconds) * 1000, log, true);
}

qint32 CommLayer::ReadStatusReply(QString &reply, qint16 timeoutSeconds, bool log)
{
    return readReply(reply, qint64(timeoutSeconds) * 1000, log, false);
}

qint32 CommLayer::ReadReplyWithin(QString &reply, qint64 timeoutMs, bool log)
{
    return readReply(reply, timeoutMs, log, true);
}

void CommLayer::FlushInput()
{
    const qint16 kind = CommKind;
    if (kind == LinkKind::Gpib || kind == LinkKind::Simulated || !CommControl)
        return;
    if (kind == LinkKind::TcpIp || IsSerialKind(kind)) {
        // A link lost here is reported by the next command that needs it.
        LinkError ignored;
        Guarded([&] { CommControl->takeAll(); }, ignored);
    }
}

void CommLayer::WaitTicks(float n)
{
    if (n > 0)
        ground().clock->sleepMs(qint64(std::ceil(double(n) * 10.0)));
}

void CommLayer::TcpKeepAlive()
{
    if (CommKind != LinkKind::TcpIp || KeepAliveOff || !CommControl
        || !CommControl->isConnected())
        return;
    // Nothing is read: whatever the instrument answers is left for the next flush or read. A
    // failing keep-alive is not reported; the next command finds the broken link.
    LinkError ignored;
    Guarded([&] { CommControl->write(QByteArray("\n")); }, ignored);
}

} // namespace zop
