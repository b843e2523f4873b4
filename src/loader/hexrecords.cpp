#include "loader/hexrecords.h"

#include "core/regularfile.h"

#include <QFileInfo>

namespace zop {

namespace {
const QString ErrorSource = QStringLiteral("ZOP Panel");

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

bool NeedsEscape(quint8 b)
{
    return b == LoaderByte::End || b == LoaderByte::Escape || b == LoaderByte::Start;
}

QString Hex2(int value) { return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }
} // namespace

QStringList SplitHexText(const QByteArray &text)
{
    QString s = QString::fromLatin1(text);
    s.remove(QLatin1Char('\r'));
    return s.split(QLatin1Char('\n'));
}

int Get_File(const QString &path, QStringList &lines)
{
    lines.clear();
    if (path.size() < 5)
        return 0;
    // A FIFO would stop the window in its opening, and /dev/zero or a huge file would fill the
    // memory: neither is read.
    QString problem;
    const std::optional<QByteArray> text = ReadRegularFile(path, MaxHexFileBytes, &problem);
    if (!text) {
        const bool missing = !QFileInfo::exists(path);
        throw LoaderError{ErrorSource,
                          (missing ? QStringLiteral("File not found: ") : QStringLiteral("Cannot read "))
                              + path + QStringLiteral(" (") + problem + QLatin1Char(')'),
                          missing ? LoaderErrorNumber::FileNotFound : LoaderErrorNumber::CannotRead};
    }
    lines = SplitHexText(*text);
    return int(lines.size()) - 1;
}

int HexField(const QString &line, int position, int length)
{
    int value = 0;
    for (int i = position - 1; i < position - 1 + length && i < line.size(); ++i) {
        const int d = i >= 0 ? HexDigit(line.at(i)) : -1;
        if (d < 0)
            break;
        value = value * 16 + d;
    }
    return value;
}

QByteArray RecordData(const QString &line)
{
    QByteArray data;
    for (int p = 10; p <= line.size() - 2; p += 2)
        data.append(char(HexField(line, p, 2)));
    return data;
}

void AppendByte(QByteArray &packet, quint8 b, bool raw)
{
    if (!raw && NeedsEscape(b))
        packet.append(char(LoaderByte::Escape));
    packet.append(char(b));
}

QByteArray Create_Single(quint8 b) { return QByteArray(1, char(b)); }

quint8 PacketChecksum(int sum) { return quint8((256 - (sum & 0xFF)) & 0xFF); }

QByteArray Create_Adr(const QString &line, int page, int &sum)
{
    if (page < 0 || page > 0xFF)
        throw LoaderError{ErrorSource,
                          QStringLiteral("Overflow: page %1 does not fit in a byte")
                              .arg(page, 0, 16)
                              .toUpper(),
                          LoaderErrorNumber::Overflow};
    QByteArray part;
    for (const int b : {HexField(line, 6, 2), HexField(line, 4, 2), page}) {
        AppendByte(part, quint8(b), false);
        sum += b;
    }
    return part;
}

QByteArray Create_Data(const QString &line, int &sum, int &count)
{
    QByteArray part;
    for (const char c : RecordData(line)) {
        AppendByte(part, quint8(c), false);
        sum += quint8(c);
        ++count;
    }
    return part;
}

QByteArray Create_Write(const QString &line, int page)
{
    int sum = 0;
    const QByteArray address = Create_Adr(line, page, sum);
    int n = 0;
    QByteArray data = Create_Data(line, sum, n);
    quint8 command = LoaderByte::WriteLarge;
    int length = n;
    if (page < FirstLargePage) {
        command = LoaderByte::WriteSmall;
        if (n % 8 != 0)
            data.append(QByteArray(8 - n % 8, '\0'));
        length = (n + 7) / 8;
    }
    sum += command + length;
    QByteArray packet(2, char(LoaderByte::Start));
    AppendByte(packet, command, false);
    AppendByte(packet, quint8(length), false);
    packet += address + data;
    AppendByte(packet, PacketChecksum(sum), false);
    AppendByte(packet, LoaderByte::End, true);
    return packet;
}

QByteArray Create_Erase(quint32 address)
{
    const quint8 payload[] = {LoaderByte::Erase, 0xFF, quint8(address), quint8(address >> 8),
                              quint8(address >> 16)};
    int sum = 0;
    QByteArray packet(2, char(LoaderByte::Start));
    for (const quint8 b : payload) {
        AppendByte(packet, b, false);
        sum += b;
    }
    AppendByte(packet, PacketChecksum(sum), false);
    AppendByte(packet, LoaderByte::End, true);
    return packet;
}

QByteArray Create_Reset()
{
    QByteArray packet(2, char(LoaderByte::Start));
    AppendByte(packet, LoaderByte::Reset, false);
    AppendByte(packet, PacketChecksum(LoaderByte::Reset), false);
    AppendByte(packet, LoaderByte::End, true);
    return packet;
}

QString WriteAddressText(const QString &line, int page)
{
    return QString::number(page, 16).toUpper() + QLatin1Char(' ') + line.mid(3, 2)
         + QLatin1Char(' ') + line.mid(5, 2);
}

QString EraseAddressText(quint32 address)
{
    return QString::number(address / 65536, 16).toUpper() + QLatin1Char(' ')
         + Hex2(int(address >> 8)) + QLatin1Char(' ') + Hex2(int(address));
}

} // namespace zop
