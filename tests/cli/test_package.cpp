// The .deb end to end: CPack builds it from this build, lintian judges it, dpkg-deb unpacks it
// into a scratch root, and the programs run from there as from an installed location, keeping
// their files (settings and "debug.txt") in the per-user folder. And the man pages (and zopctl's
// bash completion) document exactly the options the programs' --help lists.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QString out;
};

// Runs a program in `folder`.
Run Start(const QString &folder, const QString &program, const QStringList &arguments,
          int timeoutMs, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    Run r;
    if (!p.waitForStarted(5000))
        return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        r.out = QStringLiteral("did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAll());
    return r;
}

// The long options of every tag line (the line after ".TP") of a man page: its options, and the
// options its command entries name.
QStringList ManPageOptions(const QString &page)
{
    QStringList options;
    const QStringList lines = page.split(QLatin1Char('\n'));
    static const QRegularExpression option(QStringLiteral(R"(\\-\\-([a-z0-9]+(?:\\?-[a-z0-9]+)*))"));
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i - 1].trimmed() != QLatin1String(".TP"))
            continue;
        for (const auto &match : option.globalMatch(lines[i]))
            options << match.captured(1).remove(QLatin1Char('\\'));
    }
    options.removeDuplicates();
    options.sort();
    return options;
}

// The long options of the "Options:" block of a --help text (each entry starts two spaces in).
QStringList HelpOptions(const QString &help)
{
    QStringList options;
    static const QRegularExpression entry(QStringLiteral(R"(^  (?:-\w, )?--([a-z0-9][a-z0-9-]*))"));
    bool inOptions = false;
    for (const QString &line : help.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("Options:"))
            inOptions = true;
        else if (line.trimmed().isEmpty())
            inOptions = false;
        else if (inOptions)
            if (const auto match = entry.match(line); match.hasMatch())
                options << match.captured(1);
    }
    options.sort();
    return options;
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void debInstallsAndRuns();
    void manPageMatchesHelp_data();
    void manPageMatchesHelp();
};

void TestPackage::debInstallsAndRuns()
{
    const QString cpack = QStringLiteral(ZOP_CPACK);
    const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
    if (!QFile::exists(cpack) || dpkgDeb.isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("dpkg-shlibdeps")).isEmpty())
        QSKIP("needs cpack, dpkg-deb and dpkg-shlibdeps (scripts/install-deps.sh installs them)");

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QDir dir(scratch.path());
    const Run built = Start(scratch.path(), cpack, {"-G", "DEB", "--config",
                            ZOP_BUILD_DIR "/CPackConfig.cmake", "-B", dir.filePath("out")}, 50000);
    QVERIFY2(built.code == 0, qPrintable(built.out));
    const QStringList debs = QDir(dir.filePath("out")).entryList({"*.deb"});
    QCOMPARE(debs.size(), 1);
    const QString deb = dir.filePath(QStringLiteral("out/") + debs.first());

    // lintian finds no error and no warning that packaging/debian/lintian-overrides does not
    // justify (a copyright file, a changelog, stripped programs, a well-formed description).
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    QVERIFY2(!lintian.isEmpty(), "lintian is missing (scripts/install-deps.sh installs it)");
    const Run judged = Start(scratch.path(), lintian, {"--fail-on", "error,warning", deb}, 60000);
    QVERIFY2(judged.code == 0, qPrintable(judged.out));

    // The Qt libraries are declared, found from the programs themselves.
    const Run depends = Start(scratch.path(), dpkgDeb, {"-f", deb, "Depends"}, 10000);
    for (const char *library : {"libqt6core6", "libqt6widgets6", "libqt6serialport6"})
        QVERIFY2(depends.out.contains(QLatin1String(library)), qPrintable(depends.out));

    const QString root = dir.filePath(QStringLiteral("root"));
    QCOMPARE(Start(scratch.path(), dpkgDeb, {"-x", deb, root}, 20000).code, 0);
    for (const char *file :
         {"usr/bin/zop-panel", "usr/bin/zopctl", "usr/bin/zop-sim",
          "usr/share/zop-panel/ZOP_Panel.ini", "usr/share/zop-panel/logo.gif",
          "usr/share/applications/zop-panel.desktop",
          "usr/share/icons/hicolor/48x48/apps/zop-panel.png", "usr/share/man/man1/zopctl.1.gz",
          "usr/share/man/man1/zop-panel.1.gz", "usr/share/man/man1/zop-sim.1.gz",
          "usr/share/doc/zop-panel/copyright", "usr/share/lintian/overrides/zop-panel",
          "usr/share/doc/zop-panel/user-guide.md", "usr/share/doc/zop-panel/panel-tlb.png"})
        QVERIFY2(QFile::exists(QDir(root).filePath(QLatin1String(file))), file);

    const QString bin = root + QStringLiteral("/usr/bin/");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    for (const char *program : {"zopctl", "zop-panel", "zop-sim"}) {
        const Run version = Start(scratch.path(), bin + program, {"--version"}, 10000, env);
        QVERIFY2(version.code == 0 && version.out.trimmed().endsWith(QLatin1String(" 1.25")),
                 qPrintable(QLatin1String(program) + QStringLiteral(": ") + version.out));
    }

    // From the installed location the panel runs from a per-user folder made from the shipped
    // defaults; /usr stays untouched.
    const Run startup = Start(scratch.path(), bin + "zop-panel", {"--startup-only"}, 20000, env);
    QVERIFY2(startup.code == 0 && startup.out.contains(QLatin1String("link: Simulated")),
             qPrintable(startup.out));
    const QString userFolder = dir.filePath(QStringLiteral("config/zop-panel"));
    for (const char *file : {"ZOP_Panel.ini", "icon.ico", "logo.gif", "name.gif"})
        QVERIFY2(QFile::exists(userFolder + QLatin1Char('/') + QLatin1String(file)), file);
    QVERIFY(QFile(userFolder + QStringLiteral("/ZOP_Panel.ini")).permissions() & QFile::WriteOwner);
    // Its error log is there too, not in the folder it was started from.
    QVERIFY(QFile::exists(userFolder + QStringLiteral("/debug.txt")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("debug.txt"))));
}

void TestPackage::manPageMatchesHelp_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("zop-panel") << "zop-panel";
    QTest::newRow("zopctl") << "zopctl";
    QTest::newRow("zop-sim") << "zop-sim";
}

// Every option --help prints is documented in the man page, and the man page documents no
// option the program does not have. zopctl's bash completion offers every command and option
// its --help lists, and no other.
void TestPackage::manPageMatchesHelp()
{
    QFETCH(QString, program);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const Run help = Start(QDir::tempPath(), ZOP_BUILD_DIR "/bin/" + program, {"--help"}, 10000, env);
    QCOMPARE(help.code, 0);
    QFile page(QStringLiteral(ZOP_SOURCE_DIR "/packaging/man/") + program + QStringLiteral(".1"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QStringList inHelp = HelpOptions(help.out);
    const QStringList inPage = ManPageOptions(QString::fromUtf8(page.readAll()));
    QVERIFY2(inHelp.contains(QLatin1String("version")), qPrintable(help.out));
    QCOMPARE(inPage, inHelp); // both sorted: the first option only one of them has shows
    if (program != QLatin1String("zopctl"))
        return;
    QFile file(QStringLiteral(ZOP_SOURCE_DIR "/packaging/zopctl.bash-completion"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString completion = QString::fromUtf8(file.readAll());
    const auto words = [&](const QString &list) { // sorted, without the leading "--"
        QStringList w = QRegularExpression("\\b" + list + "=\"([^\"]*)\"").match(completion).captured(1)
                            .remove(QStringLiteral("--")).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        w.sort();
        return w;
    };
    QStringList commands;
    for (const auto &m : QRegularExpression("^  ([a-z]+)", QRegularExpression::MultilineOption)
                             .globalMatch(help.out.section("Commands:\n", 1).section("\n\n", 0, 0)))
        commands << m.captured(1);
    commands.sort();
    QVERIFY(commands.contains("ports") && inHelp.contains("port"));
    QCOMPARE(words("commands"), commands);
    QCOMPARE(words("options"), inHelp);
}

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
