#pragma once
// Modulation table files (".modTable"): INI text in the Windows 8-bit code page with CR LF line
// ends, holding the selection and the rows of a table:
//
//   [Config]
//   Table=1          control input: 1 voltage, 2 current
//   Type=0           modulation type: 0 multiplication, 1 addition (left out when unknown)
//   [Table]
//   key1Mod=0.5      VMOD of row 1
//   key1Out=1.2      output value of row 1
//   ...
//
// Rows are written in ascending order; rows the table does not hold are left out. Files are
// read the way the Windows profile functions read them (any line end, names without regard to
// case, the first of duplicate keys wins, blanks and one pair of quotes around a value
// dropped), so files made on either system open on the other.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace zop {

inline const QString ModTableDescription = QStringLiteral("Modulation Table Files");
inline const QString ModTablePattern = QStringLiteral("*.modTable");
// What a missing "Table" or "Type" key reads as (and is sent to the instrument as).
constexpr int MissingSelectionKey = -999;
// Values are read into a buffer of this size (terminating NUL included): 49 characters stay.
constexpr int ModTableValueBuffer = 50;
// A table file is a few kilobytes; more than this is not one, and the rest is not read.
constexpr qint64 MaxModTableFileBytes = 64 * 1024;

struct ModTableRowText {
    int row = 0;
    QString vmod;
    QString out;
    bool operator==(const ModTableRowText &) const = default;
};

// What "Save Table" writes: the selection and the rows in list order.
struct ModTableContents {
    int controlInput = 1;
    int type = -1; // -1: unknown, the key is left out
    QList<ModTableRowText> rows;
};
// The whole file as bytes.
QByteArray ModTableFileBytes(const ModTableContents &table);

// What "Load Table" takes from a file.
struct LoadedModTable {
    int controlInput = MissingSelectionKey;
    int type = MissingSelectionKey;
    // The rows 1 to 50 whose two values are both present and numeric, trimmed: (VMOD, out).
    QMap<int, QPair<QString, QString>> rows;
};
LoadedModTable ParseModTable(const QByteArray &bytes);
// Reads the file when it is a regular file of at most MaxModTableFileBytes. One that cannot
// be read (missing, a folder, a FIFO or device, larger, not readable) reads as an empty one; `problem`, when given, then receives why, in
// words for the user, and stays empty after a good read.
LoadedModTable ReadModTableFile(const QString &path, QString *problem = nullptr);

// The integer the Windows profile reader makes of a value: its leading decimal digits (with a
// sign), 0 when there are none.
int ProfileInteger(const QString &value);

} // namespace zop
