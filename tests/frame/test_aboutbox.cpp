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

// Writes a picture of the given width at 96 dpi under the name "logo.gif". Qt writes no GIF,
// so the content is PNG; the picture is read by its content.
void WriteLogo(const Fixture &f, int width)
{
    QImage image(width, 20, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    QVERIFY(image.save(f.path("logo.gif"), "PNG"));
}

} // namespace

class TestAboutBox : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void texts_data();
    void texts();
    void logoRule_data();
    void logoRule();
    void aboutMenuShowsItModally();
    void panelGoneWhileAboutIsOpen();
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

void TestAboutBox::texts_data()
{
    QTest::addColumn<QString>("appVersion");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("hardware");
    QTest::addColumn<QString>("versionLine");
    QTest::newRow("the program's own version")
        << "1.25" << "4.70" << "1.30" << "ZOP Version 1.25";
    QTest::newRow("file version text") << "1.25.0001" << "1.0" << "1.0" << "ZOP Version 1.25";
    QTest::newRow("no leading zeros") << "02.05" << "x" << "y" << "ZOP Version 2.5";
    QTest::newRow("none set: the program's own") << "" << "" << "" << "ZOP Version 1.25";
}

void TestAboutBox::texts()
{
    QFETCH(QString, appVersion);
    QFETCH(QString, firmware);
    QFETCH(QString, hardware);
    QFETCH(QString, versionLine);
    QCoreApplication::setApplicationVersion(appVersion);
    modData().FirmwareVersion = firmware;
    modData().HardwareVersion = hardware;

    AboutBox box;
    box.set_sTitle_Frm("Register Panel");
    box.set_sTitle("Zoptrel");
    QCOMPARE(box.windowTitle(), QStringLiteral("About ZOP Panel"));
    QCOMPARE(box.findChild<QLabel *>("lblTitle")->text(), QStringLiteral("Zoptrel"));
    QCOMPARE(box.findChild<QLabel *>("lblVersion")->text(), versionLine);
    QCOMPARE(box.findChild<QLabel *>("lblFirmware")->text(), "Firmware Version " + firmware);
    QCOMPARE(box.findChild<QLabel *>("lblHardware")->text(), "Hardware Version " + hardware);
}

void TestAboutBox::logoRule_data()
{
    QTest::addColumn<int>("width"); // pixels at 96 dpi; 0: no file
    QTest::addColumn<bool>("shown");
    QTest::newRow("missing") << 0 << false;
    QTest::newRow("3 px: under 1 mm") << 3 << false;
    QTest::newRow("4 px: just over 1 mm") << 4 << true;
    QTest::newRow("120 px") << 120 << true;
}

void TestAboutBox::logoRule()
{
    QFETCH(int, width);
    QFETCH(bool, shown);
    if (width > 0)
        WriteLogo(*m_f, width);
    QWidget parent;
    auto *box = new AboutBox(&parent);
    parent.show();
    box->show();
    auto *logo = box->findChild<QLabel *>("pctLogo");
    QCOMPARE(logo->isVisible(), shown);
    if (shown)
        QCOMPARE(logo->pixmap().width(), width);
}

// The box names the panel it was opened from.
void TestAboutBox::aboutMenuShowsItModally()
{
    const QString panelTitle = "Command Panel";
    modData().FirmwareVersion = "4.70";
    auto *p = new DemoPanel("frmCommand");
    p->show();
    QCOMPARE(p->windowTitle(), panelTitle);

    QString seenTitle, seenFrm, seenFirmware;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<AboutBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        modal = box->isModal() && box->parentWidget() == p;
        seenTitle = box->findChild<QLabel *>("lblTitle")->text();
        seenFrm = box->sTitle_Frm();
        seenFirmware = box->findChild<QLabel *>("lblFirmware")->text();
        QTest::mouseClick(box->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    });
    p->findChild<QAction *>("mnuAbout")->trigger();

    QVERIFY(modal);
    QCOMPARE(seenTitle, QStringLiteral("Zoptrel"));
    QCOMPARE(seenFrm, panelTitle);
    QCOMPARE(seenFirmware, QStringLiteral("Firmware Version 4.70"));
    QVERIFY(!p->findChild<AboutBox *>()); // gone once closed
    delete p;
}

void TestAboutBox::panelGoneWhileAboutIsOpen()
{
    QPointer<DemoPanel> p = new DemoPanel("frmCommand");
    p->show();
    bool boxSeen = false;
    QTimer::singleShot(0, this, [&] {
        boxSeen = qobject_cast<AboutBox *>(QApplication::activeModalWidget()) != nullptr;
        // Another panel took over while the box was open: this one goes.
        p->closeReplaced();
    });
    p->findChild<QAction *>("mnuAbout")->trigger();
    QVERIFY(boxSeen);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!p);
    QVERIFY(!QApplication::activeModalWidget());
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
    QFETCH(QStringList, started);
    QFETCH(bool, message);
    m_launcher->installed = installed;
    m_launcher->broken = broken;
    AboutBox box;

    QTest::mouseClick(box.findChild<QPushButton *>("cmdSysInfo"), Qt::LeftButton);

    QCOMPARE(m_launcher->started, started);
    if (message) {
        QCOMPARE(m_launcher->looked, SystemInfoViewers());
        QCOMPARE(m_f->prompter->shown.size(), 1);
        const Prompt &shown = m_f->prompter->shown.first();
        QCOMPARE(shown.text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(shown.title, QStringLiteral("ZOP Panel"));
        QCOMPARE(shown.icon, MsgIcon::None);
        QCOMPARE(shown.buttons, MsgButtons::Ok);
    } else {
        QCOMPARE(m_f->prompter->shown.size(), 0);
    }
}

QTEST_MAIN(TestAboutBox)
#include "test_aboutbox.moc"
