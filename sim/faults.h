#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace zopsim {

// Misbehaviour on request, so tests can prove that a client survives a bad instrument.
// A fault only ever changes a reply; commands without a reply are carried out as usual.
//   silent   - never answer
//   late=MS  - answer after MS milliseconds
//   cut      - send the reply without its final line feed (the carriage return stays)
//   close    - close the connection instead of answering
//   garbage  - answer a line of junk that is not hexadecimal ("zz#!?")
//   stream   - answer with characters that never end in a line feed, until the link closes
//   flood=MB - answer with MB mebibytes of junk lines instead of the reply
//   binary   - answer the reply behind NUL and 8-bit bytes
//   bytewise - answer the reply one byte at a time, 2 ms apart
//   drop     - accept every TCP connection and close it at once (the other kinds answer as usual)
// A fault written "KIND:PREFIX" applies only to lines that start with PREFIX (compared
// without regard to case); the command is still carried out by the model either way.
struct Fault
{
    enum class Kind { Silent, Late, Cut, Close, Garbage, Stream, Flood, Binary, Bytewise, Drop };
    Kind kind = Kind::Silent;
    int lateMs = 0;
    int floodMiB = 0;
    QByteArray prefix;

    // Parses "KIND[:PREFIX]"; nullopt and an explanation in *error when it is not one.
    static std::optional<Fault> parse(const QString &spec, QString *error = nullptr);
    bool appliesTo(const QByteArray &line) const;
};

// A protection trip at a time: "trip=ALARM@TIME", ALARM one of OVT, OCT, PHL, PGL, THL, FSE,
// LOC (several joined by "+"), TIME in s or ms counted from the output's first start
// ("trip=OVT@5s", "trip=OCT@300ms"). Unlike the faults above it changes the instrument, not a
// reply: the alarm latches and the output drops to standby, as a real trip does.
struct ScheduledTrip
{
    quint32 bits = 0; // word B
    qint64 afterOnMs = 0;
    static std::optional<ScheduledTrip> parse(const QString &spec, QString *error = nullptr);
};

// The faults of one run and when they start. Commands are counted over all links: with
// "after" set to N the first N commands are never faulted, so a client can start up cleanly
// and meet the fault on a later poll.
class FaultPlan
{
public:
    void add(const Fault &fault) { m_faults.append(fault); }
    void setAfter(int commands) { m_after = qMax(0, commands); }
    bool isEmpty() const { return m_faults.isEmpty(); }
    // Whether TCP connections are closed as soon as they are accepted.
    bool dropsConnections() const;

    // Counts one handled command (a non-empty line) and returns the fault for its reply, the
    // first one given that applies, if any.
    std::optional<Fault> next(const QByteArray &line);
    int handled() const { return m_handled; }

private:
    QList<Fault> m_faults;
    int m_after = 0;
    int m_handled = 0;
};

} // namespace zopsim
