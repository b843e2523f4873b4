// The user's settings file beside ZOP_Panel.ini: what one run keeps the next run finds, a
// damaged or unwritable file never stops the program (defaults, and one line in debug.txt), and
// a remembered window comes back on a screen and no smaller than it needs.

#include "app/moddata.h"
#include "app/usersettings.h"
#include "testsupport.h"

#include <QtTest>

using namespace zop;
using namespace zop::test;

Q_DECLARE_METATYPE(QList<QRect>)

class TestUserSettings : public QObject {
    Q_OBJECT
private slots:
    void keptForTheNextRun();
    void badFile_data();
    void badFile();
    void windowFitsTheScreens_data();
    void windowFitsTheScreens();
};

void TestUserSettings::keptForTheNextRun()
{
    Fixture f;
    {
        UserSettings &run = Prefs();
        QCOMPARE(run.path(), f.path(UserSettingsFileName));
        run.setConsoleHistory({"VOLT 5", "*IDN?"});
        run.setConsoleCheckErrors(true);
        run.setWindowGeometry("frmCommand", QRect(10, 20, 800, 600));
        for (int i = 0; i < UserSettings::MaxRecentFiles + 2; ++i)
            run.noteFileChosen("*.modTable", f.path(QString("t%1.modTable").arg(i)));
        run.noteFileChosen("*.modTable", f.path("t3.modTable")); // again: the newest
        for (int i = 0; i < UserSettings::MaxRecentLinks + 2; ++i)
            run.noteLinkOpened({QString("TCP/IP 10.0.0.%1:5025").arg(i), "TCP/IP",
                                QString("10.0.0.%1").arg(i), "5025", ""});
        run.noteLinkOpened({"TCP/IP 10.0.0.4:5025", "TCP/IP", "10.0.0.4", "5025", ""});
    }
    const UserSettings next(f.path(UserSettingsFileName));
    QCOMPARE(next.consoleHistory(), QStringList({"VOLT 5", "*IDN?"}));
    QVERIFY(next.consoleCheckErrors());
    QCOMPARE(next.windowGeometry("frmCommand"), std::optional<QRect>(QRect(10, 20, 800, 600)));
    QCOMPARE(next.windowGeometry("frmTLB"), std::nullopt);
    QCOMPARE(next.lastFolder("*.modTable"), f.dir.path());
    const QStringList files = next.recentFiles("*.modTable");
    QCOMPARE(files.size(), UserSettings::MaxRecentFiles);
    QCOMPARE(files.mid(0, 2), (QStringList{f.path("t3.modTable"), f.path("t9.modTable")})); // the newest first
    QVERIFY(next.recentFiles("*.hex").isEmpty());
    QStringList links;
    for (const RecentLink &l : next.recentLinks())
        links << l.address;
    QCOMPARE(links, QStringList({"10.0.0.4", "10.0.0.6", "10.0.0.5", "10.0.0.3", "10.0.0.2"}));
    // Nothing of it went into the configuration file.
    QVERIFY(!QFile::exists(f.path("ZOP_Panel.ini")));
}

void TestUserSettings::badFile_data()
{
    QTest::addColumn<QByteArray>("content"); // "DIR": a folder stands where the file should
    QTest::addColumn<bool>("noted");         // a line in debug.txt
    QTest::newRow("garbage") << QByteArray("\xff\xfe[\x01\x02=\n[Console\nHistory=\x00\x03", 27)
                             << true;
    QTest::newRow("values of the wrong kind")
        << QByteArray("[Windows]\nfrmCommand=wide\nfrmTLB=1 2 -5 4\n[RecentLinks]\n0=only\n"
                      "[Console]\nCheckErrors=maybe\n")
        << false;
    QTest::newRow("cannot be read or written") << QByteArray("DIR") << true;
}

void TestUserSettings::badFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, noted);
    Fixture f;
    if (content == "DIR")
        QVERIFY(QDir(f.dir.path()).mkpath(UserSettingsFileName));
    else
        f.writeFile(UserSettingsFileName, content);

    UserSettings &settings = Prefs();
    // The defaults: nothing remembered.
    QVERIFY(!settings.windowGeometry("frmCommand") && !settings.windowGeometry("frmTLB")
            && settings.recentLinks().isEmpty() && !settings.consoleCheckErrors());
    // The program goes on: writes are taken (kept for this run where the file refuses them).
    settings.writeNotes();
    settings.setWindowGeometry("frmCommand", QRect(1, 2, 300, 200));
    settings.noteLinkOpened({"GPIB 0, address 5", "GPIB", "5", "", ""});
    settings.setConsoleHistory({"A"});
    QCOMPARE(settings.windowGeometry("frmCommand"), std::optional<QRect>(QRect(1, 2, 300, 200)));
    QCOMPARE(settings.consoleHistory(), QStringList({"A"}));
    const QStringList lines = f.debugText().split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), noted ? 1 : 0);
    if (noted)
        QVERIFY2(lines.first().startsWith("\"User settings: "), qPrintable(lines.first()));
    QVERIFY(f.prompter->shown.isEmpty());
}

void TestUserSettings::windowFitsTheScreens_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QRect>("placed");
    const QList<QRect> one{QRect(0, 0, 1920, 1080)};
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const auto row = [&](const char *name, QRect saved, QRect placed, const QList<QRect> &screens) {
        QTest::newRow(name) << saved << screens << placed;
    };
    row("as saved", QRect(100, 50, 800, 600), QRect(100, 50, 800, 600), one);
    row("partly off the right", QRect(1500, 900, 800, 600), QRect(1120, 480, 800, 600), one);
    row("on a screen gone", QRect(3000, 100, 800, 600), QRect(1120, 100, 800, 600), one);
    row("above and left", QRect(-500, -40, 800, 600), QRect(0, 0, 800, 600), one);
    row("smaller than it needs", QRect(10, 10, 100, 80), QRect(10, 10, 400, 300), one);
    row("larger than the screen", QRect(0, 0, 4000, 3000), QRect(0, 0, 1920, 1080), one);
    row("mostly on the second", QRect(1800, 100, 800, 600), QRect(1920, 100, 800, 600), two);
    row("screen smaller than it needs", QRect(0, 0, 500, 400), QRect(0, 0, 400, 300), {QRect(0, 0, 320, 240)});
}

void TestUserSettings::windowFitsTheScreens()
{
    QFETCH(QRect, saved);
    QFETCH(QList<QRect>, screens);
    QTEST(FitWindowOnScreens(saved, QSize(400, 300), screens), "placed");
}

QTEST_GUILESS_MAIN(TestUserSettings)
#include "test_usersettings.moc"
