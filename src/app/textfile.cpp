#include "app/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zop {

namespace {
// Rewrites an existing file in place; empty on success, else what failed.
QString WriteInPlace(const QString &path, const QByteArray &bytes, const QString &tempProblem)
{
    QFile inPlace(path);
    if (!inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("The folder does not take a temporary file (%1) and the file "
                              "cannot be opened for writing (%2)")
            .arg(tempProblem, inPlace.errorString());
    if (inPlace.write(bytes) != bytes.size() || !inPlace.flush())
        return QStringLiteral("The file could not be written in place: %1")
            .arg(inPlace.errorString());
    return {};
}

bool WritableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isWritable();
}
} // namespace

QString WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile whole(path);
    if (!whole.open(QIODevice::WriteOnly)) {
        // The folder refuses a temporary file; an existing file that may be written is then
        // rewritten in place.
        const QString problem = whole.errorString();
        if (!WritableFile(path))
            return QStringLiteral("The file could not be created: %1").arg(problem);
        return WriteInPlace(path, bytes, problem);
    }
    // A full disk or the file size limit can cut a write short without an error from the
    // write itself: the size of the new file decides before it takes the old one's place.
    const bool complete = whole.write(bytes) == bytes.size() && whole.flush()
                          && whole.size() == bytes.size();
    if (!complete) {
        const QString problem = whole.error() != QFileDevice::NoError
                                    ? whole.errorString()
                                    : QStringLiteral("only part of it could be written (is the "
                                                     "disk full?)");
        whole.cancelWriting(); // the temporary file goes; the old file stays as it was
        return QStringLiteral("The file could not be written: %1").arg(problem);
    }
    if (whole.commit())
        return {};
    // Written whole but not put in the file's place (the folder refuses the new name): the
    // data fits, so it goes into the file itself.
    const QString problem = whole.errorString();
    if (WritableFile(path))
        return WriteInPlace(path, bytes, problem);
    return QStringLiteral("The file could not be written: %1").arg(problem);
}

} // namespace zop
