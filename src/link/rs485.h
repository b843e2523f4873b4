#pragma once
// The two ways of reaching one addressed instrument on an RS-485 bus, both over the serial
// port of serialtransport.h:
//  - selected (link kind 3): the instrument is selected once when the link opens, with a
//    selection frame at 9600 baud; after that the link is plain text at 19200 baud;
//  - framed (link kind 4): the link attaches to the instrument when it opens, and every
//    command goes out in frames that carry the instrument's address.
// The address is `CommAddress`, re-read for every frame, so a changed configuration takes
// effect with the next frame. Replies are never framed.

#include "link/serialtransport.h"

#include <QByteArray>
#include <QString>

namespace zop {

namespace Rs485 {
constexpr char DC3 = 19;
constexpr char SOH = 1;
constexpr char CR = 13;
constexpr char LF = 10;
// Characters of a command carried by one frame.
constexpr int FrameChunk = 32;
// Waits, in ticks of 10 ms: before a framed command, between its frames, and after each
// step of the selection.
constexpr float TicksBeforeFrames = 2;
constexpr float TicksBetweenFrames = 5;
constexpr float TicksAfterSelection = 1;
// How long the attach and address-change frames wait for their reply.
constexpr int ReplyWaitMs = 2000;
// The access code every address-change frame carries.
inline constexpr char AccessCode[] = "58316024";
} // namespace Rs485

// The two-digit address: the address taken as a decimal number, written in upper-case
// hexadecimal with a leading "0" below 16 (5 gives "05", 31 gives "1F", 200 gives "C8").
// Numbers above 255 take as many digits as they need; a text that is not a number counts as
// 0, a negative number as its 32-bit two's complement.
QString AddressText(const QString &address);
QString AddressText(qint64 address);

// The frames, built from address texts as configured (decimal).
QByteArray SelectionFrame(const QString &address);          // DC3 + AA + SOH
QByteArray AttachFrame(const QString &address, bool programming); // "&" AA "800"/"810" CR
QByteArray AddressChangeFrame(const QString &address, const QString &newAddress);
// "{" + AA + a chunk of up to 32 characters of a command + CR.
QByteArray CommandFrame(const QByteArray &chunk, const QString &address);

// Link kind 3: opens at 9600 baud; once open it selects the instrument, switches to 19200
// baud and wakes the instrument with a line feed. Commands go out unchanged.
class Rs485SelectedTransport : public SerialTransport {
public:
    Rs485SelectedTransport(qint32 port, QString device, SerialPortLister lister = SystemSerialPorts);
    void afterOpen() override;
};

// Link kind 4: opens at 19200 baud, drops stale input and attaches; every command is sent in
// frames of at most 32 characters, 50 ms apart.
class Rs485FramedTransport : public SerialTransport {
public:
    Rs485FramedTransport(qint32 port, QString device, SerialPortLister lister = SystemSerialPorts);
    void afterOpen() override;
    void write(const QByteArray &bytes) override;
};

// Waits for the reply to an attach or address-change frame written at `startMs` on the
// clock: returns at the first carriage return, or when more than 2 seconds have passed since
// `startMs`. What arrived is dropped; a missing reply is not an error. Throws LinkError when
// the port fails.
void AwaitFrameReply(Transport &link, qint64 startMs);

// Sends the attach frame ("810" for programming, "800" otherwise) and waits for its reply.
// Without an open serial link nothing is sent. A failing link is recorded in "debug.txt" and
// the program falls back to Simulated mode, as with a failing command.
void Rs485Attach(bool programming);
// Sends the address-change frame from `CommAddress` to `newAddress` and waits for its reply,
// the same way.
void Rs485ChangeAddress(const QString &newAddress);

} // namespace zop
