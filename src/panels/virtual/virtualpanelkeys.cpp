// The front-panel keys of the virtual panel: the menu state machine (MENU, ITEM, UP, DN,
// ENTER, DISPLAY, typed entry), the value application, START, STOP, ARM, MEM, CLEAR with its
// long holds, and the knobs.

#include "panels/virtual/virtualpanel.h"

#include "app/moddata.h"
#include "link/commlayer.h"
#include "panels/virtual/paneldisplay.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"
#include "ui/entervalue.h"
#include "ui/knob.h"
#include "ui/lamp.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace zop {

namespace {
constexpr qint16 NoItem = -1;
// The status bit a configuration item mirrors in the default status word, and its command.
// The last item of a series' configuration menu is LOC, the interlock.
int ConfigBit(qint16 item, const SeriesSpec &spec)
{
    if (!spec.configItems.isEmpty() && item == spec.configItems.last())
        return 2;
    switch (item) {
    case 0: return StatusBit::RemoteSense;
    case 1: return StatusBit::IntCtl;
    case 2: return StatusBit::ExtCtl;
    default: return -1;
    }
}
QString ConfigCommand(qint16 item, const SeriesSpec &spec)
{
    if (!spec.configItems.contains(item))
        return QString();
    if (item == spec.configItems.last())
        return QStringLiteral("CONF:INTE ");
    switch (item) {
    case 0: return QStringLiteral("CONF:REM:SENS ");
    case 1: return QStringLiteral("CONF:CONT:INT ");
    default: return QStringLiteral("CONF:CONT:EXT ");
    }
}
constexpr int PotMaximum = 255;
} // namespace

// ---------------------------------------------------------------------------------------------
// Helpers.

void VirtualPanel::enableKnobs(bool enabled)
{
    for (Knob *knob : {knbVolt, knbCurr, knbOVP, knbOCP}) {
        if (knob)
            knob->setEnabled(enabled);
    }
}

// A knob starts every turn from the value it shows, so it must show the setpoint the instrument
// has after every change that did not come from the knob itself: a typed entry, the Enter Value
// dialog, a menu step, CLEAR, a memory recall, a state read. Otherwise a turn down from a stale
// value can raise the output. A knob in the middle of a turn keeps the user's value.
void VirtualPanel::syncKnobs()
{
    const ModData &data = modData();
    const struct {
        Knob *knob;
        float maximum;
        float value;
    } knobs[] = {{knbVolt, data.Ratings.VoltMax, data.Settings.VoltSet},
                 {knbCurr, data.Ratings.CurrMax, data.Settings.CurrSet},
                 {knbOVP, data.Ratings.VoltHigh, data.Settings.VoltProt},
                 {knbOCP, data.Ratings.CurrHigh, data.Settings.CurrProt}};
    for (const auto &k : knobs) {
        if (!k.knob || k.knob->isTurning())
            continue;
        k.knob->setMaximum(k.maximum);
        k.knob->setValue(k.value);
    }
}

void VirtualPanel::readState()
{
    QPointer<VirtualPanel> self(this);
    ReadAllState();
    if (self)
        syncKnobs();
}

void VirtualPanel::startMenuTimer()
{
    tmrInfo.stop();
    tmrMenu.start(1);
}

void VirtualPanel::resumePolling()
{
    if (!tmrInfo.isActive())
        tmrInfo.start(PollIntervalMs);
}

QString VirtualPanel::typedText() const { return txtInput ? txtInput->text() : QString(); }

void VirtualPanel::clearInput()
{
    if (txtInput)
        txtInput->clear();
}

qint16 VirtualPanel::role(qint16 level) const
{
    if (isTlb())
        return level;
    switch (level) {
    case 7:
    case 8: return level;
    case 9: return 10;
    case 10: return 11;
    default: return -1;
    }
}

void VirtualPanel::enableSetpointButtons(bool enabled)
{
    for (QPushButton *key : {cmdVolt, cmdCurr, cmdOVT, cmdOCT}) {
        if (key)
            key->setEnabled(enabled);
    }
}

void VirtualPanel::showKeySet()
{
    if (isTlb())
        return;
    // Outside menus: the display keys; inside: UP and DN. At the calibration level before it
    // is entered: the calibration key in ENTER's place.
    const bool inMenu = MenuLevel >= 5 && MenuLevel <= m_spec.calibrationLevel;
    cmdUp->setVisible(inMenu);
    cmdDn->setVisible(inMenu);
    cmdVISet->setVisible(!inMenu);
    cmdTRIP->setVisible(!inMenu);
    const bool calKey = MenuLevel == m_spec.calibrationLevel && MenuItem == NoItem;
    cmdEnter->setVisible(!calKey);
    cmdCal->setVisible(calKey);
}

void VirtualPanel::lockInput(bool locked)
{
    if (txtInput)
        txtInput->setReadOnly(locked);
}

// ---------------------------------------------------------------------------------------------
// Menu procedures.

void VirtualPanel::ExitMenu()
{
    MenuLevel = m_spec.idleLevel;
    MenuItem = NoItem;
    MenuSub = 0;
    EntryMode = -1;
    sendChg(0, -1, 0);
    lockInput(false);
    tmrMenu.stop();
    resumePolling();
    enableKnobs(true);
    enableSetpointButtons(true);
    showKeySet();
    updateLegend();
}

void VirtualPanel::LoadEditValue(qint16 level)
{
    const ModData &data = modData();
    switch (level) {
    case 0:
    case 5:
        EditValue = data.Settings.VoltSet;
        EditFormat = data.VoltageFormat;
        break;
    case 6:
        EditValue = data.Settings.CurrSet;
        EditFormat = data.CurrentFormat;
        break;
    case 7:
        EditValue = data.Settings.VoltProt;
        EditFormat = data.VoltageFormat;
        break;
    case 8:
        EditValue = data.Settings.CurrProt;
        EditFormat = data.CurrentFormat;
        break;
    case 9:
        EditValue = data.Settings.Period;
        EditFormat = PeriodEditFormat(EditValue);
        break;
    case 10:
        lockInput(true);
        break;
    case 11:
    case 12:
        lockInput(false);
        break;
    default:
        break;
    }
}

void VirtualPanel::showConfigLamps(bool flashSelected)
{
    for (int position = 0; position < configLamps.size(); ++position) {
        Lamp *l = configLamps[position];
        const int bit = ConfigBit(qint16(position), m_spec);
        const bool on = bit >= 0 && StatusBitsA[size_t(bit)];
        const bool darkened = flashSelected && position == MenuItem && FlashPhase;
        if (on && !darkened)
            l->setLit(LampColour::Green);
        else
            l->setDark();
    }
}

void VirtualPanel::showPotMenu()
{
    const auto pot = [this] {
        txtVolt->show(QStringLiteral("P"));
        txtCurr->show(QString::number(qint64(EditValue)).rightJustified(3, QLatin1Char(' ')));
        if (txtMEM)
            txtMEM->show(FlashPhase ? QString() : QString::number(MenuItem + 1));
    };
    if (MenuItem >= 0 && MenuItem <= 4) {
        pot();
        return;
    }
    if (txtMEM)
        txtMEM->show(QString());
    switch (MenuItem) {
    case 5:
        txtVolt->show(QStringLiteral("F"));
        txtCurr->show(QStringLiteral("H"));
        break;
    case 6:
        txtVolt->show(QStringLiteral("def"));
        txtCurr->show(QString());
        break;
    default:
        txtVolt->show(QStringLiteral("rEt"));
        txtCurr->show(QString());
        break;
    }
}

void VirtualPanel::showScaleMenu()
{
    const ModData &data = modData();
    switch (MenuItem) {
    case 6:
        ShowValue(txtVolt, EditValue, data.VoltageFormat);
        txtCurr->show(QStringLiteral("SC"));
        if (txtMEM)
            txtMEM->show(QString());
        break;
    case 7:
        txtVolt->show(QStringLiteral("SC"));
        ShowValue(txtCurr, EditValue, data.CurrentFormat);
        if (txtMEM)
            txtMEM->show(QString());
        break;
    case 8:
        txtVolt->show(QStringLiteral("rEt"));
        txtCurr->show(QString());
        if (txtMEM)
            txtMEM->show(QString());
        break;
    default:
        showPotMenu();
        break;
    }
}

void VirtualPanel::RefreshMenuDisplay()
{
    const ModData &data = modData();
    for (Lamp *l : configLamps)
        l->setDark();
    UpdateLamps();
    ShowMemory(data.Settings.MemLoc);
    auto blankWhileFlashing = [this](PanelDisplay *display, const QString &text) {
        display->show(FlashPhase ? QString() : text);
    };
    switch (role(MenuLevel)) {
    case 4:
        txtVolt->show(QString());
        txtCurr->show(QString());
        if (txtMEM)
            txtMEM->show(QString::number(qint64(EditValue)) + (FlashPhase ? QStringLiteral(".") : QString()));
        break;
    case 5:
    case 7:
        ShowValue(txtVolt, EditValue, EditFormat);
        txtCurr->show(QString());
        break;
    case 6:
    case 8:
        txtVolt->show(QString());
        ShowValue(txtCurr, EditValue, EditFormat);
        break;
    case 9:
        blankWhileFlashing(txtVolt, QStringLiteral("P"));
        ShowValue(txtCurr, EditValue, PeriodDisplayFormat(EditValue));
        break;
    case 10:
        blankWhileFlashing(txtVolt, QStringLiteral("ConF"));
        txtCurr->show(QString());
        showConfigLamps(MenuItem != NoItem);
        break;
    case 11:
        if (MenuItem == NoItem) {
            blankWhileFlashing(txtVolt, QStringLiteral("CAL "));
            txtCurr->show(typedText());
            if (txtMEM)
                txtMEM->show(QString());
            // The instrument's display shows the code as typed; each new text goes out once.
            if (txtInput && typedText() != m_promptSent) {
                m_promptSent = typedText();
                if (!m_promptSent.isEmpty())
                    send(QStringLiteral("<>PRO ") + m_promptSent);
            }
        } else {
            showPotMenu();
        }
        break;
    case 12:
        showScaleMenu();
        break;
    default:
        break;
    }
    // The setpoint being edited lights its lamp.
    if (role(MenuLevel) >= 5 && role(MenuLevel) <= 8)
        lightSetpointLamp(MenuLevel - 4, FlashPhase ? 0 : LampColour::Green);
    updateLegend();
}

void VirtualPanel::ApplyMenuAction(const QString &action)
{
    // A memory recall reads the state, and window events run meanwhile.
    QPointer<VirtualPanel> self(this);
    applyMenuAction(action);
    if (self && !closing())
        syncKnobs();
}

void VirtualPanel::applyMenuAction(const QString &action)
{
    ModData &data = modData();
    ValueChanged = true;
    const bool stepOrSave = action == QLatin1String("Up") || action == QLatin1String("Dn")
                         || action == QLatin1String("Save");
    const bool typing = EntryMode == 1;
    // At idle the value adjusted directly is the one last confirmed with ENTER.
    const qint16 level = (m_spec.directAdjust && MenuLevel == m_spec.idleLevel) ? FlashItem
                                                                                : role(MenuLevel);
    switch (level) {
    case 4: {
        if (action == QLatin1String("Clear"))
            EditValue = data.Settings.MemLoc;
        const int number = WrapMemory(SaturatedInt32(EditValue));
        EditValue = number;
        send(typing ? QStringLiteral("<>PRO ") + typedText() : QStringLiteral("MEM %1").arg(number));
        if (action == QLatin1String("Save")) {
            QPointer<VirtualPanel> self(this);
            RefreshInstrumentState();
            if (!self)
                return;
            DefaultMemory = number;
        }
        break;
    }
    case 5:
    case 6:
    case 7:
    case 8:
    case 9: {
        float *field = nullptr;
        double maximum = 0;
        double minimum = 0;
        QString prefix;
        const RatingsRecord &r = data.Ratings;
        switch (level) {
        case 5:
            field = &data.Settings.VoltSet, maximum = r.VoltMax, prefix = QStringLiteral("VOLT ");
            break;
        case 6:
            field = &data.Settings.CurrSet, maximum = r.CurrMax, prefix = QStringLiteral("CURR ");
            break;
        case 7:
            field = &data.Settings.VoltProt, maximum = r.VoltHigh, prefix = QStringLiteral("VOLT:PROT ");
            minimum = action == QLatin1String("Save") ? r.VoltLow : 0;
            break;
        case 8:
            field = &data.Settings.CurrProt, maximum = r.CurrHigh, prefix = QStringLiteral("CURR:PROT ");
            minimum = action == QLatin1String("Save") ? r.CurrLow : 0;
            break;
        default:
            field = &data.Settings.Period, maximum = 9999, prefix = QStringLiteral("PER ");
            break;
        }
        if (stepOrSave)
            EditValue = ClampValue(EditValue, maximum, minimum);
        if (action != QLatin1String("Clear"))
            *field = float(EditValue);
        EditValue = *field;
        send(typing ? QStringLiteral("<>PRO ") + typedText() : prefix + ShortestText(*field));
        if (action == QLatin1String("Save"))
            BackupSettings();
        break;
    }
    case 10: {
        const QString command = ConfigCommand(MenuItem, m_spec);
        const int bit = ConfigBit(MenuItem, m_spec);
        if (command.isEmpty()) {
            ValueChanged = false;
            break;
        }
        send(command + action);
        // The default word and the lamps follow at once; the next poll confirms.
        if (action == QLatin1String("1")) {
            DefaultWordA |= (1 << bit);
            StatusBitsA[size_t(bit)] = true;
        } else if (action == QLatin1String("0")) {
            DefaultWordA &= ~(1 << bit);
            StatusBitsA[size_t(bit)] = false;
        }
        break;
    }
    case 11:
    case 12:
        if (MenuItem >= 0 && MenuItem <= 4) {
            if (stepOrSave)
                EditValue = ClampValue(EditValue, PotMaximum, 0);
            data.Pots[size_t(MenuItem)] = qint16(RoundHalfEven(EditValue));
            send(QStringLiteral("CAL:POT %1,%2").arg(MenuItem + 1).arg(data.Pots[size_t(MenuItem)]));
        } else if (level == 11 && MenuItem == 6 && action != QLatin1String("Clear")) {
            send(QStringLiteral("CAL:DEF"));
        } else if (level == 12 && (MenuItem == 6 || MenuItem == 7)) {
            const bool volts = MenuItem == 6;
            float &rating = volts ? data.Ratings.VoltMax : data.Ratings.CurrMax;
            if (action != QLatin1String("Clear"))
                rating = float(EditValue);
            EditValue = rating;
            send(typing ? QStringLiteral("<>PRO ") + typedText()
                        : (volts ? QStringLiteral("CAL:SCAL:VOLT ") : QStringLiteral("CAL:SCAL:CURR "))
                              + ShortestText(rating));
        }
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// The menu keys.

void VirtualPanel::cmdMenu_Click()
{
    if (MenuSub == 7 || MenuLevel != m_spec.idleLevel || m_levelHoldUntilMs >= 0)
        return;
    ValueChanged = false;
    qint16 level = 5;
    if (m_spec.series == Series::GZ)
        level = PowerState >= Power::On ? 10 : 9;
    else if (!isTlb())
        level = 7;
    MenuLevel = level;
    MenuItem = NoItem;
    MenuSub = 2;
    sendChg(level, -1, 2);
    if (isTlb()) {
        EditValue = modData().Settings.VoltSet;
        EditFormat = modData().VoltageFormat;
        txtCurr->show(QString());
    } else {
        LoadEditValue(level);
    }
    enableKnobs(false);
    enableSetpointButtons(false);
    showKeySet();
    startMenuTimer();
    takeKeyTime();
}

void VirtualPanel::cmdItem_Click()
{
    ModData &data = modData();
    const bool calibration = role(MenuLevel) == 11 || role(MenuLevel) == 12;
    if (MenuLevel >= 5 && MenuLevel <= 12 && MenuItem == NoItem) {
        if (ValueChanged)
            return;
        MenuSub = 2;
        clearInput();
        const qint16 level = isTlb() ? NextTlbMenuLevel(MenuLevel, PowerState)
                                     : NextSeriesMenuLevel(MenuLevel, PowerState,
                                                           m_spec.series == Series::GZ);
        MenuLevel = level;
        MenuSub = isTlb() && level >= 11 ? 1 : 2;
        sendChg(level, -1, MenuSub);
        LoadEditValue(level);
        showKeySet();
    } else if (MenuLevel == m_spec.configLevel && MenuItem != NoItem) {
        MenuSub = 2;
        clearInput();
        // Visit the series' configuration items in turn.
        const QList<qint16> &items = m_spec.configItems;
        const qsizetype at = items.indexOf(MenuItem);
        MenuItem = items[(at + 1) % items.size()];
        send(QStringLiteral("<>CHG %1,%2").arg(MenuLevel).arg(MenuItem));
    } else if (calibration && MenuItem != NoItem) {
        const bool pots = role(MenuLevel) == 11;
        MenuSub = pots ? 5 : 6;
        txtVolt->show(QString());
        txtCurr->show(QString());
        clearInput();
        lockInput(true);
        RestorePots();
        MenuItem = qint16((MenuItem + 1) % (pots ? 8 : 9));
        sendChg(MenuLevel, MenuItem, 6);
        if (MenuItem <= 4) {
            EditValue = data.Pots[size_t(MenuItem)];
            EditFormat = QStringLiteral("0");
        } else if (!pots && (MenuItem == 6 || MenuItem == 7)) {
            lockInput(false);
            EditValue = MenuItem == 6 ? data.Ratings.VoltMax : data.Ratings.CurrMax;
            EditFormat = MenuItem == 6 ? data.VoltageFormat : data.CurrentFormat;
        }
        if (MenuItem <= 4) {
            QPointer<VirtualPanel> self(this);
            poll();
            if (!self || closing())
                return;
        }
    } else {
        return;
    }
    takeKeyTime();
    tmrMenu_Timer();
}

void VirtualPanel::upDownPress(int sign)
{
    tmrInfo.stop();
    KeyHeld = true;
    m_stepSign = sign;
    m_stepCount = 0;
    clearInput();
    if (isTlb())
        EntryMode = 0;
    const auto ignore = [this] {
        KeyHeld = false;
        m_stepSign = 0;
    };

    const qint16 r = role(MenuLevel);
    if (MenuLevel == m_spec.idleLevel && m_spec.directAdjust && DirectAdjustReady) {
        LoadEditValue(FlashItem);
        MenuSub = 7;
        DirectAdjustReady = false;
        enableKnobs(false);
        sendChg(3, -1, 7);
    } else if (MenuItem >= 6 || (MenuLevel == m_spec.idleLevel && MenuSub != 7) || r < 0) {
        // Nothing to step here.
        ignore();
        if (MenuLevel >= m_spec.calibrationLevel || MenuLevel < 4)
            resumePolling();
        return;
    } else if (r == 10 || (r == 11 && MenuItem == NoItem)) {
        send(QStringLiteral("<>IGN 0"));
        ignore();
        return;
    }
    send(QStringLiteral("<>IGN 1"));
    if (isTlb())
        send(QStringLiteral("<>TYP %1").arg(EntryMode));
    m_nextStepMs = now();
    upDownStep();
    tmrHold.start();
}

void VirtualPanel::upDownStep()
{
    const double interval = StepInterval(m_stepCount);
    const int factor = StepFactor(interval, MenuLevel, m_spec.calibrationLevel);
    const double step = StepSize(EditFormat, role(MenuLevel), EditValue, isTlb() ? 9 : -1);
    EditValue += m_stepSign * factor * step;
    if (MenuLevel != 4)
        EditValue = SnapToFormat(EditValue, EditFormat);
    QPointer<VirtualPanel> self(this);
    ApplyMenuAction(m_stepSign > 0 ? QStringLiteral("Up") : QStringLiteral("Dn"));
    if (!self)
        return;
    RefreshMenuDisplay();
    ++m_stepCount;
    takeKeyTime();
    // The readings follow each step (on the TLB in direct adjustment and calibration).
    if (!isTlb() || MenuSub == 7 || MenuLevel >= 11) {
        poll();
        if (!self)
            return;
    }
    m_nextStepMs += qint64(interval * 1000);
}

void VirtualPanel::cmdUpDn_MouseUp()
{
    if (!KeyHeld)
        return;
    KeyHeld = false;
    m_stepSign = 0;
    send(QStringLiteral("<>IGN 0"));
    const bool resume = isTlb() ? (MenuLevel < 4 || MenuLevel > 10)
                                : (MenuLevel < 5 || MenuLevel >= m_spec.calibrationLevel);
    if (resume)
        resumePolling();
}

void VirtualPanel::cmdEnter_Click()
{
    if (!isTlb()) {
        const qint16 r = role(MenuLevel);
        if (r == 10 && MenuItem != NoItem) {
            ApplyMenuAction(QStringLiteral("1"));
            showConfigLamps(false);
            ExitMenu();
        } else if (r == 10) {
            MenuItem = 0;
            send(QStringLiteral("<>CHG %1,0,%2").arg(MenuLevel).arg(MenuSub));
        } else if (r == 7 || r == 8) {
            ApplyMenuAction(QStringLiteral("Save"));
            RefreshMenuDisplay();
            ExitMenu();
        } else if (r == 11 && MenuItem != NoItem) {
            if (MenuItem == 7) {
                ExitMenu();
            } else {
                ApplyMenuAction(QStringLiteral("Save"));
                RefreshMenuDisplay();
                if (MenuItem == 6)
                    ExitMenu();
            }
        } else {
            return;
        }
        if (MenuLevel < 5 || (MenuLevel >= m_spec.calibrationLevel && MenuItem != NoItem))
            resumePolling();
        syncKnobs();
        takeKeyTime();
        return;
    }
    const QString typed = typedText();
    if ((MenuLevel >= 4 && MenuLevel <= 9) || MenuLevel == m_spec.idleLevel) {
        if (MenuLevel == m_spec.idleLevel) {
            if (MenuSub != 7) {
                // Nothing is being adjusted: only the instrument's menu state is reset.
                ExitMenu();
                clearInput();
                DirectAdjustReady = true;
                takeKeyTime();
                return;
            }
            sendChg(3, -1, MenuSub);
            MenuSub = 0;
        }
        if (!typed.isEmpty())
            EditValue = LeadingDecimal(typed);
        if (MenuLevel >= 5 && MenuLevel <= 9)
            FlashItem = MenuLevel;
        EntryMode = -1;
        QPointer<VirtualPanel> self(this);
        ApplyMenuAction(QStringLiteral("Save"));
        if (!self)
            return;
        RefreshMenuDisplay();
        ExitMenu();
        clearInput();
        DirectAdjustReady = true;
    } else if (MenuLevel == 10) {
        if (MenuItem != NoItem) {
            ApplyMenuAction(QStringLiteral("1"));
            showConfigLamps(false);
            ExitMenu();
        } else {
            MenuItem = 0;
            send(QStringLiteral("<>CHG 10,0,%1").arg(MenuSub));
        }
    } else if (MenuLevel == 11 && MenuItem == NoItem) {
        calibrationCodeEntered();
    } else if (MenuLevel == 11 || MenuLevel == 12) {
        const qint16 leaveItem = MenuLevel == 11 ? 7 : 8;
        if (MenuItem == leaveItem) {
            ExitMenu();
        } else {
            if (!typed.isEmpty())
                EditValue = LeadingDecimal(typed);
            EntryMode = -1;
            ApplyMenuAction(QStringLiteral("Save"));
            RefreshMenuDisplay();
            if (MenuLevel == 12 && MenuItem == 6)
                ExitMenu();
        }
    } else {
        return;
    }
    if (MenuLevel < 4 || (MenuLevel >= 11 && MenuItem != NoItem))
        resumePolling();
    clearInput();
    takeKeyTime();
}

void VirtualPanel::calibrationCodeEntered()
{
    const QString code = typedText();
    ModData &data = modData();
    clearInput();
    if (code == CalibrationPotCode) {
        send(QStringLiteral("CAL:PASS ") + CalibrationPotCode);
        MenuItem = 0;
        MenuSub = 5;
    } else if (code == CalibrationScaleCode) {
        send(QStringLiteral("CAL:PASS ") + CalibrationScaleCode);
        MenuLevel = 12;
        MenuItem = 0;
        MenuSub = 6;
    } else {
        ExitMenu();
        return;
    }
    // The typed entry is over. The potentiometers are read afresh: the menus show them, and
    // CLEAR writes the saved copy back into the instrument, which must not be a stale one.
    EntryMode = -1;
    QPointer<VirtualPanel> self(this);
    ReadPots();
    if (!self)
        return;
    EditFormat = QStringLiteral("0");
    EditValue = data.Pots[0];
    enableKnobs(false);
    resumePolling();
}

void VirtualPanel::cmdDsply_MouseDown() { displayKeyPress(2); }

void VirtualPanel::displayKeyPress(qint16 level)
{
    if (m_displayHeld)
        return;
    tmrInfo.stop();
    tmrMenu.stop();
    m_displayHeld = true;
    m_displayReleaseMs = -1;
    m_savedLevel = MenuLevel;
    MenuLevel = level;
    m_savedEntry = EntryMode;
    EntryMode = -1;
    sendChg(level, -1, MenuSub);
    if (isTlb())
        send(QStringLiteral("<>TYP -1"));
    poll();
}

void VirtualPanel::cmdDsply_MouseUp() { displayKeyRelease(); }

void VirtualPanel::displayKeyRelease()
{
    if (!m_displayHeld)
        return;
    m_displayReleaseMs = now() + DisplayReleaseWaitMs;
    tmrHold.start();
}

void VirtualPanel::txtInput_Change()
{
    const QString before = txtInput->text();
    const QString filtered = FilterTypedEntry(before);
    if (filtered != before) {
        const QSignalBlocker block(txtInput);
        txtInput->setText(filtered);
    }
    takeKeyTime();
    if (filtered.isEmpty() || MenuLevel == 10) {
        if (MenuLevel == 11 && MenuItem == NoItem)
            RefreshMenuDisplay(); // the code entry echoes what is typed
        return;
    }
    const qint16 level = MenuLevel == m_spec.idleLevel ? FlashItem : MenuLevel;
    if (EntryMode != 1) {
        LoadEditValue(level);
        if (MenuLevel == m_spec.idleLevel)
            MenuSub = 7;
        EntryMode = 1;
        sendChg(MenuLevel, MenuItem, MenuSub);
        send(QStringLiteral("<>TYP 1"));
    }
    const qint16 saved = MenuLevel;
    MenuLevel = level;
    QPointer<VirtualPanel> self(this);
    ApplyMenuAction(QString());
    if (!self)
        return;
    MenuLevel = saved;
    RefreshMenuDisplay();
    if (level >= 5 && level <= 8)
        ShowValue(level == 5 || level == 7 ? txtVolt : txtCurr, EditValue, EditFormat);
}

void VirtualPanel::tmrMenu_Timer()
{
    // A time-out may read the state; inside another exchange's wait it waits for the next tick.
    if (Comm().isWaiting())
        return;
    tmrMenu.setInterval(MenuIntervalMs);
    RefreshMenuDisplay();
    // A CLEAR release (or a time-out) already ends the menu: let it finish.
    if (m_clearFinishMs >= 0)
        return;
    if (MenuItem == NoItem && secondsSinceKey() * 1000 > IdleMenuTimeoutMs) {
        clearReleaseAction();
    } else if (MenuLevel == m_spec.configLevel && secondsSinceKey() * 1000 > IdleMenuTimeoutMs) {
        ExitMenu();
        clearReleaseAction(true);
    }
}

// ---------------------------------------------------------------------------------------------
// START, STOP, ARM, MEM.

void VirtualPanel::cmdStart_Click()
{
    DefaultWordA = (DefaultWordA | (1 << StatusBit::Power) | (1 << StatusBit::VoltageControl))
                 & ~(1 << StatusBit::Standby);
    const bool idle = MenuLevel == m_spec.idleLevel;
    const bool calibrating = MenuLevel >= m_spec.calibrationLevel && MenuItem != NoItem && MenuItem <= 4;
    if ((!idle && !calibrating) || m_levelHoldUntilMs >= 0)
        return;
    tmrInfo.stop();
    PowerState = (m_spec.armLamp && StatusBitsA[StatusBit::Arm]) ? Power::OnArmed : Power::On;
    send(QStringLiteral("OUTP:START"));
    resumePolling();
}

void VirtualPanel::cmdStop_Click()
{
    tmrInfo.stop();
    PowerState = Power::Standby;
    if (Lamp *arm = lamp(QStringLiteral("lblArm"), 0))
        arm->setDark();
    send(QStringLiteral("OUTP:STOP"));
    send(QStringLiteral("<>IGN 0"));
    DefaultWordA = (DefaultWordA | (1 << StatusBit::Standby))
                 & ~((1 << StatusBit::Arm) | (1 << StatusBit::Power) | (1 << StatusBit::VoltageControl)
                     | (1 << StatusBit::CurrentControl));
    if (MenuLevel < 5 || (MenuLevel >= m_spec.calibrationLevel && MenuItem != NoItem))
        resumePolling();
}

void VirtualPanel::cmdArm_Click()
{
    if (PowerState != Power::Standby || MenuLevel != 3 || MenuSub != 0)
        return;
    tmrInfo.stop();
    Lamp *arm = lamp(QStringLiteral("lblArm"), 0);
    if (StatusBitsA[StatusBit::Arm]) {
        if (arm)
            arm->setDark();
        send(QStringLiteral("OUTP:Arm 0"));
        DefaultWordA &= ~(1 << StatusBit::Arm);
        StatusBitsA[StatusBit::Arm] = false;
    } else {
        if (arm)
            arm->setLit(LampColour::Yellow);
        send(QStringLiteral("OUTP:Arm 1"));
        DefaultWordA |= 1 << StatusBit::Arm;
        StatusBitsA[StatusBit::Arm] = true;
    }
    resumePolling();
}

void VirtualPanel::cmdMem_Click()
{
    if (PowerState >= 5 || MenuLevel >= 5)
        return;
    MenuLevel = 4;
    MenuItem = NoItem;
    MenuSub = 2;
    sendChg(4, -1, 0);
    EditValue = modData().Settings.MemLoc;
    EditFormat = QString();
    txtCurr->show(QString());
    enableKnobs(false);
    takeKeyTime();
    startMenuTimer();
}

// ---------------------------------------------------------------------------------------------
// CLEAR.

void VirtualPanel::cmdClear_MouseDown()
{
    clearInput();
    takeKeyTime();
    if (MenuLevel < 5 || MenuLevel > 9)
        return;
    tmrInfo.stop();
    ClearHeld = true;
    m_clearLoop = true;
    m_clearStartMs = now();
    m_clr1Sent = false;
    m_clr2Sent = false;
    m_blinkCount = 0;
    m_blinkLit = false;
    tmrHold.start();
}

void VirtualPanel::clearHoldTick()
{
    const qint64 held = now() - m_clearStartMs;
    if (!m_clr1Sent && held >= ClearFirstHoldMs) {
        tmrMenu.stop();
        send(QStringLiteral("<>CLR 1"));
        m_clr1Sent = true;
        m_blinkCount = -100;
        m_nextBlinkMs = now();
    }
    if (!m_clr2Sent && held >= ClearSecondHoldMs) {
        send(QStringLiteral("<>CLR 2"));
        m_clr2Sent = true;
        m_blinkCount = 0;
    }
    if (m_clr1Sent && now() >= m_nextBlinkMs) {
        m_blinkLit = !m_blinkLit;
        blink(m_blinkLit);
        if (m_blinkLit)
            ++m_blinkCount;
        m_nextBlinkMs += ClearBlinkMs;
    }
    if (m_blinkCount > 11)
        clearHoldEnded();
}

void VirtualPanel::endClearBlink()
{
    m_clearLoop = false;
    blink(true);
    for (Lamp *l : operationLamps + alarmLamps + setpointLamps)
        l->setDark();
    UpdateLamps();
}

void VirtualPanel::clearHoldEnded()
{
    // The blinking is over but the key is still held: the menu goes on, its time-out counted
    // from now, with what the reset left in the instrument.
    endClearBlink();
    takeKeyTime();
    resumePolling();
    if (MenuLevel >= 4 && MenuLevel <= 10)
        tmrMenu.start(MenuIntervalMs);
    readState();
}

void VirtualPanel::blink(bool lit)
{
    for (PanelDisplay *d : {txtVolt, txtCurr, txtMEM}) {
        if (d)
            d->setDimmed(!lit);
    }
    if (lit) {
        for (Lamp *l : m_lamps)
            l->setLit(l == lamp(QStringLiteral("lblStatus"), StatusBit::Standby) ? LampColour::Orange
                      : (l->objectName().startsWith(QLatin1String("lblErrors")) ? LampColour::Red
                                                                                 : LampColour::Green));
    } else {
        for (Lamp *l : m_lamps)
            l->setDark();
    }
}

void VirtualPanel::cmdClear_MouseUp()
{
    // Released during the hold: the abandoned edit is put back first, and the state is read
    // only once the menu is left, so the saved setpoints are not taken from the instrument's
    // stepped value.
    const bool held = m_clearLoop;
    if (held)
        endClearBlink();
    QPointer<VirtualPanel> self(this);
    clearReleaseAction();
    if (!self || !held)
        return;
    if (m_clearFinishMs >= 0)
        m_readStateAfterClear = true;
    else
        readState();
}

void VirtualPanel::scheduleClearFinish(qint64 waitMs, bool menuLeft)
{
    // The menu is being left: its timer has nothing more to do, and must not run the
    // time-out again while the wait runs.
    tmrMenu.stop();
    m_exitOnClearFinish = !menuLeft;
    m_clearFinishMs = now() + waitMs;
    tmrHold.start();
}

void VirtualPanel::clearReleaseAction(bool menuLeft)
{
    if (!isTlb()) {
        seriesClearAction(menuLeft);
        return;
    }
    ModData &data = modData();
    send(QStringLiteral("<>CLR 0"));
    ClearHeld = false;
    const bool wasMenu = MenuSub == 7 || (MenuLevel >= 4 && MenuLevel <= 9) || MenuLevel == 11
                      || MenuLevel == 12;
    if (MenuLevel == m_spec.configLevel && MenuItem != NoItem) {
        ApplyMenuAction(QStringLiteral("0"));
    } else if ((MenuLevel == 11 || MenuLevel == 12) && MenuItem >= 0 && MenuItem <= 4) {
        const qint16 backup = data.PotsBackup[size_t(MenuItem)];
        send(QStringLiteral("CAL:POT %1,%2").arg(MenuItem + 1).arg(backup));
        data.Pots[size_t(MenuItem)] = backup;
        EditValue = backup;
        return;
    } else if (MenuLevel == 12 && (MenuItem == 6 || MenuItem == 7)) {
        RestoreRatings();
        clearInput();
        EntryMode = -1;
        ApplyMenuAction(QStringLiteral("Clear"));
        RefreshMenuDisplay();
    } else if (MenuLevel == m_spec.idleLevel && AlarmBitsB[AlarmBit::Latched]) {
        send(QStringLiteral("OUTP:PROT:CLE"));
    }
    RestoreSettings();
    EntryMode = -1;
    if (wasMenu) {
        MenuSub = 0;
        ApplyMenuAction(QStringLiteral("Clear"));
    }
    scheduleClearFinish(ClearReleaseWaitMs, menuLeft);
}

void VirtualPanel::finishClearRelease()
{
    m_clearFinishMs = -1;
    clearInput();
    lockInput(true);
    takeKeyTime();
    // A time-out that has left the menu already does not tell the instrument twice.
    if (m_exitOnClearFinish)
        ExitMenu();
    lockInput(false);
    FlushInput();
    syncKnobs();
    DirectAdjustReady = true;
    if (m_readStateAfterClear) {
        m_readStateAfterClear = false;
        readState();
    }
}

// ---------------------------------------------------------------------------------------------
// The hold timer: UP/DN stepping, the CLEAR hold, the waits after CLEAR and DISPLAY.

void VirtualPanel::holdTick()
{
    // The end of a hold or of a wait can start an exchange (the state read after CLEAR, the pots
    // on entering calibration). Inside another exchange's TCP/IP wait, which lets timers run, it
    // would take the reply that exchange waits for: the tick waits for the next one, as the
    // poll does.
    if (Comm().isWaiting())
        return;
    QPointer<VirtualPanel> self(this);
    if (KeyHeld && m_stepSign != 0 && now() >= m_nextStepMs)
        upDownStep();
    if (!self)
        return;
    if (m_clearLoop && ClearHeld)
        clearHoldTick();
    if (m_clearFinishMs >= 0 && now() >= m_clearFinishMs)
        finishClearRelease();
    if (m_displayHeld && m_displayReleaseMs >= 0 && now() >= m_displayReleaseMs) {
        m_displayHeld = false;
        m_displayReleaseMs = -1;
        MenuLevel = m_savedLevel;
        EntryMode = m_savedEntry;
        sendChg(MenuLevel, MenuItem, MenuSub);
        if (isTlb())
            send(QStringLiteral("<>TYP %1").arg(EntryMode));
        const bool idle = MenuLevel <= m_spec.idleLevel;
        const bool calibrating = MenuLevel >= m_spec.calibrationLevel && MenuItem != NoItem;
        if (idle || calibrating)
            tmrInfo.start(1);
        if (!idle)
            tmrMenu.start(1);
    }
    if (m_levelHoldUntilMs >= 0 && now() >= m_levelHoldUntilMs) {
        m_levelHoldUntilMs = -1;
        MenuLevel = m_levelHoldRestore;
        sendChg(MenuLevel, MenuItem, 0);
    }
    if (m_calHeld) {
        takeKeyTime();
        prgCalHold->setValue(int(std::min(now() - m_calStartMs, CalibrationHoldMs)));
        if (now() - m_calStartMs >= CalibrationHoldMs) {
            m_calHeld = false;
            prgCalHold->hide();
            enterCalibration();
            if (!self)
                return;
        }
    }
    if (!KeyHeld && !m_clearLoop && m_clearFinishMs < 0 && !m_displayHeld && m_levelHoldUntilMs < 0
        && !m_calHeld)
        tmrHold.stop();
}

// ---------------------------------------------------------------------------------------------
// Knobs.

void VirtualPanel::knob_Turning(Knob *knob)
{
    tmrInfo.stop();
    const bool volts = knob == knbVolt || knob == knbOVP;
    ShowValue(volts ? txtVolt : txtCurr, knob->value(),
              volts ? modData().VoltageFormat : modData().CurrentFormat);
}

void VirtualPanel::knob_TurnEnded(Knob *knob)
{
    ModData &data = modData();
    const bool volts = knob == knbVolt || knob == knbOVP;
    const bool trip = knob == knbOVP || knob == knbOCP;
    PanelDisplay *display = volts ? txtVolt : txtCurr;
    ShowValue(display, knob->value(), volts ? data.VoltageFormat : data.CurrentFormat);
    const QString text = display->text();
    static const QString commands[2][2] = {{QStringLiteral("CURR "), QStringLiteral("VOLT ")},
                                           {QStringLiteral("CURR:PROT "), QStringLiteral("VOLT:PROT ")}};
    send(commands[trip][volts] + text);
    const float value = float(LeadingDecimal(text));
    float SettingsRecord::*field = trip ? (volts ? &SettingsRecord::VoltProt : &SettingsRecord::CurrProt)
                                        : (volts ? &SettingsRecord::VoltSet : &SettingsRecord::CurrSet);
    data.Settings.*field = value;
    data.SettingsBackup.*field = value;
    if (MenuLevel <= m_spec.idleLevel || MenuLevel >= m_spec.calibrationLevel)
        resumePolling();
}

} // namespace zop

// ---------------------------------------------------------------------------------------------
// KM, TW and GZ: setpoint buttons, calibration key, CLEAR.

namespace zop {

namespace {
struct SetpointRow {
    const char *title;
    const char *command;
    float SettingsRecord::*field;
    float RatingsRecord::*maximum;
    float RatingsRecord::*minimum; // null: 0
    qint16 level;
    qint64 waitMs;
};
const SetpointRow SetpointRows[] = {
    {"Voltage Set", "VOLT ", &SettingsRecord::VoltSet, &RatingsRecord::VoltMax, nullptr, 5, 800},
    {"Current Set", "CURR ", &SettingsRecord::CurrSet, &RatingsRecord::CurrMax, nullptr, 6, 1000},
    {"OVT Set", "VOLT:PROT ", &SettingsRecord::VoltProt, &RatingsRecord::VoltHigh,
     &RatingsRecord::VoltLow, 7, 1000},
    {"OCT Set", "CURR:PROT ", &SettingsRecord::CurrProt, &RatingsRecord::CurrHigh,
     &RatingsRecord::CurrLow, 8, 1000},
};
} // namespace

void VirtualPanel::setpointButton_Click(int which)
{
    if (which < 0 || which > 3 || MenuLevel != m_spec.idleLevel || m_levelHoldUntilMs >= 0)
        return;
    const SetpointRow &row = SetpointRows[which];
    ModData &data = modData();
    QPointer<VirtualPanel> self(this);
    const bool volts = which == 0 || which == 2;
    const double maximum = data.Ratings.*row.maximum;
    const double minimum = row.minimum ? double(data.Ratings.*row.minimum) : 0.0;
    const QString hint = RangeHint(volts ? QStringLiteral("Volts") : QStringLiteral("Amperes"),
                                   minimum, maximum,
                                   volts ? data.VoltageFormat : data.CurrentFormat);
    const std::optional<QString> typed = EnterValue(
        this, QLatin1String(row.title), ShortestText(data.Settings.*row.field), hint);
    // Cancel, or OK on an empty box: nothing to send.
    if (!self || !typed || typed->isEmpty() || closing())
        return;
    // The text goes out as typed; the instrument decides. The panel keeps a clamped number.
    send(QLatin1String(row.command) + *typed);
    data.Settings.*row.field = float(ClampValue(LeadingDecimal(*typed), maximum, minimum));
    BackupSettings();
    syncKnobs();
    // The instrument's own panel shows the value's level for a moment.
    m_levelHoldRestore = MenuLevel;
    MenuLevel = row.level;
    m_levelHoldUntilMs = now() + row.waitMs;
    tmrHold.start();
}

void VirtualPanel::cmdCal_MouseDown()
{
    ClearHeld = true;
    m_calHeld = true;
    m_calStartMs = now();
    takeKeyTime();
    prgCalHold->setValue(0);
    prgCalHold->show();
    tmrHold.start();
}

void VirtualPanel::cmdCal_MouseUp()
{
    ClearHeld = false;
    m_calHeld = false;
    prgCalHold->hide();
}

void VirtualPanel::enterCalibration()
{
    ModData &data = modData();
    ClearHeld = false;
    send(QStringLiteral("CAL:PASS ") + CalibrationPotCode);
    QPointer<VirtualPanel> self(this);
    ReadPots();
    if (!self || closing())
        return;
    EditFormat = QStringLiteral("0");
    MenuItem = 0;
    EditValue = data.Pots[0];
    MenuLevel = m_spec.calibrationLevel;
    showKeySet();
    resumePolling();
}

void VirtualPanel::cmdClear_Click()
{
    takeKeyTime();
    seriesClearAction();
}

void VirtualPanel::seriesClearAction(bool menuLeft)
{
    ModData &data = modData();
    send(QStringLiteral("<>CLR 0"));
    ClearHeld = false;
    const qint16 r = role(MenuLevel);
    if (r == 10 && MenuItem != NoItem) {
        ApplyMenuAction(QStringLiteral("0"));
    } else if (r == 11 && MenuItem >= 0 && MenuItem <= 4) {
        const qint16 backup = data.PotsBackup[size_t(MenuItem)];
        send(QStringLiteral("CAL:POT %1,%2").arg(MenuItem + 1).arg(backup));
        data.Pots[size_t(MenuItem)] = backup;
        EditValue = backup;
        return;
    } else if (r == 11 && MenuItem == NoItem) {
        cmdEnter->show();
        cmdCal->hide();
    } else if (MenuLevel == m_spec.idleLevel && AlarmBitsB[AlarmBit::Latched]) {
        send(QStringLiteral("OUTP:PROT:CLE"));
        return;
    }
    RestoreSettings();
    // Only the value menus have something to put back at the instrument.
    if (r == 7 || r == 8)
        ApplyMenuAction(QStringLiteral("Clear"));
    scheduleClearFinish(SeriesClearWaitMs, menuLeft);
}

} // namespace zop
