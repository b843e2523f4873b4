#pragma once
// Where the user guide is: "About" > "User Guide" (F1) opens the first of these that exists.
//
// An installed program (see programfolder.h) has it in share/doc/zop-panel beside its bin
// folder: the page rendered at build time when the build could render one, else the text
// itself. A program run from its build tree opens docs/user-guide.md of the source tree it was
// built from.

#include <QString>
#include <QStringList>

namespace zop {

inline const QString UserGuideName = QStringLiteral("user-guide");

// The places to look, best first, for an executable in `executableFolder`; `sourceGuide` is
// the source tree's docs/user-guide.md (used only when the program is not installed).
QStringList UserGuideCandidates(const QString &executableFolder, const QString &sourceGuide);

// The first candidate that is a readable regular file; empty when there is none.
QString FindUserGuide(const QStringList &candidates);

// The message shown when no guide was found: where it was looked for.
QString UserGuideMissingText(const QStringList &candidates);

} // namespace zop
