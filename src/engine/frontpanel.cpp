#include "engine/frontpanel.h"

#include "app/moddata.h"
#include "link/commlayer.h"
#include "engine/instrumentstate.h"
#include "core/numbertext.h"

#include <QPointer>

namespace zop {

namespace {
const QString ErrorTitle = QStringLiteral("ZOPPanel Error");
constexpr qint16 NoItem = -1;
constexpr int PotMaximum = 255;

QString LampName(const QString &array, int index)
{
    return QStringLiteral("%1(%2)").arg(array).arg(index);
}
const QString ArmLamp = QStringLiteral("lblArm(0)");
const QString StandbyLamp = QStringLiteral("lblStatus(6)");

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

// The setpoint keys of KM, TW and GZ: the Enter Value dialog's title, the command, the setpoint
// and its range, the level the instrument shows for a moment, and how long.
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

FrontPanel::FrontPanel(const SeriesSpec &spec, FrontPanelView &view, QObject *parent)
    : QObject(parent), m_spec(spec), m_view(view)
{
    tmrInfo.setObjectName(QStringLiteral("tmrInfo"));
    tmrMenu.setObjectName(QStringLiteral("tmrMenu"));
    tmrFlash.setObjectName(QStringLiteral("tmrFlash"));
    tmrHold.setInterval(HoldTickMs);
    connect(&tmrInfo, &QTimer::timeout, this, &FrontPanel::pollTick);
    connect(&tmrMenu, &QTimer::timeout, this, &FrontPanel::menuTick);
    connect(&tmrFlash, &QTimer::timeout, this, &FrontPanel::flashTick);
    connect(&tmrHold, &QTimer::timeout, this, &FrontPanel::holdTick);
    buildLampLists();
}

void FrontPanel::start()
{
    FlashItem = 5;
    PowerState = Power::Standby;
    ExitMenu();
    syncKnobs();
    enableKnobs(true);
    EntryMode = -1;
    DefaultWordA = zop::DefaultWordA;
    DefaultWordB = zop::DefaultWordB;
    // Short replies stand for the memory location in use, so they do not look like a change
    // of location at the instrument.
    DefaultMemory = SaturatedInt32(modData().Settings.MemLoc);
    m_lastFlashMs = now();
    m_lastKeyMs = now();
    tmrFlash.start(FlashTimerMs);
    tmrInfo.start(FirstPollMs);
}

void FrontPanel::stopTimers()
{
    for (QTimer *t : {&tmrInfo, &tmrMenu, &tmrFlash, &tmrHold})
        t->stop();
}

void FrontPanel::stop()
{
    stopTimers();
    setpointLamps.clear();
    configLamps.clear();
    alarmLamps.clear();
    operationLamps.clear();
}

// ---------------------------------------------------------------------------------------------
// Input.

void FrontPanel::setLocked(bool locked)
{
    if (m_locked == locked)
        return;
    m_locked = locked;
    static const FrontKey Keys[] = {
        FrontKey::Menu, FrontKey::Item, FrontKey::Up, FrontKey::Dn, FrontKey::Enter,
        FrontKey::Clear, FrontKey::Start, FrontKey::Display, FrontKey::Mem, FrontKey::Arm,
        FrontKey::VISet, FrontKey::Trip, FrontKey::Cal, FrontKey::Volt, FrontKey::Curr,
        FrontKey::Ovt, FrontKey::Oct};
    for (FrontKey key : Keys)
        m_view.enableKey(key, !locked);
    m_view.enableKnobs(!locked && m_knobsEnabled);
    if (m_spec.typedEntry)
        m_view.lockTyped(locked || m_typedLocked);
    if (!locked)
        enableSetpointKeys(m_setpointKeysEnabled);
}

void FrontPanel::press(FrontKey key)
{
    if (m_locked && key != FrontKey::Stop)
        return;
    if (m_locked && onLockedStop) {
        QPointer<FrontPanel> self(this);
        onLockedStop();
        if (!self)
            return;
    }
    switch (key) {
    case FrontKey::Menu: menuPress(); break;
    case FrontKey::Item: itemPress(); break;
    case FrontKey::Up: upDownPress(+1); break;
    case FrontKey::Dn: upDownPress(-1); break;
    case FrontKey::Enter: enterPress(); break;
    case FrontKey::Clear: clearPress(); break;
    case FrontKey::Start: startPress(); break;
    case FrontKey::Stop: stopPress(); break;
    case FrontKey::Display: displayKeyPress(2); break;
    case FrontKey::VISet: displayKeyPress(2); break;
    case FrontKey::Trip: displayKeyPress(3); break;
    case FrontKey::Mem: memPress(); break;
    case FrontKey::Arm: armPress(); break;
    case FrontKey::Cal: calPress(); break;
    case FrontKey::Volt: setpointPress(0); break;
    case FrontKey::Curr: setpointPress(1); break;
    case FrontKey::Ovt: setpointPress(2); break;
    case FrontKey::Oct: setpointPress(3); break;
    }
}

void FrontPanel::release(FrontKey key)
{
    if (m_locked)
        return;
    switch (key) {
    case FrontKey::Up:
    case FrontKey::Dn: upDownRelease(); break;
    case FrontKey::Display:
    case FrontKey::VISet:
    case FrontKey::Trip: displayKeyRelease(); break;
    case FrontKey::Clear:
        if (m_spec.clearHold)
            clearRelease();
        break;
    case FrontKey::Cal: calRelease(); break;
    default: break;
    }
}

void FrontPanel::tick(Timer t)
{
    switch (t) {
    case Timer::Poll: pollTick(); break;
    case Timer::Menu: menuTick(); break;
    case Timer::Flash: flashTick(); break;
    case Timer::Hold: holdTick(); break;
    }
}

QTimer &FrontPanel::timer(Timer t)
{
    switch (t) {
    case Timer::Poll: return tmrInfo;
    case Timer::Menu: return tmrMenu;
    case Timer::Flash: return tmrFlash;
    default: return tmrHold;
    }
}

bool FrontPanel::timerActive(Timer t) const { return const_cast<FrontPanel *>(this)->timer(t).isActive(); }
int FrontPanel::timerInterval(Timer t) const { return const_cast<FrontPanel *>(this)->timer(t).interval(); }

// ---------------------------------------------------------------------------------------------
// What is shown.

void FrontPanel::buildLampLists()
{
    const QString status = QStringLiteral("lblStatus");
    const QString errors = QStringLiteral("lblErrors");
    const QString disabled = QStringLiteral("lblDisabled");
    QMap<QString, int> tags;
    if (m_spec.armLamp)
        tags.insert(ArmLamp, 0);
    for (const LampSpec &s : m_spec.statusLamps)
        tags.insert(LampName(status, s.index), s.tag);
    for (const LampSpec &s : m_spec.alarmLamps)
        tags.insert(LampName(errors, s.index), s.tag);
    for (const LampSpec &s : m_spec.disabledLamps)
        tags.insert(LampName(disabled, s.index), s.tag);
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        m_lamps.insert(it.key(), LampLight::Dark);
    auto add = [&](QList<LampRef> &list, const QString &array, int index) {
        const QString name = LampName(array, index);
        if (tags.contains(name))
            list << LampRef{name, tags.value(name)};
    };
    add(setpointLamps, status, 8);
    add(setpointLamps, status, 10);
    add(setpointLamps, errors, 0);
    add(setpointLamps, errors, 1);
    // Position = configuration item + 1; only the TLB has the KEYPAD lamp.
    add(configLamps, status, 9);
    add(configLamps, status, 3);
    add(configLamps, status, 4);
    add(configLamps, disabled, 0);
    add(configLamps, disabled, 3);
    add(configLamps, disabled, 1);
    add(configLamps, disabled, 2);
    add(configLamps, errors, 8);
    for (int index : {0, 1, 2, 3, 4, 5, 8})
        add(alarmLamps, errors, index);
    add(alarmLamps, disabled, 2);
    add(operationLamps, QStringLiteral("lblArm"), 0);
    for (int index : {3, 4, 6, 7, 8, 9, 10})
        add(operationLamps, status, index);
}

void FrontPanel::setLamp(const QString &name, LampLight light)
{
    if (!m_lamps.contains(name))
        return;
    m_lamps[name] = light;
    m_view.showLamp(name, light);
}

void FrontPanel::show(FrontDisplay display, const QString &text)
{
    if (display == FrontDisplay::Mem && !m_spec.memoryDisplay)
        return;
    m_shown[int(display)] = text;
    m_view.showDisplay(display, text);
}

void FrontPanel::ShowValue(FrontDisplay display, double value, const QString &format)
{
    if (EntryMode == 1 && m_spec.typedEntry) {
        show(display, m_typed);
        return;
    }
    show(display, DisplayText(value, format, m_spec.truncatesDisplay));
}

void FrontPanel::ShowMemory(double number)
{
    show(FrontDisplay::Mem, number <= 9 ? QString::number(qint64(number)) : QStringLiteral("E"));
}

void FrontPanel::lightSetpointLamp(int position, LampLight light)
{
    if (position < 1 || position > setpointLamps.size())
        return;
    setLamp(setpointLamps[position - 1].name, light);
}

void FrontPanel::UpdateLamps()
{
    for (const LampRef &l : operationLamps)
        setLamp(l.name, StatusBitsA[size_t(l.tag)] ? LampLight::Green : LampLight::Dark);
    if (hasLamp(ArmLamp))
        setLamp(ArmLamp, StatusBitsA[StatusBit::Arm] ? LampLight::Yellow : LampLight::Dark);
    if (hasLamp(StandbyLamp))
        setLamp(StandbyLamp, StatusBitsA[StatusBit::Standby] ? LampLight::Orange : LampLight::Dark);
    for (const LampRef &l : alarmLamps)
        setLamp(l.name, AlarmBitsB[size_t(l.tag)] ? LampLight::Red : LampLight::Dark);
    if (!alarmLamps.isEmpty()) {
        const LampRef &remote = alarmLamps.last();
        setLamp(remote.name, AlarmBitsB[size_t(remote.tag)] ? LampLight::Green : LampLight::Dark);
    }
}

void FrontPanel::showConfigLamps(bool flashSelected)
{
    for (int position = 0; position < configLamps.size(); ++position) {
        const int bit = ConfigBit(qint16(position), m_spec);
        const bool on = bit >= 0 && StatusBitsA[size_t(bit)];
        const bool darkened = flashSelected && position == MenuItem && FlashPhase;
        setLamp(configLamps[position].name, on && !darkened ? LampLight::Green : LampLight::Dark);
    }
}

void FrontPanel::updateLegend()
{
    QString legend;
    if (m_levelHoldUntilMs >= 0) // a setpoint key's moment: the displays show readings
        legend.clear();
    else if (m_spec.directAdjust && MenuSub == 7)
        legend = MenuLegend(FlashItem, NoItem);
    else if (MenuLevel == m_spec.idleLevel)
        legend.clear();
    else if (MenuLevel == 2)
        legend = MenuLegend(2, NoItem);
    else if (MenuLevel == m_spec.tripDisplayLevel)
        legend = MenuLegend(3, NoItem);
    else
        legend = MenuLegend(role(MenuLevel), MenuItem);
    if (m_legend == legend)
        return;
    m_legend = legend;
    m_view.showLegend(legend);
}

void FrontPanel::clearInput()
{
    if (!m_spec.typedEntry)
        return;
    m_typed.clear();
    m_view.showTyped(m_typed);
}

void FrontPanel::lockInput(bool locked)
{
    if (!m_spec.typedEntry)
        return;
    m_typedLocked = locked;
    m_view.lockTyped(locked || m_locked);
}

void FrontPanel::enableKnobs(bool enabled)
{
    m_knobsEnabled = enabled;
    m_view.enableKnobs(enabled && !m_locked);
}

void FrontPanel::enableSetpointKeys(bool enabled)
{
    if (!m_spec.setpointButtons)
        return;
    m_setpointKeysEnabled = enabled;
    for (FrontKey key : {FrontKey::Volt, FrontKey::Curr, FrontKey::Ovt, FrontKey::Oct})
        m_view.enableKey(key, enabled && !m_locked);
}

void FrontPanel::showKeySet()
{
    if (!m_spec.sharedKeyRow)
        return;
    // Outside menus: the display keys; inside: UP and DN. At the calibration level before it
    // is entered: the calibration key in ENTER's place.
    const bool inMenu = MenuLevel >= 5 && MenuLevel <= m_spec.calibrationLevel;
    m_view.showKey(FrontKey::Up, inMenu);
    m_view.showKey(FrontKey::Dn, inMenu);
    m_view.showKey(FrontKey::VISet, !inMenu);
    m_view.showKey(FrontKey::Trip, !inMenu);
    const bool calKey = MenuLevel == m_spec.calibrationLevel && MenuItem == NoItem;
    m_view.showKey(FrontKey::Enter, !calKey);
    m_view.showKey(FrontKey::Cal, calKey);
}

// A knob starts every turn from the value it shows, so it must show the setpoint the instrument
// has after every change that did not come from the knob itself: a typed entry, the Enter Value
// dialog, a menu step, CLEAR, a memory recall, a state read. Otherwise a turn down from a stale
// value can raise the output. A knob in the middle of a turn keeps the user's value.
void FrontPanel::syncKnobs()
{
    const ModData &data = modData();
    m_view.setKnob(FrontKnob::Volt, data.Ratings.VoltMax, data.Settings.VoltSet);
    m_view.setKnob(FrontKnob::Curr, data.Ratings.CurrMax, data.Settings.CurrSet);
    if (m_spec.tripKnobs) {
        m_view.setKnob(FrontKnob::Ovp, data.Ratings.VoltHigh, data.Settings.VoltProt);
        m_view.setKnob(FrontKnob::Ocp, data.Ratings.CurrHigh, data.Settings.CurrProt);
    }
}

// ---------------------------------------------------------------------------------------------
// Time, sending.

qint64 FrontPanel::now() const { return modData().clock->elapsedMs(); }
double FrontPanel::secondsSinceKey() const { return (now() - m_lastKeyMs) / 1000.0; }
void FrontPanel::takeKeyTime() { m_lastKeyMs = now(); }
bool FrontPanel::closing() const { return m_view.closing(); }

void FrontPanel::send(const QString &command) { SendCommand(command, DebugMode); }

void FrontPanel::sendChg(qint16 level, qint16 item, qint16 sub)
{
    send(QStringLiteral("<>CHG %1,%2,%3").arg(level).arg(item).arg(sub));
}

void FrontPanel::readState()
{
    QPointer<FrontPanel> self(this);
    ReadAllState();
    if (self)
        syncKnobs();
}

void FrontPanel::startMenuTimer()
{
    tmrInfo.stop();
    tmrMenu.start(1);
}

void FrontPanel::resumePolling()
{
    if (!tmrInfo.isActive())
        tmrInfo.start(PollIntervalMs);
}

qint16 FrontPanel::role(qint16 level) const
{
    return level >= 0 && size_t(level) < m_spec.roles.size() ? m_spec.roles[size_t(level)] : -1;
}

void FrontPanel::flashTick()
{
    if (now() - m_lastFlashMs > FlashToggleMs) {
        FlashPhase = !FlashPhase;
        m_lastFlashMs = now();
    }
}

// ---------------------------------------------------------------------------------------------
// The status poll.

void FrontPanel::pollTick()
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

void FrontPanel::pollFailed(const QString &command, const QString &reply, const QString &description)
{
    // One box at a time; polling waits while it is open, or every tick would open another.
    if (!DebugMode || m_pollErrorShown)
        return;
    m_pollErrorShown = true;
    const bool polling = tmrInfo.isActive();
    tmrInfo.stop();
    const QString crlf = QStringLiteral("\r\n");
    QPointer<FrontPanel> self(this);
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

void FrontPanel::poll()
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
    QPointer<FrontPanel> self(this);
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
        m_view.giveWay();
        return;
    }
    std::vector<qint32> fields;
    try {
        fields = PollFields(reply);
    } catch (const DecodeError &e) {
        pollFailed(command, reply, e.what);
        return;
    }
    if (fields.size() >= 4) {
        m_view.pollRead(fields);
        if (onPoll)
            onPoll(fields);
    }
    if (fields.size() < 4) {
        const bool on = PowerState >= Power::On;
        fields = {on ? SaturatedInt32(m_view.knobValue(FrontKnob::Volt) * 1000) : 0,
                  on ? SaturatedInt32(m_view.knobValue(FrontKnob::Curr) * 1000) : 0,
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
    if (!self)
        return;

    updateLegend();

    if (StatusBitsA[StatusBit::Standby]) {
        PowerState = Power::Standby;
    } else if (StatusBitsA[StatusBit::Power]) {
        PowerState = Power::On;
        if (m_spec.armLamp && StatusBitsA[StatusBit::Arm]) {
            PowerState = Power::OnArmed;
            setLamp(ArmLamp, FlashPhase ? LampLight::Dark : LampLight::Yellow);
        }
    }
}

void FrontPanel::showReadings(const std::vector<qint32> &fields)
{
    const ModData &data = modData();
    auto field = [&](size_t i) {
        if (i >= fields.size())
            throw DecodeError{QStringLiteral("Subscript out of range")};
        return fields[i];
    };
    auto readings = [&] {
        ShowValue(FrontDisplay::Volt, field(0) / 1000.0, data.VoltageFormat);
        ShowValue(FrontDisplay::Curr, field(1) / 1000.0, data.CurrentFormat);
    };
    if (MenuLevel == 2) {
        ShowValue(FrontDisplay::Volt, data.SettingsBackup.VoltSet, data.VoltageFormat);
        ShowValue(FrontDisplay::Curr, data.SettingsBackup.CurrSet, data.CurrentFormat);
        ShowMemory(data.SettingsBackup.MemLoc);
    } else if (MenuLevel == m_spec.tripDisplayLevel) {
        ShowValue(FrontDisplay::Volt, data.SettingsBackup.VoltProt, data.VoltageFormat);
        ShowValue(FrontDisplay::Curr, data.SettingsBackup.CurrProt, data.CurrentFormat);
    } else if (!m_spec.directAdjust && MenuLevel == m_spec.calibrationLevel) {
        readings();
        RefreshMenuDisplay();
    } else if (MenuSub == 7) {
        flashAfterDirectAdjust(fields);
    } else if (MenuLevel != 11 && MenuLevel != 12) {
        readings();
        if (m_spec.readsMemoryField && m_spec.memoryDisplay) {
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

void FrontPanel::flashAfterDirectAdjust(const std::vector<qint32> &fields)
{
    const ModData &data = modData();
    ShowValue(FrontDisplay::Volt, fields.at(0) / 1000.0, data.VoltageFormat);
    ShowValue(FrontDisplay::Curr, fields.at(1) / 1000.0, data.CurrentFormat);
    if (fields.size() > 4)
        ShowMemory(fields[4]);
    RefreshMenuDisplay();
    // The value being adjusted shows in its display, and the value's lamp (or the period
    // prompt) flashes.
    if (FlashItem == 5 || FlashItem == 7)
        ShowValue(FrontDisplay::Volt, EditValue, EditFormat);
    else if (FlashItem == 6 || FlashItem == 8 || FlashItem == 9)
        ShowValue(FrontDisplay::Curr, EditValue,
                  FlashItem == 9 ? PeriodDisplayFormat(EditValue) : EditFormat);
    if (FlashItem >= 5 && FlashItem <= 8) {
        const LampLight light = FlashItem <= 6 ? LampLight::Green : LampLight::Red;
        lightSetpointLamp(FlashItem - 4, FlashPhase ? LampLight::Dark : light);
    } else if (FlashItem == 9) {
        show(FrontDisplay::Volt, FlashPhase ? QString() : QStringLiteral("P"));
    }
}

// ---------------------------------------------------------------------------------------------
// Menu procedures.

void FrontPanel::ExitMenu()
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
    enableSetpointKeys(true);
    showKeySet();
    updateLegend();
}

void FrontPanel::LoadEditValue(qint16 level)
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

void FrontPanel::showPotMenu()
{
    if (MenuItem >= 0 && MenuItem <= 4) {
        show(FrontDisplay::Volt, QStringLiteral("P"));
        show(FrontDisplay::Curr, QString::number(qint64(EditValue)).rightJustified(3, QLatin1Char(' ')));
        show(FrontDisplay::Mem, FlashPhase ? QString() : QString::number(MenuItem + 1));
        return;
    }
    show(FrontDisplay::Mem, QString());
    switch (MenuItem) {
    case 5:
        show(FrontDisplay::Volt, QStringLiteral("F"));
        show(FrontDisplay::Curr, QStringLiteral("H"));
        break;
    case 6:
        show(FrontDisplay::Volt, QStringLiteral("def"));
        show(FrontDisplay::Curr, QString());
        break;
    default:
        show(FrontDisplay::Volt, QStringLiteral("rEt"));
        show(FrontDisplay::Curr, QString());
        break;
    }
}

void FrontPanel::showScaleMenu()
{
    const ModData &data = modData();
    switch (MenuItem) {
    case 6:
        ShowValue(FrontDisplay::Volt, EditValue, data.VoltageFormat);
        show(FrontDisplay::Curr, QStringLiteral("SC"));
        show(FrontDisplay::Mem, QString());
        break;
    case 7:
        show(FrontDisplay::Volt, QStringLiteral("SC"));
        ShowValue(FrontDisplay::Curr, EditValue, data.CurrentFormat);
        show(FrontDisplay::Mem, QString());
        break;
    case 8:
        show(FrontDisplay::Volt, QStringLiteral("rEt"));
        show(FrontDisplay::Curr, QString());
        show(FrontDisplay::Mem, QString());
        break;
    default:
        showPotMenu();
        break;
    }
}

void FrontPanel::RefreshMenuDisplay()
{
    const ModData &data = modData();
    for (const LampRef &l : configLamps)
        setLamp(l.name, LampLight::Dark);
    UpdateLamps();
    ShowMemory(data.Settings.MemLoc);
    auto blankWhileFlashing = [this](FrontDisplay display, const QString &text) {
        show(display, FlashPhase ? QString() : text);
    };
    switch (role(MenuLevel)) {
    case 4:
        show(FrontDisplay::Volt, QString());
        show(FrontDisplay::Curr, QString());
        show(FrontDisplay::Mem, QString::number(qint64(EditValue)) + (FlashPhase ? QStringLiteral(".") : QString()));
        break;
    case 5:
    case 7:
        ShowValue(FrontDisplay::Volt, EditValue, EditFormat);
        show(FrontDisplay::Curr, QString());
        break;
    case 6:
    case 8:
        show(FrontDisplay::Volt, QString());
        ShowValue(FrontDisplay::Curr, EditValue, EditFormat);
        break;
    case 9:
        blankWhileFlashing(FrontDisplay::Volt, QStringLiteral("P"));
        ShowValue(FrontDisplay::Curr, EditValue, PeriodDisplayFormat(EditValue));
        break;
    case 10:
        blankWhileFlashing(FrontDisplay::Volt, QStringLiteral("ConF"));
        show(FrontDisplay::Curr, QString());
        showConfigLamps(MenuItem != NoItem);
        break;
    case 11:
        if (MenuItem == NoItem) {
            blankWhileFlashing(FrontDisplay::Volt, QStringLiteral("CAL "));
            show(FrontDisplay::Curr, m_typed);
            show(FrontDisplay::Mem, QString());
            // The instrument's display shows the code as typed; each new text goes out once.
            if (m_spec.codeEntry && m_typed != m_promptSent) {
                m_promptSent = m_typed;
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
        lightSetpointLamp(MenuLevel - 4, FlashPhase ? LampLight::Dark : LampLight::Green);
    updateLegend();
}

void FrontPanel::ApplyMenuAction(const QString &action)
{
    // A memory recall reads the state, and window events run meanwhile.
    QPointer<FrontPanel> self(this);
    applyMenuAction(action);
    if (self && !closing())
        syncKnobs();
}

void FrontPanel::applyMenuAction(const QString &action)
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
        send(typing ? QStringLiteral("<>PRO ") + m_typed : QStringLiteral("MEM %1").arg(number));
        if (action == QLatin1String("Save")) {
            QPointer<FrontPanel> self(this);
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
        send(typing ? QStringLiteral("<>PRO ") + m_typed : prefix + ShortestText(*field));
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
            send(typing ? QStringLiteral("<>PRO ") + m_typed
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

void FrontPanel::menuPress()
{
    if (MenuSub == 7 || MenuLevel != m_spec.idleLevel || m_levelHoldUntilMs >= 0)
        return;
    ValueChanged = false;
    const qint16 level = PowerState >= Power::On ? m_spec.menuLevelWhenOn : m_spec.menuLevel;
    MenuLevel = level;
    MenuItem = NoItem;
    MenuSub = 2;
    sendChg(level, -1, 2);
    LoadEditValue(level);
    if (m_spec.menuBlanksCurrent)
        show(FrontDisplay::Curr, QString());
    enableKnobs(false);
    enableSetpointKeys(false);
    showKeySet();
    startMenuTimer();
    takeKeyTime();
}

void FrontPanel::itemPress()
{
    ModData &data = modData();
    const bool calibration = role(MenuLevel) == 11 || role(MenuLevel) == 12;
    if (MenuLevel >= 5 && MenuLevel <= 12 && MenuItem == NoItem) {
        if (ValueChanged)
            return;
        MenuSub = 2;
        clearInput();
        const qint16 level = m_spec.nextMenuLevel(MenuLevel, PowerState);
        MenuLevel = level;
        MenuSub = m_spec.codeEntry && level >= m_spec.calibrationLevel ? 1 : 2;
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
        show(FrontDisplay::Volt, QString());
        show(FrontDisplay::Curr, QString());
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
            QPointer<FrontPanel> self(this);
            poll();
            if (!self || closing())
                return;
        }
    } else {
        return;
    }
    takeKeyTime();
    menuTick();
}

void FrontPanel::upDownPress(int sign)
{
    tmrInfo.stop();
    KeyHeld = true;
    m_stepSign = sign;
    m_stepCount = 0;
    clearInput();
    if (m_spec.entryEcho)
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
    if (m_spec.entryEcho)
        send(QStringLiteral("<>TYP %1").arg(EntryMode));
    m_nextStepMs = now();
    upDownStep();
    tmrHold.start();
}

void FrontPanel::upDownStep()
{
    const double interval = StepInterval(m_stepCount);
    const int factor = StepFactor(interval, MenuLevel, m_spec.calibrationLevel);
    const double step = StepSize(EditFormat, role(MenuLevel), EditValue, m_spec.periodLevel);
    EditValue += m_stepSign * factor * step;
    if (MenuLevel != 4)
        EditValue = SnapToFormat(EditValue, EditFormat);
    QPointer<FrontPanel> self(this);
    ApplyMenuAction(m_stepSign > 0 ? QStringLiteral("Up") : QStringLiteral("Dn"));
    if (!self)
        return;
    RefreshMenuDisplay();
    ++m_stepCount;
    takeKeyTime();
    // The readings follow each step (on the TLB in direct adjustment and calibration).
    if (m_spec.pollsEachStep || MenuSub == 7 || MenuLevel >= 11) {
        poll();
        if (!self)
            return;
    }
    m_nextStepMs += qint64(interval * 1000);
}

void FrontPanel::upDownRelease()
{
    if (!KeyHeld)
        return;
    KeyHeld = false;
    m_stepSign = 0;
    send(QStringLiteral("<>IGN 0"));
    if (MenuLevel <= m_spec.idleLevel || MenuLevel >= m_spec.calibrationLevel)
        resumePolling();
}

void FrontPanel::enterSeries()
{
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
}

void FrontPanel::enterPress()
{
    if (!m_spec.typedEntry) {
        enterSeries();
        return;
    }
    const QString typed = m_typed;
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
        QPointer<FrontPanel> self(this);
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

void FrontPanel::calibrationCodeEntered()
{
    const QString code = m_typed;
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
    QPointer<FrontPanel> self(this);
    ReadPots();
    if (!self)
        return;
    EditFormat = QStringLiteral("0");
    EditValue = data.Pots[0];
    enableKnobs(false);
    resumePolling();
}

void FrontPanel::displayKeyPress(qint16 level)
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
    if (m_spec.entryEcho)
        send(QStringLiteral("<>TYP -1"));
    poll();
}

void FrontPanel::displayKeyRelease()
{
    if (!m_displayHeld)
        return;
    m_displayReleaseMs = now() + DisplayReleaseWaitMs;
    tmrHold.start();
}

void FrontPanel::textEdited(const QString &text)
{
    if (!m_spec.typedEntry || m_typedLocked || m_locked)
        return;
    const QString filtered = FilterTypedEntry(text);
    m_typed = filtered;
    if (filtered != text)
        m_view.showTyped(filtered);
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
    QPointer<FrontPanel> self(this);
    ApplyMenuAction(QString());
    if (!self)
        return;
    MenuLevel = saved;
    RefreshMenuDisplay();
    if (level >= 5 && level <= 8)
        ShowValue(level == 5 || level == 7 ? FrontDisplay::Volt : FrontDisplay::Curr, EditValue,
                  EditFormat);
}

void FrontPanel::menuTick()
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

void FrontPanel::startPress()
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

void FrontPanel::stopPress()
{
    tmrInfo.stop();
    PowerState = Power::Standby;
    setLamp(ArmLamp, LampLight::Dark);
    send(QStringLiteral("OUTP:STOP"));
    send(QStringLiteral("<>IGN 0"));
    DefaultWordA = (DefaultWordA | (1 << StatusBit::Standby))
                 & ~((1 << StatusBit::Arm) | (1 << StatusBit::Power) | (1 << StatusBit::VoltageControl)
                     | (1 << StatusBit::CurrentControl));
    if (MenuLevel < 5 || (MenuLevel >= m_spec.calibrationLevel && MenuItem != NoItem))
        resumePolling();
}

void FrontPanel::armPress()
{
    if (PowerState != Power::Standby || MenuLevel != 3 || MenuSub != 0)
        return;
    tmrInfo.stop();
    const bool arm = !StatusBitsA[StatusBit::Arm];
    setLamp(ArmLamp, arm ? LampLight::Yellow : LampLight::Dark);
    send(arm ? QStringLiteral("OUTP:Arm 1") : QStringLiteral("OUTP:Arm 0"));
    if (arm)
        DefaultWordA |= 1 << StatusBit::Arm;
    else
        DefaultWordA &= ~(1 << StatusBit::Arm);
    StatusBitsA[StatusBit::Arm] = arm;
    resumePolling();
}

void FrontPanel::memPress()
{
    if (PowerState >= 5 || MenuLevel >= 5)
        return;
    MenuLevel = 4;
    MenuItem = NoItem;
    MenuSub = 2;
    sendChg(4, -1, 0);
    EditValue = modData().Settings.MemLoc;
    EditFormat = QString();
    show(FrontDisplay::Curr, QString());
    enableKnobs(false);
    takeKeyTime();
    startMenuTimer();
}

// ---------------------------------------------------------------------------------------------
// CLEAR.

void FrontPanel::clearPress()
{
    takeKeyTime();
    if (!m_spec.clearHold) {
        seriesClearAction();
        return;
    }
    clearInput();
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

void FrontPanel::clearHoldTick()
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

void FrontPanel::endClearBlink()
{
    m_clearLoop = false;
    blink(true);
    for (const QList<LampRef> *list : {&operationLamps, &alarmLamps, &setpointLamps}) {
        for (const LampRef &l : *list)
            setLamp(l.name, LampLight::Dark);
    }
    UpdateLamps();
}

void FrontPanel::clearHoldEnded()
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

void FrontPanel::blink(bool lit)
{
    m_view.dimDisplays(!lit);
    for (auto it = m_lamps.cbegin(); it != m_lamps.cend(); ++it) {
        const QString &name = it.key();
        LampLight light = LampLight::Dark;
        if (lit)
            light = name == StandbyLamp ? LampLight::Orange
                  : name.startsWith(QLatin1String("lblErrors")) ? LampLight::Red
                                                                : LampLight::Green;
        setLamp(name, light);
    }
}

void FrontPanel::clearRelease()
{
    // Released during the hold: the abandoned edit is put back first, and the state is read
    // only once the menu is left, so the saved setpoints are not taken from the instrument's
    // stepped value.
    const bool held = m_clearLoop;
    if (held)
        endClearBlink();
    QPointer<FrontPanel> self(this);
    clearReleaseAction();
    if (!self || !held)
        return;
    if (m_clearFinishMs >= 0)
        m_readStateAfterClear = true;
    else
        readState();
}

void FrontPanel::scheduleClearFinish(qint64 waitMs, bool menuLeft)
{
    // The menu is being left: its timer has nothing more to do, and must not run the
    // time-out again while the wait runs.
    tmrMenu.stop();
    m_exitOnClearFinish = !menuLeft;
    m_clearFinishMs = now() + waitMs;
    tmrHold.start();
}

void FrontPanel::clearReleaseAction(bool menuLeft)
{
    if (!m_spec.clearHold) {
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

void FrontPanel::seriesClearAction(bool menuLeft)
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
        m_view.showKey(FrontKey::Enter, true);
        m_view.showKey(FrontKey::Cal, false);
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

void FrontPanel::finishClearRelease()
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
// The hold timer: UP/DN stepping, the CLEAR hold, the waits after CLEAR and DISPLAY, the
// setpoint keys' moment, the calibration key.

void FrontPanel::holdTick()
{
    // The end of a hold or of a wait can start an exchange (the state read after CLEAR, the pots
    // on entering calibration). Inside another exchange's TCP/IP wait, which lets timers run, it
    // would take the reply that exchange waits for: the tick waits for the next one, as the
    // poll does.
    if (Comm().isWaiting())
        return;
    QPointer<FrontPanel> self(this);
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
        if (m_spec.entryEcho)
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
        m_view.showHoldProgress(std::min(now() - m_calStartMs, CalibrationHoldMs));
        if (now() - m_calStartMs >= CalibrationHoldMs) {
            m_calHeld = false;
            m_view.showHoldProgress(-1);
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

void FrontPanel::knobTurning(FrontKnob knob, float value)
{
    if (m_locked)
        return;
    tmrInfo.stop();
    const bool volts = knob == FrontKnob::Volt || knob == FrontKnob::Ovp;
    ShowValue(volts ? FrontDisplay::Volt : FrontDisplay::Curr, value,
              volts ? modData().VoltageFormat : modData().CurrentFormat);
}

void FrontPanel::knobTurnEnded(FrontKnob knob, float value)
{
    if (m_locked)
        return;
    ModData &data = modData();
    const bool volts = knob == FrontKnob::Volt || knob == FrontKnob::Ovp;
    const bool trip = knob == FrontKnob::Ovp || knob == FrontKnob::Ocp;
    const FrontDisplay display = volts ? FrontDisplay::Volt : FrontDisplay::Curr;
    ShowValue(display, value, volts ? data.VoltageFormat : data.CurrentFormat);
    const QString text = m_shown[int(display)];
    static const QString commands[2][2] = {{QStringLiteral("CURR "), QStringLiteral("VOLT ")},
                                           {QStringLiteral("CURR:PROT "), QStringLiteral("VOLT:PROT ")}};
    send(commands[trip][volts] + text);
    const float sent = float(LeadingDecimal(text));
    float SettingsRecord::*field = trip ? (volts ? &SettingsRecord::VoltProt : &SettingsRecord::CurrProt)
                                        : (volts ? &SettingsRecord::VoltSet : &SettingsRecord::CurrSet);
    data.Settings.*field = sent;
    data.SettingsBackup.*field = sent;
    if (MenuLevel <= m_spec.idleLevel || MenuLevel >= m_spec.calibrationLevel)
        resumePolling();
}

// ---------------------------------------------------------------------------------------------
// KM, TW and GZ: setpoint keys, calibration key.

void FrontPanel::setpointPress(int which)
{
    if (which < 0 || which > 3 || MenuLevel != m_spec.idleLevel || m_levelHoldUntilMs >= 0)
        return;
    const SetpointRow &row = SetpointRows[which];
    ModData &data = modData();
    QPointer<FrontPanel> self(this);
    const bool volts = which == 0 || which == 2;
    const double maximum = data.Ratings.*row.maximum;
    const double minimum = row.minimum ? double(data.Ratings.*row.minimum) : 0.0;
    const QString hint = RangeHint(volts ? QStringLiteral("Volts") : QStringLiteral("Amperes"),
                                   minimum, maximum,
                                   volts ? data.VoltageFormat : data.CurrentFormat);
    const std::optional<QString> typed = m_view.enterValue(
        QLatin1String(row.title), ShortestText(data.Settings.*row.field), hint);
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

void FrontPanel::calPress()
{
    ClearHeld = true;
    m_calHeld = true;
    m_calStartMs = now();
    takeKeyTime();
    m_view.showHoldProgress(0);
    tmrHold.start();
}

void FrontPanel::calRelease()
{
    ClearHeld = false;
    m_calHeld = false;
    m_view.showHoldProgress(-1);
}

void FrontPanel::enterCalibration()
{
    ModData &data = modData();
    ClearHeld = false;
    send(QStringLiteral("CAL:PASS ") + CalibrationPotCode);
    QPointer<FrontPanel> self(this);
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

} // namespace zop
