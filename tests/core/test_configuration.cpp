// The configuration file: the profile reader and writer, the list reader, the scalar reads and
// the start-up panel choice.

#include "app/configuration.h"
#include "core/inifile.h"
#include "app/panelids.h"
#include "core/textfile.h"
#include "core/debuglog.h"
#include "loader/hexrecords.h"
#include "modtable/modtablefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <optional>
#include <sys/stat.h>

using namespace zop;
using namespace zop::test;

class TestConfiguration : public QObject {
    Q_OBJECT
private slots:
    void profileReader_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: there is none
        QTest::addColumn<QString>("key");      // of section A
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QByteArray &file, const QString &expected, const QString &key = "k") {
            QTest::newRow(name) << file << key << expected;
        };
        row("plain", "[A]\nk=v\n", "v");
        row("case-insensitive names", "[a]\r\nK=TCP/IP\r\n", "TCP/IP");
        row("blanks around", "[ A ]\n  k  =  some value  \n", "some value");
        row("quotes removed", "[A]\nk=\"quoted\"\n", "quoted");
        row("first section wins", "[A]\nk=1\n[A]\nk=2\n", "1");
        row("first key wins", "[A]\nk=1\nk=2\n", "1");
        row("key of another section", "[A]\nx=1\n[B]\nk=2\n", "dflt");
        row("comment is no key", "[A]\n;k=1\n", "dflt");
        row("empty value is a value", "[A]\nk=\n", "");
        row("cut to 99", "[A]\nk=" + QByteArray(150, 'x') + "\n", QString(99, QLatin1Char('x')));
        row("no final line break", "[A]\nk=v", "v");
        row("8-bit names without case", "[A]\n\xC4\xB5=v\n", "v", QString::fromLatin1("\xE4\xB5"));
        row("a sharp s is no ss", "[A]\nSS=1\n\xDF=2\n", "2", QString::fromLatin1("\xDF"));
        row("key before any section", "k=0\n[A]\nx=1\n", "dflt");
        row("no file", QByteArray(), "dflt");
    }

    void profileReader()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        Fixture f;
        if (!file.isNull())
            f.writeFile("x.ini", file);
        QCOMPARE(ReadProfileString(f.path("x.ini"), "A", key, "dflt", 100), expected);
        // Many keys of a section, gathered in one pass, read the same.
        const ProfileSection gathered(ReadProfileLines(f.path("x.ini")), "A");
        QCOMPARE(gathered.value(key, "dflt", 100), expected);
    }

    void writer_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QByteArray notes = "; hand-written notes\r\n[Form_List]\r\nItem00=0,Virtual\r\n"
                                 "Item02=2,odd order kept\r\n\r\n[Communication]\r\nComm=GPIB\r\n"
                                 "Address=5\r\n\r\n[Other]\r\nx=1\r\n";
        QTest::newRow("the rest of the file kept") << notes << "communication" << "Comm" << "TCP/IP"
                                                   << QByteArray(notes).replace("=GPIB", "=TCP/IP");
        const QByteArray two = "[Communication]\nComm=GPIB\n\n[Other]\nx=1\n";
        QTest::newRow("key added to its section")
            << two << "Communication" << "Port" << "50505"
            << QByteArray("[Communication]\nComm=GPIB\nPort=50505\n\n[Other]\nx=1\n");
        QTest::newRow("section added at the end")
            << two << "System" << "Type" << "TLB Series" << two + "[System]\nType=TLB Series\n";
    }

    void writer()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        Fixture f;
        f.writeFile("x.ini", before);
        QVERIFY(WriteProfileString(f.path("x.ini"), section, key, value));
        QTEST(FileBytes(f.path("x.ini")), "after");
    }

    // Every file the program writes (settings, saved logs and tables, the debug records) is
    // written whole or not at all, and a failed write says why.
    void writesAreWholeOrNothing_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("failure");
        for (const char *writer : {"whole file", "profile", "debug record"})
            for (const char *failure : {"missing folder", "a folder", "disk full"})
                QTest::addRow("%s, %s", writer, failure) << writer << failure;
        // The rewrite in place that a folder refusing a temporary file leads to, with the disk
        // filling up meanwhile: it used to leave the file cut short.
        QTest::newRow("in place, disk full") << "in place" << "disk full";
    }

    void writesAreWholeOrNothing()
    {
        QFETCH(QString, writer);
        QFETCH(QString, failure);
        Fixture f;
        const QByteArray old = "[A]\r\nk=old\r\n";
        QString path = f.path("kept.txt");
        if (failure == "missing folder") {
            path = f.path("no/such/folder/kept.txt");
        } else if (failure == "a folder") {
            QVERIFY(QDir(f.dir.path()).mkdir("kept.txt"));
        } else {
            f.writeFile("kept.txt", old);
        }
        // The disk fills up after 1 KiB: the file size limit cuts every longer write short.
        const QString big(4000, QLatin1Char('7'));
        QString problem;
        {
            std::optional<FileSizeLimit> full;
            if (failure == "disk full")
                full.emplace(1024);
            if (writer == "whole file")
                problem = WriteWholeFile(path, "[A]\r\nk=" + big.toLatin1() + "\r\n");
            else if (writer == "profile")
                WriteProfileStrings(path, {{"A", "k", big}}, &problem);
            else if (writer == "in place")
                problem = RewriteFileInPlace(path, "[A]\r\nk=" + big.toLatin1() + "\r\n", "no room");
            else
                DebugLog(path).appendRecord(big);
        }

        if (writer != "debug record")
            QVERIFY2(!problem.isEmpty(), "a failed write says why");
        const QFileInfo left(path);
        if (failure == "disk full")
            QCOMPARE(FileBytes(path), old);
        else
            QVERIFY(!left.isFile());
        // Nothing half-written is left beside it.
        if (QDir(left.absolutePath()).exists())
            QCOMPARE(QDir(left.absolutePath()).entryList({"kept*"}, QDir::Files | QDir::Hidden),
                     left.isFile() ? QStringList{"kept.txt"} : QStringList{});
    }

    // Names that stand for something else than a regular file: a FIFO (whose opening waits for a
    // writer), a device or a file larger than any real one of its kind (which fill the memory), a
    // symbolic link planted where the debug records go. Each is refused at once and left as it is.
    void filesThatAreNotWhatTheySeem_data()
    {
        QTest::addColumn<QString>("use");
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"FIFO", "device", "too large"}) {
            for (const char *use : {"settings", "modulation table", "firmware"})
                QTest::addRow("%s from a %s", use, kind) << use << kind;
        }
        QTest::newRow("settings written over a too large file") << "settings write" << "too large";
        for (const char *kind : {"link", "FIFO"})
            QTest::addRow("debug records into a %s", kind) << "debug records" << kind;
    }

    void filesThatAreNotWhatTheySeem()
    {
        QFETCH(QString, use);
        QFETCH(QString, kind);
        Fixture f;
        QString path = f.path("odd");
        const QByteArray victim = "someone else's file\n";
        f.writeFile("victim", victim);
        if (kind == "FIFO") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "device") {
            path = QStringLiteral("/dev/zero");
        } else if (kind == "too large") {
            QFile file(path); // sparse: takes no room on the disk
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(64 * 1024 * 1024));
        } else {
            QVERIFY(QFile::link(f.path("victim"), path));
        }
        const QFileInfo before(path);

        if (use == "settings") {
            QCOMPARE(ReadProfileLines(path), QStringList{});
        } else if (use == "settings write") {
            QString problem;
            QVERIFY(!WriteProfileStrings(path, {{"A", "k", "v"}}, &problem));
            QVERIFY2(problem.contains("cannot be read"), qPrintable(problem));
        } else if (use == "modulation table") {
            QString problem;
            ReadModTableFile(path, &problem);
            QVERIFY(!problem.isEmpty());
        } else if (use == "firmware") {
            QStringList lines;
            QVERIFY_THROWS_EXCEPTION(LoaderError, Get_File(path, lines));
            QVERIFY(lines.isEmpty());
        } else {
            DebugLog log(path);
            log.setFallBackPath(f.path("fallback/debug.txt"));
            log.empty();
            log.appendRecord("Read Error:");
            QCOMPARE(FileBytes(f.path("fallback/debug.txt")), QByteArray("\"Read Error:\"\r\n"));
        }
        // Left as it was: no link followed, nothing emptied or replaced.
        const QFileInfo after(path);
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.lastModified(), before.lastModified());
        QCOMPARE(FileBytes(f.path("victim")), victim);
    }

    void listReader_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *name, const QByteArray &items, const QStringList &expected,
                            const QByteArray &section = "[L]\n") { QTest::newRow(name) << section + items << expected; };
        row("five then a gap", "Item00=0,a0\nItem01=1,a1\nItem02=2,a2\nItem03=3,a3\nItem04=4,a4\nItem06=6,never read\n",
            {"a0", "a1", "a2", "a3", "a4"});
        row("comma inside text kept", "Item00=0,RS485, framed\n", {"RS485, framed"});
        row("one-character value ends the list", "Item00=0,a\nItem01=x\nItem02=2,c\n", {"a"});
        row("empty value ends the list", "Item00=0,a\nItem01=\n", {"a"});
        row("no comma keeps whole value", "Item00=0abc\n", {"0abc"});
        row("index leaves a hole", "Item00=0,a\nItem01=2,c\n", {"a", "", "c"});
        row("smaller index shrinks", "Item00=0,a\nItem01=1,b\nItem02=0,z\n", {"z"});
        row("negative index stores nothing", "Item00=0,a\nItem01=-1,x\nItem02=1,b\n", {"a", "b"});
        row("non-numeric index is 0", "Item00=zz,first\n", {"first"});
        QByteArray past99;
        QStringList entries;
        for (int i = 0; i <= 100; ++i) {
            past99 += QStringLiteral("Item%1=%2,e%2\n").arg(i, 2, 10, QLatin1Char('0')).arg(i).toLatin1();
            entries << QStringLiteral("e%1").arg(i);
        }
        row("key names past 99", past99, entries);
        row("missing section", "Item00=0,a\n", {}, "[Other]\n");
        row("huge index: the list ends, with a message", "Item00=0,a\nItem01=999999999,huge\nItem02=2,c\n", {"a"});
    }

    void listReader()
    {
        QFETCH(QByteArray, file);
        Fixture f;
        f.writeFile("x.ini", file);
        QStringList list;
        ReadIniList(ReadProfileLines(f.path("x.ini")), "L", list, f.path("x.ini"));
        QTEST(list, "expected");
        const bool refused = file.contains("999999999");
        QCOMPARE(f.prompter->shown.size(), refused ? 1 : 0);
        if (!refused)
            return;
        const Prompt &p = f.prompter->shown.first();
        QVERIFY(p.title == "ZOP Panel" && p.icon == MsgIcon::Critical);
        QVERIFY(p.text.startsWith("Error retrieving list from .ini file.\r\nSection: L\r\nINI file: "
                                  + f.path("x.ini") + "\r\nError: "));
    }

    void readConfiguration_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: there is none
        QTest::addColumn<QString>("read");    // start-up, link kind, series, address, port
        const QString none = QString("%1|%1|%1||").arg(NotInList);
        QTest::newRow("names found whatever their case")
            << ConfigLists + "[Application]\r\nStart-Up=command panel\r\n[Communication]\r\nComm=rs232\r\n"
                             "Address=Host.Example\r\nPort=50505\r\n[System]\r\nType=KM SERIES\r\n"
            << "1|1|3|Host.Example|50505";
        QTest::newRow("no file") << QByteArray() << none + "0";
        QTest::newRow("empty file") << QByteArray("") << none + "0";
        QTest::newRow("names not in their lists")
            << ConfigLists + "[Application]\nStart-Up=Front Panel\n[Communication]\nComm=USB\n[System]\nType=\n"
            << none + "0";
        // The port: its leading number, 0 when there is none or it does not fit.
        const QByteArray port = "[Communication]\nPort=";
        QTest::newRow("port empty") << port + "\n" << none + "0";
        QTest::newRow("port not numeric") << port + "abc\n" << none + "0";
        QTest::newRow("port leading number") << port + "7 (COM7)\n" << none + "7";
        QTest::newRow("port too large") << port + "99999999999\n" << none + "0";
    }

    void readConfiguration()
    {
        QFETCH(QByteArray, file);
        Fixture f;
        if (!file.isNull())
            f.writeFile(ConfigFileName, file);
        ReadConfiguration();
        const ModData &d = modData();
        const bool lists = file.startsWith(ConfigLists);
        QCOMPARE((QList<qsizetype>{d.FormList.size(), d.CommList.size(), d.SystList.size()}),
                 (lists ? QList<qsizetype>{5, 6, 5} : QList<qsizetype>{0, 0, 0}));
        QTEST(QStringList({QString::number(d.StartupPanel), QString::number(d.CommKind), QString::number(d.SystemType),
                           d.CommAddress, QString::number(d.CommPort)}).join('|'), "read");
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void startupPanelChoice_data()
    {
        QTest::addColumn<int>("startup");
        QTest::addColumn<int>("system");
        QTest::addColumn<QString>("panel");
        // The virtual panel of series 0 to 4 and of an unknown series 7.
        const QStringList virtualPanels{"frmGZ", "frmGZ", "frmTLB", "frmKM", "frmTW", "", "", "frmTLB"};
        for (int system : {0, 1, 2, 3, 4, 7})
            QTest::addRow("virtual, type %d", system) << 0 << system << virtualPanels[system];
        const QStringList others{"frmCommand", "frmRegisters", "frmCalibration", "frmModulation"};
        for (int startup = 1; startup <= 4; ++startup)
            QTest::addRow("%s", qPrintable(others[startup - 1])) << startup << 3 << others[startup - 1];
        // A start-up name not in the list still opens a window: the series' virtual panel.
        QTest::newRow("not in list, KM") << 99 << 3 << "frmKM";
        QTest::newRow("out of range, GZ") << 5 << 0 << "frmGZ";
    }

    void startupPanelChoice()
    {
        QFETCH(int, startup);
        QFETCH(int, system);
        QTEST(PanelName(StartupPanelFor(qint16(startup), qint16(system))), "panel");
    }
};

QTEST_GUILESS_MAIN(TestConfiguration)
#include "test_configuration.moc"
