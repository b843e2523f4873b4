#include "core/regularfile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zop {

namespace {
bool Fail(QString *problem, const QString &why)
{
    if (problem)
        *problem = why;
    return false;
}

QString Describe(const QFileInfo &info)
{
    if (info.isDir())
        return QStringLiteral("It is a folder, not a file.");
    return QStringLiteral("It is not a regular file (a FIFO, a socket or a device).");
}

#ifdef Q_OS_UNIX
QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
#endif
} // namespace

bool IsRegularOrAbsent(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return !info.isSymLink(); // a dangling link is not absent: something stands there
#ifdef Q_OS_UNIX
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
#else
    return info.isFile();
#endif
}

std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxBytes, QString *problem)
{
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without waiting (a FIFO would wait for a writer), then looked at.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(problem, SystemReason(errno));
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        Fail(problem, Describe(QFileInfo(path)));
        return std::nullopt;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        Fail(problem, file.errorString());
        return std::nullopt;
    }
#else
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        Fail(problem, Describe(info));
        return std::nullopt;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(problem, file.errorString());
        return std::nullopt;
    }
#endif
    // One byte more than allowed tells a file that is too large from one that just fits.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        Fail(problem, file.errorString());
        return std::nullopt;
    }
    if (bytes.size() > maxBytes) {
        Fail(problem, QStringLiteral("It is larger than %1 bytes, more than such a file can be.")
                          .arg(maxBytes));
        return std::nullopt;
    }
    return bytes;
}

bool OpenRegularForWriting(QFile &file, const QString &path, QIODevice::OpenModeFlag mode,
                           QString *problem)
{
    // Unbuffered: a write that does not go in whole says so at once, not at a later flush.
    const QIODevice::OpenMode qtMode = QIODevice::WriteOnly | QIODevice::Unbuffered
        | (mode == QIODevice::Append ? QIODevice::Append : QIODevice::OpenModeFlag{});
#ifdef Q_OS_UNIX
    // No link followed, no wait on a FIFO without a reader; emptied only once it is known to be
    // a regular file, so a device or a file behind a link is never truncated.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC
                              | (mode == QIODevice::Append ? O_APPEND : 0),
                          0644);
    if (fd < 0) {
        const int error = errno;
        return Fail(problem, error == ELOOP ? QStringLiteral("It is a symbolic link.")
                                            : SystemReason(error));
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Fail(problem, Describe(QFileInfo(path)));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if ((mode == QIODevice::Truncate && ::ftruncate(fd, 0) != 0)
        || !file.open(fd, qtMode, QFileDevice::AutoCloseHandle)) {
        const int error = errno;
        ::close(fd);
        return Fail(problem, SystemReason(error));
    }
    return true;
#else
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return Fail(problem, info.isSymLink() ? QStringLiteral("It is a symbolic link.")
                                              : Describe(info));
    file.setFileName(path);
    if (!file.open(qtMode | (mode == QIODevice::Truncate ? QIODevice::Truncate : QIODevice::OpenModeFlag{})))
        return Fail(problem, file.errorString());
    return true;
#endif
}

} // namespace zop
