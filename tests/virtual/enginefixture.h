#pragma once
// The front-panel engine of a series on a scripted TCP/IP link and a manual clock, showing on a
// view that records: a 15 V / 100 A instrument in standby whose "<>STA" reply each test can
// change, and whose "<>ALL" reports the setpoints last sent to it.

#include "app/moddata.h"
#include "engine/frontpanel.h"
#include "link/commlayer.h"
#include "testsupport.h"

#include <QPointer>
#include <QTest>
#include <memory>

namespace zop::test {

// What the engine asked the screen to do, beside what it keeps itself (displays, lamps, legend).
struct RecordingView : FrontPanelView {
    struct KnobState {
        float maximum = 0;
        float value = 0;
    };
    void showDisplay(FrontDisplay, const QString &) override {}
    void dimDisplays(bool) override {}
    void showLamp(const QString &, LampLight) override {}
    void showLegend(const QString &) override {}
    void showTyped(const QString &text) override { typed = text; }
    void lockTyped(bool locked) override { typedLocked = locked; }
    void setKnob(FrontKnob k, float maximum, float value) override { knobs[k] = {maximum, value}; }
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
    bool closing() const override { return false; }
    void giveWay() override {}
    void pollRead(const std::vector<qint32> &) override { ++pollsRead; }

    QString typed;
    bool typedLocked = false;
    QMap<FrontKnob, KnobState> knobs;
    bool knobsEnabled = true;
    QMap<FrontKey, bool> hidden;
    QMap<FrontKey, bool> disabled;
    qint64 holdProgress = -1;
    std::optional<QString> answer; // the Enter Value dialog's answer (nothing: Cancel)
    QStringList asked;             // its title|offered text, each time it opened
    int pollsRead = 0;
};

struct EngineFixture : Fixture {
    using K = FrontKey;
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
    // Types a key at a time into the entry, which reports each change.
    void typeInto(const QString &text)
    {
        for (QChar c : text) {
            view.typed += c;
            e->textEdited(view.typed);
        }
    }
    // A knob turned to `value` and let go.
    void turn(FrontKnob knob, float value)
    {
        view.knobs[knob].value = value;
        e->knobTurning(knob, value);
        e->knobTurnEnded(knob, value);
    }
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

    // Plays a session of space-separated steps: a key's name clicks it (MENU, ITEM, UP, DN,
    // ENTER, CLEAR, START, STOP, DISPLAY, MEM, ARM, VISET, TRIP, CAL, VOLT, CURR, OVT, OCT),
    // NAME+ presses and holds it, NAME- lets it go; 'TEXT types; +MS moves the clock with the
    // hold timer, ~MS with every timer, @MS alone; menu and poll run that tick once, f0/f1
    // set the flash phase, flash runs its tick; sta=REPLY, answer=TEXT (of the Enter Value dialog), vset=V, vbak=V, mem=N,
    // ALL=V (the setpoint "<>ALL" reports, in mV), <>QUERY=REPLY; knob:V=X turns a knob (V, I, OVP,
    // OCP) to X, knob:V-X down by X, stale:V=X leaves it at X as a stale knob would; "--"
    // forgets what was sent so far, "none" fails if anything was sent since, "quiet" if
    // anything but polls was; L notes the menu level (check: levels).
    void play(const QString &script)
    {
        static const QMap<QString, FrontKey> keys{
            {"MENU", K::Menu}, {"ITEM", K::Item}, {"UP", K::Up}, {"DN", K::Dn}, {"ENTER", K::Enter},
            {"CLEAR", K::Clear}, {"START", K::Start}, {"STOP", K::Stop}, {"DISPLAY", K::Display},
            {"MEM", K::Mem}, {"ARM", K::Arm}, {"VISET", K::VISet}, {"TRIP", K::Trip}, {"CAL", K::Cal},
            {"VOLT", K::Volt}, {"CURR", K::Curr}, {"OVT", K::Ovt}, {"OCT", K::Oct}};
        for (const QString &step : script.split(' ', Qt::SkipEmptyParts)) {
            const QString value = step.section('=', 1);
            const QString name = step.section('=', 0, 0);
            if (keys.contains(step)) {
                click(keys[step]);
            } else if (keys.contains(step.chopped(1)) && step.endsWith('+')) {
                e->press(keys[step.chopped(1)]);
            } else if (keys.contains(step.chopped(1)) && step.endsWith('-')) {
                e->release(keys[step.chopped(1)]);
            } else if (step.startsWith('\'')) {
                typeInto(step.mid(1));
            } else if (step.startsWith('+')) {
                advance(step.mid(1).toLongLong());
            } else if (step.startsWith('~')) {
                run(step.mid(1).toLongLong());
            } else if (step.startsWith('@')) {
                clock->advance(step.mid(1).toLongLong());
            } else if (step == "menu" || step == "poll") {
                e->tick(step == "menu" ? FrontPanel::Timer::Menu : FrontPanel::Timer::Poll);
            } else if (step == "f0" || step == "f1") {
                flash(step == "f1");
            } else if (step == "--") {
                sent();
            } else if (step == "none" || step == "quiet") {
                const QStringList since = step == "none" ? sent() : sentWithoutPolls();
                QVERIFY2(since.isEmpty(), qPrintable(step + ": " + since.join('|')));
            } else if (step == "L") {
                levels << QString::number(e->menuLevel());
            } else if (name == "sta") {
                staReply = value.toLatin1() + "\r\n";
            } else if (name == "answer") {
                view.answer = value;
            } else if (name == "vset") {
                modData().Settings.VoltSet = value.toFloat();
            } else if (name == "vbak") {
                modData().SettingsBackup.VoltSet = value.toFloat();
            } else if (step == "flash") {
                e->tick(FrontPanel::Timer::Flash);
            } else if (name == "mem") {
                modData().Settings.MemLoc = value.toFloat();
            } else if (name == "ALL") {
                instrument[0] = value.toInt();
            } else if (name.startsWith("<>")) {
                replies[name.toLatin1()] = value.toLatin1() + "\r\n";
            } else if (name.startsWith("knob:") || name.startsWith("stale:")) {
                const QString which = name.section(':', 1).section('-', 0, 0);
                const FrontKnob knob = Knobs.value(which);
                if (name.startsWith("stale:"))
                    view.knobs[knob].value = value.toFloat();
                else if (step.contains('-'))
                    turn(knob, view.knobs[knob].value - step.section('-', 1).toFloat());
                else
                    turn(knob, value.toFloat());
            } else {
                QFAIL(qPrintable("no such step: " + step));
            }
            if (!e)
                return;
        }
    }
    // What differs from `expect`, space-separated NAME=VALUE ('_' stands for a space): L, item,
    // sub, flash, power, entry, edit, wordA (the engine's state); V, I, M (displays), legend,
    // typed, a lamp by name (on, off, green, red, yellow, orange), phase (flash); knobK and maxK
    // (K: V, I, OVP, OCP), knobsOn; hidden:KEY, disabled:KEY (0 or 1), locked (the
    // entry), hold; vset, vbak, vprot, cset, memloc, pot2 (the records), link (CommKind);
    // polling, menuTimer (0 or 1), pollMs (its interval); reads (polls for the trend), boxes (messages); asked
    // (title|offered of the Enter Value dialog); levels (noted by L).
    QString check(const QString &expect)
    {
        static const QMap<LampLight, QString> lights{{LampLight::Dark, "off"}, {LampLight::Green, "green"},
            {LampLight::Red, "red"}, {LampLight::Yellow, "yellow"}, {LampLight::Orange, "orange"}};
        static const QMap<QString, FrontKey> keys{{"UP", K::Up}, {"DN", K::Dn}, {"ENTER", K::Enter},
            {"CAL", K::Cal}, {"VISET", K::VISet}, {"TRIP", K::Trip}, {"VOLT", K::Volt}};
        const ModData &d = modData();
        QStringList wrong;
        for (const QString &item : expect.split(' ', Qt::SkipEmptyParts)) {
            const QString name = item.section('=', 0, 0);
            const QString want = item.section('=', 1).replace('_', ' ');
            const auto num = [](double v) { return QString::number(v); };
            QString got;
            if (name == "L") got = num(e->menuLevel());
            else if (name == "item") got = num(e->menuItem());
            else if (name == "sub") got = num(e->menuSub());
            else if (name == "flash") got = num(e->flashItem());
            else if (name == "power") got = num(e->powerState());
            else if (name == "entry") got = num(e->entryMode());
            else if (name == "edit") got = num(float(e->editValue()));
            else if (name == "wordA") got = num(e->defaultWordA());
            else if (name == "V") got = e->shown(FrontDisplay::Volt);
            else if (name == "I") got = e->shown(FrontDisplay::Curr);
            else if (name == "M") got = e->shown(FrontDisplay::Mem);
            else if (name == "legend") got = e->legend();
            else if (name == "typed") got = e->typed() + '|' + view.typed;
            else if (name.startsWith("lbl")) {
                got = lights.value(e->lamp(name));
                if (want == "on" && got != "off")
                    got = "on";
            } else if (name.startsWith("knob") && Knobs.contains(name.mid(4))) got = num(view.knobs.value(Knobs[name.mid(4)]).value);
            else if (name.startsWith("max")) got = num(view.knobs.value(Knobs.value(name.mid(3))).maximum);
            else if (name == "knobsOn") got = num(view.knobsEnabled);
            else if (name == "locked") got = num(view.typedLocked);
            else if (name == "reads") got = num(view.pollsRead);
            else if (name == "boxes") got = num(prompter->shown.size());
            else if (name == "link") got = num(d.CommKind);
            else if (name == "phase") got = num(e->flashPhase());
            else if (name.startsWith("hidden:")) got = num(view.hidden.value(keys.value(name.mid(7))));
            else if (name.startsWith("disabled:")) got = num(view.disabled.value(keys.value(name.mid(9))));
            else if (name == "hold") got = num(view.holdProgress);
            else if (name == "vset") got = num(d.Settings.VoltSet);
            else if (name == "vbak") got = num(d.SettingsBackup.VoltSet);
            else if (name == "vprot") got = num(d.Settings.VoltProt);
            else if (name == "cset") got = num(d.Settings.CurrSet);
            else if (name == "memloc") got = num(d.Settings.MemLoc);
            else if (name == "pot2") got = num(d.Pots[1]);
            else if (name == "polling") got = num(e->timerActive(FrontPanel::Timer::Poll));
            else if (name == "menuTimer") got = num(e->timerActive(FrontPanel::Timer::Menu));
            else if (name == "pollMs") got = num(e->timerInterval(FrontPanel::Timer::Poll));
            else if (name == "asked") got = view.asked.join(',');
            else if (name == "levels") got = levels.join(',');
            else got = "?";
            if (got != want)
                wrong << QStringLiteral("%1=%2 (not %3)").arg(name, got, want);
        }
        return wrong.join(' ');
    }

    static inline const QMap<QString, FrontKnob> Knobs{
        {"V", FrontKnob::Volt}, {"I", FrontKnob::Curr}, {"OVP", FrontKnob::Ovp}, {"OCP", FrontKnob::Ocp}};
    RecordingView view;
    std::unique_ptr<FrontPanel> owned;
    QPointer<FrontPanel> e;
    QObject current; // the current panel, as the frame names it
    QByteArray staReply;
    int instrument[5] = {12000, 5000, 13500, 50000, 1000}; // mV, mA, mV, mA, ms
    qint64 due[4] = {-1, -1, -1, -1};
    QMap<QByteArray, QByteArray> replies;
    QStringList levels;
};

} // namespace zop::test
