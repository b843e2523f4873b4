#include "modtable/modtablefile.h"

#include "core/inifile.h"
#include "core/regularfile.h"
#include "core/windows1252.h"
#include "modtable/modreply.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace zop {

namespace {

const QString ConfigSection = QStringLiteral("Config");
const QString TableSection = QStringLiteral("Table");
const QString TableKey = QStringLiteral("Table");
const QString TypeKey = QStringLiteral("Type");

QString RowKey(int row, const char *suffix)
{
    return QStringLiteral("key%1%2").arg(row).arg(QLatin1String(suffix));
}

// A value on one line: a line break inside would end the value and start a line of its own.
QString OneLine(QString value)
{
    return value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// A table value as loaded: trimmed, and only when it is a number.
QString NumericValue(const ProfileSection &table, const QString &key)
{
    const QString value = table.value(key, QString(), ModTableValueBuffer).trimmed();
    return IsNumericText(value) ? value : QString();
}

} // namespace

int ProfileInteger(const QString &value)
{
    const QString text = value.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    qint64 number = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        number = std::min<qint64>(number * 10 + (text[i].unicode() - u'0'), 1LL << 31);
    return int(std::clamp<qint64>(negative ? -number : number, INT_MIN, INT_MAX));
}

QByteArray ModTableFileBytes(const ModTableContents &table)
{
    QStringList lines;
    lines << QLatin1Char('[') + ConfigSection + QLatin1Char(']')
          << TableKey + QLatin1Char('=') + QString::number(table.controlInput);
    if (table.type != UnknownSelection)
        lines << TypeKey + QLatin1Char('=') + QString::number(table.type);
    lines << QLatin1Char('[') + TableSection + QLatin1Char(']');
    for (const ModTableRowText &row : table.rows) {
        lines << RowKey(row.row, "Mod") + QLatin1Char('=') + OneLine(row.vmod)
              << RowKey(row.row, "Out") + QLatin1Char('=') + OneLine(row.out);
    }
    return ToWindows1252(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

LoadedModTable ParseModTable(const QByteArray &bytes)
{
    // A file saved as UTF-8 by an editor announces itself with a byte-order mark.
    static const QByteArray utf8Mark("\xEF\xBB\xBF");
    const QStringList lines = ProfileLines(bytes.startsWith(utf8Mark)
                                               ? QString::fromUtf8(bytes.mid(utf8Mark.size()))
                                               : FromWindows1252(bytes));
    LoadedModTable table;
    const ProfileSection config(lines, ConfigSection);
    const auto integer = [&config](const QString &key) {
        const QString missing = QStringLiteral("\n"); // no value read from a file can hold it
        const QString value = config.value(key, missing, ModTableValueBuffer);
        return value == missing ? MissingSelectionKey : ProfileInteger(value);
    };
    table.controlInput = integer(TableKey);
    table.type = integer(TypeKey);
    const ProfileSection rows(lines, TableSection);
    for (int row = 1; row <= ModTableRows; ++row) {
        const QString vmod = NumericValue(rows, RowKey(row, "Mod"));
        const QString out = NumericValue(rows, RowKey(row, "Out"));
        if (!vmod.isEmpty() && !out.isEmpty())
            table.rows.insert(row, {vmod, out});
    }
    return table;
}

LoadedModTable ReadModTableFile(const QString &path, QString *problem)
{
    const auto failed = [problem](const QString &why) {
        if (problem)
            *problem = why;
        return LoadedModTable{};
    };
    if (problem)
        problem->clear();
    QString why;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, MaxModTableFileBytes, &why);
    if (!bytes)
        return failed(why);
    return ParseModTable(*bytes);
}

} // namespace zop
