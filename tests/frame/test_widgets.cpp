// The widgets every panel uses: the transaction log, the knob, the lamp, the shared file
// dialog routine and rotated captions.

#include "demopanel.h"
#include "filedialoganswer.h"
#include "testsupport.h"
#include "ui/knob.h"
#include "ui/look.h"
#include "ui/lamp.h"
#include "ui/linkstatusline.h"
#include "ui/messageprompter.h"
#include "remote/remotecontrol.h"
#include "ui/rotatedtext.h"
#include "ui/transactionlog.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QSignalSpy>
#include <QTimer>
#include <QTextBlock>
#include <QtTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cmath>

using namespace zop;
using namespace zop::test;

namespace {

QRect InkBounds(const QImage &image, QRgb background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

float Spied(const QSignalSpy &spy, int i) { return spy.at(i).at(0).toFloat(); }

// A knob 100 pixels square with its range and value set, and its two signals watched.
struct SpiedKnob {
    SpiedKnob(float maximum, float value)
    {
        knob.resize(100, 100);
        knob.setMaximum(maximum);
        knob.setValue(value);
    }
    Knob knob;
    QSignalSpy turning{&knob, &Knob::turning};
    QSignalSpy ended{&knob, &Knob::turnEnded};
};

void SendWheel(QWidget *w, int delta)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

void SendMouse(QWidget *w, QEvent::Type type, QPointF pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    // Remote-control socket.
    void remoteControlSocket_data();
    void remoteControlSocket();

    // Transaction log.
    void logCaret_data();
    void logCaret();
    void logAppendMatchesSet_data();
    void logAppendMatchesSet();
    void logIsPlainAndReadOnly();
    void logColoursTrafficInTheViewOnly();
    void messageBoxShowsDetailsAsPlainText();

    // Knob.
    void knobClamps_data();
    void knobClamps();
    void knobKeyboard_data();
    void knobKeyboard();
    void knobKeyAutoRepeatIsOneTurn();
    void knobAtLimitDoesNotTurn();
    void knobWheelBurstEndsAfterQuiet();
    void knobMouseDragFollowsAngle();
    void knobDisabledIgnoresInput_data();
    void knobDisabledIgnoresInput();
    void knobDisabledMidTurnEndsTurn();
    void knobAccessibleValue();

    // Lamp.
    void lampColourFromBgr_data();
    void lampColourFromBgr();
    void lampLitAndDark();

    // The status line's text when it does not fit.
    void elideAtWord_data();
    void elideAtWord();

    // SelectFile.
    void selectFile_data();
    void selectFile();
    void selectFileThroughTheDialog_data();
    void selectFileThroughTheDialog();

    // DrawRotatedText.
    void rotatedText_data();
    void rotatedText();
    void rotatedTextFont();

    // The look.
    void lookKeepsTextReadable_data();
    void lookKeepsTextReadable();
    void lookFollowsTheDesktop_data();
    void lookFollowsTheDesktop();
};

void TestWidgets::cleanup() { SetFileChooser(nullptr); }

// ---- Transaction log -----------------------------------------------------------------------

void TestWidgets::logCaret_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("viewPosition"); // in the view, where CR LF is one character
    QTest::addColumn<QString>("lineAtCaret");

    QTest::newRow("empty") << "" << 0 << "";
    QTest::newRow("one character: at the end") << "a" << 1 << "a";
    QTest::newRow("two characters: 2 before the end") << "ab" << 0 << "ab";
    QTest::newRow("before the final CR LF") << "Simulated - Initialized\r\n" << 23
                                            << "Simulated - Initialized";
    QTest::newRow("newest line, CR LF lines")
        << "RS232 - Initialized\r\nVOLT 5\r\n" << 26 << "VOLT 5";
    QTest::newRow("LF lines: 2 characters before the end") << "VOLT 5\nCURR 1\n" << 12 << "CURR 1";
    QTest::newRow("no final line break") << "VOLT 5\r\n9.999" << 10 << "9.999";
}

void TestWidgets::logCaret()
{
    QFETCH(QString, text);
    QFETCH(int, viewPosition);
    QFETCH(QString, lineAtCaret);

    TransactionLog log;
    log.setLogText(text);
    QCOMPARE(log.logText(), text);
    QCOMPARE(log.textCursor().position(), viewPosition);
    QCOMPARE(log.textCursor().block().text(), lineAtCaret);

    // The same after appending the text to an empty log.
    TransactionLog appended;
    appended.appendLogText(text);
    QCOMPARE(appended.textCursor().position(), viewPosition);
}

void TestWidgets::logAppendMatchesSet_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("link open then traffic")
        << QStringList{"TCP/IP ", "- Initialized\r\n", "<>STA\n", "1F40,3E8,48,0,1\r\n"};
    QTest::newRow("CR LF split across appends")
        << QStringList{"VOLT 5\r", "\nCURR 1\r", "\n", "MEAS?\n"};
    QTest::newRow("lone CR") << QStringList{"abc\r", "def\r\n"};
}

void TestWidgets::logAppendMatchesSet()
{
    QFETCH(QStringList, pieces);
    TransactionLog appended;
    for (const QString &piece : pieces)
        appended.appendLogText(piece);
    TransactionLog whole;
    whole.setLogText(pieces.join(QString()));

    QCOMPARE(appended.logText(), pieces.join(QString()));
    QCOMPARE(appended.toPlainText(), whole.toPlainText());
    QCOMPARE(appended.textCursor().position(), whole.textCursor().position());
    QCOMPARE(appended.document()->blockCount(), whole.document()->blockCount());
}

void TestWidgets::logIsPlainAndReadOnly()
{
    TransactionLog log;
    QVERIFY(log.isReadOnly());
    log.setLogText(QStringLiteral("<b>9.999</b>&amp;\r\n"));
    QCOMPARE(log.toPlainText(), QStringLiteral("<b>9.999</b>&amp;\n"));
    log.setFocus();
    QTest::keyClicks(&log, QStringLiteral("typed"));
    QCOMPARE(log.logText(), QStringLiteral("<b>9.999</b>&amp;\r\n"));
}

void TestWidgets::logColoursTrafficInTheViewOnly()
{
    TransactionLog log;
    log.setLogText(QStringLiteral("TCP/IP - Initialized\r\n"));
    log.appendTraffic(QStringLiteral("*IDN?\n"), LogTraffic::Sent);
    log.appendTraffic(QStringLiteral("ZOP,1.0\r\n"), LogTraffic::Received);
    log.appendLogText(QStringLiteral("note\r\n"));
    // What is kept (and saved) is the text alone.
    QCOMPARE(log.logText(), QStringLiteral("TCP/IP - Initialized\r\n*IDN?\nZOP,1.0\r\nnote\r\n"));

    // The format of the first character of each line in the view.
    const auto format = [&](int line) {
        QTextCursor c(log.document()->findBlockByNumber(line));
        c.movePosition(QTextCursor::NextCharacter);
        return c.charFormat();
    };
    QCOMPARE(format(1).foreground().color(), TransactionLog::TrafficColour(LogTraffic::Sent));
    QCOMPARE(format(2).foreground().color(), TransactionLog::TrafficColour(LogTraffic::Received));
    QVERIFY(TransactionLog::TrafficColour(LogTraffic::Sent)
            != TransactionLog::TrafficColour(LogTraffic::Received));
    QVERIFY(!format(0).hasProperty(QTextFormat::ForegroundBrush));
    QVERIFY(!format(3).hasProperty(QTextFormat::ForegroundBrush)); // no colour carried over
}

void TestWidgets::messageBoxShowsDetailsAsPlainText()
{
    MessagePrompter prompter;
    QString text, details, title;
    Qt::TextFormat detailsFormat = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        details = box->informativeText();
        title = box->windowTitle();
        if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
            detailsFormat = label->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    const QString shownDetails = QStringLiteral("Link: TCP/IP <b>host</b>:1\nReason: Connection refused");
    QCOMPARE(prompter.ShowWithDetails(QStringLiteral("Device not Found.  Entering Simulated Mode!"),
                                      shownDetails, QStringLiteral("Comm Error"), MsgIcon::None,
                                      MsgButtons::Ok),
             MsgAnswer::Ok);
    QCOMPARE(text, QStringLiteral("Device not Found.  Entering Simulated Mode!"));
    QCOMPARE(title, QStringLiteral("Comm Error"));
    QCOMPARE(details, shownDetails);
    QCOMPARE(detailsFormat, Qt::PlainText);
}

// ---- Knob ----------------------------------------------------------------------------------

void TestWidgets::knobClamps_data()
{
    QTest::addColumn<float>("maximum");
    QTest::addColumn<float>("set");
    QTest::addColumn<float>("expected");
    QTest::newRow("inside") << 60.0f << 12.5f << 12.5f;
    QTest::newRow("above the maximum") << 60.0f << 75.0f << 60.0f;
    QTest::newRow("below 0") << 60.0f << -1.0f << 0.0f;
    QTest::newRow("not a number") << 60.0f << float(NAN) << 0.0f;
    QTest::newRow("maximum 0") << 0.0f << 5.0f << 0.0f;
    QTest::newRow("negative maximum counts as 0") << -10.0f << 5.0f << 0.0f;
}

// Setting the value or the maximum clamps it, silently: neither is a turn.
void TestWidgets::knobClamps()
{
    QFETCH(float, maximum);
    QFETCH(float, set);
    QFETCH(float, expected);
    SpiedKnob k(maximum, set);
    QVERIFY(k.knob.maximum() >= 0);
    QCOMPARE(k.knob.value(), expected);
    // Lowering the maximum pulls the value down.
    k.knob.setMaximum(expected / 2);
    QCOMPARE(k.knob.value(), expected / 2);
    QCOMPARE(k.turning.count(), 0);
    QCOMPARE(k.ended.count(), 0);
}

void TestWidgets::knobKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<float>("expected");
    // Maximum 60: one step is 0.1, a page 1; starting at 30.
    QTest::newRow("Up") << int(Qt::Key_Up) << 30.1f;
    QTest::newRow("Right") << int(Qt::Key_Right) << 30.1f;
    QTest::newRow("Down") << int(Qt::Key_Down) << 29.9f;
    QTest::newRow("Left") << int(Qt::Key_Left) << 29.9f;
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << 31.0f;
    QTest::newRow("PageDown") << int(Qt::Key_PageDown) << 29.0f;
    // One keystroke never sends the output to an end of its range.
    QTest::newRow("Home does nothing") << int(Qt::Key_Home) << 30.0f;
    QTest::newRow("End does nothing") << int(Qt::Key_End) << 30.0f;
}

void TestWidgets::knobKeyboard()
{
    QFETCH(int, key);
    QFETCH(float, expected);
    SpiedKnob k(60, 30);
    QStringList order;
    connect(&k.knob, &Knob::turning, this, [&] { order << "turning"; });
    connect(&k.knob, &Knob::turnEnded, this, [&] { order << "ended"; });

    QTest::keyClick(&k.knob, Qt::Key(key));

    const bool turns = expected != 30.0f;
    QCOMPARE(order, (turns ? QStringList{"turning", "ended"} : QStringList{}));
    if (turns) {
        QVERIFY(qFuzzyCompare(Spied(k.turning, 0), expected));
        QVERIFY(qFuzzyCompare(Spied(k.ended, 0), expected));
    }
    QVERIFY(qFuzzyCompare(k.knob.value(), expected));
    QVERIFY(!k.knob.isTurning());
}

void TestWidgets::knobKeyAutoRepeatIsOneTurn()
{
    SpiedKnob k(60, 10);
    QTest::keyPress(&k.knob, Qt::Key_PageUp);
    for (int i = 0; i < 2; ++i) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&k.knob, &release);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&k.knob, &press);
    }
    QCOMPARE(k.turning.count(), 3);
    QCOMPARE(k.ended.count(), 0);
    QTest::keyRelease(&k.knob, Qt::Key_PageUp);
    QCOMPARE(k.ended.count(), 1);
    QVERIFY(qFuzzyCompare(Spied(k.ended, 0), 13.0f));
}

void TestWidgets::knobAtLimitDoesNotTurn()
{
    SpiedKnob k(6, 6);
    QTest::keyClick(&k.knob, Qt::Key_Up);
    QTest::keyClick(&k.knob, Qt::Key_End);
    QCOMPARE(k.turning.count(), 0);
    QCOMPARE(k.ended.count(), 0);
    QCOMPARE(k.knob.value(), 6.0f);
}

void TestWidgets::knobWheelBurstEndsAfterQuiet()
{
    SpiedKnob k(6, 2); // one notch: 0.01
    k.knob.setWheelQuietInterval(0);
    SendWheel(&k.knob, 120);
    SendWheel(&k.knob, 120);
    SendWheel(&k.knob, 60); // half a notch: nothing yet
    SendWheel(&k.knob, 60);
    QCOMPARE(k.turning.count(), 3);
    QCOMPARE(k.ended.count(), 0);
    QVERIFY(k.knob.isTurning());

    QTRY_COMPARE(k.ended.count(), 1);
    QVERIFY(qFuzzyCompare(Spied(k.ended, 0), 2.03f));
    SendWheel(&k.knob, -120);
    QTRY_COMPARE(k.ended.count(), 2);
    QVERIFY(qFuzzyCompare(Spied(k.ended, 1), 2.02f));
}

void TestWidgets::knobMouseDragFollowsAngle()
{
    SpiedKnob k(27, 5); // 270 degrees: 1 per 10 degrees
    SendMouse(&k.knob, QEvent::MouseButtonPress, QPointF(90, 50)); // 3 o'clock
    QCOMPARE(k.turning.count(), 0);
    SendMouse(&k.knob, QEvent::MouseMove, QPointF(50, 90)); // 6 o'clock: 90 degrees clockwise
    QCOMPARE(k.turning.count(), 1);
    QVERIFY(qFuzzyCompare(k.knob.value(), 14.0f));
    SendMouse(&k.knob, QEvent::MouseMove, QPointF(90, 50)); // back
    QVERIFY(qFuzzyCompare(k.knob.value(), 5.0f));
    QCOMPARE(k.ended.count(), 0);
    SendMouse(&k.knob, QEvent::MouseButtonRelease, QPointF(90, 50));
    QCOMPARE(k.ended.count(), 1);
    QVERIFY(qFuzzyCompare(Spied(k.ended, 0), 5.0f));
}

void TestWidgets::knobDisabledIgnoresInput_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("key") << "key";
    QTest::newRow("wheel") << "wheel";
    QTest::newRow("mouse") << "mouse";
}

void TestWidgets::knobDisabledIgnoresInput()
{
    QFETCH(QString, input);
    SpiedKnob k(27, 5);
    k.knob.setWheelQuietInterval(0);
    k.knob.setEnabled(false);
    if (input == "key") {
        QTest::keyClick(&k.knob, Qt::Key_PageUp);
    } else if (input == "wheel") {
        SendWheel(&k.knob, 240);
    } else {
        SendMouse(&k.knob, QEvent::MouseButtonPress, QPointF(90, 50));
        SendMouse(&k.knob, QEvent::MouseMove, QPointF(50, 90));
        SendMouse(&k.knob, QEvent::MouseButtonRelease, QPointF(50, 90));
    }
    QCoreApplication::processEvents();
    QCOMPARE(k.knob.value(), 5.0f);
    QCOMPARE(k.turning.count(), 0);
    QCOMPARE(k.ended.count(), 0);
}

void TestWidgets::knobDisabledMidTurnEndsTurn()
{
    SpiedKnob k(60, 0);
    QTest::keyPress(&k.knob, Qt::Key_PageUp);
    QVERIFY(k.knob.isTurning());
    k.knob.setEnabled(false); // a menu opened while the key was held
    QCOMPARE(k.ended.count(), 1);
    QTest::keyRelease(&k.knob, Qt::Key_PageUp);
    QCOMPARE(k.ended.count(), 1);
}

void TestWidgets::knobAccessibleValue()
{
    SpiedKnob k(60, 12.5f);
    k.knob.setAccessibleName(QStringLiteral("Voltage knob"));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&k.knob);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Dial);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Voltage knob"));
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("12.5"));
    QAccessibleValueInterface *value = iface->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->currentValue().toFloat(), 12.5f);
    QCOMPARE(value->maximumValue().toFloat(), 60.0f);
    QCOMPARE(value->minimumValue().toFloat(), 0.0f);

    // Setting it from an assistive tool is a whole turn, clamped like any other.
    value->setCurrentValue(75.0);
    QCOMPARE(k.knob.value(), 60.0f);
    QCOMPARE(k.turning.count(), 1);
    QCOMPARE(k.ended.count(), 1);
    QCOMPARE(Spied(k.ended, 0), 60.0f);
    k.knob.setEnabled(false);
    value->setCurrentValue(3.0);
    QCOMPARE(k.knob.value(), 60.0f);
}

// ---- Lamp ----------------------------------------------------------------------------------

void TestWidgets::lampColourFromBgr_data()
{
    QTest::addColumn<quint32>("bgr");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("name");
    QTest::newRow("orange 33023") << quint32(33023) << QColor(255, 128, 0) << "orange";
    QTest::newRow("an unnamed colour") << quint32(0xFF0000) << QColor(0, 0, 255) << "#0000ff";
    QTest::newRow("grey text") << quint32(0x80000011) << DarkLampColour()
                               << DarkLampColour().name();
}

void TestWidgets::lampColourFromBgr()
{
    QFETCH(quint32, bgr);
    QFETCH(QColor, colour);
    QFETCH(QString, name);
    QCOMPARE(ColourFromBgr(bgr), colour);
    QCOMPARE(LampColourName(ColourFromBgr(bgr)), name);
}

void TestWidgets::lampLitAndDark()
{
    Lamp lamp(QStringLiteral("STANDBY"));
    auto shown = [&](QPalette::ColorGroup group) {
        return lamp.palette().color(group, QPalette::WindowText);
    };
    QVERIFY(!lamp.isLit());
    QCOMPARE(shown(QPalette::Active), DarkLampColour());
    QCOMPARE(lamp.accessibleDescription(), QStringLiteral("dark"));

    lamp.setLit(LampColour::Orange);
    QVERIFY(lamp.isLit());
    QCOMPARE(shown(QPalette::Active), QColor(255, 128, 0));
    QCOMPARE(shown(QPalette::Inactive), QColor(255, 128, 0));
    QCOMPARE(lamp.accessibleDescription(), QStringLiteral("lit orange"));
    // The dark colour is not lost by lighting a lamp.
    QCOMPARE(DarkLampColour(),
             QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));

    lamp.setDark();
    QCOMPARE(shown(QPalette::Active), DarkLampColour());
    QCOMPARE(lamp.colour(), DarkLampColour());
    QCOMPARE(lamp.accessibleDescription(), QStringLiteral("dark"));
}

// ---- ElideAtWord ---------------------------------------------------------------------------

void TestWidgets::elideAtWord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width"); // in characters here
    QTest::addColumn<QString>("shown");
    const QString failed = "failed (The remote host closed the connection)";
    QTest::newRow("fits") << failed << 46 << failed;
    QTest::newRow("after the last whole word that fits")
        << failed << 33 << QString("failed (The remote host closed\u2026");
    QTest::newRow("one short of the next word") << failed << 29 << QString("failed (The remote host\u2026");
    QTest::newRow("blanks before the cut dropped") << "one   two" << 5 << QString("one\u2026");
    QTest::newRow("first word too long: its characters")
        << "Simulated: no instrument" << 6 << QString("Simul\u2026");
    QTest::newRow("no room at all") << "Simulated" << 0 << QString("\u2026");
}

void TestWidgets::elideAtWord()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QTEST(ElideAtWord(text, width, [](const QString &t) { return int(t.size()); }), "shown");
}

// ---- SelectFile ----------------------------------------------------------------------------

void TestWidgets::selectFile_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("fail"); // the dialog itself fails
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("result");
    QTest::newRow("save, capitals and blanks kept")
        << "" << "/tmp/Logs/Bench A/Table.MODTABLE" << false << false
        << "/tmp/Logs/Bench A/Table.MODTABLE";
    QTest::newRow("open") << "open" << "/tmp/a.modTable" << false << true << "/tmp/a.modTable";
    QTest::newRow("mode is exact: Open is a save")
        << "Open" << "/tmp/a.modtable" << false << false << "/tmp/a.modtable";
    QTest::newRow("cancelled") << "open" << "" << false << true << "";
    QTest::newRow("dialog failure is a cancel") << "open" << "/tmp/a.modtable" << true << true << "";
}

void TestWidgets::selectFile()
{
    QFETCH(QString, mode);
    QFETCH(QString, chosen);
    QFETCH(bool, fail);
    QFETCH(bool, open);
    QFETCH(QString, result);
    auto chooser = std::make_shared<RecordingChooser>();
    chooser->answer = chosen;
    chooser->fail = fail;
    SetFileChooser(chooser);
    QWidget parent;

    QCOMPARE(SelectFile(&parent, "Select or Enter File", "/work/Program", "Modulation Table",
                        "*.modTable", mode),
             result);

    QCOMPARE(chooser->requests.size(), 1);
    const FileRequest &r = chooser->requests.first();
    QCOMPARE(r.title, QStringLiteral("ZOP Panel - Select or Enter File"));
    QCOMPARE(r.folder, QStringLiteral("/work/Program"));
    QCOMPARE(r.filter, QStringLiteral("Modulation Table (*.modTable)|*.modTable|All Files (*.*)|*.*"));
    QCOMPARE(r.qtFilter, QStringLiteral("Modulation Table (*.modTable);;All Files (*.*)"));
    QCOMPARE(r.open, open);
    QCOMPARE(r.parent, &parent);
}

// The whole path a user takes: the real dialog, a name typed into it, and the path SelectFile
// hands back, exactly as typed, for files new and old whose names have capitals and blanks.
void TestWidgets::selectFileThroughTheDialog_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("name");    // in a scratch folder
    QTest::addColumn<bool>("exists");     // the file is there before
    QTest::newRow("save, a log in a folder") << "" << "Logs/Session1.txt" << false;
    QTest::newRow("save, a trend export") << "save" << "Bench Run 7.CSV" << false;
    QTest::newRow("open, a table") << "open" << "Ramp.modTable" << true;
    QTest::newRow("open, a HEX file") << "open" << "Bench Files/New Firmware.HEX" << true;
}

void TestWidgets::selectFileThroughTheDialog()
{
    QFETCH(QString, mode);
    QFETCH(QString, name);
    QFETCH(bool, exists);
    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    const QString path = dir.filePath(name);
    QVERIFY(dir.mkpath(QFileInfo(path).path()));
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QWidget parent;
    FileDialogAnswer user(path);

    QCOMPARE(SelectFile(&parent, "Select or Enter File", dir.path(), "Text Files", "*.txt", mode),
             path);
    QCOMPARE(user.shown, QStringList{(mode == "open" ? "open " : "save ")
                                     + QStringLiteral("ZOP Panel - Select or Enter File")});
}

// ---- DrawRotatedText -----------------------------------------------------------------------

void TestWidgets::rotatedText_data()
{
    QTest::addColumn<int>("angle");
    QTest::addColumn<QRect>("area"); // where the ink must lie: the text starts at (100, 150)
    QTest::addColumn<bool>("upward");
    // Upward, glyph tops to the left; level, glyph tops at the reference point.
    QTest::newRow("upward (900)") << 900 << QRect(QPoint(99, 0), QPoint(112, 150)) << true;
    QTest::newRow("level (0)") << 0 << QRect(QPoint(99, 149), QPoint(199, 162)) << false;
}

void TestWidgets::rotatedText()
{
    QFETCH(int, angle);
    QFETCH(QRect, area);
    QFETCH(bool, upward);
    const QRgb white = qRgb(255, 255, 255);
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(white);
    {
        QPainter painter(&image);
        painter.setPen(Qt::black);
        painter.setBackground(Qt::blue);
        painter.setBackgroundMode(Qt::OpaqueMode);
        DrawRotatedText(painter, "SET POINT", 100, 150, angle, "Arial", 11, true, false);
        // The caller's painter is left as it was.
        QCOMPARE(painter.backgroundMode(), Qt::OpaqueMode);
    }
    const QRect ink = InkBounds(image, white);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(area.contains(ink), qPrintable(QString("%1,%2 %3x%4").arg(ink.x()).arg(ink.y())
                                                .arg(ink.width()).arg(ink.height())));
    QVERIFY(upward ? ink.height() > 3 * ink.width() : ink.width() > 3 * ink.height());
    // Transparent background: no blue box behind the glyphs.
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            QVERIFY(qBlue(image.pixel(x, y)) <= qRed(image.pixel(x, y)) + 8);
}

void TestWidgets::rotatedTextFont()
{
    const QFont bold = RotatedTextFont("Arial", 11, true, false);
    QCOMPARE(bold.weight(), QFont::Weight(700));
    QVERIFY(!bold.italic());
    // An 11-unit cell on a 96-dpi surface, twice that on a 192-dpi one, whatever the session's
    // hinting: the small-size metrics of a hinted font must not shrink it.
    QImage surface(10, 10, QImage::Format_RGB32);
    surface.setDotsPerMeterY(3780); // 96 dpi
    const QFont at96 = RotatedTextFont("Arial", 11, true, false, &surface);
    QFont unhinted = at96;
    unhinted.setHintingPreference(QFont::PreferNoHinting);
    QVERIFY(qAbs(QFontMetricsF(unhinted).height() - 11) <= 0.6);
    surface.setDotsPerMeterY(7559); // 192 dpi
    QVERIFY(qAbs(RotatedTextFont("Arial", 11, true, false, &surface).pixelSize() - 2 * at96.pixelSize()) <= 1);
    const QFont appFont = QGuiApplication::font();
    for (const auto hinting : {QFont::PreferFullHinting, QFont::PreferNoHinting}) {
        QFont session = appFont;
        session.setHintingPreference(hinting);
        QGuiApplication::setFont(session);
        QCOMPARE(RotatedTextFont("Arial", 11, true, false).pixelSize(), bold.pixelSize());
    }
    QGuiApplication::setFont(appFont);
    const QFont plain = RotatedTextFont("Arial", -20, false, true);
    QCOMPARE(plain.weight(), QFont::Weight(400));
    QVERIFY(plain.italic());
    QCOMPARE(plain.pixelSize(), 20);
    const QString longName(40, QLatin1Char('F'));
    QCOMPARE(RotatedTextFont(longName, 11, false, false).family(), longName.left(31));
}

// ---- Remote-control socket -------------------------------------------------------------

void TestWidgets::remoteControlSocket_data()
{
    QTest::addColumn<QString>("given");    // the --remote-control argument
    QTest::addColumn<QString>("standing"); // what stands at the path before: "", file, socket
    QTest::addColumn<bool>("listens");
    QTest::newRow("relative name: the runtime folder") << "panel.sock" << "" << true;
    QTest::newRow("absolute path") << "ABS/panel.sock" << "" << true;
    QTest::newRow("a socket left by an earlier run") << "ABS/panel.sock" << "socket" << true;
    QTest::newRow("a user's file is kept") << "ABS/notes.txt" << "file" << false;
}

void TestWidgets::remoteControlSocket()
{
    QFETCH(QString, given);
    QFETCH(QString, standing);
    QFETCH(bool, listens);
    QTemporaryDir runtime;
    QTemporaryDir other;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    given.replace("ABS", other.path());
    const QString path = given.startsWith('/') ? given : runtime.filePath(given);
    QCOMPARE(RemoteControl::SocketPath(given), path);
    if (standing == "file") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me\n");
    } else if (standing == "socket") {
        // What a crashed run leaves: a bound socket whose file nobody removed.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
    }
    {
        RemoteControl control;
        QCOMPARE(control.listen(given), listens);
        struct stat status {};
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
        QCOMPARE(S_ISSOCK(status.st_mode), listens);
        if (!listens) {
            QVERIFY(control.errorString().contains("is not a socket"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("keep me\n"));
        }
    }
    // Gone with the control: nothing is left in the folder.
    QCOMPARE(QFileInfo::exists(path), !listens);
    qunsetenv("XDG_RUNTIME_DIR");
}

void TestWidgets::lookKeepsTextReadable_data()
{
    QTest::addColumn<QString>("pair");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("ground");
    for (const LookVariant variant : {LookVariant::Dark, LookVariant::Light}) {
        const QString look = variant == LookVariant::Dark ? QStringLiteral("dark ")
                                                          : QStringLiteral("light ");
        for (const ColourPair &pair : TextPairsOf(variant))
            QTest::newRow(qPrintable(look + pair.name)) << pair.name << pair.text << pair.ground;
        // What the palette gives the roles the style draws text with, in every state.
        const QPalette palette = PaletteOf(variant);
        const std::pair<QPalette::ColorRole, QPalette::ColorRole> roles[] = {
            {QPalette::WindowText, QPalette::Window}, {QPalette::Text, QPalette::Base},
            {QPalette::ButtonText, QPalette::Button}, {QPalette::PlaceholderText, QPalette::Base},
            {QPalette::ToolTipText, QPalette::ToolTipBase},
            {QPalette::HighlightedText, QPalette::Highlight}};
        for (const auto group : {QPalette::Active, QPalette::Disabled})
            for (const auto &[text, ground] : roles)
                QTest::addRow("%s palette %d/%d group %d", qPrintable(look), int(text), int(ground),
                              int(group))
                    << QString() << palette.color(group, text) << palette.color(group, ground);
    }
    // The old faint hint (disabled text of the stock palette) is caught.
    QTest::newRow("stock disabled hint") << QStringLiteral("stock") << QColor(0x9f, 0x9f, 0x9f)
                                         << QColor(0xef, 0xef, 0xef);
}

void TestWidgets::lookKeepsTextReadable()
{
    QFETCH(QString, pair);
    QFETCH(QColor, text);
    QFETCH(QColor, ground);
    const double ratio = ContrastRatio(text, ground);
    if (pair == QLatin1String("stock"))
        QVERIFY(ratio < MinimumTextContrast);
    else
        QVERIFY2(ratio >= MinimumTextContrast, qPrintable(QString::number(ratio, 'f', 2)));
}

void TestWidgets::lookFollowsTheDesktop_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("dark");
    QTest::newRow("light desktop") << QColor(Qt::white) << QColor(Qt::black) << QString() << false;
    QTest::newRow("dark desktop") << QColor(0x20, 0x20, 0x20) << QColor(Qt::white) << QString()
                                  << true;
    QTest::newRow("chosen dark") << QColor(Qt::white) << QColor(Qt::black)
                                 << QStringLiteral("Dark") << true;
    QTest::newRow("chosen light") << QColor(0x20, 0x20, 0x20) << QColor(Qt::white)
                                  << QStringLiteral("light") << false;
    QTest::newRow("unknown choice") << QColor(0x20, 0x20, 0x20) << QColor(Qt::white)
                                    << QStringLiteral("blue") << true;
}

void TestWidgets::lookFollowsTheDesktop()
{
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    QFETCH(QString, choice);
    QFETCH(bool, dark);
    QPalette desktop;
    desktop.setColor(QPalette::Window, window);
    desktop.setColor(QPalette::WindowText, text);
    QCOMPARE(ChooseLook(desktop, choice) == LookVariant::Dark, dark);
}

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
