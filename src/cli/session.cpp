#include "cli/session.h"

#include "app/moddata.h"
#include "link/tcptransport.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"

#include <csignal>

namespace zop::cli {

namespace {

// Messages the layer would show: kept for the failure report, never shown. The GPIB prompt
// ("Continue?") is answered No.
class SilentPrompter : public Prompter {
public:
    MsgAnswer Show(const QString &, const QString &, MsgIcon, MsgButtons buttons) override
    {
        switch (buttons) {
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel: return MsgAnswer::No;
        case MsgButtons::OkCancel: return MsgAnswer::Cancel;
        default: return MsgAnswer::Ok;
        }
    }
};

// "SYST:ERR?" is asked at most this often in one go, in case an instrument never says 0.
constexpr int MaxErrorReads = 32;

} // namespace

LinkSession::LinkSession(QString linkName, const Interrupt &interrupt)
    : m_name(std::move(linkName)),
      m_interrupt(interrupt),
      m_timeoutMs(qint64(ReplyTimeoutSeconds) * 1000)
{
    ModData &data = modData();
    data.comm.Cancelled = [&interrupt] { return interrupt.requested(); };
    m_kind = data.CommKind;
    data.comm.QuietMode = true;
    data.prompter = std::make_shared<SilentPrompter>();
    data.comm.OnLinkError = [this](const QString &heading, const LinkError &error) {
        if (!m_error)
            m_error = std::make_pair(heading, error);
    };
}

LinkSession::~LinkSession()
{
    CommLayer &comm = modData().comm;
    comm.OnLinkError = nullptr;
    comm.Cancelled = nullptr;
    // Take what has arrived, so the socket closes without resetting the connection. (Not
    // CloseLink: its pause before a re-open is no use at the end of a run.)
    comm.FlushInput();
    if (comm.CommControl)
        comm.CommControl->close();
}

bool LinkSession::simulated() const { return m_kind == LinkKind::Simulated; }

void LinkSession::checkInterrupt() const
{
    if (m_interrupt.requested())
        throw Failure{m_interrupt.exitCode(),
                      QStringLiteral("interrupted by %1")
                          .arg(m_interrupt.signalNumber() == SIGTERM ? QStringLiteral("SIGTERM")
                                                                     : QStringLiteral("Ctrl-C"))};
}

void LinkSession::finish()
{
    CommLayer &comm = modData().comm;
    if (!comm.CommControl || simulated())
        return;
    checkInterrupt();
    const bool allOut = comm.CommControl->finishWriting(
        int(m_timeoutMs), [this] { return m_interrupt.requested(); });
    checkInterrupt();
    if (!allOut)
        throw Failure{Exit::TimedOut,
                      QStringLiteral("%1: not every command went out in time (the instrument "
                                     "stopped taking them)")
                          .arg(m_name)};
}

void LinkSession::fail(const QString &what)
{
    // A wait cut short by the signal is the signal's failure, not the link's.
    checkInterrupt();
    if (m_error) {
        const QString heading = m_error->first;
        const QString verb = heading.startsWith(QLatin1String("Initialization"))
            ? QStringLiteral("cannot open %1")
            : heading.startsWith(QLatin1String("Write")) ? QStringLiteral("cannot send to %1")
                                                         : QStringLiteral("cannot read from %1");
        throw Failure{Exit::LinkFailed,
                      verb.arg(m_name) + QStringLiteral(": ") + m_error->second.description};
    }
    throw Failure{Exit::TimedOut,
                  QStringLiteral("%1: no reply in time to %2").arg(m_name).arg(what)};
}

void LinkSession::ensureLink(const QString &what)
{
    checkInterrupt();
    if (modData().CommKind != m_kind || m_error)
        fail(what);
}

void LinkSession::open()
{
    CommLayer &comm = modData().comm;
    comm.LogTarget = nullptr;
    checkInterrupt();
    // The connection wait of a TCP/IP link runs events: a signal closes the link there.
    const QMetaObject::Connection stop = QObject::connect(&m_interrupt, &Interrupt::raised, [] {
        if (modData().comm.CommControl)
            modData().comm.CommControl->close();
    });
    const bool opened = comm.OpenLink();
    QObject::disconnect(stop);
    if (!opened)
        fail(QStringLiteral("opening"));
    ensureLink(QStringLiteral("opening"));
    // A TCP/IP link counts as open before its connection is up; here that is a failure now,
    // not at the first command.
    if (auto *tcp = dynamic_cast<TcpTransport *>(comm.CommControl.get());
        tcp && !tcp->isConnected()) {
        const QString reason = tcp->socket().error() != QAbstractSocket::UnknownSocketError
            ? tcp->socket().errorString()
            : QStringLiteral("no connection");
        throw Failure{Exit::LinkFailed,
                      QStringLiteral("cannot connect to %1: %2").arg(m_name, reason)};
    }
    // Commands go out as they are written: a query right after a command without a reply
    // ("VOLT 2" then "<>STA", as every step of a run sends) would otherwise wait for the
    // instrument's delayed acknowledgement of the command (Nagle's algorithm, 40 ms on Linux).
    if (auto *tcp = dynamic_cast<TcpTransport *>(comm.CommControl.get()))
        tcp->socket().setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void LinkSession::send(const QString &command)
{
    checkInterrupt();
    SendCommand(command, false);
    ensureLink(QStringLiteral("\"%1\"").arg(command));
}

bool LinkSession::sendRegardless(const QString &command)
{
    CommLayer &comm = modData().comm;
    SendCommand(command, false);
    if (modData().CommKind != m_kind || m_error)
        return false;
    return !comm.CommControl || comm.CommControl->finishWriting(int(m_timeoutMs), [] { return false; });
}

QString LinkSession::query(const QString &command)
{
    send(command);
    QString reply;
    Comm().ReadReplyWithin(reply, m_timeoutMs, false);
    ensureLink(QStringLiteral("\"%1\"").arg(command));
    while (reply.endsWith(QLatin1Char('\n')) || reply.endsWith(QLatin1Char('\r')))
        reply.chop(1);
    return reply;
}

QStringList LinkSession::instrumentErrors()
{
    QStringList errors;
    if (simulated())
        return errors; // no instrument, no error queue
    for (int i = 0; i < MaxErrorReads; ++i) {
        const QString reply = query(QStringLiteral("SYST:ERR?"));
        if (LeadingDecimal(reply) == 0)
            break;
        errors << reply;
    }
    return errors;
}

bool LinkSession::resumeAfterTimeOut()
{
    ModData &data = modData();
    if (m_error || simulated() || !data.comm.CommControl)
        return false;
    data.CommKind = m_kind;
    data.comm.FlushInput();
    return true;
}

QStringList LinkSession::errorsAfterTimeOut()
{
    if (!resumeAfterTimeOut())
        return {};
    try {
        return instrumentErrors();
    } catch (const Failure &) {
        return {};
    }
}

} // namespace zop::cli
