#include "frame/framehooks.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace zop {

namespace {
void LeaveEventLoop() { QCoreApplication::exit(0); }

ProgramEnder &Ender()
{
    static ProgramEnder ender = LeaveEventLoop;
    return ender;
}

bool OpenWithDesktop(const QUrl &url) { return QDesktopServices::openUrl(url); }

DocumentOpener &Opener()
{
    static DocumentOpener opener = OpenWithDesktop;
    return opener;
}

SetupDialogRunner &SetupRunner()
{
    static SetupDialogRunner runner;
    return runner;
}
} // namespace

void SetProgramEnder(ProgramEnder ender) { Ender() = ender ? std::move(ender) : LeaveEventLoop; }

void EndProgram()
{
    const ProgramEnder ender = Ender();
    ender();
}

void SetSetupDialog(SetupDialogRunner runner) { SetupRunner() = std::move(runner); }
const SetupDialogRunner &SetupDialog() { return SetupRunner(); }

void SetDocumentOpener(DocumentOpener opener)
{
    Opener() = opener ? std::move(opener) : OpenWithDesktop;
}

bool OpenDocument(const QUrl &url)
{
    const DocumentOpener opener = Opener();
    return opener(url);
}

} // namespace zop
