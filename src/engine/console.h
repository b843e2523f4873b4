#pragma once
// The free command line of the Command Panel and of `zopctl shell`: any SCPI or IEEE 488.2
// text, checked whole before it goes out, sent through a link, its reply read when it is a
// query, and optionally followed by "SYST:ERR?" so that a refused command shows at once. Also
// the history of lines typed (distinct, newest last, kept across runs by the callers) and the
// completion of headers from the program's command tables.

#include <QString>
#include <QStringList>
#include <optional>

namespace zop {

// The query that reads one entry of the instrument's error queue after each line.
inline const QString ConsoleErrorQuery = QStringLiteral("SYST:ERR?");
// What the log shows when a query typed by hand gets no reply within the time-out.
inline const QString NoReplyText = QStringLiteral("(no reply within 2 s)");

// A text whose reply is read: it ends with "?" or its header (the text before the first blank)
// holds one ("SYST:ERR?", "MEAS:VOLT? (@1)", "VOLT 5;VOLT?").
bool IsConsoleQuery(const QString &line);

// Why `line` must not be sent, or empty text when it may: one line of 8-bit text without
// control characters (a line break would split it into two commands on the wire, a character
// outside 8 bits would go out as something else). `line` is taken as it stands; callers drop
// surrounding blanks and skip empty lines first.
QString ConsoleLineProblem(const QString &line);

// A reply of "SYST:ERR?" that reports an error: its leading number is not 0.
bool IsErrorReply(const QString &reply);

// What the console talks through: the panel's communication layer (with its log and its
// 2-second time-out) or zopctl's link session.
class ConsoleLink {
public:
    virtual ~ConsoleLink() = default;
    virtual void send(const QString &command) = 0;
    // The reply without its line end; no value when none came in time (or the caller is gone).
    // `echo`: the exchange shows in the transaction log (the error check's does not: only an
    // error it finds is shown).
    virtual std::optional<QString> query(const QString &command, bool echo) = 0;
};

struct ConsoleStep {
    QString refused;               // why nothing was sent (ConsoleLineProblem)
    bool queried = false;          // a reply was awaited
    std::optional<QString> reply;  // what came back (queried)
    QString error;                 // the error the check found ("-113,\"Undefined header\"")
};

// Sends one line (blanks around it dropped; an empty line sends nothing), reads its reply when
// it is a query, then, with `checkErrors`, reads "SYST:ERR?" once and keeps an error it reports
// (also after a query that got no reply: the error queue tells why, "-113" for a mistyped
// header).
ConsoleStep RunConsoleLine(const QString &line, bool checkErrors, ConsoleLink &link);

// The lines typed, oldest first: each at most once (typed again, it moves to the end), at most
// Capacity of them. Up and Down walk it; the line being typed before the walk comes back at
// its end.
class ConsoleHistory {
public:
    static constexpr int Capacity = 200;

    QStringList lines() const { return m_lines; }
    // Replaces the lines (as kept by the last run): blank ones dropped, duplicates and the
    // oldest beyond Capacity too.
    void setLines(const QStringList &lines);
    // Adds a line typed (blanks around it dropped; an empty one is not kept) and ends a walk.
    void add(const QString &line);
    // One step back (Up) or forward (Down) from the line shown now, `current` being the text
    // in the line; returns the text to show. At the ends it stays where it is.
    QString previous(const QString &current);
    QString next(const QString &current);

private:
    QStringList m_lines;
    qsizetype m_position = -1; // -1: not walking (at the line being typed)
    QString m_draft;
};

// Completing a header: `typed` is the text before the caret. Its finished nodes (before the
// last ":") may be given in long or short form, in any case; the last node is completed to the
// long forms of the table entries that match. A candidate that only leads on to further nodes
// ends with ":". Nothing is offered once the header is finished (a blank or "?" typed).
struct HeaderCompletion {
    QStringList candidates; // whole headers as they would stand, sorted
    QString completed;      // `typed` extended as far as every candidate agrees
};
HeaderCompletion CompleteHeader(const QString &typed, const QStringList &ieeeCommands,
                                const QStringList &scpiCommands);

// The short form of a header node: its leading capitals ("VOLTage" -> "VOLT"); the node itself
// when it has none.
QString ShortNode(const QString &node);

} // namespace zop
