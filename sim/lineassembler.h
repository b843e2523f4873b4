#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zopsim {

// Collects the bytes of one link into lines ending with a line feed. Each link (a TCP
// connection, a serial port) has its own. A line longer than the limit is reported once, as
// soon as it passes the limit, and the rest of it up to its line feed is thrown away, so a
// client that never sends a line feed cannot make the buffer grow.
class LineAssembler
{
public:
    struct Line
    {
        QByteArray text;      // without the line feed (a carriage return is left in)
        bool overlong = false; // the line passed the limit and was dropped; text is empty
    };

    explicit LineAssembler(int maxLength);

    QList<Line> feed(QByteArrayView chunk);
    // Bytes of an unfinished line waiting for their line feed.
    int pending() const { return int(m_buffer.size()); }
    void clear();

private:
    QByteArray m_buffer;
    bool m_discarding = false;
    int m_maxLength;
};

} // namespace zopsim
