#include "powersupply.h"

#include "modulation.h"

#include "clock.h"

#include <QStringList>

#include <cmath>

namespace zopsim {

namespace {

qint64 toThousandths(double value)
{
    return qRound64(value * 1000.0);
}

} // namespace

QString seriesName(Series series)
{
    switch (series) {
    case Series::KM: return QStringLiteral("KM");
    case Series::TW: return QStringLiteral("TW");
    case Series::GZ: return QStringLiteral("GZ");
    case Series::TLB: return QStringLiteral("TLB");
    }
    return QStringLiteral("TLB");
}

std::optional<Series> seriesFromText(const QString &text)
{
    for (Series s : {Series::KM, Series::TW, Series::GZ, Series::TLB}) {
        if (text.compare(seriesName(s), Qt::CaseInsensitive) == 0)
            return s;
    }
    return std::nullopt;
}

PowerSupply::PowerSupply(const SupplyConfig &config, const Clock &clock)
    : m_config(config), m_clock(clock)
{
    m_ratedVoltMv = qMax<qint64>(1, toThousandths(config.ratedVolts));
    m_ratedCurrMa = qMax<qint64>(1, toThousandths(config.ratedAmps));
    m_loadOhms = config.loadOhms >= 0.0 ? config.loadOhms
                                        : 2.0 * double(m_ratedVoltMv) / double(m_ratedCurrMa);
    m_set = powerOnSetpoints();
    m_memories.fill(m_set);
    m_pots.fill(PotDefault);
    m_calId = QStringLiteral("ZOP-SIM factory calibration");
    for (int r = 0; r < ModulationTable::Rows; ++r)
        m_modulation.rows[std::size_t(r)] = {r / 5.0, 1.0}; // 0.2 steps, each the nearest double
    m_modulation.saved = m_modulation.rows;
}

Setpoints PowerSupply::powerOnSetpoints() const
{
    Setpoints s;
    s.ovpMv = voltLimitMv();
    s.ocpMa = currLimitMa();
    return s;
}

void PowerSupply::update()
{
    if (m_tripBits && m_firstOnMs >= 0 && m_clock.nowMs() - m_firstOnMs >= m_tripAfterOnMs) {
        const quint32 bits = m_tripBits;
        m_tripBits = 0;
        raiseAlarm(bits);
    }
    // Readings that settled since the last command may have crossed a trip level.
    protect();
    if (m_outputOn && m_set.periodMs > 0
        && m_clock.nowMs() - m_outputOnSinceMs >= m_set.periodMs) {
        dropToStandby();
    }
}

// ---------------------------------------------------------------- ratings

bool PowerSupply::needAccess(CalAccess level)
{
    if (int(m_calAccess) >= int(level))
        return true;
    pushError(Err::CommandProtected, QStringLiteral("Command protected"));
    return false;
}

bool PowerSupply::setRatedVolts(double volts)
{
    if (!needAccess(CalAccess::Full))
        return false;
    if (!(volts > 0.0) || volts > 1.0e6) {
        pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        return false;
    }
    m_ratedVoltMv = toThousandths(volts);
    protect();
    return true;
}

bool PowerSupply::setRatedAmps(double amps)
{
    if (!needAccess(CalAccess::Full))
        return false;
    if (!(amps > 0.0) || amps > 1.0e6) {
        pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        return false;
    }
    m_ratedCurrMa = toThousandths(amps);
    protect();
    return true;
}

bool PowerSupply::setInputScaleVolts(double volts)
{
    if (!needAccess(CalAccess::Full))
        return false;
    if (!(volts > 0.0) || volts > 1000.0) {
        pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        return false;
    }
    m_inputScaleVolts = volts;
    return true;
}

// ---------------------------------------------------------------- setpoints

bool PowerSupply::storeClamped(qint64 &target, double value, qint64 limit)
{
    const qint64 v = std::isfinite(value) ? qRound64(qBound(-1.0e12, value * 1000.0, 1.0e12))
                                          : limit + 1;
    const bool inRange = v >= 0 && v <= limit;
    target = qBound<qint64>(0, v, limit);
    if (!inRange)
        pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
    protect();
    return inRange;
}

bool PowerSupply::setVoltage(double volts)
{
    m_fromVoltMv = settledVoltMv();
    m_voltSinceMs = m_clock.nowMs();
    const bool ok = storeClamped(m_set.voltMv, volts, voltLimitMv());
    changed(QStringLiteral("volt %1").arg(m_set.voltMv / 1000.0, 0, 'f', 3));
    return ok;
}

qint64 PowerSupply::settledVoltMv() const
{
    const qint64 since = m_clock.nowMs() - m_voltSinceMs;
    if (since >= m_config.settleMs)
        return m_set.voltMv;
    return m_fromVoltMv + (m_set.voltMv - m_fromVoltMv) * since / m_config.settleMs;
}

qint64 PowerSupply::settledCurrMa() const
{
    const qint64 since = m_clock.nowMs() - m_currSinceMs;
    if (since >= m_config.settleMs)
        return m_set.currMa;
    return m_fromCurrMa + (m_set.currMa - m_fromCurrMa) * since / m_config.settleMs;
}

void PowerSupply::scheduleTrip(quint32 bits, qint64 afterOnMs)
{
    m_tripBits = bits & WordB::Latching;
    m_tripAfterOnMs = qMax<qint64>(0, afterOnMs);
}

bool PowerSupply::setCurrent(double amps)
{
    m_fromCurrMa = settledCurrMa();
    m_currSinceMs = m_clock.nowMs();
    const bool ok = storeClamped(m_set.currMa, amps, currLimitMa());
    changed(QStringLiteral("curr %1").arg(m_set.currMa / 1000.0, 0, 'f', 3));
    return ok;
}

bool PowerSupply::setOverVoltage(double volts)
{
    return storeClamped(m_set.ovpMv, volts, voltLimitMv());
}

bool PowerSupply::setOverCurrent(double amps)
{
    return storeClamped(m_set.ocpMa, amps, currLimitMa());
}

bool PowerSupply::setPeriod(double seconds)
{
    return storeClamped(m_set.periodMs, seconds, PeriodMaxMs);
}

bool PowerSupply::setTriggeredVoltage(double volts)
{
    return storeClamped(m_trigVoltMv, volts, voltLimitMv());
}

bool PowerSupply::setTriggeredCurrent(double amps)
{
    return storeClamped(m_trigCurrMa, amps, currLimitMa());
}

// ---------------------------------------------------------------- trigger

void PowerSupply::initiate()
{
    m_waitingForTrigger = true;
}

void PowerSupply::trigger()
{
    if (!m_waitingForTrigger)
        return;
    m_set.voltMv = m_trigVoltMv;
    m_set.currMa = m_trigCurrMa;
    m_waitingForTrigger = m_initContinuous;
    protect();
}

void PowerSupply::abort()
{
    m_waitingForTrigger = false;
    stop();
}

void PowerSupply::setInitContinuous(bool on)
{
    m_initContinuous = on;
    if (on)
        m_waitingForTrigger = true;
}

// ---------------------------------------------------------------- output

bool PowerSupply::start()
{
    if (m_alarms & WordB::Latching) {
        pushError(Err::SettingsConflict, QStringLiteral("Settings conflict; protection latched"));
        return false;
    }
    if (!m_outputOn) {
        m_outputOn = true;
        m_outputOnSinceMs = m_clock.nowMs();
        if (m_firstOnMs < 0)
            m_firstOnMs = m_outputOnSinceMs;
        changed(QStringLiteral("output on"));
    }
    protect();
    return m_outputOn;
}

void PowerSupply::stop()
{
    if (m_outputOn)
        changed(QStringLiteral("output off"));
    m_outputOn = false;
    m_armed = false;
}

void PowerSupply::dropToStandby()
{
    m_outputOn = false;
}

void PowerSupply::setInterlockEnabled(bool on)
{
    m_interlockEnabled = on;
    protect();
}

void PowerSupply::setInterlockOpen(bool open)
{
    m_interlockOpen = open;
    protect();
}

// ---------------------------------------------------------------- protection

void PowerSupply::raiseAlarm(quint32 bits)
{
    bits &= WordB::Latching;
    if (bits == 0)
        return;
    if ((m_alarms | bits) != m_alarms) {
        QStringList names;
        const char *const all[] = {"OVT", "OCT", "PHL", "PGL", "THL", "FSE", "", "", "LOC"};
        for (int bit = 0; bit < 9; ++bit) {
            if ((bits & ~m_alarms) & (1u << bit))
                names << QString::fromLatin1(all[bit]);
        }
        changed(QStringLiteral("trip ") + names.join(QLatin1Char(' ')));
    }
    m_alarms |= bits;
    dropToStandby();
}

void PowerSupply::clearProtection()
{
    m_alarms = 0;
    protect(); // an interlock that is still open latches again
}

void PowerSupply::protect()
{
    if (m_interlockEnabled && m_interlockOpen)
        raiseAlarm(WordB::Loc);
    if (!m_outputOn)
        return;
    quint32 trips = 0;
    if (voltageReadingMv() > m_set.ovpMv)
        trips |= WordB::Ovt;
    if (currentReadingMa() > m_set.ocpMa)
        trips |= WordB::Oct;
    raiseAlarm(trips);
}

// ---------------------------------------------------------------- readings

bool PowerSupply::inCurrentControl() const
{
    const qint64 volt = settledVoltMv();
    if (volt == 0)
        return false;
    if (m_loadOhms <= 0.0)
        return true; // a short: any voltage drives more current than any limit
    return double(volt) / m_loadOhms > double(settledCurrMa());
}

qint64 PowerSupply::voltageReadingMv() const
{
    if (!m_outputOn)
        return 0;
    if (!inCurrentControl())
        return settledVoltMv();
    return qRound64(double(settledCurrMa()) * qMax(0.0, m_loadOhms));
}

qint64 PowerSupply::currentReadingMa() const
{
    if (!m_outputOn)
        return 0;
    if (inCurrentControl())
        return settledCurrMa();
    const qint64 volt = settledVoltMv();
    if (volt == 0)
        return 0;
    return qRound64(double(volt) / m_loadOhms);
}

quint32 PowerSupply::statusWordA() const
{
    quint32 w = 0;
    if (m_armed)
        w |= WordA::Arm;
    if (m_interlockEnabled)
        w |= WordA::Interlock;
    w |= m_externalControl ? WordA::ExtCtl : WordA::IntCtl;
    if (m_waitingForTrigger)
        w |= WordA::WaitTrigger;
    if (m_outputOn) {
        w |= WordA::Power;
        w |= inCurrentControl() ? WordA::CurrentControl : WordA::VoltageControl;
    } else {
        w |= WordA::Standby;
        if (m_alarms & WordB::Latching)
            w |= WordA::StandbyAlarm;
    }
    if (m_remoteSense)
        w |= WordA::RemoteSense;
    return w;
}

quint32 PowerSupply::statusWordB() const
{
    quint32 w = m_alarms & WordB::Latching;
    if (w)
        w |= WordB::Alarm;
    if (m_remote)
        w |= WordB::Remote;
    return w;
}

// ---------------------------------------------------------------- memories

bool PowerSupply::save(int location)
{
    if (location < 0 || location >= MemoryCount) {
        pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        return false;
    }
    m_memories[std::size_t(location)] = m_set;
    return true;
}

bool PowerSupply::recall(int location)
{
    if (location < 0 || location >= MemoryCount) {
        pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        return false;
    }
    const Setpoints &m = m_memories[std::size_t(location)];
    // A memory saved under a higher rating is brought within the present limits.
    m_set.voltMv = qMin(m.voltMv, voltLimitMv());
    m_set.currMa = qMin(m.currMa, currLimitMa());
    m_set.ovpMv = qMin(m.ovpMv, voltLimitMv());
    m_set.ocpMa = qMin(m.ocpMa, currLimitMa());
    m_set.periodMs = m.periodMs;
    m_memLoc = location;
    protect();
    return true;
}

Setpoints PowerSupply::memory(int location) const
{
    if (location < 0 || location >= MemoryCount)
        return {};
    return m_memories[std::size_t(location)];
}

// ---------------------------------------------------------------- calibration

bool PowerSupply::setPot(int number, int value)
{
    if (!needAccess(CalAccess::Pots))
        return false;
    if (number < 1 || number > PotCount || value < 0 || value > PotMax) {
        pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        return false;
    }
    m_pots[std::size_t(number - 1)] = value;
    return true;
}

bool PowerSupply::defaultPots()
{
    if (!needAccess(CalAccess::Pots))
        return false;
    m_pots.fill(PotDefault);
    return true;
}

bool PowerSupply::potsAtDefault() const
{
    for (int p : m_pots) {
        if (p != PotDefault)
            return false;
    }
    return true;
}

bool PowerSupply::setSystemVersion(const QString &text)
{
    if (!needAccess(CalAccess::Full))
        return false;
    m_systemVersion = text;
    return true;
}

void PowerSupply::enterPassword(const QString &code)
{
    const QString c = code.trimmed();
    if (c == QString::number(ScaleCode))
        m_calAccess = CalAccess::Full;
    else if (c == QString::number(PotCode))
        m_calAccess = CalAccess::Pots;
    else
        m_calAccess = CalAccess::Locked;
}

// ---------------------------------------------------------------- whole instrument

void PowerSupply::restorePowerOnSetpoints()
{
    m_set = powerOnSetpoints();
    m_trigVoltMv = 0;
    m_trigCurrMa = 0;
    protect();
}

void PowerSupply::reset()
{
    stop();
    m_alarms = 0;
    m_waitingForTrigger = false;
    m_initContinuous = false;
    m_memLoc = 0;
    restorePowerOnSetpoints();
    modulation::restoreFromEeprom(m_modulation);
}

// ---------------------------------------------------------------- IEEE 488.2 status

int PowerSupply::takeEventStatus()
{
    const int value = m_esr;
    m_esr = 0;
    return value;
}

int PowerSupply::statusByte() const
{
    int stb = 0;
    if (m_esr & m_ese)
        stb |= Stb::Esb;
    if (stb & m_sre)
        stb |= Stb::Mss;
    return stb;
}

void PowerSupply::clearStatus()
{
    m_errors.clear();
    m_esr = 0;
}

void PowerSupply::pushError(int code, const QString &text)
{
    if (code <= -100 && code > -200)
        m_esr |= Esr::CommandError;
    else if (code <= -200 && code > -300)
        m_esr |= Esr::ExecutionError;
    else if (code <= -300 && code > -400)
        m_esr |= Esr::DeviceError;
    else if (code <= -400 && code > -500)
        m_esr |= Esr::QueryError;
    m_errors.push(code, text);
}

} // namespace zopsim
