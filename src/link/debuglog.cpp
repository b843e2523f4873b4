#include "link/debuglog.h"

#include <QFile>

namespace zop {

void DebugLog::appendRecord(const QString &record) const
{
    if (m_path.isEmpty())
        return; // no log kept (and no file engine warning about an empty name)
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    // A record goes in whole or not at all: one cut short by a full disk is taken back.
    const QByteArray line = QByteArray("\"") + record.toLatin1() + "\"\r\n";
    const qint64 before = file.size();
    if (file.write(line) != line.size() || file.size() != before + line.size())
        file.resize(before);
}

void DebugLog::empty() const
{
    if (m_path.isEmpty())
        return;
    QFile file(m_path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.close();
}

} // namespace zop
