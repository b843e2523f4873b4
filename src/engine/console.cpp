#include "engine/console.h"

#include "core/numbertext.h"

#include <QRegularExpression>

#include <algorithm>

namespace zop {

namespace {
// The header: the text before the first blank.
QString HeaderOf(const QString &line)
{
    const QString trimmed = line.trimmed();
    const qsizetype blank = trimmed.indexOf(QRegularExpression(QStringLiteral("\\s")));
    return blank < 0 ? trimmed : trimmed.left(blank);
}
} // namespace

bool IsConsoleQuery(const QString &line)
{
    const QString trimmed = line.trimmed();
    return trimmed.endsWith(QLatin1Char('?')) || HeaderOf(trimmed).contains(QLatin1Char('?'));
}

QString ConsoleLineProblem(const QString &line)
{
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n')
            return QStringLiteral("one command a line: the text holds a line break");
        if (u > 0xff)
            return QStringLiteral("the character \"%1\" cannot be sent: commands are 8-bit text")
                .arg(c);
        if ((u < 0x20 && u != u'\t') || (u >= 0x7f && u <= 0x9f))
            return QStringLiteral("the control character \\x%1 cannot be sent")
                .arg(int(u), 2, 16, QLatin1Char('0'));
    }
    return QString();
}

bool IsErrorReply(const QString &reply)
{
    return !reply.trimmed().isEmpty() && LeadingDecimal(reply) != 0;
}

ConsoleStep RunConsoleLine(const QString &line, bool checkErrors, ConsoleLink &link)
{
    ConsoleStep step;
    const QString text = line.trimmed();
    if (text.isEmpty())
        return step;
    step.refused = ConsoleLineProblem(text);
    if (!step.refused.isEmpty())
        return step;
    if (IsConsoleQuery(text)) {
        step.queried = true;
        step.reply = link.query(text, true);
    } else {
        link.send(text);
    }
    if (checkErrors) {
        const std::optional<QString> error = link.query(ConsoleErrorQuery, false);
        if (error && IsErrorReply(*error))
            step.error = *error;
    }
    return step;
}

// ---------------------------------------------------------------------------------------------

void ConsoleHistory::setLines(const QStringList &lines)
{
    m_lines.clear();
    for (const QString &line : lines)
        add(line);
}

void ConsoleHistory::add(const QString &line)
{
    m_position = -1;
    m_draft.clear();
    const QString text = line.trimmed();
    if (text.isEmpty())
        return;
    m_lines.removeAll(text);
    m_lines << text;
    while (m_lines.size() > Capacity)
        m_lines.removeFirst();
}

QString ConsoleHistory::previous(const QString &current)
{
    if (m_lines.isEmpty())
        return current;
    if (m_position < 0) {
        m_draft = current;
        m_position = m_lines.size();
    }
    if (m_position > 0)
        --m_position;
    return m_lines.at(m_position);
}

QString ConsoleHistory::next(const QString &current)
{
    if (m_position < 0)
        return current;
    if (++m_position >= m_lines.size()) {
        m_position = -1;
        return m_draft;
    }
    return m_lines.at(m_position);
}

// ---------------------------------------------------------------------------------------------

QString ShortNode(const QString &node)
{
    qsizetype capitals = 0;
    while (capitals < node.size() && node.at(capitals).isUpper())
        ++capitals;
    return capitals == 0 ? node : node.left(capitals);
}

HeaderCompletion CompleteHeader(const QString &typed, const QStringList &ieeeCommands,
                                const QStringList &scpiCommands)
{
    HeaderCompletion result;
    result.completed = typed;
    if (typed.contains(QLatin1Char('?')) || typed.contains(QRegularExpression(QStringLiteral("\\s"))))
        return result;
    const qsizetype lastColon = typed.lastIndexOf(QLatin1Char(':'));
    const QString lead = typed.left(lastColon + 1); // kept as typed
    const QString partial = typed.mid(lastColon + 1);
    QStringList finished = lead.split(QLatin1Char(':'), Qt::SkipEmptyParts);

    const auto matches = [](const QString &typedNode, const QString &node) {
        return typedNode.compare(node, Qt::CaseInsensitive) == 0
            || typedNode.compare(ShortNode(node), Qt::CaseInsensitive) == 0;
    };
    QStringList candidates;
    for (const QStringList *table : {&ieeeCommands, &scpiCommands}) {
        for (const QString &entry : *table) {
            const QStringList nodes = entry.split(QLatin1Char(':'));
            if (nodes.size() <= finished.size())
                continue;
            bool same = true;
            for (qsizetype i = 0; i < finished.size() && same; ++i)
                same = matches(finished.at(i), nodes.at(i));
            const QString &node = nodes.at(finished.size());
            if (!same || !node.startsWith(partial, Qt::CaseInsensitive))
                continue;
            const bool more = nodes.size() > finished.size() + 1;
            candidates << lead + node + (more ? QStringLiteral(":") : QString());
        }
    }
    candidates.removeDuplicates();
    // A node that ends one entry and leads on in another is offered once, as the end.
    QStringList offered;
    for (const QString &c : candidates) {
        if (!(c.endsWith(QLatin1Char(':')) && candidates.contains(c.chopped(1))))
            offered << c;
    }
    candidates = offered;
    std::sort(candidates.begin(), candidates.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    result.candidates = candidates;
    if (candidates.isEmpty())
        return result;
    QString common = candidates.first();
    for (const QString &c : candidates) {
        qsizetype n = 0;
        while (n < common.size() && n < c.size()
               && common.at(n).toCaseFolded() == c.at(n).toCaseFolded())
            ++n;
        common.truncate(n);
    }
    if (common.size() > typed.size())
        result.completed = common;
    return result;
}

} // namespace zop
