#include "link/commlayer.h"

#include "app/clock.h"
#include "app/moddata.h"
#include "link/logsink.h"
#include "link/transports.h"

#include <cmath>
#include <exception>

namespace zop {

LogSink::~LogSink()
{
    if (ModData *data = ModDataIfAlive(); data && data->comm.LogTarget == this)
        data->comm.LogTarget = nullptr;
}

CommLayer &Comm() { return modData().comm; }

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
        modData().prompter->Show(text, CommText::Title, icon, MsgButtons::Ok);
}

void CommLayer::appendLog(const QString &text) const
{
    if (LogTarget)
        LogTarget->appendLogText(text);
}

void CommLayer::writeRecord(const QString &heading, const LinkError &error) const
{
    const QString crlf = QStringLiteral("\r\n");
    modData().debugLog.appendRecord(heading + crlf + QStringLiteral("Error Description: ")
                                    + error.description + crlf
                                    + QStringLiteral("Error Source : ") + error.source + crlf
                                    + QStringLiteral("Error #: ") + QString::number(error.number));
    if (OnLinkError)
        OnLinkError(heading, error);
}

void CommLayer::fallBack(const QString &message)
{
    prompt(message, MsgIcon::None);
    modData().CommKind = LinkKind::Simulated;
}

void CommLayer::LinkFailed(const QString &heading, const LinkError &error)
{
    writeRecord(heading, error);
    fallBack(CommText::NotFound);
}

void CommLayer::CloseLink()
{
    if (!CommControl || !CommControl->isOpen())
        return;
    const bool socket = CommControl->controlName() == QLatin1String("tcpComm");
    CommControl->close();
    if (socket)
        modData().clock->sleepMs(SocketCloseWaitMs);
}

bool CommLayer::OpenLink()
{
    ModData &data = modData();
    LinkError error;
    const bool ok = Guarded(
        [&] {
            CloseLink();
            const qint16 kind = data.CommKind;
            if (kind >= LinkKind::Gpib && kind <= LinkKind::Rs485Framed) {
                CommControl.reset();
                std::unique_ptr<Transport> made = m_factory ? m_factory(kind) : nullptr;
                if (!made)
                    throw LinkError{QStringLiteral("No driver for this link is available"),
                                    QStringLiteral("CommControl"), 0};
                CommControl = std::move(made);
                CommControl->open();
                if (LogTarget)
                    LogTarget->setLogText(LinkLogName(kind));
                CommControl->afterOpen();
            } else if (kind == LinkKind::Simulated) {
                CommControl.reset();
                if (LogTarget)
                    LogTarget->setLogText(LinkLogName(kind));
            } else {
                prompt(CommText::NoPort, MsgIcon::Exclamation);
                data.CommKind = LinkKind::Simulated;
                CommControl.reset();
            }
        },
        error);
    if (!ok) {
        writeRecord(QStringLiteral("Initialization Error:"), error);
        if (CommControl) {
            CommControl->close();
            CommControl.reset();
        }
        fallBack(CommText::NotFound);
        return false;
    }
    appendLog(CommText::Initialized);
    return true;
}

qint32 CommLayer::SendCommand(QString &text, bool log)
{
    ModData &data = modData();
    text += QLatin1Char('\n');
    LinkError error;
    const bool ok = Guarded(
        [&] {
            switch (data.CommKind) {
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
        fallBack(CommText::NotFound);
        return 0;
    }
    if (log)
        appendLog(text);
    return text.size();
}

CommLayer::ReadEnd CommLayer::readLine(QString &reply, qint16 timeoutSeconds, bool checked)
{
    Clock &clock = *modData().clock;
    const bool runEvents = modData().CommKind == LinkKind::TcpIp;
    const qint64 start = clock.elapsedMs();
    const qint64 limit = qint64(timeoutSeconds) * 1000;
    Transport &link = transport();
    reply.clear();
    // A GPIB reply is one transfer, bounded by the device's own time-out; it is complete when
    // it holds a line feed anywhere.
    if (QByteArray transfer; link.readTransfer(transfer, checked)) {
        reply = QString::fromLatin1(transfer.left(MaxReplyChars));
        return transfer.contains('\n') ? ReadEnd::Complete : ReadEnd::TimedOut;
    }
    bool endsWithLineFeed = false;
    for (;;) {
        const QByteArray chunk = link.takeAll();
        if (!chunk.isEmpty()) {
            endsWithLineFeed = chunk.endsWith('\n');
            const qsizetype room = MaxReplyChars - reply.size();
            if (room > 0)
                reply += QString::fromLatin1(chunk.left(room));
        }
        if (endsWithLineFeed)
            return ReadEnd::Complete;
        const qint64 elapsed = clock.elapsedMs() - start;
        if (elapsed > limit)
            return ReadEnd::TimedOut;
        link.waitForInput(int(limit - elapsed + 1), runEvents);
    }
}

qint32 CommLayer::readReply(QString &reply, qint16 timeoutSeconds, bool log, bool withFallBack)
{
    ModData &data = modData();
    ReadEnd end = ReadEnd::Complete;
    LinkError error;
    const bool ok = Guarded(
        [&] {
            switch (data.CommKind) {
            case LinkKind::Gpib:
            case LinkKind::Rs232:
            case LinkKind::TcpIp:
            case LinkKind::Rs485Selected:
            case LinkKind::Rs485Framed:
                end = readLine(reply, timeoutSeconds, withFallBack);
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
            fallBack(CommText::NotFound);
        return 0;
    }
    if (end == ReadEnd::TimedOut) {
        if (withFallBack)
            fallBack(CommText::TimedOut);
        return -1;
    }
    if (log)
        appendLog(reply);
    return reply.size();
}

qint32 CommLayer::ReadReply(QString &reply, qint16 timeoutSeconds, bool log)
{
    return readReply(reply, timeoutSeconds, log, true);
}

qint32 CommLayer::ReadStatusReply(QString &reply, qint16 timeoutSeconds, bool log)
{
    return readReply(reply, timeoutSeconds, log, false);
}

void CommLayer::FlushInput()
{
    const qint16 kind = modData().CommKind;
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
        modData().clock->sleepMs(qint64(std::ceil(double(n) * 10.0)));
}

void CommLayer::TcpKeepAlive()
{
    if (modData().CommKind != LinkKind::TcpIp || KeepAliveOff || !CommControl
        || !CommControl->isConnected())
        return;
    // Nothing is read: whatever the instrument answers is left for the next flush or read. A
    // failing keep-alive is not reported; the next command finds the broken link.
    LinkError ignored;
    Guarded([&] { CommControl->write(QByteArray("\n")); }, ignored);
}

} // namespace zop
