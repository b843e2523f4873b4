#pragma once
// One physical link (serial port, TCP socket, GPIB device). A transport only opens, closes,
// writes bytes, takes what has arrived and waits for more; the communication layer decides
// what a reply is, how long to wait and what a failure means.

#include <QByteArray>
#include <QString>
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
    // Takes everything received so far (possibly nothing); throws LinkError when the link has
    // been lost and nothing is left to take.
    virtual QByteArray takeAll() = 0;
    // Waits at most `ms` milliseconds for more input. `runEvents` says whether window events
    // may run meanwhile (TCP waits) or not (serial waits). Returns early when input arrives or
    // the link fails; it must block, never spin.
    virtual void waitForInput(int ms, bool runEvents) = 0;

    // The device itself, for a user driven by the event loop that reads on its readyRead and
    // writes without blocking; null when the transport has none (its input is then only seen
    // by polling takeAll()).
    virtual QIODevice *inputDevice() { return nullptr; }

    // The name used in "debug.txt" records for errors of this transport.
    virtual QString controlName() const = 0;
};

} // namespace zop
