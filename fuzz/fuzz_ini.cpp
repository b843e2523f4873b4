// The INI reader on any file: the program's own configuration as start-up reads it, single
// keys with small buffers, and a key written into the file and read back.

#include "app/configuration.h"
#include "app/inifile.h"
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

    for (int buffer : {0, 1, 5, 255}) {
        const QString value = ReadProfileString(path, QStringLiteral("communication"),
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
    return 0;
}
