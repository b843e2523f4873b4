// The About box: its texts, the logo rule, the "About" menu entry that shows it modally, and
// its "System Info..." button starting a system-information viewer, or the fall-back message.

#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "demopanel.h"
#include "link/linkkind.h"
#include "setup/aboutbox.h"
#include "setup/programversion.h"
#include "setup/sysinfo.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

// Finds the programs listed in `installed`, records what it starts, fails those in `broken`.
class FakeLauncher : public ProgramLauncher {
public:
    QString findProgram(const QString &name) override
    {
        looked << name;
        return installed.contains(name) ? "/usr/bin/" + name : QString();
    }
    bool startProgram(const QString &path) override
    {
        started << path;
        return !broken.contains(path);
    }
    QStringList installed, broken, looked, started;
};

} // namespace

class TestAboutBox : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aboutMenuShowsItModally_data();
    void aboutMenuShowsItModally();
    void sysInfo_data();
    void sysInfo();

private:
    std::unique_ptr<Fixture> m_f;
    std::shared_ptr<FakeLauncher> m_launcher;
};

void TestAboutBox::init()
{
    m_f = std::make_unique<Fixture>();
    m_launcher = std::make_shared<FakeLauncher>();
    SetProgramLauncher(m_launcher);
    SetProgramEnder([] {});
    modData().CommKind = LinkKind::Simulated;
    QCoreApplication::setApplicationVersion(ProgramVersionText());
}

void TestAboutBox::cleanup()
{
    SetProgramLauncher(nullptr);
    SetProgramEnder(nullptr);
    ClearPanelRegistry();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_f.reset();
}

// "About" shows the box modally over the panel, naming the panel it was opened from, and
// gone once closed; its texts, and the logo, shown only when over 1 mm wide (4 px at 96 dpi).
// The panel may go while the box is open (another panel took over): the box goes with it.
void TestAboutBox::aboutMenuShowsItModally_data()
{
    QTest::addColumn<QString>("appVersion");
    QTest::addColumn<QString>("versionLine");
    QTest::addColumn<int>("logoWidth"); // 0: no file
    QTest::addColumn<QString>("logo");  // its width as shown, or "hidden"
    QTest::addColumn<bool>("replaced"); // the panel is replaced while the box is open
    QTest::newRow("own version, no logo") << "1.25" << "ZOP Version 1.25" << 0 << "hidden" << false;
    QTest::newRow("file version text, 3 px logo") << "1.25.0001" << "ZOP Version 1.25" << 3 << "hidden" << false;
    QTest::newRow("no leading zeros, 4 px logo") << "02.05" << "ZOP Version 2.5" << 4 << "4" << false;
    QTest::newRow("none set: the program's own") << "" << "ZOP Version 1.25" << 120 << "120" << false;
    QTest::newRow("panel replaced meanwhile") << "1.25" << "ZOP Version 1.25" << 0 << "hidden" << true;
}

void TestAboutBox::aboutMenuShowsItModally()
{
    QFETCH(QString, appVersion);
    QFETCH(QString, versionLine);
    QFETCH(int, logoWidth);
    QFETCH(QString, logo);
    QFETCH(bool, replaced);
    QCoreApplication::setApplicationVersion(appVersion);
    modData().FirmwareVersion = "4.70";
    modData().HardwareVersion = "1.30";
    if (logoWidth > 0) { // Qt writes no GIF: PNG content, read by its content
        QImage image(logoWidth, 20, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        image.setDotsPerMeterX(3780);
        QVERIFY(image.save(m_f->path("logo.gif"), "PNG"));
    }
    QPointer<DemoPanel> p = new DemoPanel("frmCommand");
    p->show();
    QStringList seen;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<AboutBox *>(QApplication::activeModalWidget());
        QVERIFY(box && box->isModal() && box->parentWidget() == p);
        seen << box->windowTitle() << box->sTitle_Frm();
        for (const char *name : {"lblTitle", "lblVersion", "lblFirmware", "lblHardware"})
            seen << box->findChild<QLabel *>(name)->text();
        auto *picture = box->findChild<QLabel *>("pctLogo");
        seen << (picture->isVisible() ? QString::number(picture->pixmap().width()) : "hidden");
        if (replaced)
            p->closeReplaced();
        else
            QTest::mouseClick(box->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    });
    p->findChild<QAction *>("mnuAbout")->trigger();
    QCOMPARE(seen, (QStringList{"About ZOP Panel", "Command Panel", "Zoptrel", versionLine,
                                "Firmware Version 4.70", "Hardware Version 1.30", logo}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(!p, replaced);
    QVERIFY(!QApplication::activeModalWidget() && (!p || !p->findChild<AboutBox *>()));
    delete p.data();
}

void TestAboutBox::sysInfo_data()
{
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("broken");
    QTest::addColumn<QStringList>("started");
    QTest::addColumn<bool>("message");
    QTest::newRow("none installed") << QStringList{} << QStringList{} << QStringList{} << true;
    QTest::newRow("hardinfo") << QStringList{"hardinfo"} << QStringList{}
                              << QStringList{"/usr/bin/hardinfo"} << false;
    QTest::newRow("the first of the list wins")
        << QStringList{"gnome-system-monitor", "hardinfo"} << QStringList{}
        << QStringList{"/usr/bin/hardinfo"} << false;
    QTest::newRow("one fails to start, the next runs")
        << QStringList{"hardinfo", "lshw-gtk"} << QStringList{"/usr/bin/hardinfo"}
        << QStringList{"/usr/bin/hardinfo", "/usr/bin/lshw-gtk"} << false;
    QTest::newRow("the only one fails to start")
        << QStringList{"kinfocenter"} << QStringList{"/usr/bin/kinfocenter"}
        << QStringList{"/usr/bin/kinfocenter"} << true;
}

void TestAboutBox::sysInfo()
{
    QFETCH(QStringList, installed);
    QFETCH(QStringList, broken);
    QFETCH(bool, message);
    m_launcher->installed = installed;
    m_launcher->broken = broken;
    AboutBox box;

    QTest::mouseClick(box.findChild<QPushButton *>("cmdSysInfo"), Qt::LeftButton);

    QTEST(m_launcher->started, "started");
    QCOMPARE(m_f->prompter->texts(),
             message ? QStringList{"System Information Is Unavailable At This Time"} : QStringList());
    if (message) {
        QCOMPARE(m_launcher->looked, SystemInfoViewers());
        const Prompt &shown = m_f->prompter->shown.first();
        QVERIFY(shown.title == "ZOP Panel" && shown.icon == MsgIcon::None && shown.buttons == MsgButtons::Ok);
    }
}

QTEST_MAIN(TestAboutBox)
#include "test_aboutbox.moc"
