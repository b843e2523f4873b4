// HEX lines by position, the whole-file check before a run, and the boot loader's packets,
// against bytes worked out by hand.

#include "loader/hexcheck.h"
#include "loader/hexrecords.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zop;

namespace {
QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int v : values)
        bytes.append(char(v));
    return bytes;
}
const QByteArray Sixteen(16, char(0x11));
// The number of the LoaderError that `run` throws; 0 when it throws none.
template <typename Run>
long LoaderErrorOf(Run run)
{
    try {
        run();
    } catch (const LoaderError &error) {
        return error.number;
    }
    return 0;
}
} // namespace

class TestHexRecords : public QObject {
    Q_OBJECT
private slots:
    void packets_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expectedAddress");

        const auto row = [](const char *name, const QByteArray &packet, const QByteArray &expected,
                            const QString &address = {}, const QString &expectedAddress = {}) {
            QTest::newRow(name) << packet << expected << address << expectedAddress;
        };
        row("erase 0x200", Create_Erase(0x200), Bytes({0x0F, 0x0F, 0x02, 0xFF, 0x00, 0x02, 0x00, 0xFD, 0x04}),
            EraseAddressText(0x200), "0 02 00");
        row("erase last block", Create_Erase(0x1F000), Bytes({0x0F, 0x0F, 0x02, 0xFF, 0x00, 0xF0, 0x01, 0x0E, 0x04}),
            EraseAddressText(0x1F000), "1 F0 00");
        // 0x02 + 0xFF + 0x0F + 0x00 + 0xEC = 0x1FC: the address byte 0x0F and the checksum 0x04
        // are escaped.
        row("erase escapes", Create_Erase(0xEC000F), Bytes({0x0F, 0x0F, 0x02, 0xFF, 0x05, 0x0F, 0x00, 0xEC, 0x05, 0x04, 0x04}),
            EraseAddressText(0xEC000F), "EC 00 0F");
        row("reset", Create_Reset(), Bytes({0x0F, 0x0F, 0x05, 0x04, 0xFC, 0x04}));
        // 3 bytes on page 0: one block, five zero bytes, data 0x05 0x0F 0x04 escaped.
        const QString shortRecord = ":03001000050F04CC";
        row("short record padded", Create_Write(shortRecord, 0),
            Bytes({0x0F, 0x0F, 0x01, 0x01, 0x10, 0x00, 0x00, 0x05, 0x05, 0x05, 0x0F, 0x05, 0x04, 0, 0, 0, 0, 0, 0xD6, 0x04}),
            WriteAddressText(shortRecord, 0), "0 00 10");
        row("16 bytes, two blocks", Create_Write(":10002000" + QString(Sixteen.toHex()) + "00", 0),
            Bytes({0x0F, 0x0F, 0x01, 0x02, 0x20, 0x00, 0x00}) + Sixteen + Bytes({0xCD, 0x04}));
        // Page 0x30: command 0x03 with the byte count, no padding.
        const QString page30 = ":03ABCD00010203FF";
        row("page 0x30 counts bytes", Create_Write(page30, 0x30),
            Bytes({0x0F, 0x0F, 0x03, 0x03, 0xCD, 0xAB, 0x30, 0x01, 0x02, 0x03, 0x4C, 0x04}), WriteAddressText(page30, 0x30),
            "30 AB CD");
        row("page 31 counts bytes", Create_Write(":0100000001FE", 31),
            Bytes({0x0F, 0x0F, 0x03, 0x01, 0x00, 0x00, 0x1F, 0x01, 0xDC, 0x04}));
        // 0 + 0 + 1 + 0xF9 + 1 + 1 = 0xFC: the checksum 0x04 is escaped.
        row("checksum 0x04 escaped", Create_Write(":01000000F9FF", 1),
            Bytes({0x0F, 0x0F, 0x01, 0x01, 0x00, 0x00, 0x01, 0xF9, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x04, 0x04}));
        row("empty line: no data at 0", Create_Write(QString(), 2), Bytes({0x0F, 0x0F, 0x01, 0x00, 0x00, 0x00, 0x02, 0xFD, 0x04}));
        row("synchronisation", Create_Single(LoaderByte::Start), Bytes({0x0F}));
    }

    void packets()
    {
        QFETCH(QByteArray, packet);
        QFETCH(QByteArray, expected);
        QFETCH(QString, address);
        QCOMPARE(packet.toHex(' '), expected.toHex(' '));
        QTEST(address, "expectedAddress");
    }

    void writeBeyondAByteIsAnError()
    {
        QCOMPARE(LoaderErrorOf([] { Create_Write(QStringLiteral(":0100000001FE"), 0x100); }),
                 LoaderErrorNumber::Overflow);
    }

    void fields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("page");
        QTest::addColumn<QByteArray>("data");

        QTest::newRow("data") << ":0400100001020304E2" << 0 << "0010" << 0x102 << Bytes({1, 2, 3, 4});
        QTest::newRow("end") << ":00000001FF" << 1 << "0000" << 0xFF << QByteArray();
        QTest::newRow("linear address") << ":020000040001F9" << 4 << "0000" << 1 << Bytes({0x00, 0x01});
        QTest::newRow("lower case") << ":02000004000af0" << 4 << "0000" << 0xA << Bytes({0x00, 0x0A});
        // Fields read their leading hexadecimal digits only.
        QTest::newRow("digits then junk") << ":0200000G1X" << 0 << "0000" << 1 << QByteArray();
        QTest::newRow("odd length") << ":01000000ABC" << 0 << "0000" << 0xABC << Bytes({0xAB});
        QTest::newRow("empty") << "" << 0 << "" << 0 << QByteArray();
    }

    void fields()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, data);
        QTEST(RecordType(line), "type");
        QTEST(RecordAddressText(line), "address");
        QTEST(RecordPage(line), "page");
        QCOMPARE(RecordData(line).toHex(), data.toHex());
    }

    void readsLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fw.hex"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(":A\r\n:B\n\r\n:C\r\n");
        file.close();
        QStringList lines;
        // Carriage returns removed, split at line feeds, the empty last piece counted.
        QCOMPARE(Get_File(path, lines), 4);
        QCOMPARE(lines, QStringList({":A", ":B", "", ":C", ""}));
        QCOMPARE(Get_File(QStringLiteral("a.he"), lines), 0);
        QVERIFY(lines.isEmpty());
        QCOMPARE(LoaderErrorOf([&] { Get_File(dir.filePath(QStringLiteral("missing.hex")), lines); }),
                 LoaderErrorNumber::FileNotFound);
    }

    void checksTheWholeFile_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("line"); // of the first fault, from 1; 0: accepted
        QTest::addColumn<QString>("reason"); // a part of it

        const QString end = QStringLiteral(":00000001FF");
        const QString data0 = QStringLiteral(":0400000001020304F2");
        const QString data1 = QStringLiteral(":0400100001020304E2");
        const QString page1 = QStringLiteral(":020000040001F9");
        const auto row = [](const char *name, const QStringList &lines, int line = 0, const QString &reason = {}) {
            QTest::newRow(name) << lines << line << reason;
        };
        row("data, page, end, final line feed", {data0, data1, page1, data0, end, ""});
        row("lower case, empty lines after the end", {":02000004000af0", data1, end, "", ""});
        row("highest page", {":0200000400FFFB", data1, end});
        // The record checksum byte must make the bytes sum to 0: E2 is that of data1.
        row("damaged checksum", {data0, ":0400100001020305E2", end}, 2,
            "the record checksum is E2 but the record's bytes need E1: the file is damaged");
        row("damaged data byte count", {data0, ":0500100001020304E2", end, ""}, 2,
            "byte count 05 (5 data bytes) needs a line of 21 characters, this one has 19");
        row("trailing blank", {data0, data1 + " ", end}, 2, "the character 0x20 at column 20 is not a hexadecimal digit");
        row("not a digit", {data0, ":04001G0001020304E2", end}, 2, "\"G\" at column 7");
        row("no colon", {"0400000001020304F2", end}, 1, "colon");
        row("too short", {data0, ":00000001F", end}, 2, "at least 11 characters, this line has 10");
        row("empty line inside", {data0, "", data1, end}, 2, "an empty line");
        row("segment address", {data0, ":020000021000EC", data1, end}, 2,
            "extended segment address record (type 02) cannot be programmed");
        row("start segment address, objcopy's from an ELF", {data0, ":0400000300001000E9", end}, 2,
            "start segment address record (type 03) cannot be programmed: leave it out (objcopy --set-start 0");
        row("start linear address first, as intelhex writes it", {":0400000508000000EF", data0, end}, 1,
            "start linear address record (type 05) cannot be programmed: leave it out");
        row("unknown type", {data0, ":00000007F9", end}, 2, "record type 07");
        row("page record of four bytes", {data0, ":0400000400010000F7", data1, end}, 2, "has 4");
        row("page beyond a byte", {data0, ":020000040100F9", data1, end}, 3, "data at 0x01000010 lies beyond the 16 MiB");
        row("no end record", {data0, data1, "", ""}, 3, "ends without an end-of-file record");
        row("a second file after the end", {data0, end, "", page1, data1, end}, 4, "follows the end-of-file record of line 2");
    }

    void checksTheWholeFile()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const std::optional<HexFault> fault = CheckHexLines(lines);
        QCOMPARE(fault ? fault->line : 0, line);
        if (fault) {
            QVERIFY2(fault->reason.contains(reason), qPrintable(fault->reason));
            QVERIFY(fault->text().startsWith(QStringLiteral("Line %1: ").arg(line)));
        }
    }
};

QTEST_GUILESS_MAIN(TestHexRecords)
#include "test_hexrecords.moc"
