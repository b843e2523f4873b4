#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zopsim::scpi {

// The spellings one header node is accepted in, upper case: the long form, the short form made
// of its upper-case letters ("VOLTage" -> "VOLT"), and for nodes whose upper-case letters are
// not a prefix of the word ("Version", "Arm", "SlewLIM") also the usual four-letter short form
// ("VERS", "ARM", "SLEW").
QStringList nodeSpellings(const QString &mnemonic);

// The SCPI short form of a long header: the upper-case letters of every node,
// "SOURce:VOLTage:LEVel" -> "SOUR:VOLT:LEV".
QString shortForm(const QString &longForm);

// A command header such as "[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]": nodes joined by
// ":", nodes in brackets may be left out. Matching ignores case and a leading ":".
class HeaderPattern
{
public:
    explicit HeaderPattern(const QString &pattern);

    bool matches(const QString &header) const { return matches(tokens(header)); }
    // The same for a header already split by tokens(), so that one header is split once for a
    // whole table of patterns.
    bool matches(const QStringList &tokens) const;
    // The header's nodes in upper case without a leading ":"; empty when it has an empty node
    // (or none), which no pattern matches.
    static QStringList tokens(const QString &header);
    // The pattern with every node present and the brackets removed.
    QString longForm() const;
    // Every spelling a matching header can start with: those of the leading optional nodes and
    // of the first node that must be there.
    QStringList firstSpellings() const;

private:
    struct Node
    {
        QString mnemonic;
        QStringList spellings;
        bool optional = false;
    };
    bool matchFrom(int node, const QStringList &tokens, int token) const;

    QList<Node> m_nodes;
};

// A decimal number as SCPI writes it: optional sign, digits with an optional point, optional
// exponent ("12.5", "-3", ".5", "1e3"). Leading and trailing blanks are ignored.
std::optional<double> parseNumber(const QString &text);

// 1/0/ON/OFF (any case); a number counts as true when it is not zero.
std::optional<bool> parseBoolean(const QString &text);

// Splits a parameter list at commas and trims each part; an empty text gives an empty list.
QStringList splitParameters(const QString &text);

// Formats a value kept in thousandths as plain decimal text with three decimals ("12.500").
QString formatThousandths(qint64 value);

// The shortest fixed-point text of value with at least minDecimals decimals that reads back
// the same (up to six decimals): 1.1 -> "1.10", 0.125 -> "0.125".
QString formatDecimal(double value, int minDecimals);

} // namespace zopsim::scpi
