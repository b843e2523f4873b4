// The INI reader on any file: the program's own configuration as start-up reads it, single
// keys with small buffers, a key written into the file and read back, and a section's keys read
// in one pass as they read one at a time.

#include "app/configuration.h"
#include "core/inifile.h"
#include "app/moddata.h"
#include "fuzzinput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace zop;

namespace {
QTemporaryDir *Folder()
{
    // In memory where the machine has it: every run writes the file.
    static QTemporaryDir *dir = new QTemporaryDir(
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zop-fuzz-ini-XXXXXX")
                                                  : QDir::tempPath() + QStringLiteral("/zop-fuzz-ini-XXXXXX"));
    return dir;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString folder = Folder()->path();
    const QString path = folder + QStringLiteral("/ZOP_Panel.ini");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzz::Fail("the scratch file opens");
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    ResetModData();
    modData().ProgramFolder = folder;
    ReadConfiguration();

    const QStringList fileLines = ReadProfileLines(path);
    for (int buffer : {0, 1, 5, 255}) {
        const QString value = ProfileValue(fileLines, QStringLiteral("communication"),
                                           QStringLiteral("ADDRESS"), QStringLiteral("none"), buffer);
        if (value.size() > qMax(0, buffer - 1))
            fuzz::Fail("a value fits its buffer");
    }

    // Writing a key keeps the file readable and gives the key back.
    const QString written = QStringLiteral("127.0.0.1");
    if (!WriteProfileString(path, QStringLiteral("Communication"), QStringLiteral("Address"), written))
        fuzz::Fail("the scratch file is written");
    if (ReadProfileString(path, QStringLiteral("Communication"), QStringLiteral("Address"), QString(), 255)
        != written)
        fuzz::Fail("a written key reads back");
    // The names the file holds, in either decoding a file may have, and in capitals.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &text : {QString::fromLatin1(bytes), QString::fromUtf8(bytes)}) {
        const QStringList lines = ProfileLines(text);
        QStringList sections, keys;
        for (const QString &line : lines) {
            const QString t = line.trimmed();
            if (t.startsWith(QLatin1Char('[')) && sections.size() < 4)
                sections << t.mid(1, t.indexOf(QLatin1Char(']')) - 1) << t.mid(1).toUpper();
            else if (line.contains(QLatin1Char('=')) && keys.size() < 8)
                keys << line.left(line.indexOf(QLatin1Char('='))) << line.section(u'=', 0, 0).toUpper();
        }
        for (const QString &section : std::as_const(sections)) {
            const ProfileSection gathered(lines, section);
            for (const QString &key : std::as_const(keys)) {
                if (gathered.value(key, QStringLiteral("none"), 255)
                    != ProfileValue(lines, section, key, QStringLiteral("none"), 255))
                    fuzz::Fail("a key reads the same from its gathered section");
            }
        }
    }
    return 0;
}
