#pragma once
// A device node the system refuses to open for lack of permission (a serial port or a GPIB
// board owned by a group the user is not in): what to tell the user, from the node itself.

#include <QString>

namespace zop {

// True when the calling process may not read and write `path` (the system says so, the way it
// would refuse the opening). False when it may, or when `path` does not exist.
bool DeviceAccessRefused(const QString &path);

// What to do about it: "add your user to the group dialout, then log in again", with the
// group that owns the node (`fallbackGroup` when the node cannot be looked at). A node whose
// group may not read and write it either is open to its owner only: then the administrator
// must give access.
QString DeviceAccessAdvice(const QString &path, const QString &fallbackGroup);

// The whole reason, as the fall-back's details, "debug.txt" and zopctl give it:
// "Permission to open /dev/ttyUSB0 was refused: add your user to the group dialout, then log
// in again".
QString DeviceAccessRefusedText(const QString &path, const QString &fallbackGroup);

} // namespace zop
