#pragma once
// After programming an instrument whose new firmware is older than 2.1, the modulation
// selection and table it keeps may hold values that firmware cannot use: they are checked and,
// when out of range, cleared. Nothing of this traffic is logged; every read waits 2 s.

#include <QString>

namespace zop {

constexpr int ModTableRows = 20;
// Firmware from this version on keeps valid modulation parameters through programming.
constexpr double ModParamsSafeVersion = 2.1;

struct ModSelection {
    int s0 = 0;
    int s1 = 0;
};
struct ModRow {
    float a = 0;
    float b = 0;
};

// "MOD:TYPE:SEL?": the first two fields rounded to integers; 0 and 0 with fewer than two.
ModSelection Get_ModSel();
// "MOD:TABL? 1" to "MOD:TABL? 20"; a reply without "(" ends the reading, the rest stay 0, 0.
void Get_ModTable(ModRow (&rows)[ModTableRows]);
void Set_ModSel(int x, int y);
void Set_ModRow(int row, int x, int y);
// Selection 1,0; every row (0,0); selection 0,0.
void Clear_ModParams();
// Clears the parameters when the selection or a row is out of range, else re-sends the
// selection as read.
void Check_ModParams();

} // namespace zop
