#pragma once

#include "errorqueue.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <optional>

namespace zopsim {

class Clock;

// The four series the panel knows. The emulator names its series in "*IDN?"; behaviour that
// differs by series hangs off this value.
enum class Series { KM, TW, GZ, TLB };
QString seriesName(Series series);                       // "KM", "TW", "GZ", "TLB"
std::optional<Series> seriesFromText(const QString &text); // case-insensitive

struct SupplyConfig
{
    Series series = Series::TLB;
    double ratedVolts = 15.0;
    double ratedAmps = 100.0;
    double firmwareVersion = 4.70;
    double hardwareVersion = 1.30;
    // Resistance of the simulated load; negative means "2 x rated volts / rated amps", so the
    // rated voltage drives half the rated current.
    double loadOhms = -1.0;
    // How long the output takes to follow a new voltage or current setpoint: the readings move
    // in a straight line from where they were to the new value over this time (0: at once).
    qint64 settleMs = 0;
};

// Everything one memory location holds, and the live setpoints, in thousandths.
struct Setpoints
{
    qint64 voltMv = 0;
    qint64 currMa = 0;
    qint64 ovpMv = 0;
    qint64 ocpMa = 0;
    qint64 periodMs = 0;
    bool operator==(const Setpoints &) const = default;
};

// Status word A ("<>STA" field 2, also "STAT:OPER:COND?"): what the output is doing.
namespace WordA {
constexpr quint32 Arm = 1u << 0;
constexpr quint32 Interlock = 1u << 2;      // interlock input enabled
constexpr quint32 IntCtl = 1u << 3;
constexpr quint32 ExtCtl = 1u << 4;
constexpr quint32 WaitTrigger = 1u << 5;    // initiated, waiting for a trigger
constexpr quint32 Standby = 1u << 6;
constexpr quint32 Power = 1u << 7;          // output on
constexpr quint32 VoltageControl = 1u << 8; // CV
constexpr quint32 RemoteSense = 1u << 9;
constexpr quint32 CurrentControl = 1u << 10; // CC
constexpr quint32 StandbyAlarm = 1u << 11;   // in standby because an alarm is latched
} // namespace WordA

// Status word B ("<>STA" field 3, also "STAT:QUES:COND?"): alarms and remote state.
namespace WordB {
constexpr quint32 Ovt = 1u << 0;
constexpr quint32 Oct = 1u << 1;
constexpr quint32 Phl = 1u << 2;
constexpr quint32 Pgl = 1u << 3;
constexpr quint32 Thl = 1u << 4;
constexpr quint32 Fse = 1u << 5;
constexpr quint32 Alarm = 1u << 7; // summary: some alarm is latched
constexpr quint32 Loc = 1u << 8;   // interlock open while enabled
constexpr quint32 Remote = 1u << 9;
constexpr quint32 Latching = Ovt | Oct | Phl | Pgl | Thl | Fse | Loc;
} // namespace WordB

// Standard event status register bits (*ESR?).
namespace Esr {
constexpr int Opc = 1 << 0;
constexpr int QueryError = 1 << 2;
constexpr int DeviceError = 1 << 3;
constexpr int ExecutionError = 1 << 4;
constexpr int CommandError = 1 << 5;
constexpr int PowerOn = 1 << 7;
} // namespace Esr

// Status byte bits (*STB?).
namespace Stb {
constexpr int Mav = 1 << 4;
constexpr int Esb = 1 << 5;
constexpr int Mss = 1 << 6;
} // namespace Stb

// What the panel mirrors of its own front-panel menu into the instrument ("<>CHG", "<>IGN",
// "<>TYP", "<>PRO", "<>CLR"). The instrument's display would follow it; the emulator keeps it
// so that it can be inspected.
struct PanelMirror
{
    int menuLevel = 0;
    int menuItem = -1;
    int menuSub = 0;
    bool ignoreFrontPanel = false; // "<>IGN"
    int entryMode = -1;            // "<>TYP"
    QString promptText;            // "<>PRO"
    int clearLevel = 0;            // "<>CLR"
};

// Modulation table: the control input it modulates (0 none, 1 voltage, 2 current), the
// modulation type (0 multiplication, 1 addition), 50 rows of (VMOD, value) and a slew limit.
struct ModulationTable
{
    static constexpr int Rows = 50;
    struct Row
    {
        double vmod = 0.0;
        double value = 0.0;
        bool operator==(const Row &) const = default;
    };
    int controlInput = 1;
    int type = 0;
    std::array<Row, Rows> rows{};
    double slewLimit = 0.0;
    std::array<bool, Rows> blank{}; // rows not in use (sim/modulation.h)
    // The copy "written to EEPROM", which a reset of the working state brings back.
    std::array<Row, Rows> saved{};
    std::array<bool, Rows> savedBlank{};
    int savedControlInput = 1;
    int savedType = 0;
    double savedSlewLimit = 0.0;
    int saveCount = 0;
};

// Settings of the optional network and bus interfaces (version texts, addresses).
struct InterfaceSettings
{
    QString netSerial = QStringLiteral("ZS00001");
    QString netHardware = QStringLiteral("1.00");
    QString netVersion = QStringLiteral("1.00");
    QString mac = QStringLiteral("00:1E:C0:5A:00:01");
    bool dhcp = false;
    QString host = QStringLiteral("ZOPSIM");
    QString port = QStringLiteral("50505");
    QString address = QStringLiteral("127.0.0.1");
    QString subnet = QStringLiteral("255.0.0.0");
    QString gateway = QStringLiteral("0.0.0.0");
    int restarts = 0; // "<>RST"
    // Told of every "<>RST" after it was counted: the network module restarts (sim/netmodule.h).
    std::function<void()> restartHandler;
    QString gpibVersion = QStringLiteral("1.00");
    int gpibAddress = 5;
    QString serialVersion = QStringLiteral("1.00");
    int serialAddress = 1;
};

// One programmable DC power supply with a resistive load. It knows nothing about text or
// links: the protocol (Instrument) drives it and formats what it reports.
//
// Values are kept in thousandths (mV, mA, ms). Setpoints are limited to 0..1.1 x rating; a
// value outside is clamped and -222 "Data out of range" is queued. With the output on, the
// readings follow the setpoints into the load: constant voltage while Vset / R stays within
// Iset, otherwise constant current. A reading above its trip level latches the alarm and drops
// the output to standby until the alarm is cleared. A non-zero period turns the output off that
// long after it was started. Time only moves in update().
class PowerSupply
{
public:
    static constexpr int MemoryCount = 10;
    static constexpr int PotCount = 5;
    static constexpr int PotDefault = 128;
    static constexpr int PotMax = 255;
    static constexpr qint64 PeriodMaxMs = 9999 * 1000;
    static constexpr double DefaultInputScaleVolts = 10.0;
    // Access codes of "CAL:PASS": potentiometers, then potentiometers and scales.
    static constexpr int PotCode = 3846;
    static constexpr int ScaleCode = 6043;
    enum class CalAccess { Locked = 0, Pots = 1, Full = 2 };

    PowerSupply(const SupplyConfig &config, const Clock &clock);

    const SupplyConfig &config() const { return m_config; }
    // New firmware was programmed.
    void setFirmwareVersion(double version) { m_config.firmwareVersion = version; }
    double loadOhms() const { return m_loadOhms; }

    // Applies the passage of time (the period timer). The protocol calls it before each line.
    void update();
    // Any command received puts the instrument under remote control (word B bit 9).
    void markRemote() { m_remote = true; }

    // --- ratings (changed by the scale calibration)
    qint64 ratedVoltMv() const { return m_ratedVoltMv; }
    qint64 ratedCurrMa() const { return m_ratedCurrMa; }
    qint64 voltLimitMv() const { return m_ratedVoltMv * 11 / 10; }
    qint64 currLimitMa() const { return m_ratedCurrMa * 11 / 10; }
    bool setRatedVolts(double volts); // needs CalAccess::Full
    bool setRatedAmps(double amps);
    double inputScaleVolts() const { return m_inputScaleVolts; }
    bool setInputScaleVolts(double volts);

    // --- setpoints (volts, amperes, seconds as the wire has them)
    const Setpoints &setpoints() const { return m_set; }
    bool setVoltage(double volts);
    bool setCurrent(double amps);
    bool setOverVoltage(double volts);
    bool setOverCurrent(double amps);
    bool setPeriod(double seconds);
    int memoryLocation() const { return m_memLoc; }

    // --- trigger subsystem: levels that take effect at the next trigger
    qint64 triggeredVoltMv() const { return m_trigVoltMv; }
    qint64 triggeredCurrMa() const { return m_trigCurrMa; }
    bool setTriggeredVoltage(double volts);
    bool setTriggeredCurrent(double amps);
    void initiate();
    void trigger();
    void abort(); // clears a pending trigger and puts the output to standby
    bool waitingForTrigger() const { return m_waitingForTrigger; }
    bool initContinuous() const { return m_initContinuous; }
    void setInitContinuous(bool on);

    // --- output
    bool outputOn() const { return m_outputOn; }
    bool start(); // refused (-221) while an alarm is latched
    void stop();
    bool armed() const { return m_armed; }
    void setArmed(bool armed) { m_armed = armed; }

    // --- configuration
    bool externalControl() const { return m_externalControl; }
    void setExternalControl(bool external) { m_externalControl = external; }
    bool remoteSense() const { return m_remoteSense; }
    void setRemoteSense(bool on) { m_remoteSense = on; }
    bool interlockEnabled() const { return m_interlockEnabled; }
    void setInterlockEnabled(bool on);
    // The interlock input (not reachable over the wire): open while enabled raises LOC.
    void setInterlockOpen(bool open);
    int setpointSource() const { return m_setpointSource; }
    void setSetpointSource(int source) { m_setpointSource = source; }
    double lastStep() const { return m_lastStep; }
    void setLastStep(double value) { m_lastStep = value; }

    // --- protection
    quint32 latchedAlarms() const { return m_alarms; }
    // Latches alarm bits of word B (OVT, OCT, PHL, PGL, THL, FSE, LOC): the output drops to
    // standby. This is how the model itself trips, and how a demo or test raises the others.
    void raiseAlarm(quint32 bits);
    void clearProtection();

    // A protection trip scheduled ahead (zop-sim --fault trip=OVT@5s): the alarm bits latch
    // once the output has been on, counted from its first start, for `afterOnMs`. Once only.
    void scheduleTrip(quint32 bits, qint64 afterOnMs);
    // Told of every change of the setpoints, the output and the alarms, as a line of text
    // ("volt 12.000", "output on", "trip OVT"), for the trace.
    std::function<void(const QString &)> onChange;

    // --- readings
    qint64 voltageReadingMv() const;
    qint64 currentReadingMa() const;
    bool inCurrentControl() const; // meaningful while the output is on
    quint32 statusWordA() const;
    quint32 statusWordB() const;

    // --- memories
    bool save(int location);
    bool recall(int location);
    Setpoints memory(int location) const;

    // --- calibration
    int pot(int index) const { return m_pots.at(std::size_t(index)); }
    bool setPot(int number, int value); // number 1..5, needs CalAccess::Pots
    bool defaultPots();
    bool potsAtDefault() const;
    CalAccess calAccess() const { return m_calAccess; }
    void enterPassword(const QString &code);
    void endCalibration() { m_calAccess = CalAccess::Locked; }
    QString calibrationId() const { return m_calId; }
    void setCalibrationId(const QString &id) { m_calId = id; }
    // The system version text set at the factory ("SYST:VERS" with the scale code); empty
    // while the built-in one stands.
    QString systemVersion() const { return m_systemVersion; }
    bool setSystemVersion(const QString &text); // needs CalAccess::Full

    // --- whole-instrument actions
    void reset(); // *RST: power-on setpoints, standby, alarms cleared
    void restorePowerOnSetpoints();

    // --- IEEE 488.2 status
    int eventStatusEnable() const { return m_ese; }
    void setEventStatusEnable(int value) { m_ese = value & 0xFF; }
    int serviceRequestEnable() const { return m_sre; }
    void setServiceRequestEnable(int value) { m_sre = value & 0xBF; }
    int eventStatus() const { return m_esr; }
    int takeEventStatus(); // *ESR?: read and clear
    int statusByte() const;
    void clearStatus(); // *CLS
    void operationComplete() { m_esr |= Esr::Opc; } // *OPC

    // --- errors: queued, and flagged in the event status register by class
    void pushError(int code, const QString &text);
    ErrorQueue &errors() { return m_errors; }
    const ErrorQueue &errors() const { return m_errors; }

    PanelMirror &panel() { return m_panel; }
    const PanelMirror &panel() const { return m_panel; }
    ModulationTable &modulation() { return m_modulation; }
    const ModulationTable &modulation() const { return m_modulation; }
    InterfaceSettings &interfaces() { return m_interfaces; }
    const InterfaceSettings &interfaces() const { return m_interfaces; }

private:
    Setpoints powerOnSetpoints() const;
    // Stores value (in thousandths) into target, clamped to 0..limit; queues -222 when clamped.
    bool storeClamped(qint64 &target, double value, qint64 limit);
    bool needAccess(CalAccess level);
    // Trips on readings above their limits; called after every change that moves them.
    void protect();
    void dropToStandby();
    void changed(const QString &what) const
    {
        if (onChange)
            onChange(what);
    }
    // The setpoints the output has reached so far (settling from the previous ones).
    qint64 settledVoltMv() const;
    qint64 settledCurrMa() const;

    SupplyConfig m_config;
    const Clock &m_clock;
    double m_loadOhms = 0.3;
    qint64 m_ratedVoltMv = 0;
    qint64 m_ratedCurrMa = 0;
    double m_inputScaleVolts = DefaultInputScaleVolts;

    Setpoints m_set;
    qint64 m_fromVoltMv = 0; // where the output settles from, and since when
    qint64 m_fromCurrMa = 0;
    qint64 m_voltSinceMs = 0;
    qint64 m_currSinceMs = 0;
    quint32 m_tripBits = 0;
    qint64 m_tripAfterOnMs = 0;
    qint64 m_firstOnMs = -1;
    int m_memLoc = 0;
    std::array<Setpoints, MemoryCount> m_memories{};

    qint64 m_trigVoltMv = 0;
    qint64 m_trigCurrMa = 0;
    bool m_waitingForTrigger = false;
    bool m_initContinuous = false;

    bool m_outputOn = false;
    qint64 m_outputOnSinceMs = 0;
    bool m_armed = false;
    bool m_externalControl = false;
    bool m_remoteSense = false;
    bool m_interlockEnabled = false;
    bool m_interlockOpen = false;
    int m_setpointSource = 0;
    double m_lastStep = 0.0;
    quint32 m_alarms = 0;
    bool m_remote = false;

    std::array<int, PotCount> m_pots{};
    CalAccess m_calAccess = CalAccess::Locked;
    QString m_calId;
    QString m_systemVersion;

    int m_ese = 0;
    int m_sre = 0;
    int m_esr = Esr::PowerOn;
    ErrorQueue m_errors;

    PanelMirror m_panel;
    ModulationTable m_modulation;
    InterfaceSettings m_interfaces;
};

} // namespace zopsim
