#pragma once
// The instrument records every panel reads: setpoints, ratings and calibration potentiometers.

#include <QtGlobal>
#include <array>

namespace zop {

struct SettingsRecord {
    float VoltSet = 0;  // voltage setpoint, V
    float CurrSet = 0;  // current setpoint, A
    float VoltProt = 0; // over-voltage trip, V
    float CurrProt = 0; // over-current trip, A
    float Period = 0;   // period, whole seconds
    float MemLoc = 0;   // memory location number
    bool operator==(const SettingsRecord &) const = default;
};

struct RatingsRecord {
    float VoltMax = 0;  // rated voltage; full scale of the voltage knob
    float VoltHigh = 0; // 1.1 x VoltMax
    float VoltLow = 0;  // 0.1 x VoltMax
    float CurrMax = 0;  // rated current; full scale of the current knob
    float CurrHigh = 0; // 1.1 x CurrMax
    float CurrLow = 0;  // 0.1 x CurrMax
    bool operator==(const RatingsRecord &) const = default;
};

// Five calibration potentiometer positions.
using PotsRecord = std::array<qint16, 5>;

} // namespace zop
