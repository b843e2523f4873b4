// HEX lines by position and the boot loader's packets, against bytes worked out by hand.

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
} // namespace

class TestHexRecords : public QObject {
    Q_OBJECT
private slots:
    void packets_data();
    void packets();
    void writeBeyondAByteIsAnError();
    void fields_data();
    void fields();
    void readsLines();
};

void TestHexRecords::packets_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expectedAddress");

    QTest::newRow("erase 0x200") << Create_Erase(0x200)
                                 << Bytes({0x0F, 0x0F, 0x02, 0xFF, 0x00, 0x02, 0x00, 0xFD, 0x04})
                                 << EraseAddressText(0x200) << "0 02 00";
    QTest::newRow("erase last block") << Create_Erase(0x1F000)
                                      << Bytes({0x0F, 0x0F, 0x02, 0xFF, 0x00, 0xF0, 0x01, 0x0E, 0x04})
                                      << EraseAddressText(0x1F000) << "1 F0 00";
    // 0x02 + 0xFF + 0x0F + 0x00 + 0xEC = 0x1FC: the address byte 0x0F and the checksum 0x04
    // are escaped.
    QTest::newRow("erase escapes") << Create_Erase(0xEC000F)
                                   << Bytes({0x0F, 0x0F, 0x02, 0xFF, 0x05, 0x0F, 0x00, 0xEC, 0x05, 0x04, 0x04})
                                   << EraseAddressText(0xEC000F) << "EC 00 0F";
    QTest::newRow("reset") << Create_Reset() << Bytes({0x0F, 0x0F, 0x05, 0x04, 0xFC, 0x04})
                           << QString() << QString();
    // 3 bytes on page 0: one block, five zero bytes, data 0x05 0x0F 0x04 escaped.
    QTest::newRow("short record padded")
        << Create_Write(QStringLiteral(":03001000050F04CC"), 0)
        << Bytes({0x0F, 0x0F, 0x01, 0x01, 0x10, 0x00, 0x00, 0x05, 0x05, 0x05, 0x0F, 0x05, 0x04,
                  0, 0, 0, 0, 0, 0xD6, 0x04})
        << WriteAddressText(QStringLiteral(":03001000050F04CC"), 0) << "0 00 10";
    QTest::newRow("16 bytes, two blocks")
        << Create_Write(QStringLiteral(":10002000") + QString(Sixteen.toHex()) + QStringLiteral("00"), 0)
        << Bytes({0x0F, 0x0F, 0x01, 0x02, 0x20, 0x00, 0x00}) + Sixteen + Bytes({0xCD, 0x04})
        << QString() << QString();
    // Page 0x30: command 0x03 with the byte count, no padding.
    QTest::newRow("page 0x30 counts bytes")
        << Create_Write(QStringLiteral(":03ABCD00010203FF"), 0x30)
        << Bytes({0x0F, 0x0F, 0x03, 0x03, 0xCD, 0xAB, 0x30, 0x01, 0x02, 0x03, 0x4C, 0x04})
        << WriteAddressText(QStringLiteral(":03ABCD00010203FF"), 0x30) << "30 AB CD";
    QTest::newRow("page 31 counts bytes")
        << Create_Write(QStringLiteral(":0100000001FE"), 31)
        << Bytes({0x0F, 0x0F, 0x03, 0x01, 0x00, 0x00, 0x1F, 0x01, 0xDC, 0x04}) << QString() << QString();
    // 0 + 0 + 1 + 0xF9 + 1 + 1 = 0xFC: the checksum 0x04 is escaped.
    QTest::newRow("checksum 0x04 escaped")
        << Create_Write(QStringLiteral(":01000000F9FF"), 1)
        << Bytes({0x0F, 0x0F, 0x01, 0x01, 0x00, 0x00, 0x01, 0xF9, 0, 0, 0, 0, 0, 0, 0, 0x05,
                  0x04, 0x04})
        << QString() << QString();
    QTest::newRow("empty line: no data at 0") << Create_Write(QString(), 2)
                                              << Bytes({0x0F, 0x0F, 0x01, 0x00, 0x00, 0x00, 0x02, 0xFD, 0x04})
                                              << QString() << QString();
    QTest::newRow("synchronisation") << Create_Single(LoaderByte::Start) << Bytes({0x0F}) << QString() << QString();
}

void TestHexRecords::packets()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    QFETCH(QString, address);
    QCOMPARE(packet.toHex(' '), expected.toHex(' '));
    QFETCH(QString, expectedAddress);
    QCOMPARE(address, expectedAddress);
}

void TestHexRecords::writeBeyondAByteIsAnError()
{
    try {
        Create_Write(QStringLiteral(":0100000001FE"), 0x100);
        QFAIL("a page of 0x100 was written");
    } catch (const LoaderError &error) {
        QCOMPARE(error.number, LoaderErrorNumber::Overflow);
    }
}

void TestHexRecords::fields_data()
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

void TestHexRecords::fields()
{
    QFETCH(QString, line);
    QFETCH(int, type);
    QFETCH(QString, address);
    QFETCH(int, page);
    QFETCH(QByteArray, data);
    QCOMPARE(RecordType(line), type);
    QCOMPARE(RecordAddressText(line), address);
    QCOMPARE(RecordPage(line), page);
    QCOMPARE(RecordData(line).toHex(), data.toHex());
}

void TestHexRecords::readsLines()
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
    try {
        Get_File(dir.filePath(QStringLiteral("missing.hex")), lines);
        QFAIL("a missing file was read");
    } catch (const LoaderError &error) {
        QCOMPARE(error.number, LoaderErrorNumber::FileNotFound);
    }
}

QTEST_GUILESS_MAIN(TestHexRecords)
#include "test_hexrecords.moc"
