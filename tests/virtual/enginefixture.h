#pragma once
// The front-panel engine of a series on a scripted TCP/IP link and a manual clock, showing on a
// view that records: a 15 V / 100 A instrument in standby whose "<>STA" reply each test can
// change, and whose "<>ALL" reports the setpoints last sent to it.

#include "app/moddata.h"
#include "engine/frontpanel.h"
#include "link/commlayer.h"
#include "testsupport.h"

#include <QPointer>
#include <memory>

namespace zop::test {

// What the engine asked the screen to do, beside what it keeps itself (displays, lamps, legend).
struct RecordingView : FrontPanelView {
    struct KnobState {
        float maximum = 0;
        float value = 0;
        bool turning = false;
    };
    void showDisplay(FrontDisplay, const QString &) override {}
    void dimDisplays(bool d) override { dimmed = d; }
    void showLamp(const QString &, LampLight) override {}
    void showLegend(const QString &) override {}
    void showTyped(const QString &text) override { typed = text; }
    void lockTyped(bool locked) override { typedLocked = locked; }
    void setKnob(FrontKnob k, float maximum, float value) override
    {
        if (!knobs[k].turning)
            knobs[k] = {maximum, value, false};
    }
    float knobValue(FrontKnob k) const override { return knobs.value(k).value; }
    void enableKnobs(bool enabled) override { knobsEnabled = enabled; }
    void showKey(FrontKey key, bool shown) override { hidden[key] = !shown; }
    void enableKey(FrontKey key, bool enabled) override { disabled[key] = !enabled; }
    void showHoldProgress(qint64 ms) override { holdProgress = ms; }
    std::optional<QString> enterValue(const QString &title, const QString &text,
                                      const QString &) override
    {
        asked << title + '|' + text;
        return answer;
    }
    bool closing() const override { return closed; }
    void giveWay() override { ++gaveWay; }
    void pollRead(const std::vector<qint32> &) override { ++pollsRead; }

    bool dimmed = false;
    QString typed;
    bool typedLocked = false;
    QMap<FrontKnob, KnobState> knobs;
    bool knobsEnabled = true;
    QMap<FrontKey, bool> hidden;
    QMap<FrontKey, bool> disabled;
    qint64 holdProgress = -1;
    std::optional<QString> answer; // the Enter Value dialog's answer (nothing: Cancel)
    QStringList asked;             // its title|offered text, each time it opened
    bool closed = false;
    int gaveWay = 0;
    int pollsRead = 0;
};

struct EngineFixture : Fixture {
    // Without an engine of its own, for a window that brings its own.
    explicit EngineFixture(PanelId series = PanelId::TLB, bool engine = true)
    {
        ModData &data = modData();
        data.Ratings = {15, 16.5f, 1.5f, 100, 110, 10};
        data.RatingsBackup = data.Ratings;
        data.VoltageFormat = "0.00";
        data.CurrentFormat = "0.0";
        data.Settings = {12, 5, 13.5f, 50, 1, 3};
        data.SettingsBackup = data.Settings;
        data.Pots = {100, 110, 120, 130, 140};
        data.PotsBackup = data.Pots;
        data.CommKind = LinkKind::TcpIp;
        OpenLink();
        staReply = "0,0,48,0,3\r\n";
        // The instrument's own view of the same setpoints, for the state refreshes.
        replies["<>SCL"] = "3A98,186A0\r\n";
        replies["SYST:VERS?"] = "ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n";
        replies["SYST:ERR?"] = "0,\"No error\"\r\n";
        replies["<>POT"] = "5,6,7,8,9\r\n";
        line->responder = [this](const QByteArray &command) -> QList<ScriptedLine::Chunk> {
            if (command == "<>STA")
                return {{0, staReply}};
            if (replies.contains(command))
                return {{0, replies.value(command)}};
            // The instrument keeps the setpoints it is sent and reports them in "<>ALL".
            static const char *const setters[] = {"VOLT ", "CURR ", "VOLT:PROT ", "CURR:PROT ", "PER "};
            for (int i = 0; i < 5; ++i) {
                if (command.startsWith(setters[i]))
                    instrument[i] = qRound(command.mid(qstrlen(setters[i])).toDouble() * 1000);
            }
            if (command == "<>ALL") {
                QStringList fields;
                for (int value : instrument)
                    fields << QString::number(value, 16).toUpper();
                return {{0, (fields.join(',') + ",3,1194\r\n").toLatin1()}};
            }
            return {};
        };
        current.setObjectName(SeriesSpecFor(series).windowName);
        if (!engine)
            return;
        data.CurrentPanel = &current;
        owned = std::make_unique<FrontPanel>(SeriesSpecFor(series), view);
        e = owned.get();
        e->start();
        line->written.clear();
    }

    // What was sent since the last call, each command without its line feed.
    QStringList sent()
    {
        const QStringList commands = line->commands();
        line->written.clear();
        return commands;
    }
    // The commands sent since the last call, "<>STA" polls left out.
    QStringList sentWithoutPolls()
    {
        QStringList commands = sent();
        commands.removeAll("<>STA");
        return commands;
    }
    void click(FrontKey key)
    {
        e->press(key);
        if (e)
            e->release(key);
    }
    // MENU, then ITEM `items` times.
    void openMenu(int items)
    {
        click(FrontKey::Menu);
        for (int i = 0; i < items; ++i)
            click(FrontKey::Item);
    }
    // Types a key at a time into the entry, which reports each change.
    void typeInto(const QString &text)
    {
        for (QChar c : text) {
            view.typed += c;
            e->textEdited(view.typed);
        }
    }
    // The TLB's potentiometer calibration, entered with its code.
    void enterPotCalibration()
    {
        openMenu(6);
        typeInto(QStringLiteral("3846"));
        click(FrontKey::Enter);
    }
    // A knob turned to `value` and let go.
    void turn(FrontKnob knob, float value)
    {
        view.knobs[knob].value = value;
        e->knobTurning(knob, value);
        e->knobTurnEnded(knob, value);
    }
    bool lit(const char *lamp) const { return e->lamp(QLatin1String(lamp)) != LampLight::Dark; }
    QString shown(FrontDisplay d) const { return e->shown(d); }
    void poll() { e->tick(FrontPanel::Timer::Poll); }
    // Moves the clock on, letting the hold timer see every 10 ms.
    void advance(qint64 ms)
    {
        for (qint64 t = 0; t < ms && e; t += FrontPanel::HoldTickMs) {
            clock->advance(FrontPanel::HoldTickMs);
            e->tick(FrontPanel::Timer::Hold);
        }
    }
    // Runs the engine's timers as Qt does over `ms` of simulated time: an active timer fires
    // once its interval has passed since it started or last fired.
    void run(qint64 ms)
    {
        using T = FrontPanel::Timer;
        static const T timers[] = {T::Poll, T::Menu, T::Flash, T::Hold};
        const qint64 end = clock->elapsedMs() + ms;
        while (e && clock->elapsedMs() < end) {
            clock->advance(1);
            for (int i = 0; i < 4 && e; ++i) {
                if (!e->timerActive(timers[i])) {
                    due[i] = -1;
                    continue;
                }
                if (due[i] < 0)
                    due[i] = clock->elapsedMs() - 1 + std::max(e->timerInterval(timers[i]), 1);
                if (clock->elapsedMs() >= due[i]) {
                    e->tick(timers[i]);
                    if (e)
                        due[i] = clock->elapsedMs() + std::max(e->timerInterval(timers[i]), 1);
                }
            }
        }
    }
    // Turns the flash phase to `phase` (the clock moves on by 0.35 s a turn).
    void flash(bool phase)
    {
        while (e->flashPhase() != phase) {
            clock->advance(FrontPanel::FlashToggleMs + 1);
            e->tick(FrontPanel::Timer::Flash);
        }
    }
    // The menu timer once, at a known flash phase: the displays as a menu shows them.
    void redraw(bool phase)
    {
        flash(phase);
        e->tick(FrontPanel::Timer::Menu);
    }

    RecordingView view;
    std::unique_ptr<FrontPanel> owned;
    QPointer<FrontPanel> e;
    QObject current; // the current panel, as the frame names it
    QByteArray staReply;
    int instrument[5] = {12000, 5000, 13500, 50000, 1000}; // mV, mA, mV, mA, ms
    qint64 due[4] = {-1, -1, -1, -1};
    QMap<QByteArray, QByteArray> replies;
};

} // namespace zop::test
