#include "loader/programmingrun.h"

#include "app/moddata.h"
#include "link/commlayer.h"
#include "link/linkkind.h"
#include "loader/hexcheck.h"
#include "loader/modparams.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"

#include <QIODevice>

namespace zop {

namespace {
const QString ErrorSource = QStringLiteral("ZOP Panel");
const QString AnswerQuery = QStringLiteral("VOLT?");

void Show(const QString &text, const QString &title, MsgIcon icon)
{
    const std::shared_ptr<Prompter> prompter = modData().prompter;
    prompter->Show(text, title, icon, MsgButtons::Ok);
}
} // namespace

QString LoaderStatusText(LoaderStatus status)
{
    switch (status) {
    case LoaderStatus::Cleared: return QString();
    case LoaderStatus::Initiating: return QStringLiteral("Initiating");
    case LoaderStatus::Erasing: return QStringLiteral("Erasing");
    case LoaderStatus::Loading: return QStringLiteral("Loading");
    case LoaderStatus::Stopped: return QStringLiteral("Stopped");
    case LoaderStatus::TimedOut: return QStringLiteral("Timed Out");
    case LoaderStatus::Error: return QStringLiteral("Error");
    case LoaderStatus::InvalidFile: return QStringLiteral("Invalid File");
    case LoaderStatus::Finished:
    case LoaderStatus::FinishedWarning: return QStringLiteral("Finished");
    }
    return QString();
}

QString LoaderErrorReport(const LoaderError &error)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Error Information:") + crlf + QStringLiteral("Err Source: ")
         + error.source + crlf + QStringLiteral("Err Description: ") + error.description + crlf
         + QStringLiteral("Err Number: ") + QString::number(error.number);
}

ProgrammingRun::ProgrammingRun(QObject *parent) : QObject(parent)
{
    m_heartbeat.setInterval(TickMs);
    m_heartbeat.setTimerType(Qt::PreciseTimer);
    connect(&m_heartbeat, &QTimer::timeout, this, &ProgrammingRun::tick);
}

ProgrammingRun::~ProgrammingRun() { abandon(); }

QString ProgrammingRun::Refusal(qint16 commKind)
{
    if (commKind == LinkKind::Simulated)
        return LoaderText::Simulated;
    if (commKind != LinkKind::Rs232)
        return LoaderText::NotRs232;
    return QString();
}

qint64 ProgrammingRun::now() const { return modData().clock->elapsedMs(); }
bool ProgrammingRun::watchdogExpired() const { return now() - m_watchdogStart > WatchdogMs; }
void ProgrammingRun::restartWatchdog() { m_watchdogStart = now(); }

template <typename Step>
void ProgrammingRun::guarded(Step &&step)
{
    // A message box shown by a step runs events: a tick or a ready-read met there waits for
    // the next one.
    if (m_inStep)
        return;
    QPointer<ProgrammingRun> self(this);
    m_inStep = true;
    try {
        step();
    } catch (const LoaderError &error) {
        Erase_Vars();
        Show(LoaderErrorReport(error), LoaderText::ErrorTitle, MsgIcon::None);
    }
    if (self)
        m_inStep = false;
}

void ProgrammingRun::Start(const QString &path)
{
    if (isActive())
        return;
    m_phase = Phase::Contact;
    modData().comm.KeepAliveOff = true;
    emit activeChanged(true);
    guarded([&] {
        setStatus(LoaderStatus::Cleared);
        m_lastLine = Get_File(path, m_lines);
        if (m_lastLine < MinLastLine) {
            endWith(LoaderStatus::InvalidFile);
            return;
        }
        // The whole file before the first synchronisation byte: a record found unusable
        // while loading would leave the instrument erased in its boot loader.
        if (const std::optional<HexFault> fault = CheckHexLines(m_lines)) {
            endWithMessage(LoaderStatus::Error, fault->text());
            return;
        }
        m_running = true;
        setStatus(LoaderStatus::Initiating);
        beginContact();
    });
}

void ProgrammingRun::abandon()
{
    if (!isActive())
        return;
    m_phase = Phase::Idle;
    m_running = false;
    m_wait = Wait::None;
    m_heartbeat.stop();
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = nullptr;
    m_lines.clear();
    if (ModData *data = ModDataIfAlive())
        data->comm.KeepAliveOff = false;
}

void ProgrammingRun::Erase_Vars()
{
    if (!isActive())
        return;
    abandon();
    emit activeChanged(false);
}

void ProgrammingRun::setStatus(LoaderStatus status) { emit statusChanged(status); }

void ProgrammingRun::setProgress(int minimum, int maximum, int value)
{
    m_min = minimum;
    m_max = maximum;
    m_value = value;
    emit progressChanged(minimum, maximum, value);
}

void ProgrammingRun::endWith(LoaderStatus status)
{
    Erase_Vars();
    // The whole image is in: the bar stands at its end (the restart and reconnection after the
    // last record advance no line).
    if (status == LoaderStatus::Finished || status == LoaderStatus::FinishedWarning)
        setProgress(m_min, m_max, m_max);
    setStatus(status);
}

void ProgrammingRun::endWithMessage(LoaderStatus status, const QString &text)
{
    endWith(status);
    Show(text, LoaderText::LoaderTitle, MsgIcon::None);
}

void ProgrammingRun::linkLost(const QString &heading, const LinkError &error)
{
    endWith(LoaderStatus::Error);
    // The record in "debug.txt", "Device not Found." and Simulated mode, as for any command.
    modData().comm.LinkFailed(heading, error);
}

void ProgrammingRun::linkGone()
{
    // The link was re-opened or switched to Simulated mode under the run.
    endWith(LoaderStatus::Error);
}

bool ProgrammingRun::sendBytes(const QByteArray &bytes)
{
    CommLayer &comm = modData().comm;
    if (modData().CommKind != LinkKind::Rs232 || !comm.CommControl) {
        linkGone();
        return false;
    }
    // Through the device itself where there is one: written from the event loop, so no
    // blocking call of the port reads its input behind the event loop's back.
    if (QIODevice *device = liveDevice(); device && device->write(bytes) == bytes.size())
        return true;
    try {
        comm.CommControl->write(bytes);
    } catch (const LinkError &error) {
        linkLost(QStringLiteral("Write Error:"), error);
        return false;
    }
    return true;
}

bool ProgrammingRun::takeInput(QByteArray &bytes)
{
    CommLayer &comm = modData().comm;
    if (modData().CommKind != LinkKind::Rs232 || !comm.CommControl) {
        linkGone();
        return false;
    }
    if (QIODevice *device = liveDevice()) {
        // What the port's own notifier has read. Reading the port here as well would leave
        // that notifier to find nothing, which the serial port reports as a read error.
        bytes = device->readAll();
        return true;
    }
    try {
        bytes = comm.CommControl->takeAll();
    } catch (const LinkError &error) {
        linkLost(QStringLiteral("Read Error:"), error);
        return false;
    }
    return true;
}

QIODevice *ProgrammingRun::liveDevice() const
{
    return m_device && m_device->isOpen() ? m_device.data() : nullptr;
}

void ProgrammingRun::discardInput()
{
    QByteArray ignored;
    takeInput(ignored);
}

void ProgrammingRun::pump()
{
    if (!isActive())
        return;
    QByteArray bytes;
    if (takeInput(bytes) && !bytes.isEmpty())
        handleInput(bytes);
}

void ProgrammingRun::handleInput(const QByteArray &bytes)
{
    switch (m_phase) {
    case Phase::Contact:
        // Any character answers the synchronisation byte.
        if (m_running)
            beginErase();
        return;
    case Phase::Erase:
    case Phase::Load:
    case Phase::Restart:
        break;
    case Phase::Idle:
        return;
    }
    if (m_wait != Wait::Ack && m_wait != Wait::Answer)
        return; // settling: what the restarting instrument says is flushed
    if (m_input.size() < MaxInput)
        m_input += bytes.left(MaxInput - m_input.size());
    if (m_wait == Wait::Ack && bytes.endsWith(char(LoaderByte::End)))
        acknowledged(m_input.size() >= MinAckLength);
    else if (m_wait == Wait::Answer && bytes.endsWith('\n'))
        answerDone(true);
}

void ProgrammingRun::tick()
{
    guarded([&] {
        const Phase before = m_phase;
        const Wait waitBefore = m_wait;
        const qint64 deadline = m_waitUntil;
        pump(); // also catches input on links that do not signal it
        if (!isActive() || m_phase != before || m_wait != waitBefore || m_waitUntil != deadline)
            return;
        switch (m_phase) {
        case Phase::Idle:
            return;
        case Phase::Contact:
            contactTick();
            return;
        case Phase::Erase:
        case Phase::Load:
            if (m_wait == Wait::Ack && now() > m_waitUntil)
                acknowledged(false); // the wait for the acknowledgement passed
            return;
        case Phase::Restart:
            if (!m_running) {
                endWith(LoaderStatus::Stopped);
            } else if (m_wait == Wait::Answer && now() > m_waitUntil) {
                if (now() - m_windowStart < AnswerWindowMs)
                    sendAnswerQuery();
                else
                    answerDone(false);
            } else if (m_wait == Wait::Settle && now() >= m_waitUntil) {
                discardInput();
                if (!isActive())
                    return;
                m_secondWindow = true;
                m_windowStart = now();
                sendAnswerQuery();
            }
            return;
        }
    });
}

void ProgrammingRun::beginContact()
{
    CommLayer &comm = modData().comm;
    if (QIODevice *device = comm.CommControl ? comm.CommControl->inputDevice() : nullptr) {
        m_device = device;
        // Queued: the port may signal inside one of its own blocking calls.
        connect(device, &QIODevice::readyRead, this, [this] { guarded([this] { pump(); }); },
                Qt::QueuedConnection);
    }
    discardInput();
    if (!isActive())
        return;
    restartWatchdog();
    m_heartbeat.start();
    contactTick();
}

void ProgrammingRun::contactTick()
{
    if (!m_running) {
        endWith(LoaderStatus::Stopped);
        return;
    }
    if (watchdogExpired()) {
        endWithMessage(LoaderStatus::TimedOut, LoaderText::NoContact);
        return;
    }
    sendBytes(Create_Single(LoaderByte::Start));
}

void ProgrammingRun::awaitAck()
{
    m_input.clear();
    m_wait = Wait::Ack;
    m_waitUntil = now() + AckWaitMs;
}

void ProgrammingRun::beginErase()
{
    m_phase = Phase::Erase;
    setStatus(LoaderStatus::Erasing);
    setProgress(0, EraseBlocks, 0);
    m_eraseAddress = FirstEraseAddress;
    restartWatchdog();
    sendErase();
}

void ProgrammingRun::sendErase()
{
    if (m_eraseAddress > LastEraseAddress) {
        if (m_running)
            beginLoad();
        else
            endWith(LoaderStatus::Stopped);
        return;
    }
    if (m_eraseAddress > EraseBlock)
        m_eraseAddress &= ~(EraseBlock - 1);
    const QByteArray packet = Create_Erase(m_eraseAddress);
    emit addressChanged(EraseAddressText(m_eraseAddress));
    if (!sendBytes(packet))
        return;
    m_eraseAddress += EraseBlock;
    setValue(m_value + 1);
    awaitAck();
}

void ProgrammingRun::acknowledged(bool ack)
{
    m_wait = Wait::None;
    if (watchdogExpired()) {
        endWithMessage(LoaderStatus::TimedOut, LoaderText::LostContact);
        return;
    }
    if (m_phase == Phase::Erase) {
        if (ack) {
            if (!m_running) {
                endWith(LoaderStatus::Stopped);
                return;
            }
            restartWatchdog();
        } else {
            // The same block again.
            m_eraseAddress -= EraseBlock;
            setValue(m_value - 1);
        }
        sendErase();
        return;
    }
    if (ack) {
        restartWatchdog();
        ++m_line;
    }
    setValue(m_line);
    stepLoad();
}

void ProgrammingRun::beginLoad()
{
    m_phase = Phase::Load;
    m_line = 0;
    m_page = 0;
    setProgress(0, m_lastLine, 0);
    setStatus(LoaderStatus::Loading);
    restartWatchdog();
    stepLoad();
}

void ProgrammingRun::stepLoad()
{
    for (;;) {
        if (!m_running) {
            endWith(LoaderStatus::Stopped);
            return;
        }
        if (m_line >= m_lines.size())
            throw LoaderError{ErrorSource,
                              QStringLiteral("Subscript out of range: the file ends without an "
                                             "end-of-file record"),
                              LoaderErrorNumber::PastLastLine};
        const QString &line = m_lines.at(m_line);
        switch (RecordType(line)) {
        case HexType::Data:
            // The first record of page 0 holds the boot loader's own start: never written.
            if (m_page == 0 && RecordAddressText(line) == QLatin1String("0000")) {
                ++m_line;
                break;
            }
            {
                const QByteArray packet = Create_Write(line, m_page);
                emit addressChanged(WriteAddressText(line, m_page));
                if (sendBytes(packet))
                    awaitAck();
            }
            return;
        case HexType::EndOfFile:
            beginRestart();
            return;
        case HexType::ExtendedLinear:
            m_page = RecordPage(line);
            restartWatchdog();
            ++m_line;
            break;
        default:
            // Segment addresses (2, 3), a start address (5) and unknown types cannot be
            // programmed: the run ends rather than wait on the line for ever.
            endWith(LoaderStatus::Error);
            return;
        }
        setValue(m_line);
    }
}

void ProgrammingRun::beginRestart()
{
    m_phase = Phase::Restart;
    if (!sendBytes(Create_Reset()))
        return;
    if (!m_running) {
        endWith(LoaderStatus::Stopped);
        return;
    }
    discardInput();
    if (!isActive())
        return;
    m_secondWindow = false;
    m_windowStart = now();
    sendAnswerQuery();
}

void ProgrammingRun::sendAnswerQuery()
{
    SendCommand(AnswerQuery, false);
    if (modData().CommKind != LinkKind::Rs232) {
        // The send failed and the link fell back to Simulated mode (already reported).
        linkGone();
        return;
    }
    m_input.clear();
    m_wait = Wait::Answer;
    m_waitUntil = now() + AnswerReadMs;
}

void ProgrammingRun::answerDone(bool answered)
{
    if (!m_secondWindow) {
        m_wait = Wait::Settle;
        m_waitUntil = now() + SettleMs;
        return;
    }
    decide(answered);
}

void ProgrammingRun::decide(bool answered)
{
    m_wait = Wait::None;
    m_heartbeat.stop();
    if (!m_running) {
        endWith(LoaderStatus::Stopped);
        return;
    }
    QPointer<ProgrammingRun> self(this);
    if (answered) {
        ReadAllState();
        if (self && LeadingDecimal(modData().FirmwareVersion) < ModParamsSafeVersion)
            Check_ModParams();
        if (self)
            endWith(LoaderStatus::Finished);
        return;
    }
    Show(LoaderText::NoAnswer, LoaderText::WarningTitle, MsgIcon::Exclamation);
    if (self)
        endWith(LoaderStatus::FinishedWarning);
}

} // namespace zop
