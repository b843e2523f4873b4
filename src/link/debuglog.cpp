#include "link/debuglog.h"

#include <QFile>

namespace zop {

bool DebugLog::open(QFile &file, QIODevice::OpenMode mode) const
{
    if (m_path.isEmpty())
        return false; // no log kept (and no file engine warning about an empty name)
    file.setFileName(m_path);
    return file.open(mode);
}

void DebugLog::appendRecord(const QString &record) const
{
    QFile file;
    if (!open(file, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
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
    if (open(file, QIODevice::WriteOnly | QIODevice::Truncate))
        file.close();
}

} // namespace zop
