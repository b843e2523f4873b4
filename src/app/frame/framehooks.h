#pragma once
// What the panel frame leaves replaceable: how the program ends (tests watch it instead of
// ending) and the Configuration Setup dialog behind "Communication" > "Setup".

#include <functional>

class QWidget;

namespace zop {

using ProgramEnder = std::function<void()>;
// Null puts the real one back: it leaves the event loop at once (no window gets a close event),
// after which main() unloads the start form and ends.
void SetProgramEnder(ProgramEnder ender);
void EndProgram();

// Shows the Configuration Setup dialog modally over `parent` and returns when it closes.
using SetupDialogRunner = std::function<void(QWidget *parent)>;
// Until one is set, "Setup" does nothing.
void SetSetupDialog(SetupDialogRunner runner);
const SetupDialogRunner &SetupDialog();

} // namespace zop
