#pragma once
// One run's link to the instrument, through the communication layer. Unlike the panels the
// command line never carries on in Simulated mode after a failure: a link that cannot be
// opened, a lost link and a reply that does not come in time each end the run with their
// message and exit status (cli/exitcodes.h). The layer's messages are kept quiet; its failure
// records and fall-backs are turned into those failures instead.

#include "cli/exitcodes.h"
#include "cli/interrupt.h"
#include "link/transport.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zop::cli {

class LinkSession {
public:
    // `linkName` names the link in messages ("tcp://127.0.0.1:50505"). The configuration
    // (link kind, address, port, device) is already in modData.
    // `interrupt` (Ctrl-C, SIGTERM) ends every command and wait of the link with its exit
    // status (130, 143).
    LinkSession(QString linkName, const Interrupt &interrupt);
    ~LinkSession();
    LinkSession(const LinkSession &) = delete;
    LinkSession &operator=(const LinkSession &) = delete;

    // Opens the configured link; throws Failure.
    void open();
    // The end of a run that went well: waits until every command written has gone out (while
    // it keeps going out, giving up after the reply time-out without progress), then closes
    // the link. Throws Failure (TimedOut) when commands were left unsent.
    void finish();
    // Throws the interrupt's failure once a signal came.
    void checkInterrupt() const;
    // Sends a command and returns its reply without the line end; throws Failure.
    QString query(const QString &command);
    // Sends a command without waiting for a reply; throws Failure.
    void send(const QString &command);
    // Sends even after a signal came, and waits until it has gone out (the stop action of a
    // run interrupted by Ctrl-C); false when the link failed. Never throws.
    bool sendRegardless(const QString &command);
    // Throws the failure when the link fell back to Simulated mode during what the caller did
    // through the layer (the state readers); `what` says what was being done.
    void ensureLink(const QString &what);
    // Empties the instrument's error queue with "SYST:ERR?" and returns the errors it held
    // (every reply whose leading number is not 0), oldest first.
    QStringList instrumentErrors();
    // After a command that got no reply in time: the link taken up again where it still works
    // (the time-out's fall-back undone, what came late discarded) and the error queue read as
    // instrumentErrors does, so the instrument can say why it did not answer ("-113"). Empty
    // when the link was lost or cannot be read.
    QStringList errorsAfterTimeOut();
    // After a command that got no reply in time: the link taken up again where it still works
    // (the time-out's fall-back undone, what came late discarded). False when it cannot be.
    bool resumeAfterTimeOut();

    // How long a query waits for its reply (the state readers always wait 2 s).
    void setReplyTimeoutMs(qint64 ms) { m_timeoutMs = ms; }

    bool simulated() const;
    QString linkName() const { return m_name; }

private:
    [[noreturn]] void fail(const QString &what);

    QString m_name;
    const Interrupt &m_interrupt;
    qint16 m_kind;
    qint64 m_timeoutMs;
    std::optional<std::pair<QString, LinkError>> m_error;
};

} // namespace zop::cli
