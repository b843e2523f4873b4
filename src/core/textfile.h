#pragma once
// Writing a file whole: the program never leaves half a file behind where it can help it.

#include <QByteArray>
#include <QString>

namespace zop {

// Makes `bytes` the whole content of `path`: written to a temporary file beside it, then
// renamed over the old one, so a crash or a full disk leaves the old file as it was. When the
// folder does not take a temporary file (a folder the user may not write to) but the file
// exists and may be written, it is rewritten in place instead. Returns an empty text on
// success, else what failed, in words for the user.
QString WriteWholeFile(const QString &path, const QByteArray &bytes);

// The in-place rewrite WriteWholeFile falls back to: the old content is read first and put
// back when the new one does not go in whole (a full disk, a file-size limit), so the file is
// never left empty or cut short. `tempProblem` says why no temporary file could be used (for
// the message). Empty text on success, else what failed.
QString RewriteFileInPlace(const QString &path, const QByteArray &bytes, const QString &tempProblem);

} // namespace zop
