#include "cli/flashcommand.h"

#include "app/moddata.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define ZOP_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define ZOP_ISATTY(fd) ::isatty(fd)
#endif

namespace zop::cli {

namespace {

// The run's message boxes become the text of the failure they end with.
class CollectingPrompter : public Prompter {
public:
    MsgAnswer Show(const QString &text, const QString &, MsgIcon, MsgButtons) override
    {
        QString line = text;
        texts << line.replace(QLatin1String("\r\n"), QLatin1String("; "));
        return MsgAnswer::Ok;
    }
    QStringList texts;
};

} // namespace

int FlashProgress::Percent(int minimum, int maximum, int value)
{
    if (maximum <= minimum)
        return 0;
    return std::clamp(int(qint64(value - minimum) * 100 / (maximum - minimum)), 0, 100);
}

QString FlashProgress::BarLine(const QString &status, int percent, const QString &address)
{
    const int filled = percent * BarWidth / 100;
    return QStringLiteral("%1 [%2%3] %4%  %5")
        .arg(status, -10)
        .arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char('.')))
        .arg(percent, 3)
        .arg(address);
}

void FlashProgress::out(const QString &text)
{
    Print(text);
    std::fflush(stdout);
}

void FlashProgress::status(LoaderStatus status)
{
    if (status == LoaderStatus::Cleared)
        return;
    finish();
    m_status = LoaderStatusText(status);
    if (status == LoaderStatus::FinishedWarning)
        m_status += QStringLiteral(" (the new firmware did not answer)");
    m_inPhase = status == LoaderStatus::Erasing || status == LoaderStatus::Loading;
    m_range.reset();
    m_percent = 0;
    m_printedTenth = -1;
    m_address.clear();
    if (m_terminal && m_inPhase)
        draw(true);
    else
        out(m_status + QLatin1Char('\n'));
    if (const auto early = std::exchange(m_early, std::nullopt); early && m_inPhase)
        progress(early->first.minimum, early->first.maximum, early->second);
}

void FlashProgress::progress(int minimum, int maximum, int value)
{
    const Range range{minimum, maximum};
    if (!m_inPhase || (m_range && *m_range != range)) {
        m_early = std::pair{range, value};
        return;
    }
    m_range = range;
    show(Percent(minimum, maximum, value));
}

void FlashProgress::show(int percent)
{
    m_percent = percent;
    if (m_terminal) {
        draw(percent == 100);
        return;
    }
    // Each tenth once: a block sent again (the value back by one) prints nothing.
    const int tenth = percent / 10;
    if (tenth > m_printedTenth) {
        m_printedTenth = tenth;
        out(QStringLiteral("%1 %2%%3\n")
                .arg(m_status)
                .arg(tenth * 10)
                .arg(m_address.isEmpty() ? QString() : QStringLiteral("  ") + m_address));
    }
}

void FlashProgress::restarting()
{
    // The end record is not counted: the load is complete once the restart goes out.
    if (m_inPhase)
        show(100);
    finish();
    m_inPhase = false;
    out(RestartText + QLatin1Char('\n'));
}

void FlashProgress::draw(bool force)
{
    if (!force && m_sinceDraw.elapsed() < RedrawMs)
        return;
    m_sinceDraw.restart();
    // Back to the start of the line, the bar, and the rest of the old line erased.
    out(QLatin1Char('\r') + BarLine(m_status, m_percent, m_address)
        + QStringLiteral("\x1b[K"));
    m_barOpen = true;
}

void FlashProgress::finish()
{
    if (!m_barOpen)
        return;
    draw(true);
    out(QStringLiteral("\n"));
    m_barOpen = false;
}

void RunFlash(CommandContext &c)
{
    if (c.arguments.size() != 1)
        throw Failure{Exit::Usage, QStringLiteral("flash takes one HEX file (see zopctl --help)")};
    const QString path = c.arguments.first();
    ModData &data = modData();
    if (const QString refusal = ProgrammingRun::Refusal(data.CommKind); !refusal.isEmpty())
        throw Failure{Exit::Usage, refusal + QStringLiteral(" Give a serial:// link.")};
    if (!QFileInfo(path).isFile())
        throw Failure{Exit::BadFile, QStringLiteral("cannot read %1").arg(path)};

    const std::shared_ptr<Prompter> previous = data.prompter;
    const auto prompter = std::make_shared<CollectingPrompter>();
    data.prompter = prompter;
    FlashProgress view(ZOP_ISATTY(fileno(stdout)));
    ProgrammingRun run;
    LoaderStatus last = LoaderStatus::Cleared;
    QObject::connect(&run, &ProgrammingRun::statusChanged, [&](LoaderStatus s) {
        last = s;
        view.status(s);
    });
    QObject::connect(&run, &ProgrammingRun::progressChanged,
                     [&](int min, int max, int value) { view.progress(min, max, value); });
    QObject::connect(&run, &ProgrammingRun::addressChanged,
                     [&](const QString &text) { view.address(text); });
    QEventLoop loop;
    QObject::connect(&run, &ProgrammingRun::activeChanged, &loop, [&](bool active) {
        if (!active)
            loop.quit();
    });
    QObject::connect(&c.interrupt, &Interrupt::raised, &run, [&run] { run.Stop(); });
    // The restart has no status of its own: it is told from the phase.
    QTimer restartWatch;
    bool restarted = false;
    QObject::connect(&restartWatch, &QTimer::timeout, [&] {
        if (run.phase() == ProgrammingRun::Phase::Restart && run.Running()) {
            restartWatch.stop();
            restarted = true;
            view.restarting();
        }
    });
    restartWatch.start(ProgrammingRun::TickMs);
    run.Start(path);
    if (run.isActive() && !c.interrupt.requested())
        loop.exec();
    run.abandon();
    view.finish();
    data.prompter = previous;

    const QString said = prompter->texts.join(QLatin1Char(' '));
    switch (last) {
    case LoaderStatus::Finished:
        Print(QStringLiteral("The instrument answers with firmware %1\n").arg(data.FirmwareVersion));
        return;
    case LoaderStatus::FinishedWarning:
        throw Failure{Exit::TimedOut, said};
    case LoaderStatus::Stopped:
        throw Failure{c.interrupt.requested() ? c.interrupt.exitCode() : Exit::Interrupted,
                      restarted ? QStringLiteral("the run was stopped after the restart: the new "
                                                 "firmware was not checked")
                                : QStringLiteral("the run was stopped; the instrument may still "
                                                 "be in its boot loader")};
    case LoaderStatus::TimedOut:
        throw Failure{Exit::TimedOut, said};
    case LoaderStatus::InvalidFile:
        throw Failure{Exit::BadFile,
                      QStringLiteral("Invalid File: %1 has fewer than %2 lines")
                          .arg(path)
                          .arg(ProgrammingRun::MinLastLine + 1)};
    case LoaderStatus::Error:
        c.link.ensureLink(QStringLiteral("the firmware run")); // a lost link throws here
        // The file was refused before anything was sent; the message names the line.
        throw Failure{Exit::BadFile,
                      QStringLiteral("%1: %2")
                          .arg(path, said.isEmpty() ? QStringLiteral("a record cannot be "
                                                                     "programmed")
                                                    : said)};
    default:
        // The run ended with the error report, before any status of its own.
        throw Failure{Exit::BadFile, said.isEmpty() ? QStringLiteral("the run failed") : said};
    }
}

} // namespace zop::cli
