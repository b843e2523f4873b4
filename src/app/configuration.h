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

// "QMX_Panel.ini" in the program folder gives the virtual panels their debug mode (the
// transaction log shown) when its "Debug" "Type" is this access code, in any case.
inline const QString DebugAccessCode = QStringLiteral("tan_whelk");
bool DebugAccessGranted();

// Reads the three lists, the start-up panel, the link settings and the system type.
void ReadConfiguration();
// Fills `list` from the keys Item00, Item01, ... of `section` in the lines of the file at
// `path`, stopping at the first missing (or one-character) key.
void ReadIniList(const QStringList &lines, const QString &section, QStringList &list,
                 const QString &path);
// What a write does with the "Device" key of "Communication" (the serial device named by path).
struct DeviceKeyChange {
    enum class Action { Keep, Write, Remove };
    Action action = Action::Keep;
    QString path; // for Write
};

// Writes the five configured values (names as shown in the lists) to the file, in this order:
// "Start-Up", "Comm", "Address", "Port", "Type"; then applies `device`. All of it lands in the
// file in one atomic replacement, or nothing does: returns false with the reason in `error`.
bool WriteConfiguration(const QString &startupName, const QString &linkName,
                        const QString &address, const QString &port, const QString &systemName,
                        const DeviceKeyChange &device = {}, QString *error = nullptr);

// The link settings as the file has them now (not as the running link has them after a
// fall-back to Simulated mode): the link kind's index in CommList (99 when not in it), the
// address, the port as the decimal text of its value, and the "Device" key.
struct LinkSettingsInFile {
    qint16 kind = 99;
    QString address;
    QString port;
    QString device;
};
LinkSettingsInFile ReadLinkSettings();
// Makes the link settings of the file (kind, address, port, device) the running ones, with the
// link list read earlier.
void LoadLinkSettings();

// The index of the first entry equal to `name` without regard to case; 99 when none is.
qint16 IndexInList(const QStringList &list, const QString &name);

// The fixed command tables, filled once at start-up.
const QStringList &IEEECommandTable();
const QStringList &SCPICommandTable();
void FillCommandTables();

} // namespace zop
