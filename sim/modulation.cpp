#include "modulation.h"

#include "powersupply.h"
#include "scpi.h"

#include <QStringList>

namespace zopsim::modulation {

namespace {

std::size_t at(int row) { return std::size_t(row - 1); }

} // namespace

QString rowReply(const ModulationTable &table, int row)
{
    if (table.controlInput == 0)
        return QStringLiteral("No table selected");
    int reported = row;
    while (reported <= ModulationTable::Rows && table.blank[at(reported)])
        ++reported;
    ModulationTable::Row values;
    if (reported > ModulationTable::Rows)
        reported = row; // nothing in use after it: the blank row reads as zeros
    else
        values = table.rows[at(reported)];
    return QStringLiteral("%1(%2,%3)")
        .arg(reported)
        .arg(scpi::formatDecimal(values.vmod, 2), scpi::formatDecimal(values.value, 2));
}

void writeRow(ModulationTable &table, int row, double vmod, double value)
{
    table.rows[at(row)] = {vmod, value};
    table.blank[at(row)] = false;
}

void saveToEeprom(ModulationTable &table)
{
    table.saved = table.rows;
    table.savedBlank = table.blank;
    table.savedControlInput = table.controlInput;
    table.savedType = table.type;
    table.savedSlewLimit = table.slewLimit;
    ++table.saveCount;
}

void restoreFromEeprom(ModulationTable &table)
{
    table.rows = table.saved;
    table.blank = table.savedBlank;
    table.controlInput = table.savedControlInput;
    table.type = table.savedType;
    table.slewLimit = table.savedSlewLimit;
}

bool blankRows(ModulationTable &table, const QString &list, QString *error)
{
    for (const QString &part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool okFirst = false;
        bool okLast = ends.size() <= 2;
        const int first = ends.first().toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.last().toInt(&okLast) : first;
        if (!okFirst || !okLast || first < 1 || last > ModulationTable::Rows || first > last) {
            *error = QStringLiteral("\"%1\" is not a row or a range of rows from 1 to %2")
                         .arg(part.trimmed())
                         .arg(ModulationTable::Rows);
            return false;
        }
        for (int row = first; row <= last; ++row)
            table.blank[at(row)] = table.savedBlank[at(row)] = true;
    }
    return true;
}

} // namespace zopsim::modulation
