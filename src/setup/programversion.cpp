#include "setup/programversion.h"

#include <QStringList>

namespace zop {

QString ProgramVersionText()
{
    return QString::number(ProgramMajorVersion) + QLatin1Char('.')
         + QString::number(ProgramMinorVersion);
}

VersionNumbers ParseVersion(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    bool majorOk = false;
    bool minorOk = parts.size() < 2;
    VersionNumbers v;
    const int major = parts.value(0).toInt(&majorOk);
    const int minor = parts.size() >= 2 ? parts.at(1).toInt(&minorOk) : 0;
    if (majorOk && minorOk && major >= 0 && minor >= 0) {
        v.major = major;
        v.minor = minor;
    }
    return v;
}

} // namespace zop
