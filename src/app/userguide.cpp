#include "app/userguide.h"

#include "app/programfolder.h"

#include <QDir>
#include <QFileInfo>

namespace zop {

QStringList UserGuideCandidates(const QString &executableFolder, const QString &sourceGuide)
{
    if (InstalledDefaultsFolder(executableFolder).isEmpty())
        return sourceGuide.isEmpty() ? QStringList() : QStringList{QDir::cleanPath(sourceGuide)};
    const QDir doc(QDir::cleanPath(
        QDir(executableFolder).filePath(QStringLiteral("../share/doc/zop-panel"))));
    return {doc.filePath(UserGuideName + QStringLiteral(".html")),
            doc.filePath(UserGuideName + QStringLiteral(".md"))};
}

QString FindUserGuide(const QStringList &candidates)
{
    for (const QString &path : candidates) {
        const QFileInfo info(path);
        if (info.isFile() && info.isReadable())
            return info.absoluteFilePath();
    }
    return QString();
}

QString UserGuideMissingText(const QStringList &candidates)
{
    QString text = QStringLiteral("The user guide was not found. It was looked for at:");
    for (const QString &path : candidates)
        text += QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    if (candidates.isEmpty())
        text += QStringLiteral("\r\n(no place is known to this build)");
    return text;
}

} // namespace zop
