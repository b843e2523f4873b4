#pragma once

#include "rs485.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace zopsim {

class BootLoader;
class FaultPlan;
class Instrument;
class Trace;

// The instrument on a serial line: a pseudo-terminal whose other end a serial program opens
// like a port (through a stable symbolic link). The line speed the program sets is read from
// the terminal for every chunk received, so the RS-485 selection at 9600 baud can be told
// from the talk at 19200 (Rs485Station). With throttling on, the front end also keeps to the
// line speed: a received chunk is handled only once its last byte would have arrived, and
// replies leave no faster than the line carries them (10 bits per character).
//
// The front end keeps its own handle on the terminal's program end, so the line stays up
// while the program closes and reopens the port (as the RS-485 selection does).
class PtyFront : public QObject
{
    Q_OBJECT

public:
    // Bytes a stream fault writes per tick, the tick, and the backlog at which it pauses.
    static constexpr int StreamChunk = 64;
    static constexpr int StreamTickMs = 20;
    static constexpr qsizetype OutputBacklog = 64 * 1024;
    // The speed the terminal starts at, so a program that does not set one talks at once.
    static constexpr qint32 InitialBaud = Rs485Station::LineBaud;

    // faults and trace may be null.
    PtyFront(Instrument &instrument, FaultPlan *faults, Trace *trace, int address, bool throttle,
             QObject *parent = nullptr);
    ~PtyFront() override;

    // Creates the terminal and the link `linkPath` to its program end (replacing an older
    // link, never another kind of file). False with the reason in *error on failure.
    bool open(const QString &linkPath, QString *error);
    // The program end of the terminal ("/dev/pts/N").
    QString devicePath() const { return m_devicePath; }
    int address() const { return m_station.address(); }
    // While `loader` (may be null) takes them, bytes go to it instead of the instrument.
    void setBootLoader(BootLoader *loader) { m_bootLoader = loader; }

signals:
    // A close fault took the line down; the front end is finished.
    void closed();

private:
    struct PendingInput
    {
        qint64 dueUs;
        QByteArray bytes;
        qint32 baud;
    };
    struct PendingAction
    {
        qint64 dueMs;
        LinkAction action;
    };

    void readAvailable();
    void handleDueInput();
    void handle(const QByteArray &bytes, qint32 baud);
    // Hands received bytes to the station and carries out what it asks for.
    void deliver(const QByteArray &bytes, qint32 baud);
    void schedule(const LinkAction &action);
    void runDueActions();
    void perform(const LinkAction &action);
    void queueOutput(const QByteArray &bytes);
    void pumpOutput();
    void writeNow(QByteArrayView bytes, qsizetype *written);
    void streamTick();
    void shutDown();
    qint32 lineBaud() const;
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    Rs485Station m_station;
    BootLoader *m_bootLoader = nullptr;
    Trace *m_trace;
    bool m_throttle;
    int m_master = -1;
    int m_keepOpen = -1; // our own handle on the program end
    QString m_devicePath;
    QString m_linkPath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QElapsedTimer m_clock;
    qint32 m_tracedBaud = 0;

    QQueue<PendingInput> m_input;
    qint64 m_inputFreeUs = 0; // when the line has carried every byte received so far
    QTimer m_inputTimer;

    QQueue<PendingAction> m_actions;
    QTimer m_actionTimer;

    QByteArray m_output;
    qint64 m_outputStartUs = 0; // throttling: when the bytes now waiting began to leave
    qint64 m_outputSent = 0;    // throttling: bytes written since m_outputStartUs
    QTimer m_outputTimer;

    QTimer m_streamTimer;
    StreamSource m_stream;
    bool m_closing = false;
};

} // namespace zopsim
