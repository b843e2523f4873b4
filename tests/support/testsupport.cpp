#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#ifdef Q_OS_UNIX
#include <grp.h>
#include <unistd.h>
#endif

namespace zop::test {

Unprivileged::Unprivileged()
{
#ifdef Q_OS_UNIX
    if (::geteuid() != 0)
        return;
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(std::max(n, 0)));
    if (n > 0 && ::getgroups(n, groups.data()) != n)
        return;
    m_groups.assign(groups.begin(), groups.end());
    m_wasRoot = true;
    constexpr uid_t Nobody = 65534;
    m_dropped = ::setgroups(0, nullptr) == 0 && ::setegid(Nobody) == 0 && ::seteuid(Nobody) == 0;
#endif
}

Unprivileged::~Unprivileged()
{
#ifdef Q_OS_UNIX
    if (!m_wasRoot)
        return;
    if (::seteuid(0) != 0 || ::setegid(0) != 0)
        qFatal("cannot return to root after running unprivileged");
    const std::vector<gid_t> groups(m_groups.begin(), m_groups.end());
    if (::setgroups(groups.size(), groups.data()) != 0)
        qFatal("cannot restore the groups after running unprivileged");
#endif
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

FileSizeLimit::FileSizeLimit(quint64 bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
{
    getrlimit(RLIMIT_FSIZE, &m_before);
    const rlimit limit{bytes, m_before.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_before);
    std::signal(SIGXFSZ, m_handler);
}

QString Fixture::debugText() const
{
    return QString::fromLatin1(FileBytes(path(QStringLiteral("debug.txt"))));
}

void Fixture::writeFile(const QString &name, const QByteArray &text) const
{
    QFile file(path(name));
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

} // namespace zop::test
