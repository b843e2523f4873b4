#pragma once
// The application title: the title of every message box that names no other, and the prefix
// of every file-dialog title.

#include <QString>

namespace zop {

inline const QString ApplicationTitle = QStringLiteral("ZOP Panel");

} // namespace zop
