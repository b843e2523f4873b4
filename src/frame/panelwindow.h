#pragma once
// The frame every panel shares: the menu bar ("File", "View", "Communication", "About" with
// the user guide and the About box), the
// panel switch, the close rule, and the transaction log area ("Output" with its Clear and Save
// buttons). A panel derives from PanelWindow, passes its window name ("frmCommand"), puts
// `fraIn` into its own layout, and overrides the hooks it needs.
//
// One panel is open at a time. A switch opens the target (created anew), closes this panel
// with `Switching` set, and makes the target `CurrentPanel`. Closing a panel any other way
// ends the program. Panels are closed, never deleted, from their own handlers: they delete
// themselves later (Qt::WA_DeleteOnClose).

#include "app/panelids.h"
#include "app/usersettings.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QString>

class QAction;
class QGroupBox;
class QMenu;
class QPushButton;

namespace zop {

class LinkStatusLine;
class TransactionLog;

// What the frame knows about each window name.
struct PanelTraits {
    QString title;                 // "Command Panel": window title and About box sTitle_Frm
    bool isVirtual = false;        // frmGZ, frmTLB, frmKM, frmTW
    QString selfEntry;             // the View entry that leads to this panel ("mnuCommand")
    bool shortViewCaptions = false;// "Command"/"Registers" (Calibration and Firmware Panels)
    bool hasModulationEntry = true;// all but frmGZ
    bool sendsCloseCommand = true; // all but the Firmware Panel
    QString clearCaption = QStringLiteral("Clear");
    QString saveCaption = QStringLiteral("Save to File");
};
PanelTraits PanelTraitsFor(const QString &formName);

// The product title every About box shows.
inline const QString ProductTitle = QStringLiteral("Zoptrel");
// Sent to the instrument when a panel closes.
inline const QString CloseCommand = QStringLiteral("<>CLR 0");
// Sent by "Output Off".
inline const QString OutputOffCommand = QStringLiteral("OUTP:STOP");
// The log's file dialog.
inline const QString SaveLogTitle = QStringLiteral("Select or Enter File");
inline const QString SaveLogDescription = QStringLiteral("Text Files");
inline const QString SaveLogPattern = QStringLiteral("*.txt");

class PanelWindow : public QMainWindow {
    Q_OBJECT
public:
    // `formName` is the panel's window name ("frmTLB", "frmCommand", "FrmLoader", ...).
    explicit PanelWindow(const QString &formName, QWidget *parent = nullptr);
    ~PanelWindow() override;

    QString formName() const { return objectName(); }
    const PanelTraits &traits() const { return m_traits; }
    bool isVirtualPanel() const { return m_traits.isVirtual; }

    // Set while this panel is closed because another one replaces it.
    bool Switching = false;

    // The panel switch: stop this panel's timers, open `target` (created anew), close this
    // panel with Switching set, make the target CurrentPanel. Nothing happens when the target
    // has no registered creator. Returns the new panel (null when none was opened).
    PanelWindow *SwitchPanel(const QString &target);
    PanelWindow *SwitchPanel(PanelId target) { return SwitchPanel(PanelName(target)); }
    // Closes this panel as one replaced by another: the close handler runs, the program goes on.
    void closeReplaced();
    // After a wait that let window events run: the panel still exists, is not closed and is
    // still the one in front.
    static bool IsStillCurrent(const QPointer<PanelWindow> &panel);

    // Enables "Modulation Panel" when the system type has the panel (2, 3, 4), else disables
    // it; the entry leading to this panel itself stays disabled.
    void applyModulationRule();

    // A recent link chosen: written to "ZOP_Panel.ini" as the Configuration Setup dialog's OK
    // writes it, then opened, and the instrument's state read again.
    void useRecentLink(const RecentLink &link);
    // "Output Off".
    void outputOff();

    // "Setup": the Configuration Setup dialog, then the state refresh, the Modulation rule
    // and the panel's own follow-up (afterSetup). Also what the Firmware Panel opens when it
    // refuses to program over the link in use.
    void runSetup();

    // The log area; `fraIn` has no parent until the panel adds it to its layout. The clear
    // button is `cmdClear` on service panels and `cmdClearText` on virtual panels (whose
    // `cmdClear` is a front-panel key).
    QGroupBox *fraIn = nullptr;
    TransactionLog *rtbTranx = nullptr;
    QPushButton *clearLogButton = nullptr;
    QPushButton *cmdSave = nullptr;
    // The status line: the link in use and whether it is live.
    LinkStatusLine *linkStatus = nullptr;

    // The menu bar.
    QMenu *mnuFile = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuVirtual = nullptr;
    QAction *mnuCommand = nullptr;
    QAction *mnuRegisters = nullptr;
    QAction *mnuCalibration = nullptr;
    QAction *mnuFirmware = nullptr;
    QAction *mnuModulation = nullptr; // null on frmGZ
    QMenu *mnuComm = nullptr;
    QAction *mnuSimulate = nullptr;
    QAction *mnuSetup = nullptr;
    QAction *mnuReconnect = nullptr;
    // "Recent Links": the last links that opened; choosing one configures and opens it.
    QMenu *mnuRecentLinks = nullptr;
    // "Output Off" (Ctrl+Shift+O): "OUTP:STOP" from any panel, as the STOP key sends it.
    QAction *mnuOutputOff = nullptr;
    QMenu *mnuAboutMenu = nullptr;
    QAction *mnuGuide = nullptr; // "User Guide", F1
    QAction *mnuAbout = nullptr; // the About box

public slots:
    // "Save to File": asks for a file name and writes the whole log followed by CR LF.
    void saveLog();
    void clearLog();

protected:
    // Hooks, in the order they run.

    // First step of a switch and of closing: stop poll and menu timers.
    virtual void stopPanelTimers() {}
    // Closing: sends "<>CLR 0" (not on the Firmware Panel), logged when logsCloseCommand().
    virtual void sendCloseCommand();
    virtual bool logsCloseCommand() const { return false; }
    // Closing, after the close command: the panel's own shutdown.
    virtual void panelClosing() {}
    // "Simulate Inst": after CommKind = 5, re-open the link? (service panels yes, virtual no)
    virtual bool reopensLinkOnSimulate() const { return !m_traits.isVirtual; }
    // "Setup": after the dialog, the state refresh and the Modulation rule.
    virtual void afterSetup() {}
    // The instrument's state was read again (Setup, Reconnect): the panel shows it.
    virtual void stateRefreshed() {}

    void closeEvent(QCloseEvent *event) override;

    // A checkable entry at the end of the View menu.
    QAction *addViewToggle(const QString &name, const QString &caption, const QKeySequence &key);
    // Shows or hides `part`, laid out beside the rest (Qt::Horizontal) or under it: the window
    // grows by it and shrinks back when it goes, keeping its other side, never past the screen.
    void showPart(QWidget *part, bool shown, Qt::Orientation side);
    // While locked (a sequence runs), the entries that would switch the panel or the link are
    // off; unlocked, those it turned off are on again.
    void lockSwitching(bool locked);

private:
    void buildMenus();
    void buildLogArea();
    // Access keys of the menus, and Ctrl+Q (Exit), F1 (User Guide), Ctrl+S (Save to File).
    void addKeyboardAccess();
    void addViewEntry(QAction *&entry, const QString &name, const QString &caption,
                      const QString &target);
    void showVirtualPanel();
    void simulateInstrument();
    void reconnect();
    // Refills "Recent Links" (each time the menu opens).
    void fillRecentLinks();
    // After an opening: the panel shows the state read again.
    void afterLinkOpened();
    void showAbout();
    // "User Guide": opens the installed guide, or the source tree's from a build tree; says
    // where it looked when there is none.
    void showGuide();
    void exitProgram();

    PanelTraits m_traits;
    bool m_closed = false;
    QList<QAction *> m_switchingLocked; // what lockSwitching turned off
};

} // namespace zop
