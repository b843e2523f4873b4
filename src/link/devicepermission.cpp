#include "link/devicepermission.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zop {

bool DeviceAccessRefused(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray file = QFile::encodeName(path);
    // The effective user and groups, as open() checks them.
    if (::euidaccess(file.constData(), R_OK | W_OK) == 0)
        return false;
    return errno == EACCES || errno == EPERM;
#else
    Q_UNUSED(path);
    return false;
#endif
}

QString DeviceAccessAdvice(const QString &path, const QString &fallbackGroup)
{
    QString group = fallbackGroup;
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        const struct group *entry = ::getgrgid(info.st_gid);
        group = entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(info.st_gid);
        const mode_t groupReadWrite = S_IRGRP | S_IWGRP;
        if ((info.st_mode & groupReadWrite) != groupReadWrite) {
            const struct passwd *owner = ::getpwuid(info.st_uid);
            return QStringLiteral("only its owner %1 may use it: ask your administrator for access")
                .arg(owner ? QString::fromLocal8Bit(owner->pw_name)
                           : QString::number(info.st_uid));
        }
    }
#else
    Q_UNUSED(path);
#endif
    return QStringLiteral("add your user to the group %1, then log in again").arg(group);
}

QString DeviceAccessRefusedText(const QString &path, const QString &fallbackGroup)
{
    return QStringLiteral("Permission to open %1 was refused: %2")
        .arg(path, DeviceAccessAdvice(path, fallbackGroup));
}

} // namespace zop
