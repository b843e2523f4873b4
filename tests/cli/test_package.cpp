// The .deb end to end: CPack builds it from this build, dpkg-deb unpacks it into a scratch
// root, and the programs run from there as from an installed location, keeping their files
// (settings and "debug.txt") in the per-user folder.

#include <QDir>
#include <QFile>
#include <QProcess>
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

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void debInstallsAndRuns();
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
    const Run built
        = Start(scratch.path(), cpack,
                {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                 QStringLiteral(ZOP_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"),
                 dir.filePath(QStringLiteral("out"))},
                50000);
    QVERIFY2(built.code == 0, qPrintable(built.out));
    const QStringList debs
        = QDir(dir.filePath(QStringLiteral("out"))).entryList({QStringLiteral("*.deb")});
    QCOMPARE(debs.size(), 1);
    const QString deb = dir.filePath(QStringLiteral("out/") + debs.first());

    // The Qt libraries are declared, found from the programs themselves.
    const Run depends = Start(scratch.path(), dpkgDeb,
                              {QStringLiteral("-f"), deb, QStringLiteral("Depends")}, 10000);
    QVERIFY2(depends.out.contains(QLatin1String("libqt6core6"))
                 && depends.out.contains(QLatin1String("libqt6widgets6"))
                 && depends.out.contains(QLatin1String("libqt6serialport6")),
             qPrintable(depends.out));

    const QString root = dir.filePath(QStringLiteral("root"));
    QCOMPARE(Start(scratch.path(), dpkgDeb, {QStringLiteral("-x"), deb, root}, 20000).code, 0);
    for (const char *file :
         {"usr/bin/zop-panel", "usr/bin/zopctl", "usr/bin/zop-sim",
          "usr/share/zop-panel/ZOP_Panel.ini", "usr/share/zop-panel/logo.gif",
          "usr/share/applications/zop-panel.desktop",
          "usr/share/icons/hicolor/48x48/apps/zop-panel.png", "usr/share/man/man1/zopctl.1.gz",
          "usr/share/man/man1/zop-panel.1.gz", "usr/share/man/man1/zop-sim.1.gz"})
        QVERIFY2(QFile::exists(QDir(root).filePath(QLatin1String(file))), file);

    const QString bin = root + QStringLiteral("/usr/bin/");
    const Run version = Start(scratch.path(), bin + QStringLiteral("zopctl"),
                              {QStringLiteral("--version")}, 10000);
    QCOMPARE(version.out, QStringLiteral("zopctl 1.25\n"));

    // From the installed location the panel runs from a per-user folder made from the shipped
    // defaults; /usr stays untouched.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    const Run startup = Start(scratch.path(), bin + QStringLiteral("zop-panel"),
                              {QStringLiteral("--startup-only")}, 20000, env);
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

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
