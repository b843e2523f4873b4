#include "link/rs485.h"

#include "core/ground.h"
#include "link/commlayer.h"
#include "core/numbertext.h"

#include <limits>

namespace zop {

QString AddressText(qint64 address)
{
    quint32 value = 0;
    if (address < 0)
        value = quint32(qint32(std::max<qint64>(address, std::numeric_limits<qint32>::min())));
    else
        value = quint32(std::min<qint64>(address, std::numeric_limits<quint32>::max()));
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString AddressText(const QString &address)
{
    const double value = RoundHalfEven(LeadingDecimal(address));
    if (!(value > -1e18 && value < 1e18)) // also NaN
        return AddressText(value < 0 ? std::numeric_limits<qint64>::min()
                                     : std::numeric_limits<qint64>::max());
    return AddressText(qint64(value));
}

QByteArray SelectionFrame(const QString &address)
{
    return Rs485::DC3 + AddressText(address).toLatin1() + Rs485::SOH;
}

QByteArray AttachFrame(const QString &address, bool programming)
{
    return '&' + AddressText(address).toLatin1() + (programming ? "810" : "800") + Rs485::CR;
}

QByteArray AddressChangeFrame(const QString &address, const QString &newAddress)
{
    return '%' + AddressText(address).toLatin1() + AddressText(newAddress).toLatin1()
         + Rs485::AccessCode + Rs485::CR;
}

QByteArray CommandFrame(const QByteArray &chunk, const QString &address)
{
    return '{' + AddressText(address).toLatin1() + chunk + Rs485::CR;
}

Rs485SelectedTransport::Rs485SelectedTransport(qint32 port, QString device, SerialPortLister lister)
    : SerialTransport(port, std::move(device), std::move(lister))
{
    setOpeningBaudRate(SelectBaud);
}

void Rs485SelectedTransport::afterOpen()
{
    writeBytes(SelectionFrame(Comm().CommAddress));
    Comm().WaitTicks(Rs485::TicksAfterSelection);
    reopenAt(TalkBaud);
    writeBytes(QByteArray(1, Rs485::LF));
    Comm().WaitTicks(Rs485::TicksAfterSelection);
}

Rs485FramedTransport::Rs485FramedTransport(qint32 port, QString device, SerialPortLister lister)
    : SerialTransport(port, std::move(device), std::move(lister))
{
}

void Rs485FramedTransport::afterOpen()
{
    discardInput();
    const qint64 start = ground().clock->elapsedMs();
    writeBytes(AttachFrame(Comm().CommAddress, false));
    AwaitFrameReply(*this, start);
}

void Rs485FramedTransport::write(const QByteArray &bytes)
{
    Comm().WaitTicks(Rs485::TicksBeforeFrames);
    for (qsizetype at = 0; at < bytes.size(); at += Rs485::FrameChunk) {
        if (at > 0)
            Comm().WaitTicks(Rs485::TicksBetweenFrames);
        // The address is read again for every frame.
        writeBytes(CommandFrame(bytes.mid(at, Rs485::FrameChunk), Comm().CommAddress));
    }
}

void AwaitFrameReply(Transport &link, qint64 startMs)
{
    const Clock &clock = *ground().clock;
    for (;;) {
        if (link.takeAll().contains(Rs485::CR))
            return;
        const qint64 elapsed = clock.elapsedMs() - startMs;
        if (elapsed > Rs485::ReplyWaitMs)
            return;
        link.waitForInput(int(Rs485::ReplyWaitMs - elapsed + 1), false);
    }
}

namespace {

// Writes a control frame on the open serial link and waits for its reply; failures are
// recorded and end in Simulated mode like those of a command.
void ControlExchange(const QByteArray &frame)
{
    CommLayer &comm = Comm();
    if (!IsSerialKind(comm.CommKind))
        return;
    auto *serial = dynamic_cast<SerialTransport *>(comm.CommControl.get());
    const qint64 start = ground().clock->elapsedMs();
    try {
        if (!serial)
            throw LinkError{QStringLiteral("The serial port is not open"),
                            QStringLiteral("mscRS232"), SerialErrorNumber::NotOpen};
        serial->writeBytes(frame);
    } catch (const LinkError &error) {
        comm.LinkFailed(QStringLiteral("Write Error:"), error);
        return;
    }
    try {
        AwaitFrameReply(*serial, start);
    } catch (const LinkError &error) {
        comm.LinkFailed(QStringLiteral("Read Error:"), error);
    }
}

} // namespace

void Rs485Attach(bool programming) { ControlExchange(AttachFrame(Comm().CommAddress, programming)); }

void Rs485ChangeAddress(const QString &newAddress)
{
    ControlExchange(AddressChangeFrame(Comm().CommAddress, newAddress));
}

} // namespace zop
