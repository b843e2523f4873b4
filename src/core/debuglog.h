#pragma once
// "debug.txt": the error log of the communication layer. Each record is written as one quoted
// text item followed by CR LF; the file is emptied at the end of every start-up.

#include <QIODevice>
#include <QString>

class QFile;

namespace zop {

inline const QString DebugFileName = QStringLiteral("debug.txt");

class DebugLog {
public:
    // A bare name is a file in the current folder.
    explicit DebugLog(QString path = DebugFileName) : m_path(std::move(path)) {}

    QString path() const { return m_path; }
    // An empty path keeps no log (the command line reports failures on standard error).
    void setPath(const QString &path) { m_path = path; }
    // Where the records go when the path holds a symbolic link, a FIFO or anything else that is
    // not a regular file (which is never touched); none by default.
    void setFallBackPath(const QString &path) { m_fallBackPath = path; }

    // Appends `"` + record + `"` + CR LF. Failures to write are ignored: the log must never
    // take the program down with it.
    void appendRecord(const QString &record) const;
    // Replaces the file with an empty one.
    void empty() const;

private:
    // Every opening of the file goes through here.
    bool open(QFile &file, QIODevice::OpenModeFlag mode) const;

    QString m_path;
    QString m_fallBackPath;
    mutable bool m_refusalTold = false;
};

} // namespace zop
