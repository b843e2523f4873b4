#pragma once
// Intel HEX files for the loader's tests and benchmark, written here without the program's own
// code, and data to fill them with.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace zop::test {

// Intel HEX text of `image` at `base`, 16 bytes a record, an extended linear address record
// before each 64 KiB page, an end record and a final line feed.
inline QByteArray HexText(const QByteArray &image, quint32 base = 0)
{
    QByteArray text;
    auto record = [&text](int type, quint16 address, const QByteArray &data) {
        QByteArray r;
        r.append(char(data.size()));
        r.append(char(address >> 8));
        r.append(char(address));
        r.append(char(type));
        r += data;
        int sum = 0;
        for (const char c : r)
            sum += quint8(c);
        r.append(char(-sum));
        text += ':' + r.toHex().toUpper() + "\r\n";
    };
    int page = 0;
    for (qsizetype at = 0; at < image.size(); at += 16) {
        const quint32 address = base + quint32(at);
        if (int(address >> 16) != page) {
            page = int(address >> 16);
            record(4, 0, QByteArray::fromHex(QByteArray::number(page, 16).rightJustified(4, '0')));
        }
        record(0, quint16(address), image.mid(at, 16));
    }
    record(1, 0, {});
    return text;
}

// Bytes that differ from record to record (and include the escaped values).
inline QByteArray Pattern(int size, int seed = 7)
{
    QByteArray bytes(size, '\0');
    quint32 x = quint32(seed);
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return bytes;
}

// Runs `program` (found on the path, or a full path) in `folder`; true when it exited with 0.
inline bool RunTool(const QString &program, const QStringList &arguments, const QString &folder)
{
    const QString found = program.startsWith(QLatin1Char('/'))
        ? program
        : QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return false;
    QProcess tool;
    tool.setWorkingDirectory(folder);
    tool.start(found, arguments);
    return tool.waitForFinished(20000) && tool.exitStatus() == QProcess::NormalExit
        && tool.exitCode() == 0;
}

// The flash image a boot loader of `flashSize` bytes holds after programming the HEX file at
// `hexPath` (whose data starts at address 0), as objcopy (binutils) makes it: erased bytes
// 0xFF, and the data records at 0000 of page 0, which the run never sends, left erased.
// `scratch` is a file objcopy may write. Empty when objcopy is missing or fails.
inline QByteArray ObjcopyFlashImage(const QString &hexPath, const QString &scratch, int flashSize)
{
    QFile file(scratch);
    QFile hex(hexPath);
    if (!RunTool(QStringLiteral("objcopy"),
                 {QStringLiteral("-I"), QStringLiteral("ihex"), QStringLiteral("-O"),
                  QStringLiteral("binary"), QStringLiteral("--gap-fill"), QStringLiteral("0xFF"),
                  hexPath, scratch},
                 QString())
        || !file.open(QIODevice::ReadOnly) || !hex.open(QIODevice::ReadOnly))
        return {};
    QByteArray image = file.readAll();
    if (image.size() > flashSize)
        return {};
    image.append(QByteArray(flashSize - image.size(), char(0xFF)));
    bool pageZero = true;
    for (const QByteArray &line : hex.readAll().split('\n')) {
        if (line.mid(7, 2) == "04")
            pageZero = line.mid(9, 4) == "0000";
        else if (pageZero && line.mid(3, 6) == "000000")
            image.replace(0, line.mid(1, 2).toInt(nullptr, 16),
                          QByteArray(line.mid(1, 2).toInt(nullptr, 16), char(0xFF)));
    }
    return image;
}

} // namespace zop::test
