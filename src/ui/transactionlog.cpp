#include "ui/transactionlog.h"

#include "ui/look.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace zop {

namespace {
const QLatin1String CrLf("\r\n");
} // namespace

TransactionLog::TransactionLog(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("rtbTranx"));
    setReadOnly(true);
    // Read-only, but the user can still move through and select the text with the keyboard.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    setAccessibleName(QStringLiteral("Transaction log"));
    QFont mono = font();
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFamily(QStringLiteral("Monospace"));
    setFont(mono);
}

qsizetype TransactionLog::CaretIndexFor(const QString &text)
{
    return text.size() >= 2 ? text.size() - 2 : text.size();
}

void TransactionLog::setLogText(const QString &text)
{
    m_text = text;
    m_crlfPairs = text.count(CrLf);
    setPlainText(text);
    placeCaret();
    emit logChanged();
}

QColor TransactionLog::TrafficColour(LogTraffic traffic)
{
    switch (traffic) {
    case LogTraffic::Sent: return Look().sent;
    case LogTraffic::Received: return Look().received;
    case LogTraffic::Error: break;
    }
    return Look().error;
}

void TransactionLog::appendLogText(const QString &text) { append(text, QTextCharFormat()); }

void TransactionLog::appendTraffic(const QString &text, LogTraffic traffic)
{
    QTextCharFormat format;
    format.setForeground(TrafficColour(traffic));
    append(text, format);
}

void TransactionLog::append(const QString &text, const QTextCharFormat &format)
{
    if (text.isEmpty())
        return;
    // A CR LF split across two appends is one line break, as setPlainText would make it.
    const bool joinsPair = m_text.endsWith(QLatin1Char('\r')) && text.startsWith(QLatin1Char('\n'));
    m_text += text;
    m_crlfPairs += text.count(CrLf) + (joinsPair ? 1 : 0);

    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(joinsPair ? text.mid(1) : text, format);
    placeCaret();
    emit logChanged();
}

void TransactionLog::placeCaret()
{
    // The view holds one character for every CR LF pair; the caret index into m_text is mapped
    // to the view by leaving out the pairs at or after it (only the last two characters can
    // hold such a pair, so this stays cheap however long the log grows).
    const qsizetype index = CaretIndexFor(m_text);
    const qsizetype n = m_text.size();
    qsizetype pairsAfter = 0;
    if (n >= 2 && m_text.at(n - 1) == QLatin1Char('\n') && m_text.at(n - 2) == QLatin1Char('\r')
        && n - 1 >= index)
        pairsAfter = 1;
    else if (n >= 3 && m_text.at(n - 2) == QLatin1Char('\n')
             && m_text.at(n - 3) == QLatin1Char('\r') && n - 2 >= index)
        pairsAfter = 1;
    const qsizetype viewIndex = index - (m_crlfPairs - pairsAfter);

    QTextCursor caret(document());
    caret.setPosition(int(qBound(qsizetype(0), viewIndex, qsizetype(document()->characterCount() - 1))));
    setTextCursor(caret);
    ensureCursorVisible();
}

} // namespace zop
