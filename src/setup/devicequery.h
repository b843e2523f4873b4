#pragma once
// Reading one setting of the connected instrument, as the device settings dialogs do it.

#include <QString>

namespace zop {

// Seconds the device settings dialogs wait for each reply.
constexpr qint16 DeviceReplySeconds = 2;

// Sends `header` + "?" (echoed to the log) and reads the reply (2 s, echoed), with every
// carriage return and line feed removed.
QString QuerySetting(const QString &header);
// The same, with the reply as received.
QString QuerySettingRaw(const QString &header);

} // namespace zop
