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
        Stream, // start sending `bytes` over and over (characters without a line feed when
                // empty), endlessly or until `limit` bytes are out
    };
    Kind kind = Kind::Send;
    QByteArray bytes;
    int delayMs = 0;
    qint64 limit = 0;
};

// What a stream action sends, chunk by chunk, for a link front to pace by its own backlog.
class StreamSource
{
public:
    void start(const LinkAction &action);
    void stop() { m_active = false; }
    bool isActive() const { return m_active; }
    // Whether it ends by itself (a flood) rather than running until the link closes.
    bool isBounded() const { return m_left >= 0; }
    // The next at most `most` bytes; the stream ends once its limit is out.
    QByteArray take(qsizetype most);

private:
    QByteArray m_pattern;
    qsizetype m_offset = 0;
    qint64 m_left = -1;
    bool m_active = false;
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
    // The line a flood fault repeats: 64 bytes with its line end.
    static constexpr const char *FloodLine =
        "FLOOD 0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF012345678\r\n";
    // What a binary fault puts in front of the reply.
    static constexpr char BinaryPrefix[] = {'\0', '\xe9', '\x80', '\xff', '\0'};

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
