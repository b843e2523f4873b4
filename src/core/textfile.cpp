#include "core/textfile.h"

#include "core/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zop {

namespace {
// A file rewritten in place is read first, so that it can be put back: the largest kept.
constexpr qint64 MaxInPlaceBytes = 16 * 1024 * 1024;

// Writes `bytes` over the open file from its start and cuts it there; true when all of it is
// in the file.
bool Overwrite(QFile &file, const QByteArray &bytes)
{
    return file.seek(0) && file.resize(0) && file.write(bytes) == bytes.size() && file.flush()
           && file.size() == bytes.size();
}

bool WritableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isWritable();
}
} // namespace

QString RewriteFileInPlace(const QString &path, const QByteArray &bytes, const QString &tempProblem)
{
    QString problem;
    const std::optional<QByteArray> old = ReadRegularFile(path, MaxInPlaceBytes, &problem);
    QFile inPlace;
    if (!old || !OpenRegularForWriting(inPlace, path, QIODevice::Append, &problem))
        return QStringLiteral("The folder does not take a temporary file (%1) and the file "
                              "cannot be rewritten in place (%2); it was left as it was")
            .arg(tempProblem, problem);
    if (Overwrite(inPlace, bytes))
        return {};
    const QString written = inPlace.errorString();
    if (Overwrite(inPlace, *old))
        return QStringLiteral("The file could not be written in place (%1); it was left as it was")
            .arg(written);
    return QStringLiteral("The file could not be written in place (%1), nor its old content put "
                          "back")
        .arg(written);
}

QString WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile whole(path);
    if (!whole.open(QIODevice::WriteOnly)) {
        // The folder refuses a temporary file; an existing file that may be written is then
        // rewritten in place.
        const QString problem = whole.errorString();
        if (!WritableFile(path))
            return QStringLiteral("The file could not be created: %1").arg(problem);
        return RewriteFileInPlace(path, bytes, problem);
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
        return RewriteFileInPlace(path, bytes, problem);
    return QStringLiteral("The file could not be written: %1").arg(problem);
}

} // namespace zop
