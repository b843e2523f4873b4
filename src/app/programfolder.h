#pragma once
// The program folder: where "ZOP_Panel.ini", "QMX_Panel.ini" and the pictures are.
//
// A program run from its build folder (or any folder holding its own "ZOP_Panel.ini") uses the
// folder of its executable. A program run from an installed location (the executable in a
// "bin" folder whose "../share/zop-panel" holds the shipped defaults) cannot write there, so it
// uses a per-user folder instead ($XDG_CONFIG_HOME/zop-panel, normally ~/.config/zop-panel),
// made from the shipped defaults on first start. `--dir DIR` overrides both.

#include <QString>
#include <QStringList>

namespace zop {

// The shipped defaults of an installed program whose executable is in `executableFolder`;
// empty when the program is not installed that way.
QString InstalledDefaultsFolder(const QString &executableFolder);

// The per-user program folder of an installed program.
QString UserProgramFolder();

// Copies every file of `defaults` that `folder` lacks into it, making the folder first. Files
// already there (the user's own settings) are kept. False when the folder cannot be made.
// `copied`, when given, receives the names of the files copied.
bool FillFromDefaults(const QString &folder, const QString &defaults,
                      QStringList *copied = nullptr);

// The program folder for an executable in `executableFolder` when no --dir is given; prepares
// the per-user folder when the program is installed. When it makes "ZOP_Panel.ini" there from
// the shipped defaults, it notes that the panel's first-start question is due (firstrun.h).
QString DefaultProgramFolder(const QString &executableFolder);

// Where "debug.txt" goes: run from its build folder, the current folder (a bare name); when
// installed, the program folder beside "ZOP_Panel.ini" (normally the per-user folder), not
// whatever folder the program was started from.
QString DebugFilePath(const QString &executableFolder, const QString &programFolder);

} // namespace zop
