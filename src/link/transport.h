#pragma once
// One physical link (serial port, TCP socket, GPIB device). A transport only opens, closes,
// writes bytes, takes what has arrived and waits for more; the communication layer decides
// what a reply is, how long to wait and what a failure means.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QIODevice;

namespace zop {

// A failure of the link, carried to the communication layer which turns it into a record of
// "debug.txt". `source` names the control that failed, `number` is its error code.
struct LinkError {
    QString description;
    QString source;
    long number = 0;
};

class Transport {
public:
    // What a transport buffers of its input at most, also while nobody reads it (after a
    // fall-back to Simulated mode): an instrument that streams must never grow the program.
    // Beyond it the transport stops reading and the line's own flow control (TCP) or the
    // system's buffer (serial) holds or drops the rest.
    static constexpr qint64 ReceiveBufferBytes = 64 * 1024;

    virtual ~Transport() = default;

    // Opens the link; throws LinkError when the device cannot be opened.
    virtual void open() = 0;
    virtual void close() = 0;
    // The steps that follow the opening once the link's log name is written (the RS-485
    // selection or attach); throws LinkError like open().
    virtual void afterOpen() {}
    // True while a closing is needed before the next open (a port open, a socket not closed).
    virtual bool isOpen() const = 0;
    // True when the link can carry traffic now (a TCP connection is established).
    virtual bool isConnected() const { return isOpen(); }

    // Writes all bytes; throws LinkError when the link cannot take them.
    virtual void write(const QByteArray &bytes) = 0;
    // Before a closing that must lose nothing: waits until every byte written has left (a
    // socket's own buffer, then the system's until the peer has acknowledged it). Gives up
    // when nothing more has gone out for `stallMs`, or when `cancelled` says so; returns
    // whether everything went out. A link that writes synchronously has nothing to wait for.
    virtual bool finishWriting(int stallMs, const std::function<bool()> &cancelled)
    {
        return true;
    }
    // Takes everything received so far (possibly nothing); throws LinkError when the link has
    // been lost and nothing is left to take.
    virtual QByteArray takeAll() = 0;
    // Takes at most `maxBytes` of what has arrived, leaving the rest for the next take. A
    // transport that reads into a buffer of its own size (GPIB) may keep the default.
    virtual QByteArray takeUpTo(qint64 maxBytes) { return takeAll().left(maxBytes); }
    // Waits at most `ms` milliseconds for more input. `runEvents` says whether window events
    // may run meanwhile (TCP waits) or not (serial waits). Returns at once when input is
    // waiting, early when input arrives, the link fails or is closed; it must block, never
    // spin. When window events run, they may close this transport (the communication layer
    // keeps it alive until the wait has returned): nothing of it may be used after the wait.
    virtual void waitForInput(int ms, bool runEvents) = 0;

    // A link that carries each reply in one bounded transfer (GPIB) reads it here rather than
    // through takeAll() and waitForInput(): `reply` receives what the transfer brought, and
    // `checked` asks for the link's own failure prompt. False for a link that streams.
    virtual bool readTransfer(QByteArray &reply, bool checked) { return false; }
    // What the transport holds of its input now, not yet taken (at most ReceiveBufferBytes).
    virtual qint64 bufferedBytes() const { return 0; }
    // The device itself, for a user driven by the event loop that reads on its readyRead and
    // writes without blocking; null when the transport has none (its input is then only seen
    // by polling takeAll()).
    virtual QIODevice *inputDevice() { return nullptr; }

    // The device the link was opened on ("/dev/ttyUSB0"), for links that find one; empty
    // otherwise.
    virtual QString deviceLocation() const { return QString(); }

    // The name used in "debug.txt" records for errors of this transport.
    virtual QString controlName() const = 0;
};

} // namespace zop
