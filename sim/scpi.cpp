#include "scpi.h"

#include <QRegularExpression>

#include <cmath>

namespace zopsim::scpi {

namespace {

bool isVowel(QChar c)
{
    return QStringLiteral("AEIOU").contains(c.toUpper());
}

} // namespace

QStringList nodeSpellings(const QString &mnemonic)
{
    const QString upper = mnemonic.toUpper();
    QString capitals;
    for (QChar c : mnemonic) {
        if (!c.isLower())
            capitals += c;
    }
    QStringList spellings{upper};
    if (!capitals.isEmpty() && !spellings.contains(capitals))
        spellings << capitals;
    const bool irregular = !upper.startsWith(capitals)
                           || (capitals.size() < 3 && upper.size() > capitals.size());
    if (irregular) {
        // Not a regular SCPI mnemonic ("Version", "SlewLIM"): add the conventional short form,
        // the first four letters, or three when the fourth is a vowel.
        QString conventional = upper.left(4);
        if (upper.size() > 4 && isVowel(upper.at(3)))
            conventional = upper.left(3);
        if (!spellings.contains(conventional))
            spellings << conventional;
    }
    return spellings;
}

QString shortForm(const QString &longForm)
{
    QStringList nodes = longForm.split(QLatin1Char(':'));
    for (QString &node : nodes) {
        QString capitals;
        for (QChar c : node) {
            if (!c.isLower())
                capitals += c;
        }
        node = capitals;
    }
    return nodes.join(QLatin1Char(':'));
}

HeaderPattern::HeaderPattern(const QString &pattern)
{
    bool optional = false;
    QString word;
    auto flush = [&] {
        if (!word.isEmpty())
            m_nodes.append({word, nodeSpellings(word), optional});
        word.clear();
    };
    for (QChar c : pattern) {
        if (c == QLatin1Char('[')) {
            flush();
            optional = true;
        } else if (c == QLatin1Char(']')) {
            flush();
            optional = false;
        } else if (c == QLatin1Char(':')) {
            flush();
        } else {
            word += c;
        }
    }
    flush();
}

QStringList HeaderPattern::tokens(const QString &header)
{
    const QStringView h = QStringView(header).startsWith(QLatin1Char(':')) ? QStringView(header).mid(1)
                                                                            : QStringView(header);
    if (h.isEmpty())
        return {};
    QStringList tokens = h.toString().toUpper().split(QLatin1Char(':'));
    for (const QString &t : tokens) {
        if (t.isEmpty())
            return {};
    }
    return tokens;
}

bool HeaderPattern::matches(const QStringList &tokens) const
{
    return !tokens.isEmpty() && matchFrom(0, tokens, 0);
}

bool HeaderPattern::matchFrom(int node, const QStringList &tokens, int token) const
{
    if (node == m_nodes.size())
        return token == tokens.size();
    const Node &n = m_nodes.at(node);
    if (token < tokens.size() && n.spellings.contains(tokens.at(token))
        && matchFrom(node + 1, tokens, token + 1)) {
        return true;
    }
    return n.optional && matchFrom(node + 1, tokens, token);
}

QString HeaderPattern::longForm() const
{
    QStringList words;
    for (const Node &n : m_nodes)
        words << n.mnemonic;
    return words.join(QLatin1Char(':'));
}

QStringList HeaderPattern::firstSpellings() const
{
    QStringList spellings;
    for (const Node &n : m_nodes) {
        spellings << n.spellings;
        if (!n.optional)
            break;
    }
    spellings.removeDuplicates();
    return spellings;
}

std::optional<double> parseNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString t = text.trimmed();
    if (!number.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> parseBoolean(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("OFF"), Qt::CaseInsensitive) == 0)
        return false;
    // A number counts as true when it rounds to a non-zero whole number; compared as a double,
    // so a huge value ("1e47") is true rather than an overflowing conversion.
    if (auto n = parseNumber(t))
        return std::abs(*n) >= 0.5;
    return std::nullopt;
}

QStringList splitParameters(const QString &text)
{
    if (text.trimmed().isEmpty())
        return {};
    QStringList parts = text.split(QLatin1Char(','));
    for (QString &p : parts)
        p = p.trimmed();
    return parts;
}

QString formatThousandths(qint64 value)
{
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    const qint64 a = value < 0 ? -value : value;
    return QStringLiteral("%1%2.%3").arg(sign).arg(a / 1000).arg(a % 1000, 3, 10, QLatin1Char('0'));
}

QString formatDecimal(double value, int minDecimals)
{
    for (int d = minDecimals; d < 6; ++d) {
        const QString text = QString::number(value, 'f', d);
        if (text.toDouble() == value)
            return text;
    }
    return QString::number(value, 'f', 6);
}

} // namespace zopsim::scpi
