#pragma once
// The meaning of the bits of the two status words of "<>STA" (word A: operation; word B:
// alarms), shared by the panels' lamps, the sequence engine and the command line.

namespace zop {

// Status word bits (word A: operation; word B: alarms).
namespace StatusBit {
constexpr int Arm = 0;
constexpr int IntCtl = 3;
constexpr int ExtCtl = 4;
constexpr int Standby = 6;
constexpr int Power = 7;
constexpr int VoltageControl = 8;
constexpr int RemoteSense = 9;
constexpr int CurrentControl = 10;
} // namespace StatusBit
namespace AlarmBit {
constexpr int Ovt = 0;
constexpr int Oct = 1;
constexpr int Latched = 7; // a protection latch CLEAR can release
constexpr int Remote = 9;
} // namespace AlarmBit

} // namespace zop
