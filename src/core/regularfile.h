#pragma once
// Files are used only when they are what they seem. A name typed by the user or found in a
// shared folder may stand for a FIFO (whose opening waits for a writer that never comes), a
// device that never ends (/dev/zero), a folder, or a symbolic link planted by another user:
// these helpers refuse them before anything of them is used, and never block doing so.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <optional>

class QFile;

namespace zop {

// The whole of `path` when it is a regular file (a link to one counts) of at most `maxBytes`
// bytes; otherwise nothing, with the reason in `problem` (as a message can show it).
std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxBytes,
                                          QString *problem = nullptr);

// True when nothing stands at `path`, or a regular file does (a link to one counts).
bool IsRegularOrAbsent(const QString &path);

// Opens `path` for writing into `file` (made when missing) without following a symbolic link:
// a link, a FIFO, a device or a folder there is refused and left untouched. `mode` is
// QIODevice::Append or QIODevice::Truncate (the file is emptied only once it is known to be a
// regular file); writes go straight to the file (unbuffered). False with the reason in
// `problem`.
bool OpenRegularForWriting(QFile &file, const QString &path, QIODevice::OpenModeFlag mode,
                           QString *problem = nullptr);

} // namespace zop
