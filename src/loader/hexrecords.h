#pragma once
// Intel HEX firmware files and the boot loader's byte packets.
//
// A HEX line is used by character position, counting from 1: 2-3 byte count (unused), 4-7 the
// address (4-5 high byte, 6-7 low byte), 8-9 the record type, data from position 10, the last
// two characters the record checksum (unchecked). A field reads its leading hexadecimal digits;
// a field without any reads as 0, so an empty line is a data record without data at address 0.
//
// Packets: 0x0F 0x0F, the payload, a checksum (payload sum + checksum = 0 modulo 256), 0x04.
// A payload or checksum byte 0x04, 0x05 or 0x0F is preceded by the escape byte 0x05, which is
// not part of the checksum. The synchronisation byte 0x0F goes out alone, unframed.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zop {

namespace LoaderByte {
constexpr quint8 Start = 0x0F; // twice before a packet; alone: synchronisation
constexpr quint8 End = 0x04;
constexpr quint8 Escape = 0x05;
constexpr quint8 WriteSmall = 0x01; // pages 0 to 30: length in 8-byte blocks
constexpr quint8 Erase = 0x02;
constexpr quint8 WriteLarge = 0x03; // pages 31 and above: length in bytes
constexpr quint8 Reset = 0x04;
} // namespace LoaderByte

// The first page written with the byte-counted write packet.
constexpr int FirstLargePage = 31;

// Record types.
namespace HexType {
constexpr int Data = 0;
constexpr int EndOfFile = 1;
constexpr int ExtendedSegment = 2;
constexpr int StartSegment = 3;
constexpr int ExtendedLinear = 4;
constexpr int StartLinear = 5;
} // namespace HexType

// A run-time failure of the loader (a file that cannot be read, a page that does not fit in
// a byte, a file without an end record), shown in the error report.
struct LoaderError {
    QString source;
    QString description;
    long number = 0;
};

namespace LoaderErrorNumber {
constexpr long Overflow = 6;
constexpr long PastLastLine = 9;
constexpr long FileNotFound = 53;
constexpr long CannotRead = 57;
} // namespace LoaderErrorNumber

// The file text as lines: every carriage return removed, split at every line feed (a final
// line feed gives a last, empty line).
QStringList SplitHexText(const QByteArray &text);
// The largest firmware file read. The flash holds 128 KiB; written one byte a record, as
// 15 characters a line, an image needs under 2 MiB: twice that leaves a margin.
constexpr qint64 MaxHexFileBytes = 4 * 1024 * 1024;
// Reads the file at `path` into `lines` and returns the highest line number; 0 without
// reading when the path has fewer than 5 characters. Throws LoaderError when the file cannot
// be read, is not a regular file (a FIFO, a device) or is larger than MaxHexFileBytes.
int Get_File(const QString &path, QStringList &lines);

// The leading hexadecimal digits of `length` characters from `position` (counting from 1).
int HexField(const QString &line, int position, int length);
inline int RecordType(const QString &line) { return HexField(line, 8, 2); }
// Positions 4-7 as they stand ("0000" for the record the loader never sends on page 0).
inline QString RecordAddressText(const QString &line) { return line.mid(3, 4); }
// The page an extended linear address record sets (positions 10-13).
inline int RecordPage(const QString &line) { return HexField(line, 10, 4); }
// The data bytes: one per two characters from position 10 while the start position is at
// most the line length minus 2.
QByteArray RecordData(const QString &line);

// Appends `b` to `packet`, after the escape byte when `raw` is false and b needs one.
void AppendByte(QByteArray &packet, quint8 b, bool raw);
QByteArray Create_Single(quint8 b);
inline QByteArray Join_Bytes(const QByteArray &a, const QByteArray &b) { return a + b; }
// The two's complement of the low 8 bits of `sum`.
quint8 PacketChecksum(int sum);

// The address part of a write packet (low byte, high byte, page; escaped), adding the three
// values to `sum`. Throws LoaderError when the page does not fit in a byte.
QByteArray Create_Adr(const QString &line, int page, int &sum);
// The data part (escaped), adding each value to `sum` and counting the bytes in `count`.
QByteArray Create_Data(const QString &line, int &sum, int &count);
// The whole write packet of a data record on `page`.
QByteArray Create_Write(const QString &line, int page);
QByteArray Create_Erase(quint32 address);
QByteArray Create_Reset();

// "Current Address:" texts: "0 1F 20" for a write (page, positions 4-5, 6-7) and "1 F0 00"
// for an erase.
QString WriteAddressText(const QString &line, int page);
QString EraseAddressText(quint32 address);

} // namespace zop
