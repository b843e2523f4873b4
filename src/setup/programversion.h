#pragma once
// The program's own version: major 1, minor 25, revision 1 ("1.25.0001").

#include <QString>

namespace zop {

constexpr int ProgramMajorVersion = 1;
constexpr int ProgramMinorVersion = 25;
constexpr int ProgramRevision = 1;

// "1.25": what the program reports as QCoreApplication::applicationVersion().
QString ProgramVersionText();

// The major and minor numbers of a version text ("1.25", "1.25.0001", "02.05"); the program's
// own numbers when the text holds none.
struct VersionNumbers {
    int major = ProgramMajorVersion;
    int minor = ProgramMinorVersion;
};
VersionNumbers ParseVersion(const QString &text);

} // namespace zop
