#pragma once

#include <QString>

namespace zopsim {

struct ModulationTable;

// The modulation table's behaviour beyond storing rows: how a row reads back, the EEPROM copy,
// and blank rows.
//
// A blank row is one the table does not use: asked for it, the instrument reports the next
// row in use instead (its position tells the client where it went on), or, past the last row
// in use, the asked row as zeros. Writing a row puts it in use.
namespace modulation {

// The reply to "MOD:TABL? row" for a row of 1 to 50: "5(0.25,1.10)", or "No table selected"
// while the control input is 0.
QString rowReply(const ModulationTable &table, int row);
// "MOD:TABL row(VMOD,value)" for a row of 1 to 50.
void writeRow(ModulationTable &table, int row, double vmod, double value);
// "MOD:TABL:SAVE": the rows, the blanks, the selection and the slew limit into the EEPROM copy.
void saveToEeprom(ModulationTable &table);
// A reset of the working state: everything back from the EEPROM copy.
void restoreFromEeprom(ModulationTable &table);
// Blanks the rows of a list such as "3-6,9" (working table and EEPROM copy); false and an
// explanation when the list is not one of rows 1 to 50.
bool blankRows(ModulationTable &table, const QString &list, QString *error);

} // namespace modulation
} // namespace zopsim
