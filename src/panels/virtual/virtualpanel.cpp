#include "panels/virtual/virtualpanel.h"

#include "app/configuration.h"
#include "app/moddata.h"
#include "engine/sequencecontrol.h"
#include "engine/trendbuffer.h"
#include "link/commlayer.h"
#include "panels/virtual/keyframe.h"
#include "panels/virtual/paneldisplay.h"
#include "panels/virtual/sequenceview.h"
#include "panels/virtual/trendview.h"
#include "ui/entervalue.h"
#include "ui/knob.h"
#include "ui/lamp.h"
#include "ui/look.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <span>

namespace zop {

namespace {
// Whether the trend and the Sequence view were last shown: the next virtual panel opens with
// them the same way.
bool TrendWanted = false;
bool SequenceWanted = false;

// Where each key sits on the key frame. Two keys in one cell take turns: outside menus the
// display keys, inside them UP and DN; ENTER, or at the calibration level the CAL key. The
// captions of VISet and TRIP are the series'.
struct KeyPlace {
    FrontKey key;
    const char *name;
    const char *caption;
    int row, column;
};
// MODE: the output keys; SETUP: the menu keys; SET POINT: the value keys (the value field in
// row 5 beside ENTER).
const KeyPlace ArmAndMemoryKeys[] = {
    {FrontKey::Start, "cmdStart", "START", 0, 0},   {FrontKey::Stop, "cmdStop", "STOP", 0, 1},
    {FrontKey::Arm, "cmdArm", "ARM", 1, 0},         {FrontKey::Mem, "cmdMem", "MEM", 1, 1},
    {FrontKey::Menu, "cmdMenu", "MENU", 2, 0},      {FrontKey::Item, "cmdItem", "ITEM", 2, 1},
    {FrontKey::Display, "cmdDsply", "DISPLAY", 3, 0}, {FrontKey::Clear, "cmdClear", "CLEAR", 3, 1},
    {FrontKey::Up, "cmdUp", "UP", 4, 0},            {FrontKey::Dn, "cmdDn", "DN", 4, 1},
    {FrontKey::Enter, "cmdEnter", "ENTER", 5, 1},
};
const KeyPlace SetpointKeys[] = {
    {FrontKey::Start, "cmdStart", "START", 0, 0},   {FrontKey::Stop, "cmdStop", "STOP", 0, 1},
    {FrontKey::Volt, "cmdVolt", "VOLTAGE", 1, 0},   {FrontKey::Curr, "cmdCurr", "CURRENT", 1, 1},
    {FrontKey::Ovt, "cmdOVT", "OVT", 2, 0},         {FrontKey::Oct, "cmdOCT", "OCT", 2, 1},
    {FrontKey::Menu, "cmdMenu", "MENU", 3, 0},      {FrontKey::Item, "cmdItem", "ITEM", 3, 1},
    {FrontKey::VISet, "cmdVISet", nullptr, 4, 0},   {FrontKey::Trip, "cmdTRIP", nullptr, 4, 1},
    {FrontKey::Up, "cmdUp", "UP", 4, 0},            {FrontKey::Dn, "cmdDn", "DN", 4, 1},
    {FrontKey::Clear, "cmdClear", "CLEAR", 5, 0},   {FrontKey::Enter, "cmdEnter", "ENTER", 5, 1},
    {FrontKey::Cal, "cmdCal", "CAL", 5, 1},
};

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
    m_engine.setDebugMode(DebugAccessGranted());
    fraIn->setVisible(m_engine.debugMode());
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
    central->setStyleSheet(FaceStyleSheet());
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
    buildViews();
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
    column->addWidget(fraTrend, 1);
    // Every key says what it does (the texts are in the series table), and its chord if any.
    for (QWidget *w : central->findChildren<QWidget *>()) {
        const QString tip = KeyToolTip(m_spec.series, w->objectName());
        const QString chord = w->property("chord").toString();
        if (!tip.isEmpty())
            w->setToolTip(chord.isEmpty() ? tip : QStringLiteral("%1 (%2)").arg(tip, chord));
    }

    // The transaction log shows only in debug mode.
    layout->addWidget(fraIn);
    fixTabOrder();
    fraIn->setStyleSheet(QStringLiteral("QGroupBox { color: %1; }").arg(FaceColours().text.name()));
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
    fraButtons = new KeyFrame(m_spec.rotatedCaptions ? m_spec.groupCaptions : QStringList());
    auto *grid = static_cast<QGridLayout *>(fraButtons->layout());
    for (const KeyPlace &k : m_spec.armAndMemoryKeys ? std::span<const KeyPlace>(ArmAndMemoryKeys)
                                                   : std::span<const KeyPlace>(SetpointKeys)) {
        const QString caption = k.key == FrontKey::VISet ? m_spec.visetCaption
                              : k.key == FrontKey::Trip  ? m_spec.tripCaption
                                                         : QString::fromLatin1(k.caption);
        grid->addWidget(addKey(k.key, QString::fromLatin1(k.name), caption), k.row, k.column);
    }
    // START and STOP from the keyboard anywhere in the panel: chords, so that no stray key
    // starts the output; a key a menu has locked stays locked.
    for (FrontKey which : {FrontKey::Start, FrontKey::Stop}) {
        QPushButton *key = m_keys.value(which);
        const QKeySequence chord = which == FrontKey::Start ? StartChord : StopChord;
        key->setProperty("chord", chord.toString(QKeySequence::NativeText));
        connect(new QShortcut(chord, this), &QShortcut::activated, key, [key] {
            if (key->isEnabled() && key->isVisible())
                key->click();
        });
    }

    if (m_spec.typedEntry) {
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
        grid->addWidget(txtInput, 5, 0); // beside ENTER
    }
    if (QPushButton *cmdCal = m_keys.value(FrontKey::Cal)) {
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
        grid->addWidget(prgCalHold, 6, 0, 1, 2);
    }
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
    order << fraTrend->tabOrder() << fraSequence->tabOrder() << rtbTranx << clearLogButton << cmdSave;
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
// The trend, the large readout and the sequence.

void VirtualPanel::buildViews()
{
    mnuView->addSeparator();
    fraTrend = new TrendView(RunReadings(), m_spec);
    fraTrend->hide();
    mnuTrend = addViewToggle(QStringLiteral("mnuTrend"), QStringLiteral("&Trend"),
                             QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(mnuTrend, &QAction::toggled, this, [this](bool shown) {
        TrendWanted = shown;
        showPart(fraTrend, shown, Qt::Vertical);
    });
    mnuLargeReadout = addViewToggle(QStringLiteral("mnuLargeReadout"),
                                    QStringLiteral("&Large Readout"),
                                    QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(mnuLargeReadout, &QAction::toggled, this, &VirtualPanel::showLargeReadout);

    m_sequence = new SequenceControl(m_engine, this);
    fraSequence = new SequenceView(*m_sequence);
    fraSequence->hide();
    fraNotice = new TripNotice(*m_sequence);
    connect(fraNotice, &TripNotice::eventsWanted, this, [this] {
        showSequence(true);
        fraSequence->showEvents();
    });
    connect(m_sequence, &SequenceControl::changed, this,
            [this] { lockSwitching(m_sequence->running()); });
    // Output Off from the menu ends a run as well (the menu's own command goes out first).
    connect(mnuOutputOff, &QAction::triggered, this,
            [this] { m_sequence->stop(QStringLiteral("Output Off")); });
    mnuSequence = addViewToggle(QStringLiteral("mnuSequence"), QStringLiteral("&Sequence"),
                                QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(mnuSequence, &QAction::toggled, this, [this](bool shown) {
        SequenceWanted = shown;
        showPart(fraSequence, shown, Qt::Horizontal);
        if (shown)
            fraSequence->cmdOpen->setFocus();
    });
}

void VirtualPanel::showTrend(bool shown) { mnuTrend->setChecked(shown); }
void VirtualPanel::showSequence(bool shown) { mnuSequence->setChecked(shown); }

void VirtualPanel::showLargeReadout(bool shown)
{
    mnuLargeReadout->setChecked(shown); // from the code: the menu follows
    if (shown == m_normalGeometry.isValid())
        return;
    for (QWidget *w : std::as_const(m_besideReadout))
        if (w)
            w->setVisible(!shown);
    if (!shown) {
        setGeometry(std::exchange(m_normalGeometry, QRect()));
        return;
    }
    m_normalGeometry = geometry();
    const QScreen *screen = this->screen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    resize(room.width() * 9 / 10, room.height() / 2);
    move(room.left() + room.width() / 20, room.top() + room.height() / 4);
}

void VirtualPanel::pollRead(const std::vector<qint32> &fields)
{
    fraTrend->addReading(fields, modData().Settings.VoltSet, modData().Settings.CurrSet);
}

} // namespace zop
