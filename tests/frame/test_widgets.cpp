// The widgets every panel uses: the transaction log, the knob, the lamp, the shared file
// dialog routine and rotated captions.

#include "testsupport.h"
#include "ui/knob.h"
#include "ui/lamp.h"
#include "ui/rotatedtext.h"
#include "ui/selectfile.h"
#include "ui/transactionlog.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>
#include <cmath>

using namespace zop;
using namespace zop::test;

namespace {

// Records every request and answers with a scripted name.
class RecordingChooser : public FileChooser {
public:
    QString choose(const FileRequest &request) override
    {
        requests << request;
        if (fail)
            throw std::runtime_error("dialog failed");
        return answer;
    }
    QList<FileRequest> requests;
    QString answer;
    bool fail = false;
};

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

    // Transaction log.
    void logCaret_data();
    void logCaret();
    void logAppendMatchesSet_data();
    void logAppendMatchesSet();
    void logIsPlainAndReadOnly();
    void logLeavesLinkWhenDestroyed();

    // Knob.
    void knobClamps_data();
    void knobClamps();
    void knobSetValueIsSilent();
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

    // SelectFile.
    void selectFile_data();
    void selectFile();
    void selectFileDialogFailureIsCancel();

    // DrawRotatedText.
    void rotatedText_data();
    void rotatedText();
    void rotatedTextFont();
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
    QCOMPARE(log.objectName(), QStringLiteral("rtbTranx"));
    QVERIFY(log.isReadOnly());
    log.setLogText(QStringLiteral("<b>9.999</b>&amp;\r\n"));
    QCOMPARE(log.toPlainText(), QStringLiteral("<b>9.999</b>&amp;\n"));
    log.setFocus();
    QTest::keyClicks(&log, QStringLiteral("typed"));
    QCOMPARE(log.logText(), QStringLiteral("<b>9.999</b>&amp;\r\n"));
    log.clearLog();
    QCOMPARE(log.logText(), QString());
    QCOMPARE(log.toPlainText(), QString());
}

void TestWidgets::logLeavesLinkWhenDestroyed()
{
    Fixture f;
    auto *log = new TransactionLog;
    Comm().LogTarget = log;
    SendCommand(QStringLiteral("VOLT 5"), true);
    QCOMPARE(log->logText(), QStringLiteral("VOLT 5\n"));
    delete log;
    QCOMPARE(Comm().LogTarget, nullptr);
    SendCommand(QStringLiteral("VOLT 6"), true); // must not write into freed memory
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

void TestWidgets::knobClamps()
{
    QFETCH(float, maximum);
    QFETCH(float, set);
    QFETCH(float, expected);
    Knob knob;
    knob.setMaximum(maximum);
    QVERIFY(knob.maximum() >= 0);
    knob.setValue(set);
    QCOMPARE(knob.value(), expected);
}

void TestWidgets::knobSetValueIsSilent()
{
    Knob knob;
    knob.setMaximum(60);
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);
    knob.setValue(30);
    knob.setValue(70);
    // Lowering the maximum pulls the value down, silently too.
    knob.setMaximum(20);
    QCOMPARE(knob.value(), 20.0f);
    QCOMPARE(turning.count(), 0);
    QCOMPARE(ended.count(), 0);
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
    QTest::newRow("Home") << int(Qt::Key_Home) << 0.0f;
    QTest::newRow("End") << int(Qt::Key_End) << 60.0f;
}

void TestWidgets::knobKeyboard()
{
    QFETCH(int, key);
    QFETCH(float, expected);
    Knob knob;
    knob.setMaximum(60);
    knob.setValue(30);
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);
    QList<QString> order;
    connect(&knob, &Knob::turning, this, [&] { order << "turning"; });
    connect(&knob, &Knob::turnEnded, this, [&] { order << "ended"; });

    QTest::keyClick(&knob, Qt::Key(key));

    QCOMPARE(order, (QList<QString>{"turning", "ended"}));
    QVERIFY(qFuzzyCompare(Spied(turning, 0), expected));
    QVERIFY(qFuzzyCompare(Spied(ended, 0), expected));
    QVERIFY(qFuzzyCompare(knob.value(), expected));
    QVERIFY(!knob.isTurning());
}

void TestWidgets::knobKeyAutoRepeatIsOneTurn()
{
    Knob knob;
    knob.setMaximum(60);
    knob.setValue(10);
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);
    QTest::keyPress(&knob, Qt::Key_PageUp);
    for (int i = 0; i < 2; ++i) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&knob, &release);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&knob, &press);
    }
    QCOMPARE(turning.count(), 3);
    QCOMPARE(ended.count(), 0);
    QTest::keyRelease(&knob, Qt::Key_PageUp);
    QCOMPARE(ended.count(), 1);
    QVERIFY(qFuzzyCompare(Spied(ended, 0), 13.0f));
}

void TestWidgets::knobAtLimitDoesNotTurn()
{
    Knob knob;
    knob.setMaximum(6);
    knob.setValue(6);
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);
    QTest::keyClick(&knob, Qt::Key_Up);
    QTest::keyClick(&knob, Qt::Key_End);
    QCOMPARE(turning.count(), 0);
    QCOMPARE(ended.count(), 0);
    QCOMPARE(knob.value(), 6.0f);
}

void TestWidgets::knobWheelBurstEndsAfterQuiet()
{
    Knob knob;
    knob.resize(100, 100);
    knob.setMaximum(6); // one notch: 0.01
    knob.setValue(2);
    knob.setWheelQuietInterval(0);
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);

    SendWheel(&knob, 120);
    SendWheel(&knob, 120);
    SendWheel(&knob, 60); // half a notch: nothing yet
    SendWheel(&knob, 60);
    QCOMPARE(turning.count(), 3);
    QCOMPARE(ended.count(), 0);
    QVERIFY(knob.isTurning());

    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(qFuzzyCompare(Spied(ended, 0), 2.03f));

    SendWheel(&knob, -120);
    QTRY_COMPARE(ended.count(), 2);
    QVERIFY(qFuzzyCompare(Spied(ended, 1), 2.02f));
}

void TestWidgets::knobMouseDragFollowsAngle()
{
    Knob knob;
    knob.resize(100, 100);
    knob.setMaximum(27); // 270 degrees: 1 per 10 degrees
    knob.setValue(5);
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);

    SendMouse(&knob, QEvent::MouseButtonPress, QPointF(90, 50)); // 3 o'clock
    QCOMPARE(turning.count(), 0);
    SendMouse(&knob, QEvent::MouseMove, QPointF(50, 90)); // 6 o'clock: 90 degrees clockwise
    QCOMPARE(turning.count(), 1);
    QVERIFY(qFuzzyCompare(knob.value(), 14.0f));
    SendMouse(&knob, QEvent::MouseMove, QPointF(90, 50)); // back
    QVERIFY(qFuzzyCompare(knob.value(), 5.0f));
    QCOMPARE(ended.count(), 0);
    SendMouse(&knob, QEvent::MouseButtonRelease, QPointF(90, 50));
    QCOMPARE(ended.count(), 1);
    QVERIFY(qFuzzyCompare(Spied(ended, 0), 5.0f));
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
    Knob knob;
    knob.resize(100, 100);
    knob.setMaximum(27);
    knob.setValue(5);
    knob.setWheelQuietInterval(0);
    knob.setEnabled(false);
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);
    if (input == "key") {
        QTest::keyClick(&knob, Qt::Key_PageUp);
    } else if (input == "wheel") {
        SendWheel(&knob, 240);
    } else {
        SendMouse(&knob, QEvent::MouseButtonPress, QPointF(90, 50));
        SendMouse(&knob, QEvent::MouseMove, QPointF(50, 90));
        SendMouse(&knob, QEvent::MouseButtonRelease, QPointF(50, 90));
    }
    QCoreApplication::processEvents();
    QCOMPARE(knob.value(), 5.0f);
    QCOMPARE(turning.count(), 0);
    QCOMPARE(ended.count(), 0);
}

void TestWidgets::knobDisabledMidTurnEndsTurn()
{
    Knob knob;
    knob.setMaximum(60);
    QSignalSpy ended(&knob, &Knob::turnEnded);
    QTest::keyPress(&knob, Qt::Key_PageUp);
    QVERIFY(knob.isTurning());
    knob.setEnabled(false); // a menu opened while the key was held
    QCOMPARE(ended.count(), 1);
    QTest::keyRelease(&knob, Qt::Key_PageUp);
    QCOMPARE(ended.count(), 1);
}

void TestWidgets::knobAccessibleValue()
{
    Knob knob;
    knob.setAccessibleName(QStringLiteral("Voltage knob"));
    knob.setMaximum(60);
    knob.setValue(12.5f);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&knob);
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
    QSignalSpy turning(&knob, &Knob::turning);
    QSignalSpy ended(&knob, &Knob::turnEnded);
    value->setCurrentValue(75.0);
    QCOMPARE(knob.value(), 60.0f);
    QCOMPARE(turning.count(), 1);
    QCOMPARE(ended.count(), 1);
    QCOMPARE(Spied(ended, 0), 60.0f);

    knob.setEnabled(false);
    value->setCurrentValue(3.0);
    QCOMPARE(knob.value(), 60.0f);
}

// ---- Lamp ----------------------------------------------------------------------------------

void TestWidgets::lampColourFromBgr_data()
{
    QTest::addColumn<quint32>("bgr");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("name");
    QTest::newRow("green 65280") << quint32(65280) << QColor(0, 255, 0) << "green";
    QTest::newRow("red 255") << quint32(255) << QColor(255, 0, 0) << "red";
    QTest::newRow("yellow 65535") << quint32(65535) << QColor(255, 255, 0) << "yellow";
    QTest::newRow("orange 33023") << quint32(33023) << QColor(255, 128, 0) << "orange";
    QTest::newRow("blue") << quint32(0xFF0000) << QColor(0, 0, 255) << "#0000ff";
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
    lamp.setTag(6);
    QCOMPARE(lamp.property("tag").toInt(), 6);
    QCOMPARE(lamp.text(), QStringLiteral("STANDBY"));
    QVERIFY(!lamp.isLit());
    QCOMPARE(lamp.palette().color(QPalette::Active, QPalette::WindowText), DarkLampColour());
    QCOMPARE(lamp.accessibleDescription(), QStringLiteral("dark"));

    lamp.setLit(LampColour::Orange);
    QVERIFY(lamp.isLit());
    QCOMPARE(lamp.palette().color(QPalette::Active, QPalette::WindowText), QColor(255, 128, 0));
    QCOMPARE(lamp.palette().color(QPalette::Inactive, QPalette::WindowText), QColor(255, 128, 0));
    QCOMPARE(lamp.accessibleDescription(), QStringLiteral("lit orange"));
    // The dark colour is not lost by lighting a lamp.
    QCOMPARE(DarkLampColour(),
             QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));

    lamp.setDark();
    QCOMPARE(lamp.palette().color(QPalette::Active, QPalette::WindowText), DarkLampColour());
    QCOMPARE(lamp.colour(), DarkLampColour());
    QCOMPARE(lamp.accessibleDescription(), QStringLiteral("dark"));
    QVERIFY(DarkLampColour() != QColor(0, 255, 0));
}

// ---- SelectFile ----------------------------------------------------------------------------

void TestWidgets::selectFile_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qtFilter");
    QTest::addColumn<QString>("result");

    const QString text = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
    const QString qtText = "Text Files (*.txt);;All Files (*.*)";
    QTest::newRow("save, upper-case name lowered, folders kept")
        << "" << "Text Files" << "*.txt" << "/tmp/Logs/Bench A/RUN1.TXT" << false << text
        << qtText << "/tmp/Logs/Bench A/run1.txt";
    QTest::newRow("open") << "open" << "Text Files" << "*.txt" << "/tmp/a.txt" << true << text
                          << qtText << "/tmp/a.txt";
    QTest::newRow("mode is exact: Open is a save")
        << "Open" << "Text Files" << "*.txt" << "/tmp/a.txt" << false << text << qtText
        << "/tmp/a.txt";
    QTest::newRow("modulation table filter")
        << "open" << "Modulation Table" << "*.modTable" << "/data/Table.MODTABLE" << true
        << "Modulation Table (*.modTable)|*.modTable|All Files (*.*)|*.*"
        << "Modulation Table (*.modTable);;All Files (*.*)" << "/data/table.modtable";
    QTest::newRow("cancelled") << "" << "Text Files" << "*.txt" << "" << false << text << qtText
                               << "";
}

void TestWidgets::selectFile()
{
    QFETCH(QString, mode);
    QFETCH(QString, description);
    QFETCH(QString, pattern);
    QFETCH(QString, chosen);
    QFETCH(bool, open);
    QFETCH(QString, filter);
    QFETCH(QString, qtFilter);
    QFETCH(QString, result);

    auto chooser = std::make_shared<RecordingChooser>();
    chooser->answer = chosen;
    SetFileChooser(chooser);
    QWidget parent;
    const QString got =
        SelectFile(&parent, "Select or Enter File", "/work/Program", description, pattern, mode);

    QCOMPARE(got, result);
    QCOMPARE(chooser->requests.size(), 1);
    const FileRequest &r = chooser->requests.first();
    QCOMPARE(r.title, QStringLiteral("ZOP Panel - Select or Enter File"));
    QCOMPARE(r.folder, QStringLiteral("/work/Program"));
    QCOMPARE(r.filter, filter);
    QCOMPARE(r.qtFilter, qtFilter);
    QCOMPARE(r.open, open);
    QCOMPARE(r.parent, &parent);
}

void TestWidgets::selectFileDialogFailureIsCancel()
{
    auto chooser = std::make_shared<RecordingChooser>();
    chooser->fail = true;
    SetFileChooser(chooser);
    QCOMPARE(SelectFile(nullptr, "T", "/", "Text Files", "*.txt", "open"), QString());
    QCOMPARE(chooser->requests.size(), 1);
}

// ---- DrawRotatedText -----------------------------------------------------------------------

void TestWidgets::rotatedText_data()
{
    QTest::addColumn<int>("angle");
    QTest::newRow("upward (900)") << 900;
    QTest::newRow("level (0)") << 0;
}

void TestWidgets::rotatedText()
{
    QFETCH(int, angle);
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
    // Transparent background: no blue box behind the glyphs.
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            QVERIFY(qBlue(image.pixel(x, y)) <= qRed(image.pixel(x, y)) + 8);
    if (angle == 900) {
        // Runs upward from the reference point, glyph tops to the left.
        QVERIFY2(ink.height() > 3 * ink.width(), qPrintable(QString::number(ink.width())));
        QVERIFY(ink.bottom() <= 150);
        QVERIFY(ink.top() < 100);
        QVERIFY(ink.left() >= 99);
        QVERIFY(ink.right() <= 100 + 12);
    } else {
        QVERIFY(ink.width() > 3 * ink.height());
        QVERIFY(ink.left() >= 99);
        QVERIFY(ink.top() >= 149);
        QVERIFY(ink.bottom() <= 150 + 12);
    }
}

void TestWidgets::rotatedTextFont()
{
    const QFont bold = RotatedTextFont("Arial", 11, true, false);
    QCOMPARE(bold.weight(), QFont::Weight(700));
    QVERIFY(!bold.italic());
    QVERIFY(QFontMetrics(bold).height() <= 11);
    QVERIFY(QFontMetrics(bold).height() >= 8);
    const QFont plain = RotatedTextFont("Arial", -20, false, true);
    QCOMPARE(plain.weight(), QFont::Weight(400));
    QVERIFY(plain.italic());
    QCOMPARE(plain.pixelSize(), 20);
    const QString longName(40, QLatin1Char('F'));
    QCOMPARE(RotatedTextFont(longName, 11, false, false).family(), longName.left(31));
}

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
