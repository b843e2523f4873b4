#pragma once
// The "Virtual Control Panel": the instrument's front panel on screen. One class serves the
// four series (frmTLB, frmKM, frmTW, frmGZ), built from the series table. It polls "<>STA"
// five times a second, shows the readings and lamps, and drives the instrument through its
// keys, knobs and menus, mirroring its menu state with "<>CHG".
//
// Every time decision is taken on modData().clock, never on the wall clock; the timers only
// wake the panel up. Keys that are held (UP, DN, CLEAR, DISPLAY) are timer-driven states, not
// nested event loops, so a poll or a panel switch during a hold cannot pull the window away
// from under a running handler.

#include "frame/panelwindow.h"
#include "panels/virtual/panellogic.h"
#include "panels/virtual/series.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QTimer>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QGroupBox;
class QFrame;

namespace zop {

class Knob;
class Lamp;
class PanelDisplay;
class TrendBuffer;
class TrendView;

class VirtualPanel : public PanelWindow {
    Q_OBJECT
public:
    // The access code in "QMX_Panel.ini" that widens the panel to show its transaction log.
    static inline const QString DebugAccessCode = QStringLiteral("tan_whelk");
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

    explicit VirtualPanel(PanelId series, QWidget *parent = nullptr);
    ~VirtualPanel() override;

    const SeriesSpec &spec() const { return m_spec; }

    // Panel state, as the instrument's own front panel has it.
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

    // Widgets, by their names.
    PanelDisplay *txtVolt = nullptr;
    PanelDisplay *txtCurr = nullptr;
    PanelDisplay *txtMEM = nullptr;
    QLineEdit *txtInput = nullptr;
    Knob *knbVolt = nullptr;
    Knob *knbCurr = nullptr;
    QPushButton *cmdMenu = nullptr;
    QPushButton *cmdItem = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDn = nullptr;
    QPushButton *cmdEnter = nullptr;
    QPushButton *cmdDsply = nullptr;
    QPushButton *cmdMem = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *cmdArm = nullptr;
    QPushButton *cmdStart = nullptr;
    QPushButton *cmdStop = nullptr;
    // KM, TW and GZ.
    QPushButton *cmdVISet = nullptr;
    QPushButton *cmdTRIP = nullptr;
    QPushButton *cmdCal = nullptr;
    QPushButton *cmdVolt = nullptr;
    QPushButton *cmdCurr = nullptr;
    QPushButton *cmdOVT = nullptr;
    QPushButton *cmdOCT = nullptr;
    QProgressBar *prgCalHold = nullptr; // the calibration key's 10 s hold
    Knob *knbOVP = nullptr; // GZ
    Knob *knbOCP = nullptr; // GZ
    QGroupBox *fraKnobs = nullptr;
    QFrame *fraButtons = nullptr;
    // What a menu shows in the displays ("OVT", "POT 3"), beside them; blank at idle.
    QLabel *lblLegend = nullptr;
    // The trend below the front panel, hidden until "Trend" in the View menu shows it.
    TrendView *fraTrend = nullptr;
    QAction *mnuTrend = nullptr;
    QTimer tmrInfo;
    QTimer tmrMenu;
    QTimer tmrFlash;
    QTimer tmrHold;

    // The readings of the last hour, fed by every panel's poll for the whole run (a switch to
    // another panel and back keeps them).
    static TrendBuffer &TrendHistory();
    // Shows or hides the trend; the choice holds for the virtual panels opened later.
    void showTrend(bool shown);
    // "Export CSV": asks for a file name and writes the readings held.
    void exportTrend();

    // A lamp by its control array name and index ("lblStatus", 8), null when absent.
    Lamp *lamp(const QString &array, int index) const;
    // The four lamp lists, in their order.
    QList<Lamp *> setpointLamps;
    QList<Lamp *> configLamps;
    QList<Lamp *> alarmLamps;
    QList<Lamp *> operationLamps;

    // Timer ticks, public so tests drive them after moving the clock.
    void tmrInfo_Timer();
    void tmrMenu_Timer();
    void tmrFlash_Timer();
    void holdTick();

    // Keys: press and release, as the mouse (or the space bar) gives them.
    void cmdMenu_Click();
    void cmdItem_Click();
    void cmdEnter_Click();
    void cmdUp_MouseDown() { upDownPress(+1); }
    void cmdDn_MouseDown() { upDownPress(-1); }
    void cmdUpDn_MouseUp();
    void cmdDsply_MouseDown();
    void cmdDsply_MouseUp();
    void cmdClear_MouseDown();
    void cmdClear_MouseUp();
    void cmdStart_Click();
    void cmdStop_Click();
    void cmdArm_Click();
    void cmdMem_Click();
    void txtInput_Change();
    // KM, TW, GZ: the setpoint buttons (0 VOLTAGE, 1 CURRENT, 2 OVT, 3 OCT), the display keys,
    // the calibration key held for 10 s, and CLEAR as one click.
    void setpointButton_Click(int which);
    void cmdVISet_MouseDown() { displayKeyPress(2); }
    void cmdTRIP_MouseDown() { displayKeyPress(3); }
    // The release of DISPLAY, V/I and TRIP: the level returns 0.4 s later.
    void displayKeyRelease();
    void cmdCal_MouseDown();
    void cmdCal_MouseUp();
    void cmdClear_Click();
    void knob_Turning(Knob *knob);
    void knob_TurnEnded(Knob *knob);

    // Menu procedures.
    void ExitMenu();
    void LoadEditValue(qint16 level);
    void RefreshMenuDisplay();
    void ApplyMenuAction(const QString &action);
    void UpdateLamps();
    void ShowValue(PanelDisplay *display, double value, const QString &format);
    void ShowMemory(double number);

protected:
    void stopPanelTimers() override;
    bool logsCloseCommand() const override { return DebugMode; }
    void panelClosing() override;
    // A system type of another series: that series' panel takes this one's place.
    void afterSetup() override;
    void stateRefreshed() override { syncKnobs(); }
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanel();
    QWidget *buildDisplays();
    QWidget *buildKeys();
    QWidget *buildLamps();
    Lamp *addLamp(const QString &array, int index, const QString &caption, int tag);
    void buildLampLists();
    void buildTrend();
    void fixTabOrder();
    void recordTrend(const std::vector<qint32> &fields);
    void updateLegend();
    void loadPictures();
    void readDebugAccess();

    void send(const QString &command);
    void sendChg(qint16 level, qint16 item, qint16 sub);
    void poll();
    void pollFailed(const QString &command, const QString &reply, const QString &description);
    void showReadings(const std::vector<qint32> &fields);
    void showConfigLamps(bool flashSelected);
    void lightSetpointLamp(int position, quint32 colour);
    void flashAfterDirectAdjust(const std::vector<qint32> &fields);
    double secondsSinceKey() const;
    void takeKeyTime();
    qint64 now() const;
    bool closing() const;

    bool isTlb() const { return m_spec.series == Series::TLB; }
    // What a menu level means, in the TLB's numbering (KM/TW/GZ: 9 configuration is 10, 10
    // calibration is 11); -1 for levels that are no menu.
    qint16 role(qint16 level) const;
    void displayKeyPress(qint16 level);
    void showKeySet();
    void enableSetpointButtons(bool enabled);
    // menuLeft: the caller has run ExitMenu already (the time-outs).
    void seriesClearAction(bool menuLeft = false);
    void enterCalibration();
    void upDownPress(int sign);
    void upDownStep();
    void clearReleaseAction(bool menuLeft = false);
    void scheduleClearFinish(qint64 waitMs, bool menuLeft);
    void finishClearRelease();
    void clearHoldTick();
    void endClearBlink();
    void clearHoldEnded();
    void blink(bool lit);
    void calibrationCodeEntered();
    void enableKnobs(bool enabled);
    // The knobs show the setpoints and ratings the panel holds; sends nothing.
    void syncKnobs();
    // ReadAllState, then the knobs follow what the instrument reported.
    void readState();
    // ApplyMenuAction without the knobs following.
    void applyMenuAction(const QString &action);
    void startMenuTimer();
    void resumePolling();
    QString typedText() const;
    void clearInput();
    void lockInput(bool locked);
    void showPotMenu();
    void showScaleMenu();

    const SeriesSpec &m_spec;
    QMap<QString, Lamp *> m_lamps;
    QLabel *pctLogo = nullptr;
    QLabel *pctName = nullptr;
    QWidget *fraTitle = nullptr;

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
    // A setpoint button holds the menu level for a moment after it sends.
    qint64 m_levelHoldUntilMs = -1;
    qint16 m_levelHoldRestore = 4;
    // The calibration key held.
    bool m_calHeld = false;
    qint64 m_calStartMs = 0;
};

} // namespace zop
