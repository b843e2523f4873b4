#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace zopsim {

class PowerSupply;

// The instrument's command language: turns one received line into at most one reply line,
// using (and changing) the power-supply model. It knows nothing about links, so the TCP front
// end, a serial or RS-485 front end and the tests all feed it the same way.
//
// A line is text (Latin-1) without its line feed; blanks and a carriage return around it are
// ignored, and an empty line is ignored altogether. A query - an SCPI header ending in "?", a
// common query ("*IDN?") or one of the "<>" state queries ("<>STA", "<>ALL", "<>SCL", "<>POT")
// - is answered with one line ending in CR LF. Other commands are not answered, except the few
// set commands of the network interface that acknowledge with their new value. A line that
// cannot be carried out queues an SCPI error and, if it was a query, gets no reply.
class Instrument
{
public:
    // Longest line the input buffer takes; longer lines are dropped (-223 "Too much data").
    static constexpr int MaxLineLength = 4096;

    explicit Instrument(PowerSupply &supply);

    // Handles one line; returns the reply including its CR LF, or an empty array for no reply.
    QByteArray handleLine(QByteArrayView line);

    // True when the line holds nothing but blanks and line-end characters (the keep-alive).
    static bool isBlank(QByteArrayView line);

    // A line longer than MaxLineLength arrived and was dropped by the line assembly.
    void rejectOverlongLine();

    PowerSupply &supply() { return m_supply; }

    // Called with each line whose header the instrument does not know (a stray command).
    void setUndefinedHeaderHook(std::function<void(const QString &line)> hook)
    {
        m_undefinedHook = std::move(hook);
    }

    // Reply texts that name the emulator.
    QString identification() const; // "*IDN?"
    QString versionLine() const;    // "SYST:VERS?"

    // Identifies a header of the command table (defined with the table).
    enum class Cmd;

private:
    std::optional<QString> dispatch(const QString &line);
    std::optional<QString> proprietary(const QString &line);
    std::optional<QString> common(const QString &name, bool query, const QString &params);
    std::optional<QString> execute(Cmd cmd, bool query, const QString &params);
    std::optional<QString> networkSetting(Cmd cmd, bool query, const QString &params);

    // Parameter helpers: each queues the matching error and returns nothing on failure.
    bool noParameter(const QString &params);
    std::optional<double> number(const QString &params);
    std::optional<int> integer(const QString &params);
    std::optional<bool> boolean(const QString &params);
    // A level in volts or amperes: a number, or MIN / MAX / DEF (limit and default given in
    // thousandths).
    std::optional<double> level(const QString &params, qint64 maxThousandths,
                                qint64 defThousandths);
    void undefinedHeader();

    PowerSupply &m_supply;
    std::function<void(const QString &)> m_undefinedHook;
    QString m_line; // the line being handled
};

} // namespace zopsim
