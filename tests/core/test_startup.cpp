// The start-up sequence of the hidden start form on a scripted link, and where an installed
// or a build-tree program finds its files (settings, user guide).

#include "app/configuration.h"
#include "app/firstrun.h"
#include "app/programfolder.h"
#include "app/startform.h"
#include "app/userguide.h"
#include "testsupport.h"

#include <QDir>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
QByteArray Config(const QByteArray &startup, const QByteArray &comm, const QByteArray &type)
{
    return "[Form_List]\nItem00=0,Virtual Control Panel\nItem01=1,Command Panel\n"
           "Item02=2,Register Panel\nItem03=3,Calibration Panel\nItem04=4,Modulation Panel\n"
           "[Comm_List]\nItem00=0,GPIB\nItem01=1,RS232\nItem02=2,TCP/IP\nItem03=3,RS485\n"
           "Item04=4,RS485 Framed\nItem05=5,Simulated\n"
           "[Syst_List]\nItem00=0,GZ Series\nItem01=1,GZ2 Series\nItem02=2,TLB Series\n"
           "Item03=3,KM Series\nItem04=4,TW Series\n"
           "[Application]\nStart-Up=" + startup + "\n[Communication]\nComm=" + comm
         + "\nAddress=127.0.0.1\nPort=50505\n[System]\nType=" + type + "\n";
}

bool WriteFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(text) == text.size();
}

} // namespace

Q_DECLARE_METATYPE(MsgAnswer)

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void sequenceOverTcp()
    {
        Fixture f;
        f.writeFile(ConfigFileName, Config("Virtual Control Panel", "TCP/IP", "TLB Series"));
        AnswerStateRefresh(*f.line);
        StartForm frmComm;
        QObject panel;
        QList<PanelId> asked;
        const PanelId shown = frmComm.Load([&](PanelId id) {
            asked << id;
            return &panel;
        });
        QCOMPARE(shown, PanelId::TLB);
        QCOMPARE(asked, QList<PanelId>{PanelId::TLB});
        QCOMPARE(modData().CurrentPanel.data(), &panel);
        QCOMPARE(f.line->commands(), (QStringList{"<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?"}));
        QCOMPARE(frmComm.rtbTranx.logText(), QString("TCP/IP - Initialized\r\n"));
        QCOMPARE(modData().GpibEos, QString("10"));
        QCOMPARE(modData().Ratings.VoltMax, 30.0f);
        QVERIFY(f.prompter->shown.isEmpty());
        QVERIFY(frmComm.tcpTimer.isActive()); // the keep-alive
    }

    void failingOpenLeavesNoRecord()
    {
        Fixture f;
        f.writeFile(ConfigFileName, Config("Command Panel", "RS232", "TLB Series"));
        f.writeFile("debug.txt", "\"an old record\"\r\n");
        f.line->failOpen = true;
        StartForm frmComm;
        const PanelId shown = frmComm.Load([](PanelId) { return nullptr; });
        QCOMPARE(shown, PanelId::None);
        QCOMPARE(modData().CommKind, qint16(5));
        QCOMPARE(f.prompter->texts(), QStringList{"Device not Found.  Entering Simulated Mode!"});
        // The record written while opening is gone with the emptying at the end of start-up.
        QCOMPARE(f.debugText(), QString());
        QCOMPARE(modData().Ratings.VoltMax, 15.0f); // the defaults of Simulated mode
    }

    void missingConfigurationRunsSimulated()
    {
        Fixture f;
        StartForm frmComm;
        QObject window;
        PanelId asked = PanelId::None;
        frmComm.Load([&](PanelId id) {
            asked = id;
            return &window;
        });
        QCOMPARE(f.prompter->texts(), QStringList{"No comm Port selected!"});
        QCOMPARE(modData().CommKind, qint16(5));
        QCOMPARE(frmComm.rtbTranx.logText(), QString("- Initialized\r\n"));
        QCOMPARE(asked, PanelId::TLB);
    }

    void firstStartOffersLinkSetup_data()
    {
        QTest::addColumn<bool>("userSettings"); // the per-user folder already has ZOP_Panel.ini
        QTest::addColumn<QByteArray>("shippedLink");
        QTest::addColumn<bool>("askedBefore");
        QTest::addColumn<bool>("zopctlFirst"); // zopctl ran before the panel's first start
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("setUp");
        QTest::newRow("first start, Yes") << false << QByteArray("Simulated") << false << false
                                          << MsgAnswer::Yes << true << true;
        QTest::newRow("first start, No") << false << QByteArray("Simulated") << false << false
                                         << MsgAnswer::No << true << false;
        QTest::newRow("settings made by zopctl, then the panel's first start")
            << false << QByteArray("Simulated") << false << true << MsgAnswer::Yes << true << true;
        QTest::newRow("settings already there") << true << QByteArray("Simulated") << false << false
                                                << MsgAnswer::Yes << false << false;
        QTest::newRow("shipped with a real link") << false << QByteArray("TCP/IP") << false << false
                                                  << MsgAnswer::Yes << false << false;
        QTest::newRow("settings made again after the question")
            << false << QByteArray("Simulated") << true << false << MsgAnswer::Yes << false << false;
    }

    // An installed layout (bin/ beside share/zop-panel) and a user's configuration folder: the
    // question comes only when the settings were just made from the shipped ones with their
    // Simulated link, and never twice.
    void firstStartOffersLinkSetup()
    {
        QFETCH(bool, userSettings);
        QFETCH(QByteArray, shippedLink);
        QFETCH(bool, askedBefore);
        QFETCH(bool, zopctlFirst);
        QFETCH(MsgAnswer, answer);
        Fixture f;
        const QDir root(f.dir.path());
        QVERIFY(root.mkpath(QStringLiteral("bin")));
        QVERIFY(WriteFile(root.filePath("share/zop-panel/ZOP_Panel.ini"),
                          Config("Virtual Control Panel", shippedLink, "TLB Series")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("config"))));
        const QString user = root.filePath(QStringLiteral("config/zop-panel"));
        if (userSettings)
            QVERIFY(WriteFile(user + "/ZOP_Panel.ini",
                              Config("Virtual Control Panel", "Simulated", "TLB Series")));
        if (askedBefore)
            QVERIFY(WriteFile(user + "/" + LinkSetupOfferedFile, "asked\n"));

        const QString bin = root.filePath(QStringLiteral("bin"));
        if (zopctlFirst)
            DefaultProgramFolder(bin);
        modData().ProgramFolder = DefaultProgramFolder(bin);
        QCOMPARE(modData().ProgramFolder, user);
        const bool made = LinkSetupDue(user);
        ReadConfiguration();
        const qint16 link = modData().CommKind;
        const bool ask = ShouldOfferLinkSetup({made, link, LinkSetupOffered(user)});
        QTEST(ask, "asked");
        f.prompter->answers = {answer};
        QTEST(ask && OfferLinkSetup(*f.prompter, user), "setUp");
        QCOMPARE(f.prompter->texts(), ask ? QStringList{FirstStartQuestion} : QStringList{});
        if (ask)
            QCOMPARE(f.prompter->shown.first().buttons, MsgButtons::YesNo);

        // Asked once, whatever the answer: not again, even with the settings made afresh.
        if (ask) {
            QVERIFY(!LinkSetupDue(user));
            QVERIFY(QFile::remove(user + "/ZOP_Panel.ini"));
            DefaultProgramFolder(bin);
            QVERIFY(LinkSetupDue(user));
            QVERIFY(!ShouldOfferLinkSetup({true, link, LinkSetupOffered(user)}));
        }
    }

    void userGuideLocation_data()
    {
        QTest::addColumn<QString>("executable"); // the executable's folder under the test folder
        QTest::addColumn<QStringList>("files");   // files that exist under the test folder
        QTest::addColumn<QString>("opened");      // the guide opened; empty: a message instead
        QTest::addColumn<int>("placesNamed");     // how many places the message names
        const QString installed = "usr/share/zop-panel/ZOP_Panel.ini";
        const QString page = "usr/share/doc/zop-panel/user-guide.html";
        const QString text = "usr/share/doc/zop-panel/user-guide.md";
        const QString source = "src/docs/user-guide.md";
        QTest::newRow("build tree: the source tree's") << "build/bin" << QStringList{source, text}
                                                       << source << 0;
        QTest::newRow("build tree, guide gone") << "build/bin" << QStringList{} << QString() << 1;
        QTest::newRow("installed: the page first") << "usr/bin"
                                                   << QStringList{installed, page, text, source}
                                                   << page << 0;
        QTest::newRow("installed, no page: the text") << "usr/bin" << QStringList{installed, text, source}
                                                      << text << 0;
        QTest::newRow("installed, no guide: not the source tree's")
            << "usr/bin" << QStringList{installed, source} << QString() << 2;
    }

    void userGuideLocation()
    {
        QFETCH(QString, executable);
        QFETCH(QStringList, files);
        QFETCH(QString, opened);
        QFETCH(int, placesNamed);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath(executable));
        for (const QString &file : files)
            QVERIFY(WriteFile(root.filePath(file), "# ZOP Panel\n"));
        const QStringList candidates
            = UserGuideCandidates(root.filePath(executable), root.filePath("src/docs/user-guide.md"));
        const QString guide = FindUserGuide(candidates);
        QCOMPARE(guide, opened.isEmpty() ? QString() : root.filePath(opened));
        if (opened.isEmpty()) {
            const QStringList lines = UserGuideMissingText(candidates).split("\r\n");
            QCOMPARE(lines.size(), 1 + placesNamed);
            for (const QString &place : lines.mid(1))
                QVERIFY2(place.startsWith(dir.path()) && place.contains("user-guide."),
                         qPrintable(place));
        }
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
