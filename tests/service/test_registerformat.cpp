// The Register Panel's number forms: the value of a reply, the decimal, hexadecimal and binary
// results, the lamps a value lights, and what an entry typed in decimal, hexadecimal or binary
// sends.

#include "panels/service/registerformat.h"

#include <QtTest>

using namespace zop;

class TestRegisterFormat : public QObject {
    Q_OBJECT
private slots:
    void registerValue_data();
    void registerValue();
    void resultForms_data();
    void resultForms();
    void bitsFollowTheValue_data();
    void bitsFollowTheValue();
    void enableValueText_data();
    void enableValueText();
};

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
    QTest::newRow("simulated reply") << "9.999\r\n" << 10;
    QTest::newRow("above 65535") << "70000\r\n" << 70000;
    QTest::newRow("largest 32-bit value") << "2147483647\r\n" << 2147483647;
    QTest::newRow("beyond 32 bits") << "2147483648\r\n" << 0;
    QTest::newRow("negative") << "-5\r\n" << 0;
}

void TestRegisterFormat::registerValue()
{
    QFETCH(QString, reply);
    QTEST(RegisterValue(reply), "value");
}

void TestRegisterFormat::resultForms_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<bool>("wide");
    QTest::addColumn<QStringList>("results"); // decimal, hex, binary
    QTest::newRow("5, 8 bits") << 5 << false << QStringList{"5", "05", "0000 0101"};
    QTest::newRow("5, 16 bits") << 5 << true << QStringList{"5", "00 05", "0000 0000 0000 0101"};
    QTest::newRow("upper case") << 0xABCD << true << QStringList{"43981", "AB CD", "1010 1011 1100 1101"};
    QTest::newRow("every group differs, high byte first")
        << 0x1248 << true << QStringList{"4680", "12 48", "0001 0010 0100 1000"};
    QTest::newRow("8 bits above FF: every hex digit, the low byte in binary")
        << 300 << false << QStringList{"300", "12C", "0010 1100"};
    QTest::newRow("16 bits above 65535 keep 16 bits")
        << 70000 << true << QStringList{"70000", "11 70", "0001 0001 0111 0000"};
    QTest::newRow("largest value")
        << 0x7FFFFFFF << true << QStringList{"2147483647", "FF FF", "1111 1111 1111 1111"};
    QTest::newRow("zero") << 0 << false << QStringList{"0", "00", "0000 0000"};
}

void TestRegisterFormat::resultForms()
{
    QFETCH(qint32, value);
    QFETCH(bool, wide);
    const RegisterResults r = FormatRegisterResults(value, wide);
    QTEST((QStringList{r.decimal, r.hex, r.binary}), "results");
}

void TestRegisterFormat::bitsFollowTheValue_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QList<int>>("setBits");
    QList<int> all;
    for (int bit = 0; bit < 32; ++bit)
        all << bit;
    QTest::newRow("MAV and MSS") << 80 << QList<int>{4, 6};
    QTest::newRow("bit 16 lies beyond the lamps") << 0x10001 << QList<int>{0, 16};
    QTest::newRow("every bit, none outside 0 to 31") << -1 << all;
}

void TestRegisterFormat::bitsFollowTheValue()
{
    QFETCH(qint32, value);
    QList<int> found;
    for (int bit = -1; bit <= 32; ++bit)
        if (BitIsSet(value, bit))
            found << bit;
    QTEST(found, "setBits");
}

void TestRegisterFormat::enableValueText_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("sent");
    const int dec = int(EntryFormat::Decimal);
    const int hex = int(EntryFormat::Hex);
    const int bin = int(EntryFormat::Binary);
    QTest::newRow("decimal as typed, unchecked") << " 1.5e1x " << dec << " 1.5e1x ";
    QTest::newRow("hex 2C") << "2C" << hex << "44";
    QTest::newRow("hex lower case") << "2c" << hex << "44";
    QTest::newRow("hex empty") << "" << hex << "0";
    QTest::newRow("hex no digit") << "zz" << hex << "0";
    QTest::newRow("hex stops at a non-digit") << "2G5" << hex << "2";
    QTest::newRow("hex stops at a blank") << "1 0" << hex << "1";
    QTest::newRow("hex leading blank") << " 2C" << hex << "0";
    QTest::newRow("hex 0x is not skipped") << "0x10" << hex << "0";
    QTest::newRow("hex 32 bits") << "FFFFFFFE" << hex << "4294967294";
    QTest::newRow("hex beyond 32 bits saturates") << "123456789" << hex << "4294967295";
    QTest::newRow("binary grouped") << "0001 0000" << bin << "16";
    QTest::newRow("binary blanks anywhere") << " 1 0 1 " << bin << "5";
    QTest::newRow("binary digit 2") << "1021" << bin << "0";
    QTest::newRow("binary minus sign") << "-101" << bin << "0";
    QTest::newRow("binary empty") << "" << bin << "0";
    QTest::newRow("binary many leading zeros") << QString(60, '0') + "1" << bin << "1";
    QTest::newRow("binary 32 digits") << QString(31, '1') + "0" << bin << "4294967294";
    QTest::newRow("binary beyond 32 bits saturates") << QString(40, '1') + "0" << bin << "4294967295";
    QTest::newRow("binary too long and a bad digit") << QString(40, '1') + "2" << bin << "0";
}

void TestRegisterFormat::enableValueText()
{
    QFETCH(QString, entry);
    QFETCH(int, format);
    QTEST(EnableValueText(entry, EntryFormat(format)), "sent");
}

QTEST_APPLESS_MAIN(TestRegisterFormat)
#include "test_registerformat.moc"
