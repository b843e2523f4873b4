#pragma once

#include "lineassembler.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zopsim {

class FaultPlan;
class Instrument;

// What a link should do after receiving bytes.
struct LinkAction
{
    enum class Kind {
        Send,   // write bytes, after delayMs milliseconds (keep the order of earlier sends)
        Close,  // close the link
        Stream, // start sending an endless run of characters without a line feed
    };
    Kind kind = Kind::Send;
    QByteArray bytes;
    int delayMs = 0;
};

// One link's conversation with the instrument: assembles the received bytes into lines, has
// the instrument handle each and turns the replies, through the fault plan, into actions for
// the link to carry out. A TCP connection owns one; a serial front end does the same with its
// port (an addressed RS-485 front end strips its framing and calls handleLine itself).
class Session
{
public:
    // The text a garbage fault answers with.
    static constexpr const char *GarbageReply = "zz#!?\r\n";

    // faults may be null (no faults). Both must outlive the session.
    Session(Instrument &instrument, FaultPlan *faults);

    QList<LinkAction> receive(QByteArrayView chunk);
    // One line without its line feed.
    QList<LinkAction> handleLine(const QByteArray &line);

    int pendingBytes() const { return m_lines.pending(); }

private:
    Instrument &m_instrument;
    FaultPlan *m_faults;
    LineAssembler m_lines;
};

} // namespace zopsim
