#pragma once
// What the panel frame leaves replaceable: how the program ends (tests watch it instead of
// ending), the Configuration Setup dialog behind "Communication" > "Setup", and how "About" >
// "User Guide" opens the guide (tests see which file, no browser starts).

#include <functional>

class QUrl;
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

// Opens a document in the desktop's viewer for its kind; false when none could be started.
using DocumentOpener = std::function<bool(const QUrl &)>;
// Null puts the real one back (QDesktopServices::openUrl).
void SetDocumentOpener(DocumentOpener opener);
bool OpenDocument(const QUrl &url);

} // namespace zop
