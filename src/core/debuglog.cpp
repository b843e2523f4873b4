#include "core/debuglog.h"

#include "core/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace zop {

bool DebugLog::open(QFile &file, QIODevice::OpenModeFlag mode) const
{
    if (m_path.isEmpty())
        return false; // no log kept (and no file engine warning about an empty name)
    // The folder may be shared: a symbolic link planted as "debug.txt" would have the program
    // empty and write whatever file it points to, and a FIFO would stop it. Neither is touched;
    // the records go to the fall-back file instead, and the program says so once.
    QString refused;
    if (OpenRegularForWriting(file, m_path, mode, &refused))
        return true;
    const bool fallBackOpen = !m_fallBackPath.isEmpty() && m_fallBackPath != m_path
                              && QDir().mkpath(QFileInfo(m_fallBackPath).absolutePath())
                              && OpenRegularForWriting(file, m_fallBackPath, mode);
    if (!m_refusalTold && !IsRegularOrAbsent(m_path)) {
        m_refusalTold = true;
        std::fprintf(stderr, "%s: %s\n", qPrintable(QFileInfo(m_path).absoluteFilePath()),
                     qPrintable(refused + (fallBackOpen ? QStringLiteral(" Error records go to ")
                                                              + m_fallBackPath + QStringLiteral(".")
                                                        : QStringLiteral(" No error records are kept."))));
    }
    return fallBackOpen;
}

void DebugLog::appendRecord(const QString &record) const
{
    QFile file;
    if (!open(file, QIODevice::Append))
        return;
    // A record goes in whole or not at all: one cut short by a full disk is taken back.
    const QByteArray line = QByteArray("\"") + record.toLatin1() + "\"\r\n";
    const qint64 before = file.size();
    if (file.write(line) != line.size() || file.size() != before + line.size())
        file.resize(before);
}

void DebugLog::empty() const
{
    QFile file;
    if (open(file, QIODevice::Truncate))
        file.close();
}

} // namespace zop
