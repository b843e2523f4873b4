#pragma once
// The transaction log `rtbTranx` of every panel: a read-only plain-text view the communication
// layer echoes traffic into. It keeps the exact text it was given (line breaks are CR LF on the
// wire and in saved files; the view itself turns them into plain line breaks) and, after every
// change, puts the caret 2 characters before the end (just before the final line break) when
// the text has 2 characters or more, else at the end, so the newest line stays in view.

#include "link/logsink.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QTextCharFormat>

namespace zop {

class TransactionLog : public QPlainTextEdit, public LogSink {
    Q_OBJECT
public:
    explicit TransactionLog(QWidget *parent = nullptr);

    // LogSink. Change the log only through these (and clearLog), never through the
    // QPlainTextEdit setters, or logText() no longer matches what is shown.
    QString logText() const override { return m_text; }
    void setLogText(const QString &text) override;
    // Adds to the end without re-setting the whole text, so long logs stay cheap.
    void appendLogText(const QString &text) override;
    // Commands and replies in colours of their own, in the view only: logText() and the saved
    // file hold exactly the text.
    void appendTraffic(const QString &text, LogTraffic traffic) override;

    void clearLog() { setLogText(QString()); }

    // The colours of sent commands and of replies in the view.
    static QColor TrafficColour(LogTraffic traffic);

    // Where the caret goes after a change, as an index into logText().
    static qsizetype CaretIndexFor(const QString &text);

signals:
    void logChanged();

private:
    void append(const QString &text, const QTextCharFormat &format);
    void placeCaret();

    QString m_text;
    // Number of CR LF pairs in m_text: each is one line break (one character) in the view.
    qsizetype m_crlfPairs = 0;
};

} // namespace zop
