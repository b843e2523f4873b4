#include "app/programfolder.h"

#include "app/configuration.h"
#include "app/firstrun.h"
#include "core/debuglog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace zop {

QString InstalledDefaultsFolder(const QString &executableFolder)
{
    const QDir bin(executableFolder);
    if (bin.dirName() != QLatin1String("bin") || bin.exists(ConfigFileName))
        return QString();
    const QString defaults = QDir::cleanPath(bin.filePath(QStringLiteral("../share/zop-panel")));
    return QFileInfo::exists(QDir(defaults).filePath(ConfigFileName)) ? defaults : QString();
}

QString UserProgramFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("zop-panel"));
}

bool FillFromDefaults(const QString &folder, const QString &defaults, QStringList *copied)
{
    QDir target(folder);
    if (!target.mkpath(QStringLiteral(".")))
        return false;
    const QDir source(defaults);
    for (const QString &name : source.entryList(QDir::Files)) {
        const QString to = target.filePath(name);
        if (QFileInfo::exists(to))
            continue;
        // The shipped files are read-only in /usr; the user's copy must be writable.
        if (QFile::copy(source.filePath(name), to)) {
            QFile::setPermissions(to,
                                  QFile::permissions(to) | QFile::WriteOwner | QFile::ReadOwner);
            if (copied)
                copied->append(name);
        }
    }
    return true;
}

QString DefaultProgramFolder(const QString &executableFolder)
{
    const QString defaults = InstalledDefaultsFolder(executableFolder);
    if (defaults.isEmpty())
        return QDir(executableFolder).absolutePath();
    const QString folder = UserProgramFolder();
    QStringList copied;
    FillFromDefaults(folder, defaults, &copied);
    if (copied.contains(ConfigFileName))
        NoteLinkSetupDue(folder);
    return folder;
}

QString DebugFilePath(const QString &executableFolder, const QString &programFolder)
{
    if (InstalledDefaultsFolder(executableFolder).isEmpty())
        return DebugFileName;
    return QDir(programFolder).filePath(DebugFileName);
}

} // namespace zop
