#pragma once
// The "Calibration Panel" (frmCalibration): the service window a calibration technician
// unlocks with an access code typed into the Password row. It reads and sets the five
// calibration potentiometers (stepping one with UP and DN held down), the voltage, current and
// input scales and the calibration identification, restores the default potentiometers and
// ends calibration; with the higher code it also shows the system version and, on a TCP/IP
// link, the network module's serial number and hardware version.
//
// A held step button is a timer-driven state measured on modData().clock, not a nested event
// loop: a panel switch or a close during a hold stops it with the panel's timers.

#include "frame/panelwindow.h"
#include "panels/calmod/calibrationrows.h"

#include <QHash>
#include <QList>
#include <QTimer>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zop {

class CalibrationPanel : public PanelWindow {
    Q_OBJECT
public:
    // One step every 0.1 s while UP or DN is held; the hold timer looks every 10 ms.
    static constexpr qint64 StepIntervalMs = 100;
    static constexpr int HoldTickMs = 10;
    // A network Set is answered; the answer is read after this pause.
    static constexpr int NetworkReplyPauseMs = 100;
    static constexpr qint16 ReplyTimeoutSeconds = 2;
    // The command sent as the window opens: the instrument's own front-panel menu goes idle.
    static inline const QString IdleMenuCommand = QStringLiteral("<>CHG 0,-1,0");

    explicit CalibrationPanel(QWidget *parent = nullptr);
    ~CalibrationPanel() override;

    // The potentiometer last read with its Get button (0 to 4); -1 until then, and the step
    // buttons do nothing meanwhile.
    qint16 SelectedPot = -1;
    // Set while UP or DN is held down.
    bool KeyHeld = false;

    QGroupBox *fraCmds = nullptr;
    QPushButton *cmdUp = nullptr;
    QPushButton *cmdDn = nullptr;
    QLabel *Label1 = nullptr;             // "System Ver"
    QLabel *SerialNumberlLabel = nullptr; // "Ethernet Serial Number"
    QLabel *HWVersionLabel = nullptr;     // "Ethernet HW Version"
    QTimer tmrHold;

    // A command row's controls by its table index; null when the row has no such control.
    QPushButton *cmdGetSCPI(int index) const;
    QPushButton *cmdSetSCPI(int index) const;
    QLineEdit *txtSCPI(int index) const;
    QLabel *rowLabel(int index) const;
    // A potentiometer row's controls, 0 to 4.
    QPushButton *cmdGetPot(int pot) const { return m_pots.value(pot).get; }
    QPushButton *cmdSetPot(int pot) const { return m_pots.value(pot).set; }
    QLineEdit *txtPot(int pot) const { return m_pots.value(pot).data; }

    // What the Password row's last Set unlocked.
    CalLock lockState() const { return m_lock; }

    void cmdGetSCPI_Click(int index);
    void cmdSetSCPI_Click(int index);
    void cmdGetPot_Click(int pot);
    void cmdSetPot_Click(int pot);
    void cmdUp_MouseDown() { stepPress(+1); }
    void cmdDn_MouseDown() { stepPress(-1); }
    void cmdUpDn_MouseUp();
    // The hold timer's tick, public so tests drive it after moving the clock.
    void holdTick();

    // Unlocks (or locks) the scale rows and shows the version rows the link has.
    void EnableScales(bool enable);
    // Unlocks (or locks) the potentiometer rows and the step buttons.
    void EnablePots(bool enable);

protected:
    void stopPanelTimers() override;
    void afterSetup() override;

private:
    struct Controls {
        QPushButton *get = nullptr;
        QPushButton *set = nullptr;
        QLineEdit *data = nullptr;
        QLabel *label = nullptr;
    };
    void buildPanel();
    QGroupBox *buildCommandFrame();
    void addCommandRow(const CalibrationRow &row, QGridLayout *grid, int line);
    void addPotRow(int pot, QGridLayout *grid, int line);
    void fixTabOrder();
    void showRow(int index, bool shown);
    void applyFrameEnd();
    // Sends `command` (logged), waits `pauseMs`, then reads one reply with the command frame
    // and the menus disabled. False when the panel is gone after the wait: do not touch it.
    bool ask(const QString &command, QString &reply, int pauseMs = 0);
    void stepPress(int direction);
    void step();
    QString header(int index) const;

    QHash<int, Controls> m_rows;
    QList<Controls> m_pots;
    QGridLayout *m_grid = nullptr;
    CalLock m_lock = CalLock::Locked;
    bool m_scalesEnabled = false;
    qint16 m_shownForKind = -1; // the link kind the version rows were last shown for
    bool m_awaitingReply = false;
    int m_stepDirection = 0;
    bool m_heldInActiveWindow = false;
    qint64 m_nextStepMs = 0;
};

// Makes the Calibration Panel available to start-up and to every View menu.
void RegisterCalibrationPanel();

} // namespace zop
