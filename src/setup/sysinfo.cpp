#include "setup/sysinfo.h"

#include "app/moddata.h"
#include "core/apptitle.h"

#include <QProcess>
#include <QStandardPaths>

namespace zop {

namespace {
std::shared_ptr<ProgramLauncher> &Launcher()
{
    static std::shared_ptr<ProgramLauncher> launcher = std::make_shared<ProgramLauncher>();
    return launcher;
}
} // namespace

const QStringList &SystemInfoViewers()
{
    static const QStringList viewers{
        QStringLiteral("hardinfo2"),           QStringLiteral("hardinfo"),
        QStringLiteral("kinfocenter"),         QStringLiteral("lshw-gtk"),
        QStringLiteral("gnome-system-monitor"), QStringLiteral("plasma-systemmonitor"),
        QStringLiteral("ksysguard"),
    };
    return viewers;
}

QString ProgramLauncher::findProgram(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

bool ProgramLauncher::startProgram(const QString &path) { return QProcess::startDetached(path, {}); }

void SetProgramLauncher(std::shared_ptr<ProgramLauncher> launcher)
{
    Launcher() = launcher ? std::move(launcher) : std::make_shared<ProgramLauncher>();
}

bool StartSysInfo()
{
    const std::shared_ptr<ProgramLauncher> launcher = Launcher();
    for (const QString &name : SystemInfoViewers()) {
        const QString path = launcher->findProgram(name);
        if (!path.isEmpty() && launcher->startProgram(path))
            return true;
    }
    modData().prompter->Show(SysInfoUnavailable, ApplicationTitle, MsgIcon::None,
                             MsgButtons::Ok);
    return false;
}

} // namespace zop
