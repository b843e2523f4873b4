#include "panels/virtual/virtualpanel.h"

#include "app/configuration.h"
#include "core/inifile.h"
#include "app/moddata.h"
#include "core/textfile.h"
#include "link/commlayer.h"
#include "panels/virtual/paneldisplay.h"
#include "panels/virtual/sequenceview.h"
#include "engine/sequencecontrol.h"
#include "engine/trendbuffer.h"
#include "panels/virtual/trendview.h"
#include "core/numbertext.h"
#include "core/apptitle.h"
#include "ui/entervalue.h"
#include "ui/knob.h"
#include "ui/look.h"
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
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
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
bool SequenceWanted = false;

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
    : PanelWindow(SeriesSpecFor(series).windowName, parent), m_spec(SeriesSpecFor(series)),
      m_engine(m_spec, *this)
{
    buildPanel();
    loadPictures();
    m_engine.setDebugMode(readDebugAccess());
    Comm().LogTarget = rtbTranx;
    m_engine.start();
    const ModData &data = modData();
    fraTrend->setRatings(data.Ratings.VoltMax, data.Ratings.CurrMax);
    showTrend(TrendWanted);
    showSequence(SequenceWanted);
}

// The sequence control goes before the engine it holds on to.
VirtualPanel::~VirtualPanel() { delete m_sequence; }

void VirtualPanel::panelClosing()
{
    m_sequence->stop(QStringLiteral("the panel closed"));
    m_engine.stop();
}

// ---------------------------------------------------------------------------------------------
// Building the window.

void VirtualPanel::buildPanel()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("frontPanel"));
    // The instrument's face is dark in both looks (ui/look.h).
    const LookColours &face = FaceColours();
    central->setStyleSheet(QStringLiteral(
        "#frontPanel { background: %1; }"
        "#frontPanel QLabel[caption=\"true\"] { color: %2; }"
        "#frontPanel QGroupBox { color: %2; border: 1px solid %3; border-radius: 6px;"
        " margin-top: 14px; padding: 6px; font-weight: bold; }"
        "#frontPanel QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }"
        "#frontPanel QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 %4, stop:1 %5); color: %6; border: 1px solid %7;"
        " border-radius: 5px; font-weight: bold; padding: 4px 10px; }"
        "#frontPanel QPushButton:pressed { background: %7; }"
        // Keys a menu locks out are greyed, as on the instrument.
        "#frontPanel QPushButton:disabled { background: %8; color: %9;"
        " border: 1px dashed %3; }"
        "#frontPanel QProgressBar { background: %7; border: 1px solid %3;"
        " border-radius: 3px; max-height: 6px; }"
        "#frontPanel QProgressBar::chunk { background: %10; }"
        "#frontPanel QPushButton:focus { border: 2px solid %11; }"
        "#frontPanel QCheckBox { color: %2; }"
        "#frontPanel QPushButton#cmdStart { background: #2f7d3a; }"
        "#frontPanel QPushButton#cmdStop { background: #a33a32; }"
        // START locked (a menu, a running sequence) looks locked like every other key.
        "#frontPanel QPushButton#cmdStart:disabled { background: %8; }"
        "#frontPanel QLineEdit { background: %12; color: %13; border: 1px solid %3;"
        " font-weight: bold; }"
        "#frontPanel zop--Lamp { background: %12; border-radius: 3px; padding: 1px 4px; }")
        .arg(face.ground.name(), face.text.name(), face.border.name(),
             face.key.lighter(125).name(), face.key.darker(125).name(), face.keyText.name(),
             face.field.name(), face.readOnlyField.name(), face.hint.name(), face.accent.name(),
             face.focus.name())
        .arg(face.display.name(), face.displayText.name()));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(10);

    auto *fraTitle = new QWidget(central);
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
    buildSequence();
    layout->addWidget(fraNotice);

    auto *body = new QHBoxLayout;
    body->setSpacing(14);
    auto *left = new QVBoxLayout;
    left->addWidget(buildDisplays());
    QWidget *lamps = buildLamps();
    left->addWidget(lamps);
    body->addLayout(left, 3);
    QWidget *keys = buildKeys();
    body->addWidget(keys, 2);
    // The panel and its trend in one column, the Sequence view beside them.
    auto *column = new QVBoxLayout;
    column->setSpacing(10);
    column->addLayout(body);
    auto *row = new QHBoxLayout;
    row->setSpacing(14);
    row->addLayout(column, 1);
    row->addWidget(fraSequence);
    layout->addLayout(row, 1);
    // The large readout leaves the displays alone in the window.
    m_besideReadout = {fraTitle, lamps, keys,
                       central->findChild<QWidget *>(QStringLiteral("fraKnobs")),
                       m_lamps.value(QStringLiteral("lblStatus(8)")),
                       m_lamps.value(QStringLiteral("lblStatus(10)"))};
    buildTrend();
    buildLargeReadout();
    column->addWidget(fraTrend, 1);
    // Every key says what it does (the texts are in the series table).
    for (QWidget *w : central->findChildren<QWidget *>()) {
        const QString tip = KeyToolTip(m_spec.series, w->objectName());
        if (!tip.isEmpty())
            w->setToolTip(tip);
    }
    m_keys.value(FrontKey::Start)->setToolTip(m_keys.value(FrontKey::Start)->toolTip()
                                              + QStringLiteral(" (%1)").arg(StartChord.toString(QKeySequence::NativeText)));
    m_keys.value(FrontKey::Stop)->setToolTip(m_keys.value(FrontKey::Stop)->toolTip()
                                             + QStringLiteral(" (%1)").arg(StopChord.toString(QKeySequence::NativeText)));

    // The transaction log shows only in debug mode.
    layout->addWidget(fraIn);
    fixTabOrder();
    fraIn->setStyleSheet(QStringLiteral("QGroupBox { color: %1; }").arg(face.text.name()));
    setCentralWidget(central);
}

QWidget *VirtualPanel::buildDisplays()
{
    auto *box = new QWidget;
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(16);
    const QColor red = FaceColours().digits;
    const QColor amber = FaceColours().memoryDigits;
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
    lblLegend->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;")
                                 .arg(FaceColours().accent.name()));
    lblLegend->setMinimumWidth(QFontMetrics(lblLegend->font()).horizontalAdvance(
                                   QStringLiteral("SET POINTS")) + 24);
    lblLegend->setAlignment(Qt::AlignCenter);
    grid->addWidget(lblLegend, 1, m_spec.memoryDisplay ? 3 : 2);

    auto *fraKnobs = new QGroupBox(box);
    fraKnobs->setObjectName(QStringLiteral("fraKnobs"));
    fraKnobs->setFlat(true);
    auto *knobs = new QHBoxLayout(fraKnobs);
    // Each knob with its caption under it; the trip knobs only where the series has them.
    const struct {
        FrontKnob which;
        const char *name;
        const char *accessible;
        const char *caption;
        bool present;
    } knobRows[] = {
        {FrontKnob::Volt, "knbVolt", "Voltage knob", "VOLTAGE", true},
        {FrontKnob::Curr, "knbCurr", "Current knob", "CURRENT", true},
        {FrontKnob::Ovp, "knbOVP", "Over-voltage trip knob", "OVP", m_spec.tripKnobs},
        {FrontKnob::Ocp, "knbOCP", "Over-current trip knob", "OCP", m_spec.tripKnobs},
    };
    for (const auto &row : knobRows) {
        if (!row.present)
            continue;
        auto *knob = new Knob(fraKnobs);
        knob->setObjectName(QLatin1String(row.name));
        knob->setAccessibleName(QLatin1String(row.accessible));
        knob->setToolTip(knob->accessibleName());
        knob->setBackColour(FaceColours().ground);
        knob->setMinimumSize(64, 64); // the views under the panel never squeeze it away
        auto *column = new QVBoxLayout;
        column->setSpacing(2);
        auto *caption = Caption(QString::fromLatin1(row.caption), fraKnobs);
        caption->setBuddy(knob);
        column->addWidget(knob, 0, Qt::AlignHCenter);
        column->addWidget(caption, 0, Qt::AlignHCenter);
        knobs->addLayout(column);
        const FrontKnob which = row.which;
        connect(knob, &Knob::turning, this, [this, which](float v) { m_engine.knobTurning(which, v); });
        connect(knob, &Knob::turnEnded, this, [this, which](float v) { m_engine.knobTurnEnded(which, v); });
        m_knobs.insert(which, knob);
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

    QPushButton *cmdMenu = addKey(FrontKey::Menu, QStringLiteral("cmdMenu"), QStringLiteral("MENU"));
    QPushButton *cmdItem = addKey(FrontKey::Item, QStringLiteral("cmdItem"), QStringLiteral("ITEM"));
    QPushButton *cmdUp = addKey(FrontKey::Up, QStringLiteral("cmdUp"), QStringLiteral("UP"));
    QPushButton *cmdDn = addKey(FrontKey::Dn, QStringLiteral("cmdDn"), QStringLiteral("DN"));
    QPushButton *cmdEnter = addKey(FrontKey::Enter, QStringLiteral("cmdEnter"), QStringLiteral("ENTER"));
    QPushButton *cmdClear = addKey(FrontKey::Clear, QStringLiteral("cmdClear"), QStringLiteral("CLEAR"));
    QPushButton *cmdStart = addKey(FrontKey::Start, QStringLiteral("cmdStart"), QStringLiteral("START"));
    QPushButton *cmdStop = addKey(FrontKey::Stop, QStringLiteral("cmdStop"), QStringLiteral("STOP"));
    // START and STOP from the keyboard anywhere in the panel: chords, so that no stray key
    // starts the output; a key a menu has locked stays locked.
    for (QPushButton *key : {cmdStart, cmdStop}) {
        auto *chord = new QShortcut(key == cmdStart ? StartChord : StopChord, this);
        connect(chord, &QShortcut::activated, key, [key] {
            if (key->isEnabled() && key->isVisible())
                key->click();
        });
    }

    if (m_spec.armAndMemoryKeys) {
        QPushButton *cmdDsply = addKey(FrontKey::Display, QStringLiteral("cmdDsply"), QStringLiteral("DISPLAY"));
        QPushButton *cmdMem = addKey(FrontKey::Mem, QStringLiteral("cmdMem"), QStringLiteral("MEM"));
        QPushButton *cmdArm = addKey(FrontKey::Arm, QStringLiteral("cmdArm"), QStringLiteral("ARM"));
        txtInput = new QLineEdit(fraButtons);
        txtInput->setObjectName(QStringLiteral("txtInput"));
        txtInput->setAccessibleName(QStringLiteral("Value entry"));
        txtInput->setPlaceholderText(QStringLiteral("value"));
        QPalette entry = txtInput->palette();
        entry.setColor(QPalette::PlaceholderText, FaceColours().hint);
        txtInput->setPalette(entry);
        txtInput->setMaxLength(8);
        connect(txtInput, &QLineEdit::textEdited, this, [this](const QString &text) { m_engine.textEdited(text); });
        connect(txtInput, &QLineEdit::returnPressed, this, [this] { m_engine.press(FrontKey::Enter); });

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
        return fraButtons;
    }

    QPushButton *cmdVISet = addKey(FrontKey::VISet, QStringLiteral("cmdVISet"), m_spec.visetCaption);
    QPushButton *cmdTRIP = addKey(FrontKey::Trip, QStringLiteral("cmdTRIP"), m_spec.tripCaption);
    QPushButton *cmdCal = addKey(FrontKey::Cal, QStringLiteral("cmdCal"), QStringLiteral("CAL"));
    QPushButton *cmdVolt = addKey(FrontKey::Volt, QStringLiteral("cmdVolt"), QStringLiteral("VOLTAGE"));
    QPushButton *cmdCurr = addKey(FrontKey::Curr, QStringLiteral("cmdCurr"), QStringLiteral("CURRENT"));
    QPushButton *cmdOVT = addKey(FrontKey::Ovt, QStringLiteral("cmdOVT"), QStringLiteral("OVT"));
    QPushButton *cmdOCT = addKey(FrontKey::Oct, QStringLiteral("cmdOCT"), QStringLiteral("OCT"));
    cmdCal->setAccessibleName(QStringLiteral("CAL (hold for 10 seconds)"));
    // How far the calibration key's hold has come; shown only while it is held, its room kept.
    prgCalHold = new QProgressBar(fraButtons);
    prgCalHold->setObjectName(QStringLiteral("prgCalHold"));
    prgCalHold->setAccessibleName(QStringLiteral("Calibration key hold"));
    prgCalHold->setRange(0, int(FrontPanel::CalibrationHoldMs));
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
    return fraButtons;
}

QPushButton *VirtualPanel::addKey(FrontKey which, const QString &name, const QString &caption)
{
    QPushButton *key = Key(name, caption, fraButtons);
    m_keys.insert(which, key);
    // Held keys act on the press and on the release (by mouse or space bar); the others on a
    // click, a press and a release inside the key. CLEAR is held on the series that reset with
    // it.
    const bool held = which == FrontKey::Up || which == FrontKey::Dn || which == FrontKey::Display
                   || which == FrontKey::VISet || which == FrontKey::Trip || which == FrontKey::Cal
                   || (which == FrontKey::Clear && m_spec.clearHold);
    if (held) {
        connect(key, &QPushButton::pressed, this, [this, which] { m_engine.press(which); });
        connect(key, &QPushButton::released, this, [this, which] { m_engine.release(which); });
    } else {
        connect(key, &QPushButton::clicked, this, [this, which] { m_engine.press(which); });
    }
    return key;
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
    lamp->setDarkShade(FaceColours().lampDark);
    lamp->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    lamp->setDark();
    m_lamps.insert(name, lamp);
    return lamp;
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
    QList<QWidget *> order{txtVolt, txtCurr, txtMEM};
    for (Knob *knob : std::as_const(m_knobs)) // in FrontKnob order: VOLTAGE, CURRENT, OVP, OCP
        order << knob;
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
    order << fraTrend->cmdPause << fraTrend->cboSpan << fraTrend->cmdExport;
    order << fraSequence->tabOrder();
    order << rtbTranx
          << clearLogButton << cmdSave;
    order.removeAll(nullptr);
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
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

bool VirtualPanel::readDebugAccess()
{
    const QString code = ReadProfileString(QDir(modData().ProgramFolder).filePath(DebugIniFileName),
                                           QStringLiteral("Debug"), QStringLiteral("Type"),
                                           QString(), 51)
                             .toLower();
    const bool debugMode = code == DebugAccessCode;
    fraIn->setVisible(debugMode);
    return debugMode;
}

bool VirtualPanel::eventFilter(QObject *watched, QEvent *event)
{
    // The key frame's vertical captions, each centred on its group of keys.
    if (watched == fraButtons && event->type() == QEvent::Paint && m_spec.rotatedCaptions) {
        QPainter painter(fraButtons);
        painter.setPen(FaceColours().text);
        auto *grid = static_cast<QGridLayout *>(fraButtons->layout());
        const QStringList &captions = m_spec.groupCaptions; // MODE, SETUP, SET POINT
        const int rows[][2] = {{0, 1}, {2, 3}, {4, 5}};
        for (int i = 0; i < 3 && i < captions.size(); ++i) {
            const QRect top = grid->cellRect(rows[i][0], 0);
            const QRect bottom = grid->cellRect(rows[i][1], 0);
            const int textWidth = QFontMetrics(RotatedTextFont(QStringLiteral("Arial"), 11, true, false, fraButtons), fraButtons)
                                      .horizontalAdvance(captions[i]);
            const int y = (top.top() + bottom.bottom()) / 2 + textWidth / 2;
            painter.setPen(FaceColours().border);
            painter.drawLine(top.left() - 10, top.top(), top.left() - 10, bottom.bottom());
            painter.setPen(FaceColours().text);
            DrawRotatedText(painter, captions[i], top.left() - 14, y, 900, QStringLiteral("Arial"),
                            11, true, false);
        }
        return false;
    }
    return PanelWindow::eventFilter(watched, event);
}


// ---------------------------------------------------------------------------------------------
// What the engine shows.

void VirtualPanel::showDisplay(FrontDisplay display, const QString &text)
{
    PanelDisplay *shown[] = {txtVolt, txtCurr, txtMEM};
    if (PanelDisplay *d = shown[int(display)])
        d->show(text);
}

void VirtualPanel::dimDisplays(bool dimmed)
{
    for (PanelDisplay *d : {txtVolt, txtCurr, txtMEM}) {
        if (d)
            d->setDimmed(dimmed);
    }
}

void VirtualPanel::showLamp(const QString &name, LampLight light)
{
    Lamp *l = m_lamps.value(name);
    if (!l)
        return;
    switch (light) {
    case LampLight::Dark: l->setDark(); break;
    case LampLight::Green: l->setLit(LampColour::Green); break;
    case LampLight::Red: l->setLit(LampColour::Red); break;
    case LampLight::Yellow: l->setLit(LampColour::Yellow); break;
    case LampLight::Orange: l->setLit(LampColour::Orange); break;
    }
}

void VirtualPanel::showLegend(const QString &text) { lblLegend->setText(text); }

void VirtualPanel::showTyped(const QString &text)
{
    if (txtInput && txtInput->text() != text) {
        const QSignalBlocker block(txtInput);
        txtInput->setText(text);
    }
}

void VirtualPanel::lockTyped(bool locked)
{
    if (txtInput)
        txtInput->setReadOnly(locked);
}

void VirtualPanel::setKnob(FrontKnob which, float maximum, float value)
{
    Knob *knob = m_knobs.value(which);
    if (!knob || knob->isTurning())
        return;
    knob->setMaximum(maximum);
    knob->setValue(value);
}

float VirtualPanel::knobValue(FrontKnob which) const
{
    const Knob *knob = m_knobs.value(which);
    return knob ? knob->value() : 0;
}

void VirtualPanel::enableKnobs(bool enabled)
{
    for (Knob *knob : std::as_const(m_knobs))
        knob->setEnabled(enabled);
}

void VirtualPanel::showKey(FrontKey key, bool shown)
{
    if (QPushButton *k = m_keys.value(key))
        k->setVisible(shown);
}

void VirtualPanel::enableKey(FrontKey key, bool enabled)
{
    if (QPushButton *k = m_keys.value(key))
        k->setEnabled(enabled);
}

void VirtualPanel::showHoldProgress(qint64 ms)
{
    if (!prgCalHold)
        return;
    prgCalHold->setVisible(ms >= 0);
    if (ms >= 0)
        prgCalHold->setValue(int(ms));
}

std::optional<QString> VirtualPanel::enterValue(const QString &title, const QString &text,
                                                const QString &hint)
{
    return EnterValue(this, title, text, hint);
}

bool VirtualPanel::closing() const { return Switching || !isVisible() || m_lamps.isEmpty(); }

void VirtualPanel::afterSetup()
{
    const PanelId series = VirtualPanelFor(modData().SystemType);
    if (PanelName(series) != formName())
        SwitchPanel(series);
}

// ---------------------------------------------------------------------------------------------
// The trend.

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

void VirtualPanel::buildLargeReadout()
{
    mnuLargeReadout = mnuView->addAction(QStringLiteral("&Large Readout"));
    mnuLargeReadout->setObjectName(QStringLiteral("mnuLargeReadout"));
    mnuLargeReadout->setCheckable(true);
    mnuLargeReadout->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(mnuLargeReadout, &QAction::toggled, this, &VirtualPanel::showLargeReadout);
}

void VirtualPanel::showLargeReadout(bool shown)
{
    if (mnuLargeReadout->isChecked() != shown) {
        mnuLargeReadout->setChecked(shown); // toggled: comes back here
        return;
    }
    if (shown)
        m_normalGeometry = geometry();
    for (QWidget *w : std::as_const(m_besideReadout))
        if (w)
            w->setVisible(!shown);
    if (shown) {
        const QScreen *screen = this->screen();
        const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
        resize(room.width() * 9 / 10, room.height() / 2);
        move(room.left() + room.width() / 20, room.top() + room.height() / 4);
    } else if (m_normalGeometry.isValid()) {
        setGeometry(m_normalGeometry);
    }
}

void VirtualPanel::showTrend(bool shown)
{
    TrendWanted = shown;
    if (mnuTrend->isChecked() != shown) {
        mnuTrend->setChecked(shown); // toggled: comes back here and does the rest
        return;
    }
    showPart(fraTrend, shown);
}

void VirtualPanel::showPart(QWidget *part, bool shown)
{
    if (part->isVisibleTo(this) == shown)
        return;
    if (!isVisible()) {
        part->setVisible(shown);
        return;
    }
    // The window grows by the part (the trend under the panel, the Sequence view beside it)
    // and shrinks back when it goes, keeping its other side, and never past the screen. Sized
    // before the part shows, so Qt does not fit the whole window to its contents instead.
    const bool beside = part == fraSequence;
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

// ---------------------------------------------------------------------------------------------
// The sequence, the log file and the events.

void VirtualPanel::buildSequence()
{
    m_sequence = new SequenceControl(m_engine, this);
    fraSequence = new SequenceView(*m_sequence);
    fraSequence->hide();
    for (QWidget *w : fraSequence->findChildren<QLabel *>())
        w->setProperty("caption", true);

    fraNotice = new QFrame;
    fraNotice->setObjectName(QStringLiteral("fraNotice"));
    fraNotice->setStyleSheet(QStringLiteral(
        "#fraNotice { background: #b3261e; border-radius: 5px; }"
        "#fraNotice QLabel { color: white; font-weight: bold; font-size: 14px; }"));
    auto *row = new QHBoxLayout(fraNotice);
    lblNotice = new QLabel(fraNotice);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setTextFormat(Qt::PlainText);
    lblNotice->setAccessibleName(QStringLiteral("Trip notice"));
    auto *cmdNoticeEvents = new QPushButton(QStringLiteral("Events"), fraNotice);
    cmdNoticeEvents->setObjectName(QStringLiteral("cmdNoticeEvents"));
    cmdNoticeEvents->setAccessibleName(QStringLiteral("Show the events"));
    cmdNoticeEvents->setToolTip(QStringLiteral("Events: opens the Sequence view's event list"));
    auto *cmdNoticeClose = new QPushButton(QStringLiteral("Dismiss"), fraNotice);
    cmdNoticeClose->setObjectName(QStringLiteral("cmdNoticeClose"));
    cmdNoticeClose->setAccessibleName(QStringLiteral("Dismiss the trip notice"));
    cmdNoticeClose->setToolTip(QStringLiteral("Dismiss: hides this notice (the event stays listed)"));
    for (QPushButton *b : {cmdNoticeEvents, cmdNoticeClose})
        b->setAutoDefault(false);
    row->addWidget(lblNotice, 1);
    row->addWidget(cmdNoticeEvents);
    row->addWidget(cmdNoticeClose);
    fraNotice->hide();
    connect(cmdNoticeClose, &QPushButton::clicked, fraNotice, &QWidget::hide);
    connect(cmdNoticeEvents, &QPushButton::clicked, this, [this] {
        showSequence(true);
        fraSequence->cmdEvents->setChecked(true);
        fraSequence->lstEvents->setFocus();
    });
    // A trip is told in the banner at once; a message box would hold up the poll.
    connect(m_sequence, &SequenceControl::tripped, this, [this](const QString &notice) {
        lblNotice->setText(notice);
        fraNotice->show();
    });
    connect(m_sequence, &SequenceControl::changed, this, &VirtualPanel::lockMenus);
    // Output Off from the menu ends a run as well (the menu's own command goes out first).
    connect(mnuOutputOff, &QAction::triggered, this,
            [this] { m_sequence->stop(QStringLiteral("Output Off")); });

    mnuSequence = mnuView->addAction(QStringLiteral("&Sequence"));
    mnuSequence->setObjectName(QStringLiteral("mnuSequence"));
    mnuSequence->setCheckable(true);
    mnuSequence->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(mnuSequence, &QAction::toggled, this, &VirtualPanel::showSequence);
}

void VirtualPanel::showSequence(bool shown)
{
    SequenceWanted = shown;
    if (mnuSequence->isChecked() != shown) {
        mnuSequence->setChecked(shown); // toggled: comes back here and does the rest
        return;
    }
    showPart(fraSequence, shown);
    if (shown)
        fraSequence->cmdOpen->setFocus();
}

void VirtualPanel::lockMenus()
{
    const bool lock = m_sequence->running();
    if (lock == !m_menusLocked.isEmpty())
        return;
    if (!lock) {
        for (QAction *a : std::as_const(m_menusLocked))
            a->setEnabled(true);
        m_menusLocked.clear();
        return;
    }
    for (QAction *a : {mnuCommand, mnuRegisters, mnuCalibration, mnuFirmware, mnuModulation,
                       mnuSimulate, mnuSetup, mnuReconnect,
                       mnuRecentLinks ? mnuRecentLinks->menuAction() : nullptr}) {
        if (a && a->isEnabled()) {
            a->setEnabled(false);
            m_menusLocked << a;
        }
    }
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
        = WriteWholeFile(path, TrendCsv(TrendHistory(), m_spec, data.VoltageFormat, data.CurrentFormat,
                                        QTimeZone::systemTimeZone()));
    if (!problem.isEmpty())
        data.prompter->Show(QStringLiteral("Unable to export the trend to ") + path
                                + QStringLiteral(":\r\n") + problem,
                            ApplicationTitle, MsgIcon::Critical, MsgButtons::Ok);
}

void VirtualPanel::pollRead(const std::vector<qint32> &fields)
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

} // namespace zop
