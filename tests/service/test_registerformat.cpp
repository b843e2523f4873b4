// The Register Panel's number forms: binary groups, hexadecimal bytes, the value of a reply,
// and what an entry typed in decimal, hexadecimal or binary sends.

#include "panels/service/registerformat.h"

#include <QtTest>

#include <optional>

using namespace zop;

Q_DECLARE_METATYPE(std::optional<QString>)

class TestRegisterFormat : public QObject {
    Q_OBJECT
private slots:
    void formatBinaryGroups_data();
    void formatBinaryGroups();
    void formatHexBytes_data();
    void formatHexBytes();
    void formatHexByte_data();
    void formatHexByte();
    void registerResults_data();
    void registerResults();
    void registerValue_data();
    void registerValue();
    void parseBinaryText_data();
    void parseBinaryText();
    void enableValueText_data();
    void enableValueText();
    void bitsFollowTheValue_data();
    void bitsFollowTheValue();
    void everyRegisterHasOneNamePerLamp();
};

void TestRegisterFormat::formatBinaryGroups_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<bool>("wide");
    QTest::addColumn<QString>("text");
    QTest::newRow("5 narrow") << 5 << false << "0000 0101";
    QTest::newRow("5 wide") << 5 << true << "0000 0000 0000 0101";
    QTest::newRow("80 narrow") << 80 << false << "0101 0000";
    QTest::newRow("256 wide") << 256 << true << "0000 0001 0000 0000";
    QTest::newRow("256 narrow keeps the low byte") << 256 << false << "0000 0000";
    QTest::newRow("A5 narrow") << 0xA5 << false << "1010 0101";
    QTest::newRow("zero narrow") << 0 << false << "0000 0000";
    QTest::newRow("all 16 set") << 0xFFFF << true << "1111 1111 1111 1111";
    QTest::newRow("above 65535 keeps 16 bits") << 0x10005 << true << "0000 0000 0000 0101";
    QTest::newRow("largest value") << 0x7FFFFFFF << true << "1111 1111 1111 1111";
    QTest::newRow("every group differs") << 0x1248 << true << "0001 0010 0100 1000";
}

void TestRegisterFormat::formatBinaryGroups()
{
    QFETCH(qint32, value);
    QFETCH(bool, wide);
    QFETCH(QString, text);
    QCOMPARE(FormatBinaryGroups(value, wide), text);
}

void TestRegisterFormat::formatHexBytes_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("5") << 5 << "00 05";
    QTest::newRow("2565") << 2565 << "0A 05";
    QTest::newRow("256") << 256 << "01 00";
    QTest::newRow("0") << 0 << "00 00";
    QTest::newRow("upper case") << 0xABCD << "AB CD";
    QTest::newRow("65535") << 65535 << "FF FF";
    QTest::newRow("above 65535 keeps 16 bits") << 0x51234 << "12 34";
}

void TestRegisterFormat::formatHexBytes()
{
    QFETCH(qint32, value);
    QFETCH(QString, text);
    QCOMPARE(FormatHexBytes(value), text);
}

void TestRegisterFormat::formatHexByte_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("5") << 5 << "05";
    QTest::newRow("10") << 10 << "0A";
    QTest::newRow("255") << 255 << "FF";
    QTest::newRow("0") << 0 << "00";
    QTest::newRow("80") << 80 << "50";
    QTest::newRow("above FF keeps every digit") << 300 << "12C";
}

void TestRegisterFormat::formatHexByte()
{
    QFETCH(qint32, value);
    QFETCH(QString, text);
    QCOMPARE(FormatHexByte(value), text);
}

void TestRegisterFormat::registerResults_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<bool>("wide");
    QTest::addColumn<QStringList>("results");
    QTest::newRow("status byte 80") << 80 << false << QStringList{"80", "50", "0101 0000"};
    QTest::newRow("operation 256") << 256 << true
                                   << QStringList{"256", "01 00", "0000 0001 0000 0000"};
    QTest::newRow("condition above 65535")
        << 70000 << true << QStringList{"70000", "11 70", "0001 0001 0111 0000"};
    QTest::newRow("empty reply") << 0 << false << QStringList{"0", "00", "0000 0000"};
    QTest::newRow("empty condition reply")
        << 0 << true << QStringList{"0", "00 00", "0000 0000 0000 0000"};
}

void TestRegisterFormat::registerResults()
{
    QFETCH(qint32, value);
    QFETCH(bool, wide);
    QFETCH(QStringList, results);
    const RegisterResults r = FormatRegisterResults(value, wide);
    QCOMPARE((QStringList{r.decimal, r.hex, r.binary}), results);
}

void TestRegisterFormat::registerValue_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<qint32>("value");
    QTest::newRow("CR LF") << "80\r\n" << 80;
    QTest::newRow("leading blanks") << "   80\r\n" << 80;
    QTest::newRow("leading line breaks") << "\r\n\r\n72\r\n" << 72;
    QTest::newRow("empty (time-out)") << "" << 0;
    QTest::newRow("not a number") << "zz#!?\r\n" << 0;
    QTest::newRow("text after the number") << "36,extra\r\n" << 36;
    QTest::newRow("half rounds to even, down") << "12.5" << 12;
    QTest::newRow("half rounds to even, up") << "13.5" << 14;
    QTest::newRow("exponent") << "1e3\r\n" << 1000;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("simulated reply") << "9.999\r\n" << 10;
    QTest::newRow("above 65535") << "70000\r\n" << 70000;
    QTest::newRow("largest 32-bit value") << "2147483647\r\n" << 2147483647;
    QTest::newRow("beyond 32 bits") << "2147483648\r\n" << 0;
    QTest::newRow("far beyond") << "1e300\r\n" << 0;
    QTest::newRow("negative") << "-5\r\n" << 0;
    QTest::newRow("hexadecimal prefix is not a number") << "0x10" << 0;
}

void TestRegisterFormat::registerValue()
{
    QFETCH(QString, reply);
    QFETCH(qint32, value);
    QCOMPARE(RegisterValue(reply), value);
}

void TestRegisterFormat::parseBinaryText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<bool>("fits");
    QTest::newRow("grouped") << "0001 0000" << 16 << true;
    QTest::newRow("digit 2") << "1021" << 0 << true;
    QTest::newRow("digit 9") << "1 9" << 0 << true;
    QTest::newRow("empty") << "" << 0 << true;
    QTest::newRow("blanks only") << "    " << 0 << true;
    QTest::newRow("plain") << "101" << 5 << true;
    QTest::newRow("blanks anywhere") << " 1 0 1 " << 5 << true;
    QTest::newRow("a byte") << "1111 1111" << 255 << true;
    QTest::newRow("a letter") << "10a1" << 0 << true;
    QTest::newRow("a prefix") << "0b101" << 0 << true;
    QTest::newRow("a minus sign") << "-101" << 0 << true;
    QTest::newRow("many leading zeros") << QString(60, '0') + "1" << 1 << true;
    QTest::newRow("31 ones") << QString(31, '1') << 2147483647 << true;
    QTest::newRow("32 ones") << QString(32, '1') << 0 << false;
    QTest::newRow("64 digits") << "1" + QString(63, '0') << 0 << false;
    QTest::newRow("too long and a bad digit") << QString(40, '1') + "2" << 0 << true;
}

void TestRegisterFormat::parseBinaryText()
{
    QFETCH(QString, text);
    QFETCH(qint32, value);
    QFETCH(bool, fits);
    bool reportedFit = !fits;
    QCOMPARE(ParseBinaryText(text, &reportedFit), value);
    QCOMPARE(reportedFit, fits);
    QCOMPARE(ParseBinaryText(text), value);
}

void TestRegisterFormat::enableValueText_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("format");
    QTest::addColumn<std::optional<QString>>("sent");
    const int dec = int(EntryFormat::Decimal);
    const int hex = int(EntryFormat::Hex);
    const int bin = int(EntryFormat::Binary);
    using Sent = std::optional<QString>;
    QTest::newRow("decimal as typed") << "36" << dec << Sent("36");
    QTest::newRow("decimal empty") << "" << dec << Sent("");
    QTest::newRow("decimal unchecked") << " 1.5e1x " << dec << Sent(" 1.5e1x ");
    QTest::newRow("hex 2C") << "2C" << hex << Sent("44");
    QTest::newRow("hex lower case") << "2c" << hex << Sent("44");
    QTest::newRow("hex FF") << "FF" << hex << Sent("255");
    QTest::newRow("hex above FF") << "1FF" << hex << Sent("511");
    QTest::newRow("hex empty") << "" << hex << Sent("0");
    QTest::newRow("hex no digit") << "zz" << hex << Sent("0");
    QTest::newRow("hex stops at a non-digit") << "2G5" << hex << Sent("2");
    QTest::newRow("hex blanks ignored") << " 1 0 " << hex << Sent("16");
    QTest::newRow("hex 0x prefix") << "0x2C" << hex << Sent("44");
    QTest::newRow("hex largest") << "7FFFFFFF" << hex << Sent("2147483647");
    QTest::newRow("hex beyond 32 bits") << "80000000" << hex << Sent();
    QTest::newRow("hex far beyond") << "FFFFFFFFFFFFFFFFFFFF" << hex << Sent();
    QTest::newRow("binary grouped") << "0001 0000" << bin << Sent("16");
    QTest::newRow("binary digit 2") << "1021" << bin << Sent("0");
    QTest::newRow("binary letter") << "1x" << bin << Sent("0");
    QTest::newRow("binary empty") << "" << bin << Sent("0");
    QTest::newRow("binary beyond 32 bits") << QString(33, '1') << bin << Sent();
}

void TestRegisterFormat::enableValueText()
{
    QFETCH(QString, entry);
    QFETCH(int, format);
    QFETCH(std::optional<QString>, sent);
    QCOMPARE(EnableValueText(entry, EntryFormat(format)), sent);
}

void TestRegisterFormat::bitsFollowTheValue_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QList<int>>("setBits");
    QTest::newRow("MAV and MSS") << 80 << QList<int>{4, 6};
    QTest::newRow("CV") << 256 << QList<int>{8};
    QTest::newRow("none") << 0 << QList<int>{};
    QTest::newRow("bit 16 lies beyond the lamps") << 0x10001 << QList<int>{0, 16};
    QTest::newRow("bit 30") << (1 << 30) << QList<int>{30};
}

void TestRegisterFormat::bitsFollowTheValue()
{
    QFETCH(qint32, value);
    QFETCH(QList<int>, setBits);
    QList<int> found;
    for (int bit = -1; bit <= 32; ++bit) {
        if (BitIsSet(value, bit))
            found << bit;
    }
    QCOMPARE(found, setBits);
}

void TestRegisterFormat::everyRegisterHasOneNamePerLamp()
{
    for (RegisterId id : AllRegisters) {
        const RegisterInfo &info = RegisterInfoFor(id);
        QCOMPARE(info.id, id);
        QCOMPARE(info.bitCount(), info.wide ? 16 : 8);
        QCOMPARE(info.writeButton.isEmpty(), info.writeCaption.isEmpty());
    }
}

QTEST_APPLESS_MAIN(TestRegisterFormat)
#include "test_registerformat.moc"
