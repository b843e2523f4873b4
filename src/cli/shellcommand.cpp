#include "cli/shellcommand.h"

#include "app/moddata.h"
#include "core/textfile.h"
#include "engine/console.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <histedit.h>
#include <unistd.h>

namespace zop::cli {

namespace {

constexpr const char *Prompt = "zop> ";

class SessionConsoleLink : public ConsoleLink {
public:
    explicit SessionConsoleLink(LinkSession &link) : m_link(link) {}
    void send(const QString &command) override { m_link.send(command); }
    std::optional<QString> query(const QString &command, bool) override
    {
        return m_link.query(command);
    }

private:
    LinkSession &m_link;
};

QStringList ReadHistory(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray &line : file.readAll().split('\n'))
        lines << QString::fromLatin1(line).trimmed();
    return lines;
}

void WriteHistory(const QString &path, const QStringList &lines)
{
    // A history that cannot be written is no reason to stop working with the instrument.
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLatin1() + '\n';
    WriteWholeFile(path, bytes);
}

// Runs one line; prints its reply. Returns the error the check found (empty when none).
QString RunLine(const QString &line, bool checkErrors, LinkSession &link, const QString &where)
{
    SessionConsoleLink console(link);
    const ConsoleStep step = RunConsoleLine(line, checkErrors, console);
    if (!step.refused.isEmpty())
        throw Failure{Exit::Usage, where + QStringLiteral("not sent: ") + step.refused};
    if (step.reply)
        PrintReply(*step.reply);
    std::fflush(stdout);
    if (!step.error.isEmpty())
        std::fprintf(stderr, "zopctl: %sinstrument error: %s\n", qPrintable(where),
                     qPrintable(EscapeControls(step.error, false)));
    return step.error;
}

// ---- from a script or a pipe

void RunScript(CommandContext &c, bool checkErrors)
{
    QTextStream in(stdin);
    QString line;
    int number = 0;
    while (in.readLineInto(&line)) {
        ++number;
        const QString text = line.trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const QString where = QStringLiteral("line %1: ").arg(number);
        if (!RunLine(text, checkErrors, c.link, where).isEmpty())
            throw Failure{Exit::InstrumentError,
                          where + QStringLiteral("stopped at the instrument's error")};
    }
}

// ---- on a terminal, with libedit

struct Terminal {
    EditLine *el = nullptr;
    History *history = nullptr;
};
bool g_abandoned = false;

char *PromptText(EditLine *) { return const_cast<char *>(Prompt); }

// Ctrl-C: the line is given up and a fresh prompt shown.
unsigned char Abandon(EditLine *el, int)
{
    g_abandoned = true;
    std::fputs("^C\r\n", stdout);
    return CC_NEWLINE;
}

unsigned char Complete(EditLine *el, int)
{
    const LineInfo *info = el_line(el);
    const QString before = QString::fromLatin1(info->buffer, int(info->cursor - info->buffer));
    const ModData &data = modData();
    const HeaderCompletion found = CompleteHeader(before, data.IEEECommand, data.SCPICommand);
    if (found.completed != before) {
        el_deletestr(el, int(before.size()));
        el_insertstr(el, found.completed.toLatin1().constData());
        return CC_REFRESH;
    }
    if (found.candidates.size() > 1) {
        std::fprintf(stdout, "\n%s\n", qPrintable(found.candidates.join(QStringLiteral("  "))));
        return CC_REDISPLAY;
    }
    return CC_ERROR;
}

void FillEditorHistory(History *history, const QStringList &lines)
{
    HistEvent event;
    ::history(history, &event, H_CLEAR);
    for (const QString &line : lines)
        ::history(history, &event, H_ENTER, line.toLatin1().constData());
}

void RunTerminal(CommandContext &c, bool checkErrors)
{
    const QString historyPath = ShellHistoryPath();
    ConsoleHistory lines;
    lines.setLines(ReadHistory(historyPath));

    Terminal t;
    t.el = el_init("zopctl", stdin, stdout, stderr);
    t.history = history_init();
    if (!t.el || !t.history)
        throw Failure{Exit::Usage, QStringLiteral("the terminal cannot be used for editing")};
    HistEvent event;
    ::history(t.history, &event, H_SETSIZE, ConsoleHistory::Capacity);
    FillEditorHistory(t.history, lines.lines());
    el_set(t.el, EL_EDITOR, "emacs");
    el_set(t.el, EL_PROMPT, PromptText);
    el_set(t.el, EL_HIST, history, t.history);
    // A signal while editing puts the terminal back before the program hears of it.
    el_set(t.el, EL_SIGNAL, 1);
    // Ctrl-C reaches the editor as a key (no SIGINT while a line is edited).
    el_set(t.el, EL_SETTY, "-d", "-isig", nullptr);
    el_set(t.el, EL_ADDFN, "zop-abandon", "Abandon the line", Abandon);
    el_set(t.el, EL_BIND, "^C", "zop-abandon", nullptr);
    el_set(t.el, EL_ADDFN, "zop-complete", "Complete the header", Complete);
    el_set(t.el, EL_BIND, "^I", "zop-complete", nullptr);
    struct Cleanup {
        Terminal &t;
        ~Cleanup()
        {
            el_end(t.el);
            history_end(t.history);
        }
    } cleanup{t};

    for (;;) {
        int count = 0;
        g_abandoned = false;
        const char *read = el_gets(t.el, &count);
        if (g_abandoned)
            continue;
        if (!read || count <= 0) { // Ctrl-D on an empty line, or the terminal went away
            std::fputs("\n", stdout);
            return;
        }
        const QString text = QString::fromLatin1(read).trimmed();
        if (text.isEmpty())
            continue;
        lines.add(text);
        FillEditorHistory(t.history, lines.lines());
        WriteHistory(historyPath, lines.lines());
        try {
            RunLine(text, checkErrors, c.link, QString());
        } catch (const Failure &f) {
            // A refused line or a reply that did not come: said, and the prompt comes back.
            // A lost link or a signal ends the shell.
            if (f.code != Exit::Usage && f.code != Exit::TimedOut)
                throw;
            if (f.code == Exit::TimedOut && !c.link.resumeAfterTimeOut())
                throw;
            std::fprintf(stderr, "zopctl: %s\n", qPrintable(EscapeControls(f.message, true)));
        }
    }
}

} // namespace

QString ShellHistoryPath() { return QDir::home().filePath(QStringLiteral(".zopctl_history")); }

void RunShell(CommandContext &c, bool checkErrors)
{
    if (::isatty(STDIN_FILENO))
        RunTerminal(c, checkErrors);
    else
        RunScript(c, checkErrors);
}

} // namespace zop::cli
