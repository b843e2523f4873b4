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
        const auto row = [](const char *name, const QString &reply, K kind, int position = 0, const QString &vmod = {},
                            const QString &value = {}) { QTest::newRow(name) << reply << int(kind) << position << vmod << value; };
        row("plain", "5(0.25,1.10)\r\n", K::Row, 5, "0.25", "1.10");
        row("VMOD untrimmed, value trimmed", "7(1.5 , 2.0 )", K::Row, 7, "1.5 ", "2.0");
        row("lower case", "3(1E-3,ABC)", K::Row, 3, "1e-3", "abc");
        row("no table", "No Table Selected\r\n", K::NoTable);
        row("position 0", "0(1,2)", K::InvalidPosition);
        row("negative", "-4(1,2)", K::InvalidPosition);
        row("not a number", "abc(1,2)", K::InvalidPosition);
        row("empty", "", K::InvalidPosition);
        row("past the table", "51(1,2)", K::BeyondTable, 51);
        row("huge", "99999999999999999999(1,2)", K::BeyondTable, 51);
        row("no bracket", "5 0.25,1.10", K::InvalidElements, 5);
        row("no comma", "5(0.25)", K::InvalidElements, 5);
        row("no closing", "5(0.25,1.10", K::InvalidElements, 5);
        row("closing first", "5)0.25,1.10(", K::InvalidElements, 5);
        row("comma first", "5,(0.25)", K::InvalidElements, 5);
        row("extra brackets", "5((0.25,1.1))", K::Row, 5, "(0.25", "1.1");
        row("rounded position", "2.5(1,2)", K::Row, 2, "1", "2");
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
        const auto row = [](const char *name, const QByteArray &file, const QString &rows = {},
                            int input = MissingSelectionKey, int type = MissingSelectionKey) {
            QTest::newRow(name) << file << input << type << rows;
        };
        row("Windows file, any case", "[CONFIG]\r\ntable=2\r\nTYPE=0\r\n[table]\r\nKEY1MOD=0.5\r\nkey1out=1\r\n",
            "1=0.5/1", 2, 0);
        row("Unix line ends, blanks, quotes, comments",
            "; saved by hand\n[Config]\nTable = 1 \n\n[Table]\n;key2Mod=9\nkey2Mod= \" 1.25 \"\nkey2Out=  -3 \n",
            "2=1.25/-3", 1);
        row("first of duplicate keys", "[Config]\nTable=1\nTable=2\n[Table]\nkey1Mod=1\nkey1Mod=2\nkey1Out=3\n", "1=1/3", 1);
        row("byte-order mark", "\xEF\xBB\xBF[Config]\r\nTable=1\r\nType=1\r\n[Table]\r\nkey4Mod=1\r\nkey4Out=2\r\n",
            "4=1/2", 1, 1);
        row("missing sections", "key1Mod=1\nkey1Out=2\n");
        row("half a row, non-numeric values", "[Table]\nkey4Mod=0.5\nkey5Mod=abc\nkey5Out=1\nkey6Mod=\nkey6Out=1\n");
        row("rows outside the table", "[Table]\nkey0Mod=1\nkey0Out=1\nkey51Mod=1\nkey51Out=1\n");
        row("numbers with junk", "[Config]\nTable=1abc\nType=x\n", "", 1, 0);
        row("long value cut to 49 characters",
            "[Table]\nkey1Mod=" + QByteArray(48, '1') + ".5\nkey1Out=" + QByteArray(5000, '2') + '\n',
            QStringLiteral("1=%1./%2").arg(QString(48, QLatin1Char('1')), QString(49, QLatin1Char('2'))));
        static const char junk[] = "\x00\xFF[Config\x00]\n\x01Table=\x02\n[Table]\nkey1Mod=\x80\nkey1Out=1\n";
        row("binary junk", QByteArray(junk, sizeof junk - 1));
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
