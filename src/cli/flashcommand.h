#pragma once
// zopctl flash FILE.hex: the Firmware Panel's programming run from the command line, over an
// RS-232 link. On a terminal a progress bar shows each phase; otherwise plain lines report
// every status and each tenth of a phase. Ctrl-C stops the run the way "Stop" does.

#include "cli/commands.h"
#include "loader/programmingrun.h"

#include <QElapsedTimer>
#include <QString>
#include <optional>
#include <utility>

namespace zop::cli {

// What the run shows, as text on standard output. The bars (or tenths) are those of erasing
// and loading; a progress range that comes before its phase's status belongs to that phase.
class FlashProgress {
public:
    static constexpr int BarWidth = 30;
    static constexpr qint64 RedrawMs = 100; // a bar is redrawn no more often than this
    static inline const QString RestartText
        = QStringLiteral("Restarting, waiting for the new firmware to answer");

    explicit FlashProgress(bool terminal) : m_terminal(terminal) { m_sinceDraw.start(); }

    void status(LoaderStatus status);
    void progress(int minimum, int maximum, int value);
    void address(const QString &text) { m_address = text; }
    // Every record is written and the instrument restarts.
    void restarting();
    // Ends an open bar line.
    void finish();

    // The line a terminal shows: status, bar, percentage and address.
    static QString BarLine(const QString &status, int percent, const QString &address);
    static int Percent(int minimum, int maximum, int value);

private:
    struct Range {
        int minimum = 0;
        int maximum = 0;
        bool operator==(const Range &) const = default;
    };
    void show(int percent);
    void draw(bool force);
    void out(const QString &text);

    bool m_terminal;
    QString m_status;
    QString m_address;
    bool m_inPhase = false; // erasing or loading
    std::optional<Range> m_range; // the phase's
    std::optional<std::pair<Range, int>> m_early; // progress met before its phase's status
    int m_percent = 0;
    int m_printedTenth = -1;
    bool m_barOpen = false;
    QElapsedTimer m_sinceDraw;
};

// Throws Failure.
void RunFlash(CommandContext &c);

} // namespace zop::cli
