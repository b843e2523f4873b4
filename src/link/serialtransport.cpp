#include "link/serialtransport.h"

#include "link/devicepermission.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>

namespace zop {

namespace {

bool IsFailure(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError
        || error == QSerialPort::ResourceError;
}

// Milliseconds the line needs for `bytes` characters of 10 bits (start, 8 data, stop).
qint64 LineTimeMs(qsizetype bytes, qint32 baud)
{
    return baud > 0 ? (qint64(bytes) * 10 * 1000 + baud - 1) / baud : 0;
}

// Sets a flag for the length of a scope.
class Busy {
public:
    explicit Busy(bool &flag) : m_flag(flag) { m_flag = true; }
    ~Busy() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

SerialTransport::SerialTransport(qint32 port, QString device, SerialPortLister lister)
    : m_port(port), m_device(std::move(device)), m_lister(std::move(lister))
{
    QObject::connect(&m_serial, &QSerialPort::errorOccurred, &m_serial,
                     [this](QSerialPort::SerialPortError error) {
                         if (!IsFailure(error) || !m_serial.isOpen())
                             return;
                         noteFailure(error);
                         // Outside our own calls the port is failing while window events run:
                         // Qt would report the failure again on every pass of the event loop.
                         if (!m_inCall)
                             closeLostPort();
                     });
}

SerialTransport::~SerialTransport() { m_serial.close(); }

void SerialTransport::runEventsOnce()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void SerialTransport::open()
{
    QString problem;
    m_location = SerialPortLocation(m_port, m_device, m_lister, &problem);
    if (m_location.isEmpty())
        throw LinkError{problem, controlName(), SerialErrorNumber::NoSuchPort};
    openPort();
    runEventsOnce();
}

void SerialTransport::openPort()
{
    m_lost.reset();
    m_rescued.clear();
    m_serial.close();
    m_serial.clearError();
    m_serial.setPortName(m_location);
    m_serial.setReadBufferSize(ReceiveBufferBytes);
    const bool set = m_serial.setBaudRate(m_baud) && m_serial.setDataBits(QSerialPort::Data8)
                  && m_serial.setParity(QSerialPort::NoParity)
                  && m_serial.setStopBits(QSerialPort::OneStop)
                  && m_serial.setFlowControl(QSerialPort::NoFlowControl);
    if (set && m_serial.open(QIODevice::ReadWrite))
        return;

    const QSerialPort::SerialPortError error = m_serial.error();
    const QString reason = m_serial.errorString();
    m_serial.close();
    m_serial.clearError();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        throw LinkError{QStringLiteral("Serial port %1 does not exist (%2)").arg(m_location, reason),
                        controlName(), SerialErrorNumber::NoSuchPort};
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        // Qt says the same for a port another program holds: the node itself tells them apart.
        if (DeviceAccessRefused(m_location))
            throw LinkError{DeviceAccessRefusedText(m_location, SerialDeviceGroup), controlName(),
                            SerialErrorNumber::PortBusy};
        throw LinkError{QStringLiteral("Serial port %1 is in use by another program or may not be "
                                       "opened (%2)")
                            .arg(m_location, reason),
                        controlName(), SerialErrorNumber::PortBusy};
    case QSerialPort::UnsupportedOperationError:
        throw LinkError{QStringLiteral("%1 is not a serial port (%2)").arg(m_location, reason),
                        controlName(), SerialErrorNumber::NoSuchPort};
    default:
        throw LinkError{QStringLiteral("Serial port %1 refused the settings %2,N,8,1 (%3)")
                            .arg(m_location)
                            .arg(m_baud)
                            .arg(reason),
                        controlName(), SerialErrorNumber::SettingsRefused};
    }
}

void SerialTransport::reopenAt(qint32 baud)
{
    m_serial.close();
    m_baud = baud;
    openPort();
    runEventsOnce();
}

void SerialTransport::close()
{
    m_serial.close();
    m_serial.clearError();
}

bool SerialTransport::isOpen() const { return m_serial.isOpen(); }

LinkError SerialTransport::notOpen() const
{
    if (m_lost)
        return *m_lost;
    return LinkError{QStringLiteral("The serial port is not open"), controlName(),
                     SerialErrorNumber::NotOpen};
}

void SerialTransport::noteFailure(QSerialPort::SerialPortError error)
{
    if (m_lost)
        return;
    const QString what = error == QSerialPort::WriteError ? QStringLiteral("writing")
                                                          : QStringLiteral("reading");
    m_lost = LinkError{QStringLiteral("Serial port %1 stopped working while %2 (%3)")
                           .arg(m_location, what, m_serial.errorString()),
                       controlName(), SerialErrorNumber::PortLost};
}

void SerialTransport::closeLostPort()
{
    m_rescued += m_serial.readAll();
    m_serial.close();
    m_serial.clearError();
}

void SerialTransport::checkPort()
{
    const QSerialPort::SerialPortError error = m_serial.error();
    if (IsFailure(error))
        noteFailure(error);
    if (m_lost && m_serial.isOpen())
        closeLostPort();
    else if (error != QSerialPort::NoError)
        m_serial.clearError();
}

void SerialTransport::write(const QByteArray &bytes) { writeBytes(bytes); }

void SerialTransport::writeBytes(const QByteArray &bytes)
{
    if (!m_serial.isOpen())
        throw notOpen();
    {
        Busy busy(m_inCall);
        if (m_serial.write(bytes) == bytes.size()) {
            QDeadlineTimer deadline(WriteGraceMs + LineTimeMs(bytes.size(), m_baud));
            while (m_serial.bytesToWrite() > 0 && !m_lost && !deadline.hasExpired()) {
                if (m_serial.waitForBytesWritten(int(deadline.remainingTime())))
                    continue;
                // Qt gives up the wait at once while its bounded read buffer is full (an
                // instrument that floods the line): what lies there unread when the next
                // command goes out is no reply to it, so make room and wait on.
                if (m_serial.error() == QSerialPort::NoError && m_serial.readBufferSize() > 0
                    && m_serial.bytesAvailable() >= m_serial.readBufferSize()) {
                    m_serial.skip(m_serial.bytesAvailable());
                    continue;
                }
                if (m_serial.error() != QSerialPort::TimeoutError)
                    break;
            }
        } else if (!m_lost) {
            noteFailure(QSerialPort::WriteError);
        }
    }
    const bool taken = m_serial.bytesToWrite() == 0;
    checkPort();
    if (m_lost)
        throw *m_lost;
    if (!taken)
        throw LinkError{QStringLiteral("Serial port %1 did not take the data in time")
                            .arg(m_location),
                        controlName(), SerialErrorNumber::WriteTimedOut};
}

QByteArray SerialTransport::takeAll() { return takeUpTo(ReceiveBufferBytes); }

QByteArray SerialTransport::takeUpTo(qint64 maxBytes)
{
    const qint64 limit = std::clamp<qint64>(maxBytes, 0, ReceiveBufferBytes);
    const auto takeRescued = [this, limit](QByteArray &bytes) {
        const qsizetype n = qsizetype(std::min<qint64>(limit - bytes.size(), m_rescued.size()));
        bytes += m_rescued.left(n);
        m_rescued.remove(0, n);
    };
    QByteArray bytes;
    takeRescued(bytes);
    if (m_serial.isOpen() && bytes.size() < limit) {
        {
            Busy busy(m_inCall);
            // Reading is done by the waits; a look at the port without waiting brings in what
            // arrived since.
            m_serial.waitForReadyRead(0);
            bytes += m_serial.read(limit - bytes.size());
        }
        checkPort();
        takeRescued(bytes);
    }
    if (bytes.isEmpty() && !m_serial.isOpen())
        throw notOpen();
    return bytes;
}

void SerialTransport::discardInput()
{
    try {
        takeAll();
    } catch (const LinkError &) {
        // A lost port is reported by the next operation that needs it.
    }
}

void SerialTransport::waitForInput(int ms, bool runEvents)
{
    // Serial waits never let window events run; the flag only matters to socket links.
    Q_UNUSED(runEvents);
    if (!m_serial.isOpen() || ms <= 0 || m_serial.bytesAvailable() > 0 || !m_rescued.isEmpty())
        return;
    {
        Busy busy(m_inCall);
        m_serial.waitForReadyRead(ms);
    }
    checkPort();
}

} // namespace zop
