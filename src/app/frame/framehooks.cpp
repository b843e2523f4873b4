#include "app/frame/framehooks.h"

#include <QCoreApplication>

namespace zop {

namespace {
void LeaveEventLoop() { QCoreApplication::exit(0); }

ProgramEnder &Ender()
{
    static ProgramEnder ender = LeaveEventLoop;
    return ender;
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

} // namespace zop
