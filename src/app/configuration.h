#pragma once
// "ZOP_Panel.ini" in the program folder: the lists the Configuration Setup dialog offers, the
// start-up panel, the link and the system type.

#include <QString>
#include <QStringList>

namespace zop {

inline const QString ConfigFileName = QStringLiteral("ZOP_Panel.ini");
inline const QString DebugIniFileName = QStringLiteral("QMX_Panel.ini");
// Values are read into a buffer of this size, terminating NUL included.
constexpr int ProfileBufferSize = 100;
// A list entry's index must stay below this; a larger one is taken as a broken file rather
// than a reason to allocate a list of that size.
constexpr int MaxListIndex = 1000;

QString ConfigFilePath();

// Reads the three lists, the start-up panel, the link settings and the system type.
void ReadConfiguration();
// Reads only the link settings ("Communication": kind, address, port, device), with the link
// list read earlier.
void ReadLinkSettings();
// Fills `list` from the keys Item00, Item01, ... of `section`, stopping at the first missing
// (or one-character) key.
void ReadIniList(const QString &section, QStringList &list, const QString &path);
// Writes the five configured values (names as shown in the lists) to the file.
void WriteConfiguration(const QString &startupName, const QString &linkName,
                        const QString &address, const QString &port, const QString &systemName);

// The index of the first entry equal to `name` without regard to case; 99 when none is.
qint16 IndexInList(const QStringList &list, const QString &name);

// The fixed command tables, filled once at start-up.
const QStringList &IEEECommandTable();
const QStringList &SCPICommandTable();
void FillCommandTables();

} // namespace zop
