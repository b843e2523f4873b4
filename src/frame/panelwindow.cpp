#include "frame/panelwindow.h"

#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "app/configuration.h"
#include "app/moddata.h"
#include "app/setupentries.h"
#include "core/textfile.h"
#include "app/userguide.h"
#include "link/commlayer.h"
#include "link/linkkind.h"
#include "setup/aboutbox.h"
#include "engine/instrumentstate.h"
#include "core/apptitle.h"
#include "ui/linkstatusline.h"
#include "ui/selectfile.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace zop {

PanelTraits PanelTraitsFor(const QString &formName)
{
    PanelTraits t;
    if (formName == QLatin1String("frmGZ") || formName == QLatin1String("frmTLB")
        || formName == QLatin1String("frmKM") || formName == QLatin1String("frmTW")) {
        t.title = QStringLiteral("Virtual Control Panel");
        t.isVirtual = true;
        t.selfEntry = QStringLiteral("mnuVirtual");
        t.hasModulationEntry = formName != QLatin1String("frmGZ");
    } else if (formName == QLatin1String("frmCommand")) {
        t.title = QStringLiteral("Command Panel");
        t.selfEntry = QStringLiteral("mnuCommand");
    } else if (formName == QLatin1String("frmRegisters")) {
        t.title = QStringLiteral("Register Panel");
        t.selfEntry = QStringLiteral("mnuRegisters");
    } else if (formName == QLatin1String("frmCalibration")) {
        t.title = QStringLiteral("Calibration Panel");
        t.selfEntry = QStringLiteral("mnuCalibration");
        t.shortViewCaptions = true;
    } else if (formName == QLatin1String("frmModulation")) {
        t.title = QStringLiteral("Modulation Panel");
        t.selfEntry = QStringLiteral("mnuModulation");
        t.clearCaption = QStringLiteral("Clear Output");
        t.saveCaption = QStringLiteral("Save Output to File");
    } else if (formName == FirmwarePanelName) {
        t.title = QStringLiteral("Firmware Panel");
        t.selfEntry = QStringLiteral("mnuFirmware");
        t.shortViewCaptions = true;
        t.sendsCloseCommand = false;
    } else {
        t.title = formName;
    }
    return t;
}

PanelWindow::PanelWindow(const QString &formName, QWidget *parent)
    : QMainWindow(parent), m_traits(PanelTraitsFor(formName))
{
    setObjectName(formName);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(m_traits.title);
    const QString iconPath = QDir(modData().ProgramFolder).filePath(QStringLiteral("icon.ico"));
    if (QFileInfo::exists(iconPath))
        setWindowIcon(QIcon(iconPath));

    buildMenus();
    buildLogArea();
    linkStatus = new LinkStatusLine(this);
    statusBar()->addWidget(linkStatus, 1);
    addKeyboardAccess();
    applyModulationRule();
    // Everything the link logs from now on lands in this panel's log.
    modData().comm.LogTarget = rtbTranx;
}

PanelWindow::~PanelWindow()
{
    if (fraIn && !fraIn->parent())
        delete fraIn;
}

void PanelWindow::addViewEntry(QAction *&entry, const QString &name, const QString &caption,
                               const QString &target)
{
    entry = mnuView->addAction(caption);
    entry->setObjectName(name);
    entry->setEnabled(name != m_traits.selfEntry && IsPanelRegistered(target));
    connect(entry, &QAction::triggered, this, [this, target] { SwitchPanel(target); });
}

void PanelWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mnuBar"));

    mnuFile = bar->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &PanelWindow::exitProgram);

    mnuView = bar->addMenu(QStringLiteral("View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuVirtual = mnuView->addAction(QStringLiteral("Virtual Control Panel"));
    mnuVirtual->setObjectName(QStringLiteral("mnuVirtual"));
    // Its target follows the system type, which Setup may change: checked when chosen.
    mnuVirtual->setEnabled(m_traits.selfEntry != QLatin1String("mnuVirtual"));
    connect(mnuVirtual, &QAction::triggered, this, &PanelWindow::showVirtualPanel);
    const bool brief = m_traits.shortViewCaptions;
    addViewEntry(mnuCommand, QStringLiteral("mnuCommand"),
                 brief ? QStringLiteral("Command") : QStringLiteral("Command Panel"),
                 PanelName(PanelId::Command));
    addViewEntry(mnuRegisters, QStringLiteral("mnuRegisters"),
                 brief ? QStringLiteral("Registers") : QStringLiteral("Register Panel"),
                 PanelName(PanelId::Registers));
    addViewEntry(mnuCalibration, QStringLiteral("mnuCalibration"),
                 QStringLiteral("Calibration Panel"), PanelName(PanelId::Calibration));
    addViewEntry(mnuFirmware, QStringLiteral("mnuFirmware"), QStringLiteral("Firmware Panel"),
                 FirmwarePanelName);
    if (m_traits.hasModulationEntry)
        addViewEntry(mnuModulation, QStringLiteral("mnuModulation"),
                     QStringLiteral("Modulation Panel"), PanelName(PanelId::Modulation));

    mnuComm = bar->addMenu(QStringLiteral("Communication"));
    mnuComm->setObjectName(QStringLiteral("mnuComm"));
    mnuSimulate = mnuComm->addAction(QStringLiteral("Simulate Inst"));
    mnuSimulate->setObjectName(QStringLiteral("mnuSimulate"));
    connect(mnuSimulate, &QAction::triggered, this, &PanelWindow::simulateInstrument);
    mnuSetup = mnuComm->addAction(QStringLiteral("Setup"));
    mnuSetup->setObjectName(QStringLiteral("mnuSetup"));
    connect(mnuSetup, &QAction::triggered, this, &PanelWindow::runSetup);
    mnuReconnect = mnuComm->addAction(QStringLiteral("&Reconnect"));
    mnuReconnect->setObjectName(QStringLiteral("mnuReconnect"));
    connect(mnuReconnect, &QAction::triggered, this, &PanelWindow::reconnect);
    mnuRecentLinks = mnuComm->addMenu(QStringLiteral("Recent &Links"));
    mnuRecentLinks->setObjectName(QStringLiteral("mnuRecentLinks"));
    mnuRecentLinks->menuAction()->setObjectName(QStringLiteral("mnuRecentLinks"));
    connect(mnuRecentLinks, &QMenu::aboutToShow, this, &PanelWindow::fillRecentLinks);
    fillRecentLinks();
    mnuComm->addSeparator();
    mnuOutputOff = mnuComm->addAction(QStringLiteral("Output Off"));
    mnuOutputOff->setObjectName(QStringLiteral("mnuOutputOff"));
    connect(mnuOutputOff, &QAction::triggered, this, &PanelWindow::outputOff);

    mnuAboutMenu = bar->addMenu(QStringLiteral("About"));
    mnuAboutMenu->setObjectName(QStringLiteral("mnuAboutMenu"));
    mnuGuide = mnuAboutMenu->addAction(QStringLiteral("User Guide"));
    mnuGuide->setObjectName(QStringLiteral("mnuGuide"));
    connect(mnuGuide, &QAction::triggered, this, &PanelWindow::showGuide);
    mnuAbout = mnuAboutMenu->addAction(QStringLiteral("About Zoptrel"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(mnuAbout, &QAction::triggered, this, &PanelWindow::showAbout);
}

void PanelWindow::buildLogArea()
{
    // Without a parent until the panel puts it into its layout, so it never floats over the
    // window; the destructor deletes it if the panel never did.
    fraIn = new QGroupBox(QStringLiteral("Output"));
    fraIn->setObjectName(QStringLiteral("fraIn"));
    rtbTranx = new TransactionLog(fraIn);
    clearLogButton = new QPushButton(m_traits.clearCaption, fraIn);
    clearLogButton->setObjectName(m_traits.isVirtual ? QStringLiteral("cmdClearText")
                                                     : QStringLiteral("cmdClear"));
    cmdSave = new QPushButton(m_traits.saveCaption, fraIn);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    for (QPushButton *b : {clearLogButton, cmdSave})
        b->setAutoDefault(false);
    connect(clearLogButton, &QPushButton::clicked, this, &PanelWindow::clearLog);
    connect(cmdSave, &QPushButton::clicked, this, &PanelWindow::saveLog);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(clearLogButton);
    buttons->addWidget(cmdSave);
    auto *layout = new QVBoxLayout(fraIn);
    layout->addWidget(rtbTranx, 1);
    layout->addLayout(buttons);
}

namespace {
// The menus' access keys: the letter of each caption that Alt (or the open menu) takes.
struct AccessKey {
    const char *name;
    char letter;
};
constexpr AccessKey AccessKeys[] = {
    {"mnuFile", 'F'},       {"mnuExit", 'x'},        {"mnuView", 'V'},
    {"mnuVirtual", 'V'},    {"mnuCommand", 'C'},     {"mnuRegisters", 'R'},
    {"mnuCalibration", 'a'}, {"mnuFirmware", 'F'},   {"mnuModulation", 'M'},
    {"mnuComm", 'C'},       {"mnuSimulate", 'S'},    {"mnuSetup", 'u'},
    {"mnuOutputOff", 'O'},
    {"mnuAboutMenu", 'A'},  {"mnuGuide", 'G'},       {"mnuAbout", 'A'},
};
// The caption with "&" before the first `letter`; unchanged when it has one already.
QString WithAccessKey(const QString &caption, char letter)
{
    const qsizetype at = caption.indexOf(QLatin1Char(letter));
    if (at < 0 || caption.contains(QLatin1Char('&')))
        return caption;
    return caption.left(at) + QLatin1Char('&') + caption.mid(at);
}
} // namespace

void PanelWindow::addKeyboardAccess()
{
    for (const AccessKey &key : AccessKeys) {
        const QString name = QLatin1String(key.name);
        if (auto *menu = menuBar()->findChild<QMenu *>(name, Qt::FindDirectChildrenOnly))
            menu->setTitle(WithAccessKey(menu->title(), key.letter));
        else if (auto *action = findChild<QAction *>(name))
            action->setText(WithAccessKey(action->text(), key.letter));
    }
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    mnuGuide->setShortcut(QKeySequence(Qt::Key_F1));
    mnuOutputOff->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    // Only while the log shows (a virtual panel shows it in debug mode only).
    cmdSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    cmdSave->setToolTip(QStringLiteral("Save the log to a file (Ctrl+S)"));
    clearLogButton->setToolTip(QStringLiteral("Empty the log"));
}

void PanelWindow::applyModulationRule()
{
    if (!mnuModulation)
        return;
    mnuModulation->setEnabled(m_traits.selfEntry != QLatin1String("mnuModulation")
                              && ModulationPanelAvailable(modData().SystemType)
                              && IsPanelRegistered(PanelId::Modulation));
}

PanelWindow *PanelWindow::SwitchPanel(const QString &target)
{
    if (!IsPanelRegistered(target))
        return nullptr;
    QPointer<PanelWindow> self(this);
    stopPanelTimers();
    QPointer<PanelWindow> next = OpenPanel(target, this);
    if (!next)
        return nullptr;
    if (self) {
        self->Switching = true;
        self->close(); // its close handler sees the flag and leaves the program running
    }
    if (next)
        modData().CurrentPanel = next.data();
    if (self)
        self->Switching = false;
    return next;
}

void PanelWindow::closeReplaced()
{
    stopPanelTimers();
    Switching = true;
    close();
    // Deleted later, so the flag can still be cleared.
    Switching = false;
}

void PanelWindow::sendCloseCommand()
{
    if (m_traits.sendsCloseCommand)
        SendCommand(CloseCommand, logsCloseCommand());
}

void PanelWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    if (isVisible())
        Prefs().setWindowGeometry(formName(), geometry());
    if (!Switching) // a replaced panel has stopped them already
        stopPanelTimers();
    sendCloseCommand();
    panelClosing();
    if (!Switching)
        EndProgram();
}

void PanelWindow::exitProgram() { EndProgram(); }

bool PanelWindow::IsStillCurrent(const QPointer<PanelWindow> &panel)
{
    return panel && !panel->m_closed && modData().CurrentPanel == panel.data();
}

void PanelWindow::showVirtualPanel()
{
    const QString target = PanelName(VirtualPanelFor(modData().SystemType));
    if (!IsPanelRegistered(target) || target == formName())
        return;
    QPointer<PanelWindow> self(this);
    RefreshInstrumentState();
    // Window events ran while the replies were awaited: another menu entry may have switched
    // or closed this panel meanwhile.
    if (IsStillCurrent(self))
        self->SwitchPanel(target);
}

void PanelWindow::simulateInstrument()
{
    modData().CommKind = LinkKind::Simulated;
    if (reopensLinkOnSimulate())
        OpenLink();
}

void PanelWindow::reconnect()
{
    // Back to the link the file names (after a fall-back, "Simulate Inst" or an edit of the
    // file), as Setup's OK opens it, without the dialog. The log is kept: what led to the
    // fall-back stays readable above the new link's line.
    QPointer<PanelWindow> self(this);
    LoadLinkSettings();
    OpenLink(LogOnOpen::Keep);
    if (IsStillCurrent(self))
        self->afterLinkOpened();
}

void PanelWindow::afterLinkOpened()
{
    QPointer<PanelWindow> self(this);
    RefreshInstrumentState();
    if (!IsStillCurrent(self))
        return;
    self->stateRefreshed();
    self->linkStatus->refresh();
}

void PanelWindow::fillRecentLinks()
{
    mnuRecentLinks->clear();
    const QList<RecentLink> links = Prefs().recentLinks();
    for (const RecentLink &link : links) {
        QAction *entry = mnuRecentLinks->addAction(link.name);
        connect(entry, &QAction::triggered, this, [this, link] { useRecentLink(link); });
    }
    mnuRecentLinks->setEnabled(!links.isEmpty());
}

void PanelWindow::useRecentLink(const RecentLink &link)
{
    bool dataError = false;
    const QString problem = WriteRecentLink(link, &dataError);
    if (!problem.isEmpty()) {
        if (dataError)
            modData().prompter->Show(problem, SetupText::DataErrorTitle, MsgIcon::None,
                                     MsgButtons::Ok);
        else
            modData().prompter->Show(QStringLiteral("The settings could not be saved to ")
                                         + QDir::toNativeSeparators(ConfigFilePath())
                                         + QStringLiteral(": ") + problem + QLatin1Char('.'),
                                     ApplicationTitle, MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    QPointer<PanelWindow> self(this);
    OpenLink();
    if (IsStillCurrent(self))
        self->afterLinkOpened();
}

QAction *PanelWindow::addViewToggle(const QString &name, const QString &caption,
                                   const QKeySequence &key)
{
    QAction *entry = mnuView->addAction(caption);
    entry->setObjectName(name);
    entry->setCheckable(true);
    entry->setShortcut(key);
    return entry;
}

void PanelWindow::showPart(QWidget *part, bool shown, Qt::Orientation side)
{
    if (part->isVisibleTo(this) == shown)
        return;
    if (!isVisible()) {
        part->setVisible(shown);
        return;
    }
    // Sized before the part shows, so Qt does not fit the whole window to its contents instead.
    const bool beside = side == Qt::Horizontal;
    const int spacing = beside ? 14 : 10;
    const int now = beside ? width() : height();
    const int room = (beside ? part->sizeHint().width() : part->sizeHint().height()) + spacing;
    const int gone = (beside ? part->width() : part->height()) + spacing;
    int target = now + (shown ? room : -gone);
    if (const QScreen *screen = this->screen()) {
        const QRect free = screen->availableGeometry();
        target = std::min(target, beside ? free.width() - (frameGeometry().width() - width())
                                         : free.height() - (frameGeometry().height() - height()));
    }
    resize(width(), height());
    part->setVisible(shown);
    const QSize least = minimumSizeHint();
    if (beside)
        resize(std::max(least.width(), target), height());
    else
        resize(width(), std::max(least.height(), target));
}

void PanelWindow::lockSwitching(bool locked)
{
    if (locked == !m_switchingLocked.isEmpty())
        return;
    if (!locked) {
        for (QAction *a : std::as_const(m_switchingLocked))
            a->setEnabled(true);
        m_switchingLocked.clear();
        return;
    }
    for (QAction *a : {mnuCommand, mnuRegisters, mnuCalibration, mnuFirmware, mnuModulation,
                       mnuSimulate, mnuSetup, mnuReconnect,
                       mnuRecentLinks ? mnuRecentLinks->menuAction() : nullptr}) {
        if (a && a->isEnabled()) {
            a->setEnabled(false);
            m_switchingLocked << a;
        }
    }
}

void PanelWindow::outputOff()
{
    // Not in the middle of another exchange (its reply would be taken for this one's): right
    // after it.
    if (Comm().isWaiting() || Comm().isOpening()) {
        QTimer::singleShot(10, this, &PanelWindow::outputOff);
        return;
    }
    SendCommand(OutputOffCommand, true);
}

void PanelWindow::runSetup()
{
    const SetupDialogRunner runner = SetupDialog();
    if (!runner)
        return;
    QPointer<PanelWindow> self(this);
    runner(this);
    if (!IsStillCurrent(self))
        return;
    RefreshInstrumentState();
    if (!IsStillCurrent(self))
        return;
    stateRefreshed();
    applyModulationRule();
    afterSetup();
}

void PanelWindow::showAbout()
{
    QPointer<AboutBox> box = new AboutBox(this);
    box->set_sTitle_Frm(m_traits.title);
    box->set_sTitle(ProductTitle);
    box->exec();
    // The box is a child: it is gone already if this panel died while it was open.
    delete box.data();
}

void PanelWindow::showGuide()
{
#ifdef ZOP_SOURCE_GUIDE
    const QString sourceGuide = QStringLiteral(ZOP_SOURCE_GUIDE);
#else
    const QString sourceGuide;
#endif
    const QStringList candidates
        = UserGuideCandidates(QCoreApplication::applicationDirPath(), sourceGuide);
    const QString guide = FindUserGuide(candidates);
    if (guide.isEmpty()) {
        modData().prompter->Show(UserGuideMissingText(candidates), ApplicationTitle,
                                 MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    if (!OpenDocument(QUrl::fromLocalFile(guide)))
        modData().prompter->Show(QStringLiteral("No program could be started to show ")
                                     + QDir::toNativeSeparators(guide),
                                 ApplicationTitle, MsgIcon::Exclamation, MsgButtons::Ok);
}

void PanelWindow::clearLog() { rtbTranx->clearLog(); }

void PanelWindow::saveLog()
{
    QPointer<PanelWindow> self(this);
    const QString path = SelectFile(this, SaveLogTitle, modData().ProgramFolder,
                                    SaveLogDescription, SaveLogPattern, QString());
    if (!self || path.isEmpty())
        return;
    QCoreApplication::processEvents();
    if (!self)
        return;

    // Replies are 8-bit text and stay 8-bit from the wire to the file.
    const QString problem
        = WriteWholeFile(path, (rtbTranx->logText() + QStringLiteral("\r\n")).toLatin1());
    if (!problem.isEmpty())
        modData().prompter->Show(QStringLiteral("Unable to save the log to ") + path
                                     + QStringLiteral(":\r\n") + problem,
                                 ApplicationTitle, MsgIcon::Critical, MsgButtons::Ok);
}

} // namespace zop
