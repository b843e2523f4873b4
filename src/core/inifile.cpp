#include "core/inifile.h"
#include "core/regularfile.h"
#include "core/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <optional>

namespace zop {

namespace {

struct Lines {
    QStringList lines;
    QString eol = QStringLiteral("\r\n");
};

std::optional<Lines> LoadLines(const QString &path, QString *problem = nullptr)
{
    // A FIFO, a device or a file far larger than any settings file reads as no file.
    const std::optional<QByteArray> bytes = ReadRegularFile(path, MaxProfileFileBytes, problem);
    if (!bytes)
        return std::nullopt;
    const QString text = QString::fromLatin1(*bytes);
    Lines result;
    if (!text.contains(QLatin1String("\r\n")) && text.contains(QLatin1Char('\n')))
        result.eol = QStringLiteral("\n");
    result.lines = ProfileLines(text);
    return result;
}

// The section name of a "[name]" line, or nothing for other lines. Views into the line: a
// lookup runs through every line of the file.
std::optional<QStringView> SectionName(const QString &line)
{
    const QStringView trimmed = QStringView(line).trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}

// The key of a "key=value" line, or nothing.
std::optional<QStringView> KeyName(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return QStringView(line).left(eq).trimmed();
}

QString Unquote(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// The value of a "key=value" line: blanks around it dropped, one pair of quotes removed.
QString LineValue(const QString &line)
{
    return Unquote(line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed());
}

// How many characters a caller's buffer keeps: one place holds the closing NUL.
int BufferKeeps(int bufferSize)
{
    return bufferSize > 0 ? bufferSize - 1 : 0;
}

struct Place {
    qsizetype section = -1; // line of the section heading
    qsizetype end = -1;     // one past the section's last line
    qsizetype key = -1;     // line of the key, when present
};

Place Find(const QStringList &lines, const QString &section, const QString &key)
{
    Place place;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i]);
        if (place.section < 0) {
            if (name && name->compare(section, Qt::CaseInsensitive) == 0)
                place.section = i;
            continue;
        }
        if (name) {
            place.end = i;
            break;
        }
        const auto k = KeyName(lines[i]);
        if (place.key < 0 && k && k->compare(key, Qt::CaseInsensitive) == 0)
            place.key = i;
    }
    if (place.section >= 0 && place.end < 0)
        place.end = lines.size();
    return place;
}

} // namespace

QStringList ProfileLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    // A final line break leaves one empty entry behind it: not a line of the file.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString ProfileValue(const QStringList &lines, const QString &section, const QString &key,
                     const QString &defaultValue, int bufferSize)
{
    const Place place = Find(lines, section.trimmed(), key.trimmed());
    return (place.key >= 0 ? LineValue(lines[place.key]) : defaultValue).left(BufferKeeps(bufferSize));
}

QStringList ReadProfileLines(const QString &path)
{
    auto file = LoadLines(path);
    return file ? std::move(file->lines) : QStringList();
}

ProfileSection::ProfileSection(const QStringList &lines, const QString &section)
{
    const QString wanted = section.trimmed();
    qsizetype i = 0;
    for (; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i]);
        if (name && name->compare(wanted, Qt::CaseInsensitive) == 0)
            break;
    }
    for (++i; i < lines.size() && !SectionName(lines[i]); ++i) {
        const auto key = KeyName(lines[i]);
        if (!key)
            continue;
        QString name = key->toString().toCaseFolded();
        if (!m_values.contains(name))
            m_values.insert(std::move(name), LineValue(lines[i]));
    }
}

QString ProfileSection::value(const QString &key, const QString &defaultValue, int bufferSize) const
{
    const auto found = m_values.constFind(key.trimmed().toCaseFolded());
    return (found != m_values.cend() ? *found : defaultValue).left(BufferKeeps(bufferSize));
}

QString ReadProfileString(const QString &path, const QString &section, const QString &key,
                          const QString &defaultValue, int bufferSize)
{
    return ProfileValue(ReadProfileLines(path), section, key, defaultValue, bufferSize);
}

bool WriteProfileString(const QString &path, const QString &section, const QString &key,
                        const QString &value)
{
    return WriteProfileStrings(path, {{section, key, value}});
}

bool WriteProfileStrings(const QString &path, const QList<ProfileEdit> &edits, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(path);
    if (info.exists() && !info.isWritable())
        return fail(QStringLiteral("the file is read-only"));

    // What cannot be read whole is not replaced by the few keys written here.
    QString unreadable;
    std::optional<Lines> read = LoadLines(path, &unreadable);
    if (!read && QFileInfo(path).exists())
        return fail(QStringLiteral("the file cannot be read (%1)").arg(unreadable));
    Lines file = read.value_or(Lines{});
    for (const ProfileEdit &edit : edits) {
        const Place place = Find(file.lines, edit.section, edit.key);
        if (!edit.value) {
            if (place.key >= 0)
                file.lines.removeAt(place.key);
            continue;
        }
        const QString entry = edit.key + QLatin1Char('=') + *edit.value;
        if (place.key >= 0) {
            file.lines[place.key] = entry;
        } else if (place.section >= 0) {
            // After the section's last non-blank line, so a blank line before the next section
            // stays.
            qsizetype at = place.end;
            while (at > place.section + 1 && file.lines[at - 1].trimmed().isEmpty())
                --at;
            file.lines.insert(at, entry);
        } else {
            file.lines << QLatin1Char('[') + edit.section + QLatin1Char(']') << entry;
        }
    }

    QByteArray bytes;
    for (const QString &line : file.lines)
        bytes += line.toLatin1() + file.eol.toLatin1();
    const QString problem = WriteWholeFile(path, bytes);
    if (!problem.isEmpty())
        return fail(problem);
    return true;
}

} // namespace zop
