#pragma once
// The instrument's front panel without a window: the state and decisions of the four series'
// panels. It polls "<>STA" five times a second and decodes the lamps, displays and power state;
// it takes key presses (press/release of a FrontKey), typed text and knob turns, runs the menu
// state machine with its holds, blinking and time-outs, and mirrors its menu state to the
// instrument with "<>CHG". It talks to the instrument only through the communication layer and
// to the screen only through a FrontPanelView; what differs by series comes from its SeriesSpec
// row.
//
// Every time decision is taken on modData().clock, never on the wall clock; the timers only
// wake the engine up. Held keys (UP, DN, CLEAR, DISPLAY, the calibration key) are timer-driven
// states, not nested event loops, so a poll or a panel switch during a hold cannot pull the
// panel away from under a running handler.

#include "engine/panellogic.h"
#include "engine/seriesspec.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

namespace zop {

enum class FrontKey {
    Menu, Item, Up, Dn, Enter, Clear, Start, Stop,
    Display, Mem, Arm,               // TLB
    VISet, Trip, Cal, Volt, Curr, Ovt, Oct, // KM, TW, GZ
};
enum class FrontDisplay { Volt, Curr, Mem };
enum class FrontKnob { Volt, Curr, Ovp, Ocp };
enum class LampLight { Dark, Green, Red, Yellow, Orange };

// What the engine shows; the virtual panel draws it.
class FrontPanelView {
public:
    virtual ~FrontPanelView() = default;
    virtual void showDisplay(FrontDisplay display, const QString &text) = 0;
    virtual void dimDisplays(bool dimmed) = 0;
    // A lamp by its control name ("lblStatus(6)").
    virtual void showLamp(const QString &name, LampLight light) = 0;
    virtual void showLegend(const QString &text) = 0;
    // The typed entry's text, and whether it takes typing.
    virtual void showTyped(const QString &text) = 0;
    virtual void lockTyped(bool locked) = 0;
    // A knob's range and value; a knob the user is turning keeps the user's value.
    virtual void setKnob(FrontKnob knob, float maximum, float value) = 0;
    virtual float knobValue(FrontKnob knob) const = 0;
    virtual void enableKnobs(bool enabled) = 0;
    virtual void showKey(FrontKey key, bool shown) = 0;
    virtual void enableKey(FrontKey key, bool enabled) = 0;
    // How long the calibration key has been held, -1 when it is not.
    virtual void showHoldProgress(qint64 ms) = 0;
    // The Enter Value dialog of a setpoint key: nothing when cancelled.
    virtual std::optional<QString> enterValue(const QString &title, const QString &text,
                                              const QString &hint) = 0;
    // The panel is going (switch, close): nothing more is shown or sent.
    virtual bool closing() const = 0;
    // Another panel became current: this one gives way.
    virtual void giveWay() = 0;
    // A poll reply's fields (readings, status words), for the trend.
    virtual void pollRead(const std::vector<qint32> &fields) = 0;
};

class FrontPanel : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstPollMs = 250;
    static constexpr int PollIntervalMs = 200;
    static constexpr int MenuIntervalMs = 100;
    static constexpr int FlashTimerMs = 100;
    static constexpr int FlashToggleMs = 350;
    static constexpr int HoldTickMs = 10;
    static constexpr qint64 MenuTimeoutMs = 60000;
    static constexpr qint64 IdleMenuTimeoutMs = 10000;
    static constexpr qint64 ClearFirstHoldMs = 5000;
    static constexpr qint64 ClearSecondHoldMs = 10000;
    static constexpr qint64 ClearBlinkMs = 400;
    static constexpr qint64 ClearReleaseWaitMs = 200;
    static constexpr qint64 SeriesClearWaitMs = 500;
    static constexpr qint64 CalibrationHoldMs = 10000;
    static constexpr qint64 DisplayReleaseWaitMs = 400;
    static inline const QString CalibrationPotCode = QStringLiteral("3846");
    static inline const QString CalibrationScaleCode = QStringLiteral("6043");

    enum class Timer { Poll, Menu, Flash, Hold };

    FrontPanel(const SeriesSpec &spec, FrontPanelView &view, QObject *parent = nullptr);

    const SeriesSpec &spec() const { return m_spec; }
    // Leaves any menu (telling the instrument), shows the setpoints and starts polling.
    void start();
    // The timers stop (a switch to another panel is under way).
    void stopTimers();
    // The panel closes: the timers stop and the lamps are no longer updated from the status.
    void stop();
    // Poll errors are shown, and the traffic logged, in debug mode only.
    void setDebugMode(bool on) { DebugMode = on; }
    bool debugMode() const { return DebugMode; }

    // Locked while a sequence runs: every key, knob and the typed entry is refused (and shown
    // disabled) but STOP, which first tells onLockedStop (the run stops) and then stops the
    // output as always. Unlocked, the controls come back as the panel's state has them.
    void setLocked(bool locked);
    bool locked() const { return m_locked; }
    std::function<void()> onLockedStop;
    // Told of every poll reply's fields (the reading log, the events).
    std::function<void(const std::vector<qint32> &)> onPoll;
    // Outside every menu (a menu would fight a sequence's setpoints).
    bool idle() const { return MenuLevel <= m_spec.idleLevel; }

    // Input: a key goes down and comes up (a click is both); CLEAR of the series without the
    // hold, and the setpoint keys, act on the press.
    void press(FrontKey key);
    void release(FrontKey key);
    // The typed entry changed to `text` (filtered and shown back).
    void textEdited(const QString &text);
    void knobTurning(FrontKnob knob, float value);
    void knobTurnEnded(FrontKnob knob, float value);
    // The setpoints changed outside the panel (a state read, Setup): the knobs follow.
    void syncKnobs();

    // The timers' ticks, public so tests run them after moving the clock.
    void tick(Timer timer);
    bool timerActive(Timer timer) const;
    int timerInterval(Timer timer) const;

    // What the panel shows.
    QString shown(FrontDisplay display) const { return m_shown[int(display)]; }
    LampLight lamp(const QString &name) const { return m_lamps.value(name); }
    QString legend() const { return m_legend; }
    QString typed() const { return m_typed; }

    // The panel's state, as the instrument's own front panel has it.
    qint16 menuLevel() const { return MenuLevel; }
    qint16 menuItem() const { return MenuItem; }
    qint16 menuSub() const { return MenuSub; }
    qint16 flashItem() const { return FlashItem; }
    qint16 powerState() const { return PowerState; }
    qint16 entryMode() const { return EntryMode; }
    double editValue() const { return EditValue; }
    bool flashPhase() const { return FlashPhase; }
    qint32 defaultWordA() const { return DefaultWordA; }

private:
    struct LampRef {
        QString name;
        int tag;
    };
    QTimer &timer(Timer t);
    void buildLampLists();
    void setLamp(const QString &name, LampLight light);
    void show(FrontDisplay display, const QString &text);
    bool hasLamp(const QString &name) const { return m_lamps.contains(name); }

    void send(const QString &command);
    void sendChg(qint16 level, qint16 item, qint16 sub);
    void pollTick();
    void poll();
    void pollFailed(const QString &command, const QString &reply, const QString &description);
    void showReadings(const std::vector<qint32> &fields);
    void showConfigLamps(bool flashSelected);
    void lightSetpointLamp(int position, LampLight light);
    void flashAfterDirectAdjust(const std::vector<qint32> &fields);
    void UpdateLamps();
    void ShowValue(FrontDisplay display, double value, const QString &format);
    void ShowMemory(double number);
    void flashTick();
    void updateLegend();
    double secondsSinceKey() const;
    void takeKeyTime();
    qint64 now() const;
    bool closing() const;

    qint16 role(qint16 level) const;
    void ExitMenu();
    void LoadEditValue(qint16 level);
    void RefreshMenuDisplay();
    void showPotMenu();
    void showScaleMenu();
    // The value application ("Up", "Dn", "Save", "Clear", "0", "1", "" for typing), then the
    // knobs follow.
    void ApplyMenuAction(const QString &action);
    void applyMenuAction(const QString &action);

    void menuPress();
    void itemPress();
    void upDownPress(int sign);
    void upDownStep();
    void upDownRelease();
    void enterPress();
    void enterSeries();
    void calibrationCodeEntered();
    void displayKeyPress(qint16 level);
    void displayKeyRelease();
    void menuTick();
    void startPress();
    void stopPress();
    void armPress();
    void memPress();
    void clearPress();
    void clearRelease();
    void clearHoldTick();
    void endClearBlink();
    void clearHoldEnded();
    void blink(bool lit);
    // menuLeft: the caller has run ExitMenu already (the time-outs).
    void clearReleaseAction(bool menuLeft = false);
    void seriesClearAction(bool menuLeft = false);
    void scheduleClearFinish(qint64 waitMs, bool menuLeft);
    void finishClearRelease();
    void holdTick();
    void setpointPress(int which);
    void calPress();
    void calRelease();
    void enterCalibration();

    void showKeySet();
    void enableSetpointKeys(bool enabled);
    void enableKnobs(bool enabled);
    // ReadAllState, then the knobs follow what the instrument reported.
    void readState();
    void startMenuTimer();
    void resumePolling();
    void clearInput();
    void lockInput(bool locked);

    const SeriesSpec &m_spec;
    FrontPanelView &m_view;
    QTimer tmrInfo;
    QTimer tmrMenu;
    QTimer tmrFlash;
    QTimer tmrHold;

    qint16 MenuLevel = 3;
    qint16 MenuItem = -1;
    qint16 MenuSub = 0;
    qint16 FlashItem = 5;
    qint16 PowerState = Power::Standby;
    qint16 EntryMode = -1;
    double EditValue = 0;
    QString EditFormat;
    bool FlashPhase = false;
    bool DebugMode = false;
    bool DirectAdjustReady = true;
    bool ValueChanged = false; // set by every value application, cleared by MENU
    bool KeyHeld = false;      // UP, DN held
    bool ClearHeld = false;    // CLEAR (or the calibration key) held
    StatusBits StatusBitsA{};
    StatusBits AlarmBitsB{};
    qint32 DefaultWordA = zop::DefaultWordA;
    qint32 DefaultWordB = zop::DefaultWordB;
    qint32 DefaultMemory = 0;

    // What is shown.
    QString m_shown[3];
    QMap<QString, LampLight> m_lamps;
    QString m_legend;
    QString m_typed;
    bool m_typedLocked = false;
    bool m_locked = false;
    bool m_knobsEnabled = true;
    bool m_setpointKeysEnabled = true;
    QList<LampRef> setpointLamps;
    QList<LampRef> configLamps;
    QList<LampRef> alarmLamps;
    QList<LampRef> operationLamps;

    qint64 m_lastKeyMs = 0;
    qint64 m_lastFlashMs = 0;
    bool m_inPoll = false; // from the poll's send to its reply, or to the end of its message
    bool m_pollErrorShown = false; // the poll's error box is open
    QString m_promptSent;          // the code text last shown on the instrument

    // UP/DN held.
    int m_stepSign = 0;
    int m_stepCount = 0;
    qint64 m_nextStepMs = 0;
    // CLEAR held.
    bool m_clearLoop = false;
    qint64 m_clearStartMs = 0;
    bool m_clr1Sent = false;
    bool m_clr2Sent = false;
    int m_blinkCount = 0;
    qint64 m_nextBlinkMs = 0;
    bool m_blinkLit = false;
    // CLEAR released: the rest of its action after a short wait.
    qint64 m_clearFinishMs = -1;
    bool m_exitOnClearFinish = true;
    bool m_readStateAfterClear = false; // a CLEAR hold ended by the release
    // DISPLAY: the level and entry state kept while it is held, and the release time.
    qint16 m_savedLevel = 3;
    qint16 m_savedEntry = -1;
    qint64 m_displayReleaseMs = -1;
    bool m_displayHeld = false;
    // A setpoint key holds the menu level for a moment after it sends.
    qint64 m_levelHoldUntilMs = -1;
    qint16 m_levelHoldRestore = 4;
    // The calibration key held.
    bool m_calHeld = false;
    qint64 m_calStartMs = 0;
};

} // namespace zop
