// Reply decoding and the ".modTable" file: the selection and row replies as instruments send
// them and as they arrive damaged, the output column's header, and files written here and on
// Windows, hand-edited or broken.

#include "core/windows1252.h"
#include "modtable/modreply.h"
#include "modtable/modtablefile.h"

#include <QtTest>

using namespace zop;

class TestModTable : public QObject {
    Q_OBJECT
private slots:
    void rowReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("vmod");
        QTest::addColumn<QString>("value");
        using K = RowReply::Kind;
        QTest::newRow("plain") << "5(0.25,1.10)\r\n" << int(K::Row) << 5 << "0.25" << "1.10";
        QTest::newRow("VMOD untrimmed, value trimmed")
            << "7(1.5 , 2.0 )" << int(K::Row) << 7 << "1.5 " << "2.0";
        QTest::newRow("lower case") << "3(1E-3,ABC)" << int(K::Row) << 3 << "1e-3" << "abc";
        QTest::newRow("no table") << "No Table Selected\r\n" << int(K::NoTable) << 0 << "" << "";
        QTest::newRow("position 0") << "0(1,2)" << int(K::InvalidPosition) << 0 << "" << "";
        QTest::newRow("negative") << "-4(1,2)" << int(K::InvalidPosition) << 0 << "" << "";
        QTest::newRow("not a number") << "abc(1,2)" << int(K::InvalidPosition) << 0 << "" << "";
        QTest::newRow("empty") << "" << int(K::InvalidPosition) << 0 << "" << "";
        QTest::newRow("past the table") << "51(1,2)" << int(K::BeyondTable) << 51 << "" << "";
        QTest::newRow("huge") << "99999999999999999999(1,2)" << int(K::BeyondTable) << 51 << ""
                              << "";
        QTest::newRow("no bracket") << "5 0.25,1.10" << int(K::InvalidElements) << 5 << "" << "";
        QTest::newRow("no comma") << "5(0.25)" << int(K::InvalidElements) << 5 << "" << "";
        QTest::newRow("no closing") << "5(0.25,1.10" << int(K::InvalidElements) << 5 << "" << "";
        QTest::newRow("closing first") << "5)0.25,1.10(" << int(K::InvalidElements) << 5 << ""
                                       << "";
        QTest::newRow("comma first") << "5,(0.25)" << int(K::InvalidElements) << 5 << "" << "";
        QTest::newRow("extra brackets") << "5((0.25,1.1))" << int(K::Row) << 5 << "(0.25" << "1.1";
        QTest::newRow("rounded position") << "2.5(1,2)" << int(K::Row) << 2 << "1" << "2";
    }
    void rowReply()
    {
        QFETCH(QString, reply);
        const RowReply r = ParseRowReply(reply);
        QTEST(int(r.kind), "kind");
        QTEST(r.position, "position");
        QTEST(r.vmod, "vmod");
        QTEST(r.value, "value");
    }

    void selectionReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("header");
        using S = SelectionReply::Status;
        QTest::newRow("current, addition") << "2,1\r\n" << int(S::Ok) << 2 << 1 << "Ios";
        QTest::newRow("voltage, addition") << "1,1" << int(S::Ok) << 1 << 1 << "Vos";
        QTest::newRow("voltage, multiplication") << "1,0" << int(S::Ok) << 1 << 0 << "Mod";
        QTest::newRow("current, multiplication") << "2,0" << int(S::Ok) << 2 << 0 << "Mod";
        QTest::newRow("first character only") << "12,0" << int(S::Ok) << 1 << 0 << "Mod";
        QTest::newRow("type rounded") << "0, 0.6" << int(S::Ok) << 0 << 1 << "Mod";
        QTest::newRow("no comma: whole reply") << "1" << int(S::Ok) << 1 << 1 << "Vos";
        QTest::newRow("input 3") << "3,0" << int(S::InvalidControlInput) << -1 << -1 << "";
        QTest::newRow("input not a digit") << "x,0" << int(S::InvalidControlInput) << -1 << -1
                                           << "";
        QTest::newRow("empty") << "" << int(S::InvalidControlInput) << -1 << -1 << "";
        QTest::newRow("type 2") << "1,2" << int(S::InvalidType) << 1 << -1 << "";
        QTest::newRow("type missing") << "1," << int(S::InvalidType) << 1 << -1 << "";
        QTest::newRow("type junk") << "1,zz" << int(S::InvalidType) << 1 << -1 << "";
    }
    void selectionReply()
    {
        QFETCH(QString, reply);
        const SelectionReply s = ParseSelectionReply(reply);
        QFETCH(int, status);
        QCOMPARE(int(s.status), status);
        QTEST(s.controlInput, "input");
        QTEST(s.type, "type");
        if (s.status == SelectionReply::Status::Ok)
            QTEST(OutputHeader(s.controlInput, s.type), "header");
    }

    void numericText()
    {
        for (const char *yes : {"1", "-1.25", "+.5", "3.", "1e-3", "2.5E+10", " 1 "})
            QVERIFY2(IsNumericText(QLatin1String(yes)), yes);
        for (const char *no : {"", "abc", "1.2.3", ".", "-", "1e", "1,5", "0x10", "1(2"})
            QVERIFY2(!IsNumericText(QLatin1String(no)), no);
    }

    void windows1252()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QCOMPARE(ToWindows1252(FromWindows1252(all)), all);
        QCOMPARE(FromWindows1252("\x80\xE9\x9F"), QStringLiteral(u"\u20ACé\u0178"));
        QCOMPARE(ToWindows1252(QStringLiteral(u"€Ω")), QByteArray("\x80?"));
    }

    void writesRowsInListOrder()
    {
        ModTableContents table;
        table.controlInput = 2;
        table.type = 1;
        table.rows = {{1, "0.5", "1.2"}, {2, "1.0", "1.5"}, {10, "2.0", QStringLiteral(u"é")}};
        QCOMPARE(ModTableFileBytes(table),
                 QByteArray("[Config]\r\nTable=2\r\nType=1\r\n[Table]\r\n"
                            "key1Mod=0.5\r\nkey1Out=1.2\r\nkey2Mod=1.0\r\nkey2Out=1.5\r\n"
                            "key10Mod=2.0\r\nkey10Out=\xE9\r\n"));
        table.type = -1;
        table.rows = {{3, "a\r\nb", "1"}};
        QCOMPARE(ModTableFileBytes(table),
                 QByteArray("[Config]\r\nTable=2\r\n[Table]\r\nkey3Mod=a  b\r\nkey3Out=1\r\n"));
    }

    void readsEditedAndDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("rows"); // row=vmod/out;...
        QTest::newRow("Windows file, any case")
            << QByteArray("[CONFIG]\r\ntable=2\r\nTYPE=0\r\n[table]\r\nKEY1MOD=0.5\r\nkey1out=1\r\n")
            << 2 << 0 << "1=0.5/1";
        QTest::newRow("Unix line ends, blanks, quotes, comments")
            << QByteArray("; saved by hand\n[Config]\nTable = 1 \n\n[Table]\n;key2Mod=9\n"
                          "key2Mod= \" 1.25 \"\nkey2Out=  -3 \n")
            << 1 << MissingSelectionKey << "2=1.25/-3";
        QTest::newRow("first of duplicate keys")
            << QByteArray("[Config]\nTable=1\nTable=2\n[Table]\nkey1Mod=1\nkey1Mod=2\nkey1Out=3\n")
            << 1 << MissingSelectionKey << "1=1/3";
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBF[Config]\r\nTable=1\r\nType=1\r\n[Table]\r\nkey4Mod=1\r\n"
                          "key4Out=2\r\n")
            << 1 << 1 << "4=1/2";
        QTest::newRow("missing sections") << QByteArray("key1Mod=1\nkey1Out=2\n")
                                          << MissingSelectionKey << MissingSelectionKey << "";
        QTest::newRow("half a row, non-numeric values")
            << QByteArray("[Table]\nkey4Mod=0.5\nkey5Mod=abc\nkey5Out=1\nkey6Mod=\nkey6Out=1\n")
            << MissingSelectionKey << MissingSelectionKey << "";
        QTest::newRow("rows outside the table")
            << QByteArray("[Table]\nkey0Mod=1\nkey0Out=1\nkey51Mod=1\nkey51Out=1\n")
            << MissingSelectionKey << MissingSelectionKey << "";
        QTest::newRow("numbers with junk")
            << QByteArray("[Config]\nTable=1abc\nType=x\n") << 1 << 0 << "";
        QTest::newRow("long value cut to 49 characters")
            << QByteArray("[Table]\nkey1Mod=") + QByteArray(48, '1') + QByteArray(".5\nkey1Out=")
                   + QByteArray(5000, '2') + '\n'
            << MissingSelectionKey << MissingSelectionKey
            << QStringLiteral("1=%1./%2").arg(QString(48, QLatin1Char('1')), QString(49, QLatin1Char('2')));
        static const char junk[] = "\x00\xFF[Config\x00]\n\x01Table=\x02\n[Table]\nkey1Mod=\x80\nkey1Out=1\n";
        QTest::newRow("binary junk")
            << QByteArray(junk, sizeof junk - 1)
            << MissingSelectionKey << MissingSelectionKey << "";
    }
    void readsEditedAndDamagedFiles()
    {
        QFETCH(QByteArray, file);
        const LoadedModTable t = ParseModTable(file);
        QTEST(t.controlInput, "input");
        QTEST(t.type, "type");
        QStringList rows;
        for (auto it = t.rows.cbegin(); it != t.rows.cend(); ++it)
            rows << QStringLiteral("%1=%2/%3").arg(it.key()).arg(it->first, it->second);
        QTEST(rows.join(QLatin1Char(';')), "rows");
    }
};

QTEST_APPLESS_MAIN(TestModTable)
#include "test_modtable.moc"
