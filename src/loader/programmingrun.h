#pragma once
// The programming run of the Firmware Panel: contact with the instrument's boot loader, erase,
// load, restart and reconnection. It runs from the event loop: the port's ready-read signal
// and a heartbeat on the system tick (15 ms) drive it, so the window stays responsive (Stop,
// repaints, menus) without a nested loop and without spinning. Every time-out is measured on
// the program's Clock, so tests run the 10-second watchdog in microseconds.
//
// The run talks only over an RS-232 link (link kind 1); the panel refuses the others before
// it starts. Nothing of the loader traffic is logged.

#include "link/transport.h"
#include "loader/hexrecords.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QIODevice;

namespace zop {

enum class LoaderStatus {
    Cleared,
    Initiating,
    Erasing,
    Loading,
    Stopped,
    TimedOut,
    Error,
    InvalidFile,
    Finished,        // green
    FinishedWarning, // "Finished", yellow: the new firmware did not answer
};
QString LoaderStatusText(LoaderStatus status);

namespace LoaderText {
inline const QString LoaderTitle = QStringLiteral("Firmware Loader");
inline const QString Simulated = QStringLiteral("Cannot program firmware in simulated mode.");
inline const QString NotRs232 = QStringLiteral("Can only program firmware via RS-232.");
inline const QString NoContact = QStringLiteral("Firmware Loader could not establish communication");
inline const QString LostContact = QStringLiteral("Firmware Loader lost communication");
inline const QString WarningTitle = QStringLiteral("Firmware Programming Warning");
inline const QString NoAnswer = QStringLiteral(
    "Could not establish communications with device after firmware programming.\r\n"
    "Please make sure remote operation is enabled to continue using ZOP Panel.");
inline const QString ErrorTitle = QStringLiteral("Report Firmware Loader Error");
} // namespace LoaderText

// "Error Information:" with the error's source, description and number.
QString LoaderErrorReport(const LoaderError &error);

class ProgrammingRun : public QObject {
    Q_OBJECT
public:
    enum class Phase { Idle, Contact, Erase, Load, Restart };

    static constexpr int TickMs = 15;          // one synchronisation byte per system tick
    static constexpr qint64 WatchdogMs = 10000; // without contact or acknowledgement
    static constexpr qint64 AckWaitMs = 2000;   // for one packet's acknowledgement
    static constexpr int MinAckLength = 3;
    static constexpr quint32 FirstEraseAddress = 0x200;
    static constexpr quint32 LastEraseAddress = 0x1F000;
    static constexpr quint32 EraseBlock = 0x1000;
    static constexpr int EraseBlocks = 32;
    static constexpr int MinLastLine = 10;        // at least 11 lines
    static constexpr qint64 AnswerWindowMs = 6000; // for the new firmware to answer "VOLT?"
    static constexpr qint64 AnswerReadMs = 1000;
    static constexpr qint64 SettleMs = 5000;       // between the two answer windows
    // An acknowledgement or reply longer than this is cut (an instrument that streams).
    static constexpr int MaxInput = 64 * 1024;

    explicit ProgrammingRun(QObject *parent = nullptr);
    ~ProgrammingRun() override;

    // What "Start" shows instead of running on this link kind; empty for RS-232.
    static QString Refusal(qint16 commKind);

    // Begins a run with the HEX file at `path` and returns; the run goes on from the event
    // loop. Does nothing while a run is active. A file of fewer than 11 lines ends the run with
    // "Invalid File"; one that fails CheckHexLines with "Error" and a message ("Firmware
    // Loader") naming the line and the fault; either way before anything is sent.
    void Start(const QString &path);
    // Clears Running: contact ends at the next tick, erase after the next acknowledged block,
    // load before the next record, the reconnection at once; each with "Stopped".
    void Stop() { m_running = false; }
    bool Running() const { return m_running; }
    bool isActive() const { return m_phase != Phase::Idle; }
    Phase phase() const { return m_phase; }

    // The heartbeat (the timer calls it every tick; tests may call it after moving the clock).
    void tick();
    // Ends an active run at once, without status or message (its window is closing).
    void abandon();

signals:
    void statusChanged(zop::LoaderStatus status);
    void progressChanged(int minimum, int maximum, int value);
    void addressChanged(const QString &text);
    void activeChanged(bool active);

private:
    enum class Wait { None, Ack, Answer, Settle };

    void pump();
    void handleInput(const QByteArray &bytes);
    template <typename Step> void guarded(Step &&step);

    void beginContact();
    void contactTick();
    void beginErase();
    void sendErase();
    void beginLoad();
    void stepLoad();
    void acknowledged(bool ack);
    void beginRestart();
    void sendAnswerQuery();
    void answerDone(bool answered);
    void decide(bool answered);

    bool sendBytes(const QByteArray &bytes);
    bool takeInput(QByteArray &bytes);
    void discardInput();
    // The port's device while it is open (null on links without one).
    QIODevice *liveDevice() const;
    void awaitAck();
    bool watchdogExpired() const;
    void restartWatchdog();
    qint64 now() const;

    void setStatus(LoaderStatus status);
    void setProgress(int minimum, int maximum, int value);
    void setValue(int value) { setProgress(m_min, m_max, value); }
    // Erase_Vars: the file's lines gone, Running false, Start enabled, the keep-alive back.
    void Erase_Vars();
    void endWith(LoaderStatus status);
    void endWithMessage(LoaderStatus status, const QString &text);
    void linkLost(const QString &heading, const LinkError &error);
    void linkGone();

    Phase m_phase = Phase::Idle;
    bool m_running = false;
    QTimer m_heartbeat;
    QPointer<QIODevice> m_device;

    QStringList m_lines;
    int m_lastLine = 0;
    int m_line = 0;
    int m_page = 0;
    quint32 m_eraseAddress = 0;
    int m_min = 0, m_max = 0, m_value = 0;
    qint64 m_watchdogStart = 0;

    Wait m_wait = Wait::None;
    QByteArray m_input;
    qint64 m_waitUntil = 0;
    qint64 m_windowStart = 0;
    bool m_secondWindow = false;
    bool m_inStep = false;
};

} // namespace zop
