#pragma once
// INI files read and written the way the Windows private-profile functions do it: sections in
// square brackets, one "key=value" per line, section and key names matched without regard to
// case, the first match wins, blanks around names and values dropped, one pair of enclosing
// quotes removed, values cut to the caller's buffer. Writing a key keeps every other line of
// the file (comments, other sections, hand-edited lists) and replaces the file atomically.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zop {

// The value of `key` in `section`, or `defaultValue` when the file, the section or the key is
// missing; at most `bufferSize` - 1 characters are returned (the buffer also holds the NUL).
QString ReadProfileString(const QString &path, const QString &section, const QString &key,
                          const QString &defaultValue, int bufferSize);

// The lines of an INI file's text, whatever its line ends.
QStringList ProfileLines(const QString &text);
// ReadProfileString over the lines of a file already read (many keys of one file, or a file in
// another encoding).
QString ProfileValue(const QStringList &lines, const QString &section, const QString &key,
                     const QString &defaultValue, int bufferSize);

// No settings file or modulation table comes near this size: a larger one (or /dev/zero) is
// not read at all.
constexpr qint64 MaxProfileFileBytes = 1024 * 1024;

// The lines of the file at `path`; none when it cannot be read, is not a regular file or is
// larger than MaxProfileFileBytes (every key then reads as its default).
QStringList ReadProfileLines(const QString &path);

// The keys of one section gathered in one pass over the lines, for reading many keys of it: a
// value reads as ProfileValue reads it (the first section of that name, its first key of that
// name), without a pass over the whole file for every key.
class ProfileSection {
public:
    ProfileSection(const QStringList &lines, const QString &section);
    QString value(const QString &key, const QString &defaultValue, int bufferSize) const;

private:
    QHash<QString, QString> m_values; // by case-folded key name
};

// Sets `key` of `section` to `value`, adding the section or the key where missing. Returns
// false when the file cannot be written (the old file is then left as it was).
bool WriteProfileString(const QString &path, const QString &section, const QString &key,
                        const QString &value);

// One change of a key: a value to set, or none to remove the key.
struct ProfileEdit {
    QString section;
    QString key;
    std::optional<QString> value;
};
// Makes all changes, in order, in one atomic replacement of the file: either every change is
// in the file afterwards or none is. A file that exists but may not be written (read-only) is
// refused as the private-profile writer refuses it. Returns false with the reason in `error`.
bool WriteProfileStrings(const QString &path, const QList<ProfileEdit> &edits,
                         QString *error = nullptr);

} // namespace zop
