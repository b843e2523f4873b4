#pragma once
// A transaction log the communication layer can echo traffic into: the `rtbTranx` of the
// window in front, or the start form's own log before any panel exists.

#include <QString>

namespace zop {

// What an echoed piece of traffic is: a command the program sent, a reply it read, or an error
// the instrument reported when asked (the console's error check).
enum class LogTraffic { Sent, Received, Error };

class LogSink {
public:
    virtual ~LogSink();
    virtual QString logText() const = 0;
    virtual void setLogText(const QString &text) = 0;
    virtual void appendLogText(const QString &text) { setLogText(logText() + text); }
    // Appends echoed traffic. A log that shows it may set commands and replies apart; the
    // text it keeps is the same as appendLogText's.
    virtual void appendTraffic(const QString &text, LogTraffic) { appendLogText(text); }
};

// A log that only keeps its text (the hidden start form's log, and tests).
class TextLog : public LogSink {
public:
    QString logText() const override { return m_text; }
    void setLogText(const QString &text) override { m_text = text; }
    void appendLogText(const QString &text) override { m_text += text; }

private:
    QString m_text;
};

} // namespace zop
