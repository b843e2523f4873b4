#pragma once
// The serial link: one serial port (`mscRS232`) at 8 data bits, no parity, one stop bit and
// no flow control. Plain RS-232 (link kind 1) uses it as it is; the two RS-485 kinds build
// on it (rs485.h).
//
// Every wait blocks in the operating system: a read that waits for a reply sleeps in
// waitForReadyRead and no window events run meanwhile. A port that fails while open (an
// adapter unplugged, the other end of a pseudo-terminal closed) is closed at once, so that it
// cannot report the same error again and again, and the next operation throws a LinkError.

#include "link/serialports.h"
#include "link/transport.h"

#include <QObject>
#include <QSerialPort>
#include <optional>

namespace zop {

// Error numbers written to "debug.txt" for serial-port failures.
namespace SerialErrorNumber {
constexpr long NoSuchPort = 8002;      // no device for the port number, or no such device
constexpr long PortBusy = 8005;        // in use by another program, or permission refused
constexpr long NotOpen = 8012;         // the port is not open (closed, or lost earlier)
constexpr long SettingsRefused = 8015; // the device refused the speed or the frame format
constexpr long PortLost = 8020;        // the device stopped working while open
constexpr long WriteTimedOut = 8021;   // the device did not take the bytes in time
} // namespace SerialErrorNumber

// The group that owns serial ports on Debian, named when a port refused to open for lack of
// permission and its own group cannot be looked up.
inline const QString SerialDeviceGroup = QStringLiteral("dialout");

class SerialTransport : public Transport {
public:
    // Line speeds: every serial kind talks at TalkBaud; RS-485 selection runs at SelectBaud.
    static constexpr qint32 TalkBaud = 19200;
    static constexpr qint32 SelectBaud = 9600;
    // A write that the device has not taken within this time plus the line time of its bytes
    // fails (a device that never drains must not hang the program).
    static constexpr int WriteGraceMs = 1000;

    // `port` and `device` as configured ("Port" and "Device" of "Communication"); the device
    // is looked up when the port opens.
    SerialTransport(qint32 port, QString device, SerialPortLister lister = SystemSerialPorts);
    ~SerialTransport() override;

    // Finds the device, opens it at the current speed and lets window events run once.
    void open() override;
    void close() override;
    bool isOpen() const override;
    // Writes the text unchanged (kinds 1 and 3).
    void write(const QByteArray &bytes) override;
    QByteArray takeAll() override;
    QByteArray takeUpTo(qint64 maxBytes) override;
    void waitForInput(int ms, bool runEvents) override;
    qint64 bufferedBytes() const override { return m_serial.bytesAvailable() + m_rescued.size(); }
    QString controlName() const override { return QStringLiteral("mscRS232"); }
    QIODevice *inputDevice() override { return &m_serial; }

    // Writes bytes unchanged and waits until the device has taken them all.
    void writeBytes(const QByteArray &bytes);
    // Drops everything received so far; a lost port is not reported here.
    void discardInput();

    // The speed of the port ("19200,N,8,1" or "9600,N,8,1").
    qint32 baudRate() const { return m_baud; }
    // The device the port was opened on (empty before the first open).
    QString location() const { return m_location; }
    QString deviceLocation() const override { return m_location; }

protected:
    // Sets the speed the port opens at (before the first open).
    void setOpeningBaudRate(qint32 baud) { m_baud = baud; }
    // Closes the port, sets the speed, opens the port again and lets window events run once.
    void reopenAt(qint32 baud);

private:
    void openPort();
    static void runEventsOnce();
    // Keeps the first failure of an open port for the next operation to report.
    void noteFailure(QSerialPort::SerialPortError error);
    // Clears a time-out left by a wait; closes a port that failed.
    void checkPort();
    // Closes a failed port, keeping what it had received.
    void closeLostPort();
    // What an operation on a port that is not open reports.
    LinkError notOpen() const;

    qint32 m_port;
    QString m_device;
    SerialPortLister m_lister;
    QString m_location;
    qint32 m_baud = TalkBaud;
    QSerialPort m_serial;
    // Set when the port failed while open: what the next operation reports.
    std::optional<LinkError> m_lost;
    // Bytes received before the port failed, still to be taken.
    QByteArray m_rescued;
    // True inside a blocking call of the port, where it must not be closed under Qt.
    bool m_inCall = false;
};

} // namespace zop
