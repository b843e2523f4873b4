#include "ptyfront.h"

#include "bootloader.h"
#include "trace.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace zopsim {

namespace {

struct SpeedName
{
    speed_t code;
    qint32 baud;
};

constexpr SpeedName Speeds[] = {
    {B0, 0},         {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},
    {B150, 150},     {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},
    {B1800, 1800},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

qint32 BaudOf(speed_t code)
{
    for (const SpeedName &s : Speeds) {
        if (s.code == code)
            return s.baud;
    }
    return -1;
}

speed_t CodeOf(qint32 baud)
{
    for (const SpeedName &s : Speeds) {
        if (s.baud == baud)
            return s.code;
    }
    return B19200;
}

// Microseconds the line needs for `bytes` characters of 10 bits.
qint64 LineTimeUs(qint64 bytes, qint32 baud)
{
    return baud > 0 ? bytes * 10'000'000 / baud : 0;
}

// Timers count whole milliseconds: a character is taken as crossed the line when it is due
// within half of one, so the line is as often a little early as a little late and keeps its
// speed on average instead of losing up to a millisecond at every wait.
constexpr qint64 DueSlackUs = 500;

// The whole milliseconds to wait until `dueUs` is within the slack of `nowUs`.
int WaitMs(qint64 dueUs, qint64 nowUs)
{
    return int(qMax<qint64>(0, (dueUs - DueSlackUs - nowUs + 999) / 1000));
}

QString SystemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyFront::PtyFront(Instrument &instrument, FaultPlan *faults, Trace *trace, int address,
                   bool throttle, QObject *parent)
    : QObject(parent), m_station(instrument, faults, address), m_trace(trace), m_throttle(throttle)
{
    m_clock.start();
    for (QTimer *timer : {&m_inputTimer, &m_actionTimer, &m_outputTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_streamTimer.setInterval(StreamTickMs);
    connect(&m_inputTimer, &QTimer::timeout, this, [this] { handleDueInput(); });
    connect(&m_actionTimer, &QTimer::timeout, this, [this] { runDueActions(); });
    connect(&m_outputTimer, &QTimer::timeout, this, [this] { pumpOutput(); });
    connect(&m_streamTimer, &QTimer::timeout, this, [this] { streamTick(); });
}

PtyFront::~PtyFront() { shutDown(); }

bool PtyFront::open(const QString &linkPath, QString *error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
        || ::ptsname_r(m_master, name, sizeof name) != 0) {
        *error = SystemError("cannot create a pseudo-terminal");
        shutDown();
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    m_keepOpen = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (m_keepOpen < 0 || ::tcgetattr(m_keepOpen, &settings) != 0) {
        *error = SystemError("cannot open the pseudo-terminal");
        shutDown();
        return false;
    }
    // Raw, so that nothing is echoed or translated before the program sets the port up.
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&settings, CodeOf(InitialBaud));
    ::cfsetospeed(&settings, CodeOf(InitialBaud));
    ::tcsetattr(m_keepOpen, TCSANOW, &settings);

    const QFileInfo existing(linkPath);
    if (existing.exists() && !existing.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
        shutDown();
        return false;
    }
    // Make the link beside its place and move it there, so it never points nowhere.
    const QByteArray target = QFile::encodeName(linkPath);
    const QByteArray temporary = target + ".new" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(name, temporary.constData()) != 0
        || ::rename(temporary.constData(), target.constData()) != 0) {
        *error = SystemError("cannot make the link");
        ::unlink(temporary.constData());
        shutDown();
        return false;
    }
    m_linkPath = linkPath;

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { readAvailable(); });
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        m_writeNotifier->setEnabled(false);
        pumpOutput();
    });
    return true;
}

qint32 PtyFront::lineBaud() const
{
    termios settings{};
    const int fd = m_keepOpen >= 0 ? m_keepOpen : m_master;
    if (fd < 0 || ::tcgetattr(fd, &settings) != 0)
        return -1;
    return BaudOf(::cfgetospeed(&settings));
}

void PtyFront::readAvailable()
{
    char buffer[4096];
    while (!m_closing) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            // The speed is read as soon as the bytes are: the program may change it next.
            const qint32 baud = lineBaud();
            const QByteArray bytes(buffer, n);
            if (m_trace) {
                if (baud != m_tracedBaud)
                    m_trace->lineSpeed(baud);
                m_trace->received(bytes);
            }
            m_tracedBaud = baud;
            handle(bytes, baud);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && m_readNotifier) {
            // No program end is open; look again a little later rather than spin.
            m_readNotifier->setEnabled(false);
            QTimer::singleShot(50, this, [this] {
                if (m_readNotifier)
                    m_readNotifier->setEnabled(true);
            });
        }
        return;
    }
}

void PtyFront::handle(const QByteArray &bytes, qint32 baud)
{
    if (!m_throttle) {
        deliver(bytes, baud);
        return;
    }
    // The last byte arrives one line time after the line is free for it.
    const qint64 due = qMax(nowUs(), m_inputFreeUs) + LineTimeUs(bytes.size(), baud);
    m_inputFreeUs = due;
    m_input.enqueue({due, bytes, baud});
    if (!m_inputTimer.isActive())
        handleDueInput();
}

void PtyFront::handleDueInput()
{
    while (!m_closing && !m_input.isEmpty() && m_input.head().dueUs <= nowUs() + DueSlackUs) {
        const PendingInput input = m_input.dequeue();
        deliver(input.bytes, input.baud);
    }
    if (!m_closing && !m_input.isEmpty())
        m_inputTimer.start(WaitMs(m_input.head().dueUs, nowUs()));
}

void PtyFront::deliver(const QByteArray &bytes, qint32 baud)
{
    if (m_bootLoader && m_bootLoader->takes(bytes)) {
        queueOutput(m_bootLoader->receive(bytes));
        if (m_trace) {
            for (const QByteArray &note : m_bootLoader->takeNotes())
                m_trace->note(note);
        }
        return;
    }
    const QList<LinkAction> actions = m_station.receive(bytes, baud);
    const QList<QByteArray> notes = m_station.takeNotes();
    if (m_trace) {
        for (const QByteArray &note : notes)
            m_trace->note(note);
    }
    for (const LinkAction &action : actions)
        schedule(action);
}

void PtyFront::schedule(const LinkAction &action)
{
    if (m_closing)
        return;
    const qint64 now = m_clock.elapsed();
    if (action.delayMs <= 0 && m_actions.isEmpty()) {
        perform(action);
        return;
    }
    qint64 due = now + qMax(0, action.delayMs);
    if (!m_actions.isEmpty())
        due = qMax(due, m_actions.last().dueMs);
    m_actions.enqueue({due, action});
    if (!m_actionTimer.isActive())
        m_actionTimer.start(int(qMax<qint64>(0, m_actions.head().dueMs - now)));
}

void PtyFront::runDueActions()
{
    while (!m_closing && !m_actions.isEmpty() && m_actions.head().dueMs <= m_clock.elapsed())
        perform(m_actions.dequeue().action);
    if (!m_closing && !m_actions.isEmpty())
        m_actionTimer.start(int(qMax<qint64>(0, m_actions.head().dueMs - m_clock.elapsed())));
}

void PtyFront::perform(const LinkAction &action)
{
    switch (action.kind) {
    case LinkAction::Kind::Send:
        if (!m_stream.isActive())
            queueOutput(action.bytes);
        break;
    case LinkAction::Kind::Close:
        shutDown();
        emit closed();
        break;
    case LinkAction::Kind::Stream:
        if (!m_stream.isActive()) {
            m_stream.start(action);
            m_streamTimer.start();
            streamTick();
        }
        break;
    }
}

void PtyFront::queueOutput(const QByteArray &bytes)
{
    if (m_closing || bytes.isEmpty())
        return;
    if (m_output.size() + bytes.size() > OutputBacklog) {
        if (m_trace)
            m_trace->note("dropped a reply: nobody reads the line");
        return;
    }
    if (m_output.isEmpty()) {
        m_outputStartUs = nowUs();
        m_outputSent = 0;
    }
    m_output += bytes;
    if (!m_outputTimer.isActive() && !(m_writeNotifier && m_writeNotifier->isEnabled()))
        pumpOutput();
}

void PtyFront::pumpOutput()
{
    if (m_closing || m_output.isEmpty())
        return;
    qsizetype allowed = m_output.size();
    const qint32 baud = m_throttle ? lineBaud() : 0;
    if (baud > 0) {
        const qint64 carried = (nowUs() + DueSlackUs - m_outputStartUs) * baud / 10'000'000;
        allowed = qsizetype(qBound<qint64>(0, carried - m_outputSent, m_output.size()));
    }
    qsizetype written = 0;
    if (allowed > 0)
        writeNow(QByteArrayView(m_output).first(allowed), &written);
    m_output.remove(0, written);
    m_outputSent += written;
    if (m_output.isEmpty() || m_closing)
        return;
    if (written < allowed) {
        m_writeNotifier->setEnabled(true); // the program does not read: wait for room
        return;
    }
    if (baud > 0) {
        // Wake when the next few characters have crossed the line.
        const qint64 next = m_outputSent + qMin<qint64>(8, m_output.size());
        const qint64 dueUs = m_outputStartUs + LineTimeUs(next, baud);
        m_outputTimer.start(WaitMs(dueUs, nowUs()));
    }
}

void PtyFront::writeNow(QByteArrayView bytes, qsizetype *written)
{
    *written = 0;
    while (*written < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + *written, size_t(bytes.size() - *written));
        if (n > 0) {
            *written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (m_trace && *written > 0)
        m_trace->sent(bytes.first(*written));
}

void PtyFront::streamTick()
{
    if (m_closing) {
        m_streamTimer.stop();
        return;
    }
    if (m_output.size() > OutputBacklog / 2)
        return; // the program does not keep up; wait rather than pile up memory
    // A flood goes out as fast as the program takes it.
    queueOutput(m_stream.take(m_stream.isBounded() ? OutputBacklog / 2 : StreamChunk));
    if (!m_stream.isActive())
        m_streamTimer.stop();
}

void PtyFront::shutDown()
{
    m_closing = true;
    m_inputTimer.stop();
    m_actionTimer.stop();
    m_outputTimer.stop();
    m_streamTimer.stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (!m_linkPath.isEmpty()) {
        // Only our own link goes; a newer emulator may have taken the path meanwhile.
        if (QFileInfo(m_linkPath).symLinkTarget() == m_devicePath)
            QFile::remove(m_linkPath);
        m_linkPath.clear();
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_keepOpen >= 0)
        ::close(m_keepOpen);
    m_master = -1;
    m_keepOpen = -1;
}

} // namespace zopsim
