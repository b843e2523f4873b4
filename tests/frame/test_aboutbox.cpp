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

    void aboutMenuShowsItModally_data();
    void aboutMenuShowsItModally();
    void logoRule_data();
    void logoRule();
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

// "About" shows the box modally over the panel, naming the panel it was opened from, and
// gone once closed; its texts.
void TestAboutBox::aboutMenuShowsItModally_data()
{
    QTest::addColumn<QString>("appVersion");
    QTest::addColumn<QString>("versionLine");
    QTest::newRow("the program's own version") << "1.25" << "ZOP Version 1.25";
    QTest::newRow("file version text") << "1.25.0001" << "ZOP Version 1.25";
    QTest::newRow("no leading zeros") << "02.05" << "ZOP Version 2.5";
    QTest::newRow("none set: the program's own") << "" << "ZOP Version 1.25";
}

void TestAboutBox::aboutMenuShowsItModally()
{
    QFETCH(QString, appVersion);
    QFETCH(QString, versionLine);
    QCoreApplication::setApplicationVersion(appVersion);
    modData().FirmwareVersion = "4.70";
    modData().HardwareVersion = "1.30";
    auto *p = new DemoPanel("frmCommand");
    p->show();
    QStringList seen;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<AboutBox *>(QApplication::activeModalWidget());
        QVERIFY(box && box->isModal() && box->parentWidget() == p);
        seen << box->windowTitle() << box->sTitle_Frm();
        for (const char *name : {"lblTitle", "lblVersion", "lblFirmware", "lblHardware"})
            seen << box->findChild<QLabel *>(name)->text();
        QTest::mouseClick(box->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    });
    p->findChild<QAction *>("mnuAbout")->trigger();
    QCOMPARE(seen, (QStringList{"About ZOP Panel", "Command Panel", "Zoptrel", versionLine,
                                "Firmware Version 4.70", "Hardware Version 1.30"}));
    QVERIFY(!p->findChild<AboutBox *>());
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
        QCOMPARE(m_f->prompter->texts(), QStringList{"System Information Is Unavailable At This Time"});
        const Prompt &shown = m_f->prompter->shown.first();
        QVERIFY(shown.title == "ZOP Panel" && shown.icon == MsgIcon::None && shown.buttons == MsgButtons::Ok);
    } else {
        QCOMPARE(m_f->prompter->shown.size(), 0);
    }
}

QTEST_MAIN(TestAboutBox)
#include "test_aboutbox.moc"
