#pragma once
// The programming run on a scripted RS-232 line answered by the emulator's boot loader (in
// this process) and, once it has restarted, by scripted replies. Time is a manual clock the
// helpers move one system tick at a time.

#include "app/moddata.h"
#include "bootloader.h"
#include "hexfiles.h"
#include "link/commlayer.h"
#include "link/linkkind.h"
#include "link/logsink.h"
#include "loader/programmingrun.h"
#include "testsupport.h"

#include <array>


namespace zop::test {

struct LoaderFixture : Fixture {
    LoaderFixture()
    {
        AnswerStateRefresh(*line);
        line->responder = [this](const QByteArray &bytes) -> QList<ScriptedLine::Chunk> {
            QByteArray answer;
            if (boot.active())
                answer = boot.receive(bytes);
            else if (bytes == "VOLT?")
                answer = voltAnswer;
            else
                answer = line->replies.value(bytes);
            if (answer.isEmpty())
                return {};
            return {{0, answer}};
        };
        modData().comm.LogTarget = &log;
        modData().CommKind = LinkKind::Rs232;
        OpenLink();
        QObject::connect(&run, &ProgrammingRun::statusChanged, [this](LoaderStatus s) {
            statuses << s;
            barFull = bar[2] == bar[1] && bar[1] > bar[0];
        });
        QObject::connect(&run, &ProgrammingRun::progressChanged,
                         [this](int min, int max, int value) { bar = {min, max, value}; });
    }

    QString writeHex(const QByteArray &text, const QString &name = QStringLiteral("fw.hex"))
    {
        writeFile(name, text);
        return path(name);
    }
    // Ticks until the run ends or `limitMs` of the clock have passed; true when it ended.
    bool tickToEnd(qint64 limitMs = 120000)
    {
        return tickUntil([this] { return !run.isActive(); }, limitMs);
    }
    template <typename Done>
    bool tickUntil(Done done, qint64 limitMs = 120000)
    {
        const qint64 end = clock->elapsedMs() + limitMs;
        while (!done() && clock->elapsedMs() < end && ticked()) {
            clock->advance(ProgrammingRun::TickMs);
            ticked()->tick();
        }
        return done();
    }
    // The packets written, all or those with this command byte (the synchronisation bytes
    // are no packets).
    QList<QByteArray> packets(int command = -1) const
    {
        QList<QByteArray> found;
        for (const QByteArray &w : line->written) {
            if (w.size() > 3 && w.startsWith("\x0F\x0F") && (command < 0 || quint8(w.at(2)) == command))
                found << w;
        }
        return found;
    }

    zopsim::BootLoader boot;
    QByteArray voltAnswer = "12.000\r\n";
    TextLog log;
    ProgrammingRun run;
    std::function<ProgrammingRun *()> ticked = [this] { return &run; }; // the run the ticks go to
    QList<LoaderStatus> statuses;
    std::array<int, 3> bar{}; // the progress bar: minimum, maximum, value
    bool barFull = false;     // at its end when the last status came
};

} // namespace zop::test
