#include "link/debuglog.h"

#include <QFile>

namespace zop {

void DebugLog::appendRecord(const QString &record) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(QByteArray("\"") + record.toLatin1() + "\"\r\n");
}

void DebugLog::empty() const
{
    QFile file(m_path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.close();
}

} // namespace zop
