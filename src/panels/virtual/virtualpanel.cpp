#include "panels/virtual/virtualpanel.h"

#include "app/configuration.h"
#include "core/inifile.h"
#include "app/moddata.h"
#include "core/textfile.h"
#include "link/commlayer.h"
#include "panels/virtual/paneldisplay.h"
#include "panels/virtual/trendbuffer.h"
#include "panels/virtual/trendview.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"
#include "core/apptitle.h"
#include "ui/knob.h"
#include "ui/lamp.h"
#include "ui/rotatedtext.h"
#include "ui/selectfile.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeZone>
#include <QVBoxLayout>

namespace zop {

namespace {
const QString ErrorTitle = QStringLiteral("ZOPPanel Error");
// The trend's export file dialog.
const QString ExportTitle = QStringLiteral("Export CSV");
const QString ExportDescription = QStringLiteral("CSV Files");
const QString ExportPattern = QStringLiteral("*.csv");
// Whether the trend was last shown: the next virtual panel opens with it the same way.
bool TrendWanted = false;
constexpr int NoItem = -1;

QPushButton *Key(const QString &name, const QString &caption, QWidget *parent)
{
    auto *key = new QPushButton(caption, parent);
    key->setObjectName(name);
    key->setAccessibleName(caption);
    key->setFocusPolicy(Qt::StrongFocus);
    key->setAutoDefault(false);
    // Wide enough for the caption in the bold face the panel's style gives keys.
    QFont bold = key->font();
    bold.setBold(true);
    key->setMinimumSize(std::max(64, QFontMetrics(bold).horizontalAdvance(caption) + 30), 34);
    return key;
}
// A caption printed on the front panel.
QLabel *Caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setProperty("caption", true);
    return label;
}
} // namespace

VirtualPanel::VirtualPanel(PanelId series, QWidget *parent)
    : PanelWindow(SeriesSpecFor(series).windowName, parent), m_spec(SeriesSpecFor(series))
{
    tmrInfo.setObjectName(QStringLiteral("tmrInfo"));
    tmrMenu.setObjectName(QStringLiteral("tmrMenu"));
    tmrFlash.setObjectName(QStringLiteral("tmrFlash"));
    tmrHold.setInterval(HoldTickMs);
    connect(&tmrInfo, &QTimer::timeout, this, &VirtualPanel::tmrInfo_Timer);
    connect(&tmrMenu, &QTimer::timeout, this, &VirtualPanel::tmrMenu_Timer);
    connect(&tmrFlash, &QTimer::timeout, this, &VirtualPanel::tmrFlash_Timer);
    connect(&tmrHold, &QTimer::timeout, this, &VirtualPanel::holdTick);

    buildPanel();
    loadPictures();
    readDebugAccess();
    Comm().LogTarget = rtbTranx;

    FlashItem = 5;
    PowerState = Power::Standby;
    buildLampLists();
    ExitMenu();

    const ModData &data = modData();
    syncKnobs();
    enableKnobs(true);

    EntryMode = -1;
    DefaultWordA = zop::DefaultWordA;
    DefaultWordB = zop::DefaultWordB;
    // Short replies stand for the memory location in use, so they do not look like a change
    // of location at the instrument.
    DefaultMemory = SaturatedInt32(data.Settings.MemLoc);
    m_lastFlashMs = now();
    m_lastKeyMs = now();

    fraTrend->setRatings(data.Ratings.VoltMax, data.Ratings.CurrMax);
    showTrend(TrendWanted);

    tmrFlash.start(FlashTimerMs);
    tmrInfo.start(FirstPollMs);
}

VirtualPanel::~VirtualPanel() = default;

// ---------------------------------------------------------------------------------------------
// Building the window.

void VirtualPanel::buildPanel()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("frontPanel"));
    central->setStyleSheet(QStringLiteral(
        "#frontPanel { background: #2b2f33; }"
        "#frontPanel QLabel[caption=\"true\"] { color: #d8dcdf; }"
        "#frontPanel QGroupBox { color: #d8dcdf; border: 1px solid #4b5257; border-radius: 6px;"
        " margin-top: 14px; padding: 6px; font-weight: bold; }"
        "#frontPanel QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }"
        "#frontPanel QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #5c646b, stop:1 #3d4348); color: #f2f4f5; border: 1px solid #1d2023;"
        " border-radius: 5px; font-weight: bold; padding: 4px 10px; }"
        "#frontPanel QPushButton:pressed { background: #2a2e32; }"
        // Keys a menu locks out are greyed, as on the instrument.
        "#frontPanel QPushButton:disabled { background: #33383c; color: #6d767d;"
        " border: 1px dashed #4b5257; }"
        "#frontPanel QProgressBar { background: #1d2023; border: 1px solid #4b5257;"
        " border-radius: 3px; max-height: 6px; }"
        "#frontPanel QProgressBar::chunk { background: #f5c542; }"
        "#frontPanel QPushButton:focus { border: 2px solid #5a9bd8; }"
        "#frontPanel QPushButton#cmdStart { background: #2f7d3a; }"
        "#frontPanel QPushButton#cmdStop { background: #a33a32; }"
        "#frontPanel QLineEdit { background: #111; color: #f5c542; border: 1px solid #4b5257;"
        " font-weight: bold; }"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(10);

    fraTitle = new QWidget(central);
    fraTitle->setObjectName(QStringLiteral("fraTitle"));
    auto *titleRow = new QHBoxLayout(fraTitle);
    titleRow->setContentsMargins(0, 0, 0, 0);
    pctLogo = new QLabel(fraTitle);
    pctLogo->setObjectName(QStringLiteral("pctLogo"));
    pctName = new QLabel(fraTitle);
    pctName->setObjectName(QStringLiteral("pctName"));
    titleRow->addWidget(pctLogo);
    titleRow->addWidget(pctName);
    titleRow->addStretch();
    auto *seriesLabel = Caption(QStringLiteral("%1 SERIES").arg(
                                       m_spec.windowName.mid(3).toUpper()),
                                   fraTitle);
    seriesLabel->setStyleSheet(QStringLiteral("font-size: 15px; font-weight: bold; letter-spacing: 2px;"));
    titleRow->addWidget(seriesLabel);
    layout->addWidget(fraTitle);

    auto *body = new QHBoxLayout;
    body->setSpacing(14);
    auto *left = new QVBoxLayout;
    left->addWidget(buildDisplays());
    left->addWidget(buildLamps());
    body->addLayout(left, 3);
    body->addWidget(buildKeys(), 2);
    layout->addLayout(body);
    buildTrend();
    layout->addWidget(fraTrend, 1);
    // Every key says what it does (the texts are in the series table).
    for (QWidget *w : central->findChildren<QWidget *>()) {
        const QString tip = KeyToolTip(m_spec.series, w->objectName());
        if (!tip.isEmpty())
            w->setToolTip(tip);
    }

    // The transaction log shows only in debug mode.
    layout->addWidget(fraIn);
    fixTabOrder();
    fraIn->setStyleSheet(QStringLiteral("QGroupBox { color: #d8dcdf; }"));
    setCentralWidget(central);
}

QWidget *VirtualPanel::buildDisplays()
{
    auto *box = new QWidget;
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(16);
    const QColor red(QStringLiteral("#ff4a3d"));
    const QColor amber(QStringLiteral("#ffb347"));
    txtVolt = new PanelDisplay(QStringLiteral("txtVolt"), QStringLiteral("Voltage display"), 6, red, box);
    txtCurr = new PanelDisplay(QStringLiteral("txtCurr"), QStringLiteral("Current display"), 6, red, box);
    auto *voltCaption = Caption(QStringLiteral("VOLTS"), box);
    auto *currCaption = Caption(QStringLiteral("AMPS"), box);
    grid->addWidget(voltCaption, 0, 0, Qt::AlignHCenter);
    grid->addWidget(currCaption, 0, 1, Qt::AlignHCenter);
    grid->addWidget(txtVolt, 1, 0);
    grid->addWidget(txtCurr, 1, 1);
    // The CTL lamps sit under their displays.
    auto *voltCtl = addLamp(QStringLiteral("lblStatus"), 8, QStringLiteral("CTL"), 8);
    auto *currCtl = addLamp(QStringLiteral("lblStatus"), 10, QStringLiteral("CTL"), 10);
    voltCtl->setAccessibleName(QStringLiteral("Voltage CTL lamp"));
    currCtl->setAccessibleName(QStringLiteral("Current CTL lamp"));
    grid->addWidget(voltCtl, 2, 0, Qt::AlignHCenter);
    grid->addWidget(currCtl, 2, 1, Qt::AlignHCenter);
    if (m_spec.memoryDisplay) {
        txtMEM = new PanelDisplay(QStringLiteral("txtMEM"), QStringLiteral("Memory display"), 1,
                                  amber, box);
        grid->addWidget(Caption(QStringLiteral("MEM"), box), 0, 2, Qt::AlignHCenter);
        grid->addWidget(txtMEM, 1, 2);
    }
    // The legend keeps its room when blank, so a menu does not move the displays.
    lblLegend = Caption(QString(), box);
    lblLegend->setObjectName(QStringLiteral("lblLegend"));
    lblLegend->setAccessibleName(QStringLiteral("Display legend"));
    lblLegend->setStyleSheet(QStringLiteral("color: #f5c542; font-weight: bold;"));
    lblLegend->setMinimumWidth(QFontMetrics(lblLegend->font()).horizontalAdvance(
                                   QStringLiteral("SET POINTS")) + 24);
    lblLegend->setAlignment(Qt::AlignCenter);
    grid->addWidget(lblLegend, 1, m_spec.memoryDisplay ? 3 : 2);

    fraKnobs = new QGroupBox(box);
    fraKnobs->setObjectName(QStringLiteral("fraKnobs"));
    fraKnobs->setFlat(true);
    auto *knobs = new QHBoxLayout(fraKnobs);
    knbVolt = new Knob(fraKnobs);
    knbVolt->setObjectName(QStringLiteral("knbVolt"));
    knbVolt->setAccessibleName(QStringLiteral("Voltage knob"));
    knbCurr = new Knob(fraKnobs);
    knbCurr->setObjectName(QStringLiteral("knbCurr"));
    knbCurr->setAccessibleName(QStringLiteral("Current knob"));
    if (m_spec.tripKnobs) {
        knbOVP = new Knob(fraKnobs);
        knbOVP->setObjectName(QStringLiteral("knbOVP"));
        knbOVP->setAccessibleName(QStringLiteral("Over-voltage trip knob"));
        knbOCP = new Knob(fraKnobs);
        knbOCP->setObjectName(QStringLiteral("knbOCP"));
        knbOCP->setAccessibleName(QStringLiteral("Over-current trip knob"));
    }
    // Each knob with its caption under it.
    const std::pair<Knob *, const char *> captioned[] = {
        {knbVolt, "VOLTAGE"}, {knbCurr, "CURRENT"}, {knbOVP, "OVP"}, {knbOCP, "OCP"}};
    for (const auto &[knob, text] : captioned) {
        if (!knob)
            continue;
        auto *column = new QVBoxLayout;
        column->setSpacing(2);
        auto *caption = Caption(QString::fromLatin1(text), fraKnobs);
        caption->setBuddy(knob);
        column->addWidget(knob, 0, Qt::AlignHCenter);
        column->addWidget(caption, 0, Qt::AlignHCenter);
        knobs->addLayout(column);
    }
    for (Knob *knob : {knbVolt, knbCurr, knbOVP, knbOCP}) {
        if (!knob)
            continue;
        knob->setToolTip(knob->accessibleName());
        knob->setBackColour(QColor(QStringLiteral("#2b2f33")));
        connect(knob, &Knob::turning, this, [this, knob] { knob_Turning(knob); });
        connect(knob, &Knob::turnEnded, this, [this, knob] { knob_TurnEnded(knob); });
    }
    grid->addWidget(fraKnobs, 3, 0, 1, 2);
    return box;
}

QWidget *VirtualPanel::buildKeys()
{
    fraButtons = new QFrame;
    fraButtons->setObjectName(QStringLiteral("fraButtons"));
    fraButtons->installEventFilter(this);
    auto *grid = new QGridLayout(fraButtons);
    grid->setContentsMargins(m_spec.rotatedCaptions ? 36 : 8, 8, 8, 8); // room for captions
    grid->setSpacing(8);

    cmdMenu = Key(QStringLiteral("cmdMenu"), QStringLiteral("MENU"), fraButtons);
    cmdItem = Key(QStringLiteral("cmdItem"), QStringLiteral("ITEM"), fraButtons);
    cmdUp = Key(QStringLiteral("cmdUp"), QStringLiteral("UP"), fraButtons);
    cmdDn = Key(QStringLiteral("cmdDn"), QStringLiteral("DN"), fraButtons);
    cmdEnter = Key(QStringLiteral("cmdEnter"), QStringLiteral("ENTER"), fraButtons);
    cmdClear = Key(QStringLiteral("cmdClear"), QStringLiteral("CLEAR"), fraButtons);
    cmdStart = Key(QStringLiteral("cmdStart"), QStringLiteral("START"), fraButtons);
    cmdStop = Key(QStringLiteral("cmdStop"), QStringLiteral("STOP"), fraButtons);

    connect(cmdMenu, &QPushButton::clicked, this, &VirtualPanel::cmdMenu_Click);
    connect(cmdItem, &QPushButton::clicked, this, &VirtualPanel::cmdItem_Click);
    connect(cmdEnter, &QPushButton::clicked, this, &VirtualPanel::cmdEnter_Click);
    connect(cmdUp, &QPushButton::pressed, this, &VirtualPanel::cmdUp_MouseDown);
    connect(cmdDn, &QPushButton::pressed, this, &VirtualPanel::cmdDn_MouseDown);
    connect(cmdUp, &QPushButton::released, this, &VirtualPanel::cmdUpDn_MouseUp);
    connect(cmdDn, &QPushButton::released, this, &VirtualPanel::cmdUpDn_MouseUp);
    connect(cmdStart, &QPushButton::clicked, this, &VirtualPanel::cmdStart_Click);
    connect(cmdStop, &QPushButton::clicked, this, &VirtualPanel::cmdStop_Click);

    if (isTlb()) {
        cmdDsply = Key(QStringLiteral("cmdDsply"), QStringLiteral("DISPLAY"), fraButtons);
        cmdMem = Key(QStringLiteral("cmdMem"), QStringLiteral("MEM"), fraButtons);
        cmdArm = Key(QStringLiteral("cmdArm"), QStringLiteral("ARM"), fraButtons);
        txtInput = new QLineEdit(fraButtons);
        txtInput->setObjectName(QStringLiteral("txtInput"));
        txtInput->setAccessibleName(QStringLiteral("Value entry"));
        txtInput->setPlaceholderText(QStringLiteral("value"));
        txtInput->setMaxLength(8);

        // MODE: the output keys; SETUP: the menu keys; SET POINT: the value keys.
        grid->addWidget(cmdStart, 0, 0);
        grid->addWidget(cmdStop, 0, 1);
        grid->addWidget(cmdArm, 1, 0);
        grid->addWidget(cmdMem, 1, 1);
        grid->addWidget(cmdMenu, 2, 0);
        grid->addWidget(cmdItem, 2, 1);
        grid->addWidget(cmdDsply, 3, 0);
        grid->addWidget(cmdClear, 3, 1);
        grid->addWidget(cmdUp, 4, 0);
        grid->addWidget(cmdDn, 4, 1);
        grid->addWidget(txtInput, 5, 0);
        grid->addWidget(cmdEnter, 5, 1);

        connect(cmdDsply, &QPushButton::pressed, this, &VirtualPanel::cmdDsply_MouseDown);
        connect(cmdDsply, &QPushButton::released, this, &VirtualPanel::cmdDsply_MouseUp);
        connect(cmdClear, &QPushButton::pressed, this, &VirtualPanel::cmdClear_MouseDown);
        connect(cmdClear, &QPushButton::released, this, &VirtualPanel::cmdClear_MouseUp);
        connect(cmdArm, &QPushButton::clicked, this, &VirtualPanel::cmdArm_Click);
        connect(cmdMem, &QPushButton::clicked, this, &VirtualPanel::cmdMem_Click);
        connect(txtInput, &QLineEdit::textEdited, this, &VirtualPanel::txtInput_Change);
        connect(txtInput, &QLineEdit::returnPressed, this, &VirtualPanel::cmdEnter_Click);
        return fraButtons;
    }

    cmdVISet = Key(QStringLiteral("cmdVISet"), m_spec.visetCaption, fraButtons);
    cmdTRIP = Key(QStringLiteral("cmdTRIP"), m_spec.tripCaption, fraButtons);
    cmdCal = Key(QStringLiteral("cmdCal"), QStringLiteral("CAL"), fraButtons);
    cmdVolt = Key(QStringLiteral("cmdVolt"), QStringLiteral("VOLTAGE"), fraButtons);
    cmdCurr = Key(QStringLiteral("cmdCurr"), QStringLiteral("CURRENT"), fraButtons);
    cmdOVT = Key(QStringLiteral("cmdOVT"), QStringLiteral("OVT"), fraButtons);
    cmdOCT = Key(QStringLiteral("cmdOCT"), QStringLiteral("OCT"), fraButtons);
    cmdCal->setAccessibleName(QStringLiteral("CAL (hold for 10 seconds)"));
    // How far the calibration key's hold has come; shown only while it is held, its room kept.
    prgCalHold = new QProgressBar(fraButtons);
    prgCalHold->setObjectName(QStringLiteral("prgCalHold"));
    prgCalHold->setAccessibleName(QStringLiteral("Calibration key hold"));
    prgCalHold->setRange(0, int(CalibrationHoldMs));
    prgCalHold->setTextVisible(false);
    QSizePolicy keepRoom = prgCalHold->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    prgCalHold->setSizePolicy(keepRoom);
    prgCalHold->hide();

    grid->addWidget(cmdStart, 0, 0);
    grid->addWidget(cmdStop, 0, 1);
    grid->addWidget(cmdVolt, 1, 0);
    grid->addWidget(cmdCurr, 1, 1);
    grid->addWidget(cmdOVT, 2, 0);
    grid->addWidget(cmdOCT, 2, 1);
    grid->addWidget(cmdMenu, 3, 0);
    grid->addWidget(cmdItem, 3, 1);
    // Outside menus the display keys, inside them UP and DN, share a row.
    grid->addWidget(cmdVISet, 4, 0);
    grid->addWidget(cmdTRIP, 4, 1);
    grid->addWidget(cmdUp, 4, 0);
    grid->addWidget(cmdDn, 4, 1);
    grid->addWidget(cmdClear, 5, 0);
    // ENTER, or at the calibration level the calibration key.
    grid->addWidget(cmdEnter, 5, 1);
    grid->addWidget(cmdCal, 5, 1);
    grid->addWidget(prgCalHold, 6, 0, 1, 2);

    connect(cmdVISet, &QPushButton::pressed, this, &VirtualPanel::cmdVISet_MouseDown);
    connect(cmdVISet, &QPushButton::released, this, &VirtualPanel::displayKeyRelease);
    connect(cmdTRIP, &QPushButton::pressed, this, &VirtualPanel::cmdTRIP_MouseDown);
    connect(cmdTRIP, &QPushButton::released, this, &VirtualPanel::displayKeyRelease);
    connect(cmdCal, &QPushButton::pressed, this, &VirtualPanel::cmdCal_MouseDown);
    connect(cmdCal, &QPushButton::released, this, &VirtualPanel::cmdCal_MouseUp);
    // A click is a press and a release inside the key, by mouse or space bar.
    connect(cmdClear, &QPushButton::clicked, this, &VirtualPanel::cmdClear_Click);
    QPushButton *setpoints[] = {cmdVolt, cmdCurr, cmdOVT, cmdOCT};
    for (int i = 0; i < 4; ++i)
        connect(setpoints[i], &QPushButton::clicked, this, [this, i] { setpointButton_Click(i); });
    return fraButtons;
}

Lamp *VirtualPanel::addLamp(const QString &array, int index, const QString &caption, int tag)
{
    auto *lamp = new Lamp(caption);
    const QString name = QStringLiteral("%1(%2)").arg(array).arg(index);
    lamp->setObjectName(name);
    lamp->setTag(tag);
    lamp->setAccessibleName(caption + QStringLiteral(" lamp"));
    lamp->setAlignment(Qt::AlignCenter);
    QFont bold = lamp->font();
    bold.setBold(true);
    lamp->setFont(bold);
    lamp->setDarkShade(QColor(QStringLiteral("#5d656b")));
    lamp->setDark();
    m_lamps.insert(name, lamp);
    return lamp;
}

Lamp *VirtualPanel::lamp(const QString &array, int index) const
{
    return m_lamps.value(QStringLiteral("%1(%2)").arg(array).arg(index));
}

QWidget *VirtualPanel::buildLamps()
{
    auto *box = new QWidget;
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);

    auto group = [&](const QString &caption, const QString &name) {
        auto *g = new QGroupBox(caption, box);
        g->setObjectName(name);
        auto *grid = new QGridLayout(g);
        grid->setHorizontalSpacing(12);
        row->addWidget(g);
        return grid;
    };
    auto place = [](QGridLayout *grid, Lamp *lamp) {
        const int n = grid->count();
        grid->addWidget(lamp, n / 2, n % 2);
    };

    // Group captions as the series prints them (the TLB's are on its key frame instead).
    const QStringList &captions = m_spec.groupCaptions;
    const auto caption = [&](const char *name) {
        return !m_spec.rotatedCaptions && captions.contains(QLatin1String(name)) ? QString::fromLatin1(name)
                                                                              : QString();
    };
    QGridLayout *status = group(caption("MODE"), QStringLiteral("fraStatus"));
    if (m_spec.armLamp)
        place(status, addLamp(QStringLiteral("lblArm"), 0, QStringLiteral("ARM"), 0));
    for (const LampSpec &s : m_spec.statusLamps) {
        if (s.index != 8 && s.index != 10) // the CTL lamps sit under the displays
            place(status, addLamp(QStringLiteral("lblStatus"), s.index, s.caption, s.tag));
    }
    QGridLayout *alarms = group(caption("ALARMS"), QStringLiteral("fraAlarms"));
    for (const LampSpec &s : m_spec.alarmLamps)
        place(alarms, addLamp(QStringLiteral("lblErrors"), s.index, s.caption, s.tag));
    QGridLayout *sources = group(caption("CONFIGURATION"), QStringLiteral("fraDisabled"));
    for (const LampSpec &s : m_spec.disabledLamps)
        place(sources, addLamp(QStringLiteral("lblDisabled"), s.index, s.caption, s.tag));
    return box;
}

void VirtualPanel::fixTabOrder()
{
    // Reading order: the displays, the knobs, the keys row by row (the TLB's value field in
    // its place beside ENTER), the trend's controls, then the log and its buttons.
    QList<QWidget *> order{txtVolt, txtCurr, txtMEM, knbVolt, knbCurr, knbOVP, knbOCP};
    auto *grid = static_cast<QGridLayout *>(fraButtons->layout());
    QList<std::pair<std::pair<int, int>, QWidget *>> keys;
    for (int i = 0; i < grid->count(); ++i) {
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        if (QWidget *w = grid->itemAt(i)->widget(); w && w->focusPolicy() & Qt::TabFocus)
            keys.append({{row, column}, w});
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &key : keys)
        order << key.second;
    order << fraTrend->cmdPause << fraTrend->cboSpan << fraTrend->cmdExport << rtbTranx
          << clearLogButton << cmdSave;
    order.removeAll(nullptr);
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

void VirtualPanel::buildLampLists()
{
    auto add = [this](QList<Lamp *> &list, const QString &array, int index) {
        if (Lamp *l = lamp(array, index))
            list << l;
    };
    const QString status = QStringLiteral("lblStatus");
    const QString errors = QStringLiteral("lblErrors");
    const QString disabled = QStringLiteral("lblDisabled");
    if (setpointLamps.isEmpty()) {
        add(setpointLamps, status, 8);
        add(setpointLamps, status, 10);
        add(setpointLamps, errors, 0);
        add(setpointLamps, errors, 1);
    }
    if (configLamps.isEmpty()) {
        // Position = configuration item + 1; only the TLB has the KEYPAD lamp.
        add(configLamps, status, 9);
        add(configLamps, status, 3);
        add(configLamps, status, 4);
        add(configLamps, disabled, 0);
        add(configLamps, disabled, 3);
        add(configLamps, disabled, 1);
        add(configLamps, disabled, 2);
        add(configLamps, errors, 8);
    }
    if (alarmLamps.isEmpty()) {
        for (int index : {0, 1, 2, 3, 4, 5, 8})
            add(alarmLamps, errors, index);
        add(alarmLamps, disabled, 2);
    }
    if (operationLamps.isEmpty()) {
        add(operationLamps, QStringLiteral("lblArm"), 0);
        for (int index : {3, 4, 6, 7, 8, 9, 10})
            add(operationLamps, status, index);
    }
}

void VirtualPanel::loadPictures()
{
    const QDir folder(modData().ProgramFolder);
    // A picture that is missing (or too narrow to be one) hides its holder.
    auto load = [&](QLabel *holder, const QString &file, QWidget *hideWhenMissing) {
        QPixmap picture(folder.filePath(file));
        if (picture.isNull() || picture.width() < 4) {
            hideWhenMissing->hide();
            return;
        }
        holder->setPixmap(picture.scaledToHeight(std::min(picture.height(), 48),
                                                 Qt::SmoothTransformation));
    };
    load(pctLogo, QStringLiteral("logo.gif"), pctLogo);
    load(pctName, QStringLiteral("name.gif"), pctName);
}

void VirtualPanel::readDebugAccess()
{
    const QString code = ReadProfileString(QDir(modData().ProgramFolder).filePath(DebugIniFileName),
                                           QStringLiteral("Debug"), QStringLiteral("Type"),
                                           QString(), 51)
                             .toLower();
    DebugMode = code == DebugAccessCode;
    fraIn->setVisible(DebugMode);
}

void VirtualPanel::paintEvent(QPaintEvent *event)
{
    PanelWindow::paintEvent(event);
}

bool VirtualPanel::eventFilter(QObject *watched, QEvent *event)
{
    // The key frame's vertical captions, each centred on its group of keys.
    if (watched == fraButtons && event->type() == QEvent::Paint && m_spec.rotatedCaptions) {
        QPainter painter(fraButtons);
        painter.setPen(QColor(QStringLiteral("#d8dcdf")));
        auto *grid = static_cast<QGridLayout *>(fraButtons->layout());
        const QStringList &captions = m_spec.groupCaptions; // MODE, SETUP, SET POINT
        const int rows[][2] = {{0, 1}, {2, 3}, {4, 5}};
        for (int i = 0; i < 3 && i < captions.size(); ++i) {
            const QRect top = grid->cellRect(rows[i][0], 0);
            const QRect bottom = grid->cellRect(rows[i][1], 0);
            const int textWidth = QFontMetrics(RotatedTextFont(QStringLiteral("Arial"), 11, true, false, fraButtons), fraButtons)
                                      .horizontalAdvance(captions[i]);
            const int y = (top.top() + bottom.bottom()) / 2 + textWidth / 2;
            painter.setPen(QColor(QStringLiteral("#6d767d")));
            painter.drawLine(top.left() - 10, top.top(), top.left() - 10, bottom.bottom());
            painter.setPen(QColor(QStringLiteral("#d8dcdf")));
            DrawRotatedText(painter, captions[i], top.left() - 14, y, 900, QStringLiteral("Arial"),
                            11, true, false);
        }
        return false;
    }
    return PanelWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Time, sending, closing.

qint64 VirtualPanel::now() const { return modData().clock->elapsedMs(); }
double VirtualPanel::secondsSinceKey() const { return (now() - m_lastKeyMs) / 1000.0; }
void VirtualPanel::takeKeyTime() { m_lastKeyMs = now(); }

void VirtualPanel::send(const QString &command) { SendCommand(command, DebugMode); }

void VirtualPanel::sendChg(qint16 level, qint16 item, qint16 sub)
{
    send(QStringLiteral("<>CHG %1,%2,%3").arg(level).arg(item).arg(sub));
}

bool VirtualPanel::closing() const { return Switching || !isVisible() || m_lamps.isEmpty(); }

void VirtualPanel::stopPanelTimers()
{
    tmrInfo.stop();
    tmrMenu.stop();
    tmrFlash.stop();
    tmrHold.stop();
}

void VirtualPanel::afterSetup()
{
    const PanelId series = VirtualPanelFor(modData().SystemType);
    if (PanelName(series) != formName())
        SwitchPanel(series);
}

void VirtualPanel::panelClosing()
{
    stopPanelTimers();
    setpointLamps.clear();
    configLamps.clear();
    alarmLamps.clear();
    operationLamps.clear();
}

// ---------------------------------------------------------------------------------------------
// The status poll.

void VirtualPanel::tmrInfo_Timer()
{
    if (m_pollErrorShown)
        return;
    tmrInfo.setInterval(PollIntervalMs);
    // Menu time-outs.
    if (MenuLevel >= m_spec.menuTimeoutLevel && secondsSinceKey() * 1000 > MenuTimeoutMs) {
        ExitMenu();
        clearReleaseAction(true);
    }
    // An abandoned direct adjustment: the release action sends the saved value back first and
    // leaves the menu after its wait, so the instrument does not keep the value it was stepped
    // to (leaving first would make the release see no adjustment to undo).
    if (m_spec.directAdjust && secondsSinceKey() * 1000 > IdleMenuTimeoutMs && MenuSub == 7)
        clearReleaseAction();
    poll();
}

void VirtualPanel::pollFailed(const QString &command, const QString &reply, const QString &description)
{
    // One box at a time; polling waits while it is open, or every tick would open another.
    if (!DebugMode || m_pollErrorShown)
        return;
    m_pollErrorShown = true;
    const bool polling = tmrInfo.isActive();
    tmrInfo.stop();
    const QString crlf = QStringLiteral("\r\n");
    QPointer<VirtualPanel> self(this);
    modData().prompter->Show(m_spec.pollErrorFirstLine + crlf + QStringLiteral("Command: ") + command
                                 + crlf + QStringLiteral("Response: ") + reply + crlf
                                 + QStringLiteral("Error: ") + description,
                             ErrorTitle, MsgIcon::Critical, MsgButtons::Ok);
    if (!self)
        return;
    m_pollErrorShown = false;
    if (polling && !closing())
        resumePolling();
}

void VirtualPanel::poll()
{
    // The link is lent to a device probe or search (Communication Setup): it is not this
    // panel's instrument that answers now.
    if (Comm().QuietMode)
        return;
    // The link is being opened again (Setup, Reconnect): it cannot carry a command yet.
    if (Comm().isOpening())
        return;
    // A poll that starts while another exchange waits for its reply (the TCP/IP wait lets
    // timers run) would take that reply for its own, and the exchange would time out: a key's
    // query, the state refresh after a memory change, another poll. Nor does one start while
    // this poll's own message is up. The next tick polls.
    if (m_inPoll || Comm().isWaiting())
        return;
    m_inPoll = true;
    QPointer<VirtualPanel> self(this);
    const QString command = QStringLiteral("<>STA");
    QString reply;
    send(command);
    if (ReadStatusReply(reply, 2, DebugMode) < 0 && self && !closing()) {
        send(command);
        ReadReply(reply, 1, DebugMode);
    }
    if (!self)
        return;
    m_inPoll = false;
    if (closing())
        return;

    if (m_spec.replyLetterCheck) {
        if (const char letter = ForbiddenReplyLetter(reply)) {
            pollFailed(command, reply, QStringLiteral("Result contains '%1'").arg(QLatin1Char(letter)));
            return;
        }
    }
    // Another panel became current: give way without ending the program.
    if (!modData().CurrentPanel || modData().CurrentPanel->objectName() != m_spec.windowName) {
        closeReplaced();
        return;
    }
    std::vector<qint32> fields;
    try {
        fields = PollFields(reply);
    } catch (const DecodeError &e) {
        pollFailed(command, reply, e.what);
        return;
    }
    if (fields.size() >= 4)
        recordTrend(fields);
    if (fields.size() < 4) {
        const bool on = PowerState >= Power::On;
        fields = {on ? SaturatedInt32(knbVolt->value() * 1000) : 0,
                  on ? SaturatedInt32(knbCurr->value() * 1000) : 0,
                  DefaultWordA, DefaultWordB, DefaultMemory};
    }
    StatusBitsA = UnpackBits(fields[2]);
    AlarmBitsB = UnpackBits(fields[3]);
    UpdateLamps();
    try {
        showReadings(fields);
    } catch (const DecodeError &e) {
        pollFailed(command, reply, e.what);
        return;
    }

    updateLegend();

    if (StatusBitsA[StatusBit::Standby]) {
        PowerState = Power::Standby;
    } else if (StatusBitsA[StatusBit::Power]) {
        PowerState = Power::On;
        if (m_spec.armLamp && StatusBitsA[StatusBit::Arm]) {
            PowerState = Power::OnArmed;
            if (Lamp *arm = lamp(QStringLiteral("lblArm"), 0)) {
                if (!FlashPhase)
                    arm->setLit(LampColour::Yellow);
                else
                    arm->setDark();
            }
        }
    }
}

void VirtualPanel::showReadings(const std::vector<qint32> &fields)
{
    const ModData &data = modData();
    auto field = [&](size_t i) {
        if (i >= fields.size())
            throw DecodeError{QStringLiteral("Subscript out of range")};
        return fields[i];
    };
    auto readings = [&] {
        ShowValue(txtVolt, field(0) / 1000.0, data.VoltageFormat);
        ShowValue(txtCurr, field(1) / 1000.0, data.CurrentFormat);
    };
    if (MenuLevel == 2) {
        ShowValue(txtVolt, data.SettingsBackup.VoltSet, data.VoltageFormat);
        ShowValue(txtCurr, data.SettingsBackup.CurrSet, data.CurrentFormat);
        if (txtMEM)
            ShowMemory(data.SettingsBackup.MemLoc);
    } else if (MenuLevel == m_spec.tripDisplayLevel) {
        ShowValue(txtVolt, data.SettingsBackup.VoltProt, data.VoltageFormat);
        ShowValue(txtCurr, data.SettingsBackup.CurrProt, data.CurrentFormat);
    } else if (!m_spec.directAdjust && MenuLevel == m_spec.calibrationLevel) {
        readings();
        RefreshMenuDisplay();
    } else if (MenuSub == 7) {
        flashAfterDirectAdjust(fields);
    } else if (MenuLevel != 11 && MenuLevel != 12) {
        readings();
        if (m_spec.readsMemoryField && txtMEM) {
            const qint32 memory = field(4);
            ShowMemory(memory);
            if (MemoryLocationChanged(memory, modData().Settings.MemLoc)) {
                // The memory location changed at the instrument: take over its setpoints.
                readState();
            }
        }
    } else {
        readings();
        RefreshMenuDisplay();
    }
}

void VirtualPanel::flashAfterDirectAdjust(const std::vector<qint32> &fields)
{
    const ModData &data = modData();
    ShowValue(txtVolt, fields.at(0) / 1000.0, data.VoltageFormat);
    ShowValue(txtCurr, fields.at(1) / 1000.0, data.CurrentFormat);
    if (txtMEM && fields.size() > 4)
        ShowMemory(fields[4]);
    RefreshMenuDisplay();
    // The value being adjusted shows in its display, and the value's lamp (or the period
    // prompt) flashes.
    if (FlashItem == 5 || FlashItem == 7)
        ShowValue(txtVolt, EditValue, EditFormat);
    else if (FlashItem == 6 || FlashItem == 8 || FlashItem == 9)
        ShowValue(txtCurr, EditValue, FlashItem == 9 ? PeriodDisplayFormat(EditValue) : EditFormat);
    if (FlashItem >= 5 && FlashItem <= 8) {
        const quint32 colour = FlashItem <= 6 ? LampColour::Green : LampColour::Red;
        lightSetpointLamp(FlashItem - 4, FlashPhase ? 0 : colour);
    } else if (FlashItem == 9) {
        txtVolt->show(FlashPhase ? QString() : QStringLiteral("P"));
    }
}

void VirtualPanel::lightSetpointLamp(int position, quint32 colour)
{
    if (position < 1 || position > setpointLamps.size())
        return;
    if (colour)
        setpointLamps[position - 1]->setLit(colour);
    else
        setpointLamps[position - 1]->setDark();
}

void VirtualPanel::UpdateLamps()
{
    for (Lamp *l : operationLamps) {
        if (StatusBitsA[size_t(l->tag())])
            l->setLit(LampColour::Green);
        else
            l->setDark();
    }
    if (Lamp *arm = lamp(QStringLiteral("lblArm"), 0)) {
        if (StatusBitsA[StatusBit::Arm])
            arm->setLit(LampColour::Yellow);
        else
            arm->setDark();
    }
    if (Lamp *standby = lamp(QStringLiteral("lblStatus"), StatusBit::Standby)) {
        if (StatusBitsA[StatusBit::Standby])
            standby->setLit(LampColour::Orange);
        else
            standby->setDark();
    }
    for (Lamp *l : alarmLamps) {
        if (AlarmBitsB[size_t(l->tag())])
            l->setLit(LampColour::Red);
        else
            l->setDark();
    }
    if (!alarmLamps.isEmpty()) {
        Lamp *remote = alarmLamps.last();
        if (AlarmBitsB[size_t(remote->tag())])
            remote->setLit(LampColour::Green);
        else
            remote->setDark();
    }
}

void VirtualPanel::ShowValue(PanelDisplay *display, double value, const QString &format)
{
    if (EntryMode == 1 && txtInput) {
        display->show(txtInput->text());
        return;
    }
    display->show(DisplayText(value, format, m_spec.truncatesDisplay));
}

void VirtualPanel::ShowMemory(double number)
{
    if (txtMEM)
        txtMEM->show(number <= 9 ? QString::number(qint64(number)) : QStringLiteral("E"));
}

void VirtualPanel::tmrFlash_Timer()
{
    if (now() - m_lastFlashMs > FlashToggleMs) {
        FlashPhase = !FlashPhase;
        m_lastFlashMs = now();
    }
}

// ---------------------------------------------------------------------------------------------
// The legend and the trend.

void VirtualPanel::updateLegend()
{
    QString legend;
    if (m_levelHoldUntilMs >= 0) // a setpoint button's moment: the displays show readings
        legend.clear();
    else if (isTlb() && MenuSub == 7)
        legend = MenuLegend(FlashItem, NoItem);
    else if (MenuLevel == m_spec.idleLevel)
        legend.clear();
    else if (MenuLevel == 2)
        legend = MenuLegend(2, NoItem);
    else if (MenuLevel == m_spec.tripDisplayLevel)
        legend = MenuLegend(3, NoItem);
    else
        legend = MenuLegend(role(MenuLevel), MenuItem);
    if (lblLegend->text() != legend)
        lblLegend->setText(legend);
}

TrendBuffer &VirtualPanel::TrendHistory()
{
    static TrendBuffer history;
    return history;
}

void VirtualPanel::buildTrend()
{
    fraTrend = new TrendView(TrendHistory());
    fraTrend->hide();
    connect(fraTrend, &TrendView::exportRequested, this, &VirtualPanel::exportTrend);

    mnuView->addSeparator();
    mnuTrend = mnuView->addAction(QStringLiteral("&Trend"));
    mnuTrend->setObjectName(QStringLiteral("mnuTrend"));
    mnuTrend->setCheckable(true);
    mnuTrend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(mnuTrend, &QAction::toggled, this, &VirtualPanel::showTrend);
}

void VirtualPanel::showTrend(bool shown)
{
    TrendWanted = shown;
    if (mnuTrend->isChecked() != shown) {
        mnuTrend->setChecked(shown); // toggled: comes back here and does the rest
        return;
    }
    if (fraTrend->isVisibleTo(this) == shown)
        return;
    if (!isVisible()) {
        fraTrend->setVisible(shown);
        return;
    }
    // The window grows by the trend and shrinks back when it goes, keeping its width. Sized
    // before the trend shows, so Qt does not fit the whole window to its contents instead.
    const int room = fraTrend->sizeHint().height() + centralWidget()->layout()->spacing();
    const int target = height() + (shown ? room : -(fraTrend->height() + centralWidget()->layout()->spacing()));
    resize(width(), height());
    fraTrend->setVisible(shown);
    resize(width(), std::max(minimumSizeHint().height(), target));
}

void VirtualPanel::recordTrend(const std::vector<qint32> &fields)
{
    const ModData &data = modData();
    TrendSample sample;
    sample.timeMs = QDateTime::currentMSecsSinceEpoch();
    sample.volts = fields[0] / 1000.0;
    sample.amps = fields[1] / 1000.0;
    sample.voltSet = data.Settings.VoltSet;
    sample.currSet = data.Settings.CurrSet;
    sample.wordA = fields[2];
    sample.wordB = fields[3];
    TrendHistory().add(sample);
    fraTrend->sampleAdded();
}

void VirtualPanel::exportTrend()
{
    QPointer<VirtualPanel> self(this);
    QString path = SelectFile(this, ExportTitle, modData().ProgramFolder, ExportDescription,
                              ExportPattern, QString());
    if (!self || path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const ModData &data = modData();
    const QString problem
        = WriteWholeFile(path, TrendCsv(TrendHistory(), data.VoltageFormat, data.CurrentFormat,
                                        m_spec.truncatesDisplay, QTimeZone::systemTimeZone()));
    if (!problem.isEmpty())
        data.prompter->Show(QStringLiteral("Unable to export the trend to ") + path
                                + QStringLiteral(":\r\n") + problem,
                            ApplicationTitle, MsgIcon::Critical, MsgButtons::Ok);
}

} // namespace zop

