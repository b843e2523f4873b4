// The start-up sequence of the hidden start form on a scripted link, and where an installed
// or a build-tree program finds its files (settings, user guide).

#include "app/configuration.h"
#include "app/firstrun.h"
#include "app/programfolder.h"
#include "engine/startform.h"
#include "app/userguide.h"
#include "link/linkkind.h"
#include "testsupport.h"

#include <QDir>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {
QByteArray Config(const QByteArray &startup, const QByteArray &comm, const QByteArray &type)
{
    return ConfigLists + "[Application]\nStart-Up=" + startup + "\n[Communication]\nComm=" + comm
         + "\nAddress=127.0.0.1\nPort=50505\n[System]\nType=" + type + "\n";
}
} // namespace

Q_DECLARE_METATYPE(MsgAnswer)

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    // The hidden start form: the link opened as configured, the state read, the panel named
    // in the file asked for; an opening that fails, or no file at all, runs Simulated. The
    // record of a failed opening goes with the emptying of debug.txt at the end of start-up.
    void sequence_data()
    {
        QTest::addColumn<QByteArray>("config"); // empty: there is none
        QTest::addColumn<bool>("failOpen");
        QTest::addColumn<int>("panel");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<float>("volts"); // rated, as read or the defaults of Simulated mode
        const auto row = [](const char *name, const QByteArray &config, bool failOpen, PanelId panel, const QString &log,
                            const QStringList &prompts, const QStringList &sent, float volts) {
            QTest::newRow(name) << config << failOpen << int(panel) << log << prompts << sent << volts;
        };
        row("TCP/IP", Config("Virtual Control Panel", "TCP/IP", "TLB Series"), false, PanelId::TLB, "TCP/IP - Initialized\r\n",
            {}, {"<>SCL", "<>ALL", "SYST:VERS?", "SYST:ERR?"}, 30);
        row("opening fails", Config("Command Panel", "RS232", "TLB Series"), true, PanelId::Command, "",
            {"Device not Found.  Entering Simulated Mode!"}, {}, 15);
        row("no file", QByteArray(), false, PanelId::TLB, "- Initialized\r\n", {"No comm Port selected!"}, {}, 15);
    }

    void sequence()
    {
        QFETCH(QByteArray, config);
        QFETCH(int, panel);
        QFETCH(QStringList, sent);
        Fixture f;
        if (!config.isEmpty())
            f.writeFile(ConfigFileName, config);
        f.writeFile("debug.txt", "\"an old record\"\r\n");
        AnswerStateRefresh(*f.line);
        QFETCH(bool, failOpen);
        f.line->failOpen = failOpen;
        StartForm frmComm;
        QObject window;
        QList<PanelId> asked;
        const PanelId shown = frmComm.Load([&](PanelId id) {
            asked << id;
            return &window;
        });
        QCOMPARE(shown, PanelId(panel));
        QCOMPARE(asked, QList<PanelId>{PanelId(panel)});
        QCOMPARE(modData().CurrentPanel.data(), &window);
        QCOMPARE(modData().CommKind, qint16(sent.isEmpty() ? LinkKind::Simulated : LinkKind::TcpIp));
        QCOMPARE(f.line->commands(), sent);
        QTEST(frmComm.rtbTranx.logText(), "log");
        QTEST(f.prompter->texts(), "prompts");
        QCOMPARE(f.debugText(), QString());
        QTEST(modData().Ratings.VoltMax, "volts");
        QCOMPARE(modData().GpibEos, QString("10"));
        QVERIFY(frmComm.tcpTimer.isActive()); // the keep-alive (it acts on TCP/IP alone)
    }

    void firstStartOffersLinkSetup_data()
    {
        // "user settings": the per-user folder already has ZOP_Panel.ini; "TCP/IP": shipped with
        // a real link; "asked": the question was put before; "zopctl": it ran before the panel.
        QTest::addColumn<QString>("before");
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("setUp");
        QTest::newRow("first start, Yes") << "" << MsgAnswer::Yes << true << true;
        QTest::newRow("first start, No") << "" << MsgAnswer::No << true << false;
        QTest::newRow("settings made by zopctl, then the panel's first start") << "zopctl" << MsgAnswer::Yes << true << true;
        QTest::newRow("settings already there") << "user settings" << MsgAnswer::Yes << false << false;
        QTest::newRow("shipped with a real link") << "TCP/IP" << MsgAnswer::Yes << false << false;
        QTest::newRow("settings made again after the question") << "asked" << MsgAnswer::Yes << false << false;
    }

    // An installed layout (bin/ beside share/zop-panel) and a user's configuration folder: the
    // question comes only when the settings were just made from the shipped ones with their
    // Simulated link, and never twice.
    void firstStartOffersLinkSetup()
    {
        QFETCH(QString, before);
        QFETCH(MsgAnswer, answer);
        Fixture f;
        const QDir root(f.dir.path());
        QVERIFY(root.mkpath(QStringLiteral("bin")));
        f.writeFile("share/zop-panel/ZOP_Panel.ini", Config("Virtual Control Panel", before == "TCP/IP" ? "TCP/IP" : "Simulated", "TLB Series"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("config"))));
        const QString user = root.filePath(QStringLiteral("config/zop-panel"));
        if (before == "user settings")
            f.writeFile("config/zop-panel/ZOP_Panel.ini", Config("Virtual Control Panel", "Simulated", "TLB Series"));
        if (before == "asked")
            f.writeFile("config/zop-panel/" + LinkSetupOfferedFile, "asked\n");

        const QString bin = root.filePath(QStringLiteral("bin"));
        if (before == "zopctl")
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
        const auto row = [](const char *name, const QString &executable, const QStringList &files, const QString &opened,
                            int placesNamed) { QTest::newRow(name) << executable << files << opened << placesNamed; };
        row("build tree: the source tree's", "build/bin", {source, text}, source, 0);
        row("build tree, guide gone", "build/bin", {}, QString(), 1);
        row("installed: the page first", "usr/bin", {installed, page, text, source}, page, 0);
        row("installed, no page: the text", "usr/bin", {installed, text, source}, text, 0);
        row("installed, no guide: not the source tree's", "usr/bin", {installed, source}, QString(), 2);
    }

    void userGuideLocation()
    {
        QFETCH(QString, executable);
        QFETCH(QStringList, files);
        QFETCH(QString, opened);
        QFETCH(int, placesNamed);
        Fixture f;
        const QDir root(f.dir.path());
        QVERIFY(root.mkpath(executable));
        for (const QString &file : files)
            f.writeFile(file, "# ZOP Panel\n");
        const QStringList candidates
            = UserGuideCandidates(root.filePath(executable), root.filePath("src/docs/user-guide.md"));
        const QString guide = FindUserGuide(candidates);
        QCOMPARE(guide, opened.isEmpty() ? QString() : root.filePath(opened));
        if (opened.isEmpty()) {
            const QStringList lines = UserGuideMissingText(candidates).split("\r\n");
            QCOMPARE(lines.size(), 1 + placesNamed);
            for (const QString &place : lines.mid(1))
                QVERIFY2(place.startsWith(f.dir.path()) && place.contains("user-guide."),
                         qPrintable(place));
        }
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
