#pragma once
// The Windows 8-bit code page (Windows-1252), for files people exchange with Windows machines.
// Every byte decodes to one character and back: the five bytes the code page leaves undefined
// (81, 8D, 8F, 90, 9D) become the control characters of the same number, as Windows does. A
// character below 0x100 that the code page has no place for (the other control characters
// 80 to 9F, as Latin-1 text from an instrument may hold them) is written as its own byte, so
// instrument text stays 8-bit from the wire to the file; any other character becomes "?".

#include <QByteArray>
#include <QString>

namespace zop {

QString FromWindows1252(const QByteArray &bytes);
QByteArray ToWindows1252(const QString &text);

} // namespace zop
