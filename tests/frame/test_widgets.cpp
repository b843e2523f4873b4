// The widgets every panel uses: the transaction log, the knob, the lamp, the shared file
// dialog routine and rotated captions.

#include "filedialoganswer.h"
#include "recordingchooser.h"
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
#include <sys/un.h>
#include <unistd.h>
#include <cmath>

using namespace zop;
using namespace zop::test;

namespace {

// The smallest rectangle holding every pixel of `image` that `match` accepts (empty: none).
QRect PixelsWhere(const QImage &image, const std::function<bool(QRgb)> &match)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

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
    void cleanup() { SetFileChooser(nullptr); }
    void remoteControlSocket_data();
    void remoteControlSocket();
    void logCaret_data();
    void logCaret();
    void logIsPlainReadOnlyAndColouredInTheViewOnly();
    void messageBoxShowsDetailsAsPlainText();
    void knobClamps_data();
    void knobClamps();
    void knobInput_data();
    void knobInput();
    void lampColourFromBgr_data();
    void lampColourFromBgr();
    void lampLitAndDark();
    void elideAtWord_data();
    void elideAtWord();
    void selectFile_data();
    void selectFile();
    void selectFileThroughTheDialog_data();
    void selectFileThroughTheDialog();
    void rotatedText_data();
    void rotatedText();
    void rotatedTextFont();
    void lookKeepsTextReadable_data();
    void lookKeepsTextReadable();
    void lookFollowsTheDesktop_data();
    void lookFollowsTheDesktop();
};

// ---- Transaction log -----------------------------------------------------------------------

// The text given whole or appended in pieces: the same log, view and caret. The caret's place
// counts CR LF as one character, as the view does; -1: only the same either way.
void TestWidgets::logCaret_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<int>("viewPosition");
    QTest::addColumn<QString>("lineAtCaret");
    QTest::newRow("empty") << QStringList{} << 0 << "";
    QTest::newRow("one character: at the end") << QStringList{"a"} << 1 << "a";
    QTest::newRow("two characters: 2 before the end") << QStringList{"ab"} << 0 << "ab";
    QTest::newRow("before the final CR LF")
        << QStringList{"Simulated - Initialized\r\n"} << 23 << "Simulated - Initialized";
    QTest::newRow("newest line, CR LF lines")
        << QStringList{"RS232 - Initialized\r\n", "VOLT 5\r\n"} << 26 << "VOLT 5";
    QTest::newRow("LF lines") << QStringList{"VOLT 5\nCURR 1\n"} << 12 << "CURR 1";
    QTest::newRow("no final line break") << QStringList{"VOLT 5\r\n9.999"} << 10 << "9.999";
    QTest::newRow("link open then traffic")
        << QStringList{"TCP/IP ", "- Initialized\r\n", "<>STA\n", "1F40,3E8,48,0,1\r\n"} << -1 << "";
    QTest::newRow("CR LF split") << QStringList{"VOLT 5\r", "\nCURR 1\r", "\n", "MEAS?\n"} << -1 << "";
    QTest::newRow("lone CR") << QStringList{"abc\r", "def\r\n"} << -1 << "";
}

void TestWidgets::logCaret()
{
    QFETCH(QStringList, pieces);
    QFETCH(int, viewPosition);
    TransactionLog whole, appended;
    whole.setLogText(pieces.join(QString()));
    for (const QString &piece : pieces)
        appended.appendLogText(piece);
    for (TransactionLog *log : {&whole, &appended})
        QCOMPARE(log->logText(), pieces.join(QString()));
    QCOMPARE(appended.toPlainText(), whole.toPlainText());
    QCOMPARE(appended.document()->blockCount(), whole.document()->blockCount());
    QCOMPARE(appended.textCursor().position(), whole.textCursor().position());
    if (viewPosition < 0)
        return;
    QCOMPARE(whole.textCursor().position(), viewPosition);
    QTEST(whole.textCursor().block().text(), "lineAtCaret");
}

void TestWidgets::logIsPlainReadOnlyAndColouredInTheViewOnly()
{
    TransactionLog log;
    log.setLogText(QStringLiteral("<b>9.999</b>&amp;\r\n"));
    log.appendTraffic(QStringLiteral("*IDN?\n"), LogTraffic::Sent);
    log.appendTraffic(QStringLiteral("ZOP,1.0\r\n"), LogTraffic::Received);
    log.appendLogText(QStringLiteral("note\r\n"));
    log.setFocus();
    QTest::keyClicks(&log, QStringLiteral("typed"));
    // What is kept (and saved) is the text alone; markup stays text.
    const QString text = QStringLiteral("<b>9.999</b>&amp;\r\n*IDN?\nZOP,1.0\r\nnote\r\n");
    QCOMPARE(log.logText(), text);
    QCOMPARE(log.toPlainText(), QString(text).remove('\r'));
    // The colour of the first character of each line in the view; none carried over.
    QList<QVariant> colours;
    for (int line = 0; line < 4; ++line) {
        QTextCursor c(log.document()->findBlockByNumber(line));
        c.movePosition(QTextCursor::NextCharacter);
        colours << (c.charFormat().hasProperty(QTextFormat::ForegroundBrush)
                        ? QVariant(c.charFormat().foreground().color()) : QVariant());
    }
    QCOMPARE(colours, (QList<QVariant>{QVariant(), TransactionLog::TrafficColour(LogTraffic::Sent),
                                       TransactionLog::TrafficColour(LogTraffic::Received), QVariant()}));
    QVERIFY(TransactionLog::TrafficColour(LogTraffic::Sent)
            != TransactionLog::TrafficColour(LogTraffic::Received));
}

void TestWidgets::messageBoxShowsDetailsAsPlainText()
{
    MessagePrompter prompter;
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
        seen << box->text() << box->informativeText() << box->windowTitle()
             << QString::number(label->textFormat());
        box->button(QMessageBox::Ok)->click();
    });
    const QString details = QStringLiteral("Link: TCP/IP <b>host</b>:1\nReason: Connection refused");
    const QString text = QStringLiteral("Device not Found.  Entering Simulated Mode!");
    QCOMPARE(prompter.ShowWithDetails(text, details, QStringLiteral("Comm Error"), MsgIcon::None,
                                      MsgButtons::Ok),
             MsgAnswer::Ok);
    QCOMPARE(seen, (QStringList{text, details, "Comm Error", QString::number(Qt::PlainText)}));
}

// ---- Knob ----------------------------------------------------------------------------------

// Setting the value or the maximum clamps it, silently: neither is a turn. An assistive tool
// reads a dial with the value, its range and the value as text.
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
    QSignalSpy turning(&knob, &Knob::turning), ended(&knob, &Knob::turnEnded);
    knob.setMaximum(maximum);
    knob.setValue(set);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&knob);
    QAccessibleValueInterface *value = iface->valueInterface();
    QCOMPARE(iface->role(), QAccessible::Dial);
    QCOMPARE((QList<float>{knob.value(), value->currentValue().toFloat(), value->minimumValue().toFloat(),
                           value->maximumValue().toFloat()}),
             (QList<float>{expected, expected, 0.0f, std::max(maximum, 0.0f)}));
    QCOMPARE(iface->text(QAccessible::Value), QString::number(expected));
    knob.setMaximum(expected / 2); // lowering the maximum pulls the value down
    QCOMPARE(knob.value(), expected / 2);
    QCOMPARE(turning.count() + ended.count(), 0);
}

// A knob 100 pixels square given a script of input; what it reports, "t" turning and "e" turn
// ended with the value, in order. Script: k:KEY a click; p:, R: a press, a release; r: an
// auto-repeated release and press; w:DELTA the wheel; m:, M:, u:X,Y mouse press, move,
// release; a:VALUE set by an assistive tool; off disables; quiet waits for the wheel's pause.
void TestWidgets::knobInput_data()
{
    QTest::addColumn<float>("maximum");
    QTest::addColumn<float>("start");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("reported");
    // Maximum 60: one step is 0.1, a page 1.
    QTest::newRow("Up") << 60.0f << 30.0f << "k:Up" << "t30.1 e30.1";
    QTest::newRow("Right") << 60.0f << 30.0f << "k:Right" << "t30.1 e30.1";
    QTest::newRow("Down") << 60.0f << 30.0f << "k:Down" << "t29.9 e29.9";
    QTest::newRow("Left") << 60.0f << 30.0f << "k:Left" << "t29.9 e29.9";
    QTest::newRow("PageUp") << 60.0f << 30.0f << "k:PgUp" << "t31 e31";
    QTest::newRow("PageDown") << 60.0f << 30.0f << "k:PgDown" << "t29 e29";
    // One keystroke never sends the output to an end of its range.
    QTest::newRow("Home, End do nothing") << 60.0f << 30.0f << "k:Home k:End" << "";
    QTest::newRow("at the limit") << 6.0f << 6.0f << "k:Up k:End" << "";
    QTest::newRow("auto-repeat: one turn") << 60.0f << 10.0f << "p:PgUp r:PgUp r:PgUp R:PgUp"
                                           << "t11 t12 t13 e13";
    // One notch: 0.01; half a notch does nothing yet. A burst ends after a quiet spell.
    QTest::newRow("wheel bursts") << 6.0f << 2.0f << "w:120 w:120 w:60 w:60 quiet w:-120 quiet"
                                  << "t2.01 t2.02 t2.03 e2.03 t2.02 e2.02";
    // 270 degrees of travel: 1 per 10 degrees; 3 o'clock to 6 o'clock and back.
    QTest::newRow("mouse drag") << 27.0f << 5.0f << "m:90,50 M:50,90 M:90,50 u:90,50" << "t14 t5 e5";
    QTest::newRow("disabled: key") << 27.0f << 5.0f << "off k:PgUp" << "";
    QTest::newRow("disabled: wheel") << 27.0f << 5.0f << "off w:240 quiet" << "";
    QTest::newRow("disabled: mouse") << 27.0f << 5.0f << "off m:90,50 M:50,90 u:50,90" << "";
    // A menu opened while the key was held.
    QTest::newRow("disabled mid-turn: ended") << 60.0f << 0.0f << "p:PgUp off R:PgUp" << "t1 e1";
    QTest::newRow("assistive tool: a whole turn, clamped")
        << 60.0f << 12.5f << "a:75 off a:3" << "t60 e60";
}

void TestWidgets::knobInput()
{
    QFETCH(float, maximum);
    QFETCH(float, start);
    QFETCH(QString, script);
    Knob knob;
    knob.resize(100, 100);
    knob.setMaximum(maximum);
    knob.setValue(start);
    knob.setWheelQuietInterval(0);
    QStringList reported;
    connect(&knob, &Knob::turning, this, [&](float v) { reported << "t" + QString::number(v); });
    connect(&knob, &Knob::turnEnded, this, [&](float v) { reported << "e" + QString::number(v); });
    for (const QString &step : script.split(' ')) {
        const QString arg = step.mid(2);
        const auto key = Qt::Key(QKeySequence(arg)[0].key());
        const QStringList xy = arg.split(',');
        const QPointF at(xy.value(0).toDouble(), xy.value(1).toDouble());
        switch (step.at(0).toLatin1()) {
        case 'k': QTest::keyClick(&knob, key); break;
        case 'p': QTest::simulateEvent(&knob, true, key, {}, {}, false); break;
        case 'R': QTest::simulateEvent(&knob, false, key, {}, {}, false); break;
        case 'r':
            QTest::simulateEvent(&knob, false, key, {}, {}, true);
            QTest::simulateEvent(&knob, true, key, {}, {}, true);
            break;
        case 'w': SendWheel(&knob, arg.toInt()); break;
        case 'm': SendMouse(&knob, QEvent::MouseButtonPress, at); break;
        case 'M': SendMouse(&knob, QEvent::MouseMove, at); break;
        case 'u': SendMouse(&knob, QEvent::MouseButtonRelease, at); break;
        case 'a':
            QAccessible::queryAccessibleInterface(&knob)->valueInterface()->setCurrentValue(arg.toDouble());
            break;
        case 'o': knob.setEnabled(false); break;
        case 'q': QTRY_VERIFY(!knob.isTurning()); QCoreApplication::processEvents(); break;
        default: QFAIL(qPrintable(step));
        }
    }
    QTEST(reported.join(' '), "reported");
    QVERIFY(!knob.isTurning());
    QCOMPARE(QString::number(knob.value()),
             reported.isEmpty() ? QString::number(start) : reported.last().mid(1));
}

// ---- Lamp ----------------------------------------------------------------------------------

void TestWidgets::lampColourFromBgr_data()
{
    QTest::addColumn<quint32>("bgr");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("name");
    QTest::newRow("orange 33023") << quint32(33023) << QColor(255, 128, 0) << "orange";
    QTest::newRow("an unnamed colour") << quint32(0xFF0000) << QColor(0, 0, 255) << "#0000ff";
    QTest::newRow("grey text") << quint32(0x80000011) << DarkLampColour() << DarkLampColour().name();
}

void TestWidgets::lampColourFromBgr()
{
    QFETCH(quint32, bgr);
    QTEST(ColourFromBgr(bgr), "colour");
    QTEST(LampColourName(ColourFromBgr(bgr)), "name");
}

void TestWidgets::lampLitAndDark()
{
    Lamp lamp(QStringLiteral("STANDBY"));
    const auto shown = [&] {
        return QStringList{lamp.palette().color(QPalette::Active, QPalette::WindowText).name(),
                           lamp.palette().color(QPalette::Inactive, QPalette::WindowText).name(),
                           lamp.colour().name(), lamp.accessibleDescription(),
                           lamp.isLit() ? "lit" : "dark"};
    };
    const QString dark = DarkLampColour().name();
    QCOMPARE(shown(), (QStringList{dark, dark, dark, "dark", "dark"}));
    lamp.setLit(LampColour::Orange);
    QCOMPARE(shown(), (QStringList{"#ff8000", "#ff8000", "#ff8000", "lit orange", "lit"}));
    // The dark colour is not lost by lighting a lamp.
    QCOMPARE(DarkLampColour(), QApplication::palette().color(QPalette::Disabled, QPalette::WindowText));
    lamp.setDark();
    QCOMPARE(shown(), (QStringList{dark, dark, dark, "dark", "dark"}));
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
    QTest::newRow("save, capitals and blanks kept") << "" << "/tmp/Logs/Bench A/Table.MODTABLE"
                                                    << false << false << "/tmp/Logs/Bench A/Table.MODTABLE";
    QTest::newRow("open") << "open" << "/tmp/a.modTable" << false << true << "/tmp/a.modTable";
    QTest::newRow("mode is exact: Open is a save")
        << "Open" << "/tmp/a.modtable" << false << false << "/tmp/a.modtable";
    QTest::newRow("cancelled") << "open" << "" << false << true << "";
    QTest::newRow("dialog failure is a cancel") << "open" << "/tmp/a.modtable" << true << true << "";
}

void TestWidgets::selectFile()
{
    QFETCH(QString, mode);
    QFETCH(bool, open);
    auto chooser = std::make_shared<RecordingChooser>();
    QFETCH(QString, chosen);
    QFETCH(bool, fail);
    chooser->answer = chosen;
    chooser->fail = fail;
    SetFileChooser(chooser);
    QWidget parent;
    QTEST(SelectFile(&parent, "Select or Enter File", "/work/Program", "Modulation Table",
                     "*.modTable", mode), "result");
    QCOMPARE(chooser->requests.size(), 1);
    const FileRequest &r = chooser->requests.first();
    QCOMPARE((QStringList{r.title, r.folder, r.filter, r.qtFilter}),
             (QStringList{"ZOP Panel - Select or Enter File", "/work/Program",
                          "Modulation Table (*.modTable)|*.modTable|All Files (*.*)|*.*",
                          "Modulation Table (*.modTable);;All Files (*.*)"}));
    QVERIFY(r.open == open && r.parent == &parent);
}

// The whole path a user takes: the real dialog, a name typed into it, and the path SelectFile
// hands back, exactly as typed, for files new and old whose names have capitals and blanks.
void TestWidgets::selectFileThroughTheDialog_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("name"); // in a scratch folder; there already for "open"
    QTest::newRow("save, a log in a folder") << "" << "Logs/Session1.txt";
    QTest::newRow("save, a trend export") << "save" << "Bench Run 7.CSV";
    QTest::newRow("open, a HEX file") << "open" << "Bench Files/New Firmware.HEX";
}

void TestWidgets::selectFileThroughTheDialog()
{
    QFETCH(QString, mode);
    QFETCH(QString, name);
    QTemporaryDir scratch;
    const QDir dir(scratch.path());
    const QString path = dir.filePath(name);
    QVERIFY(dir.mkpath(QFileInfo(path).path()));
    QFile file(path);
    if (mode == "open")
        QVERIFY(file.open(QIODevice::WriteOnly));
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
    const QRect ink = PixelsWhere(image, [&](QRgb c) { return c != white; });
    QVERIFY(!ink.isEmpty());
    QVERIFY2(area.contains(ink), qPrintable(QString("%1,%2 %3x%4").arg(ink.x()).arg(ink.y())
                                                .arg(ink.width()).arg(ink.height())));
    QVERIFY(upward ? ink.height() > 3 * ink.width() : ink.width() > 3 * ink.height());
    // Transparent background: no blue box behind the glyphs.
    QVERIFY(PixelsWhere(image, [](QRgb c) { return qBlue(c) > qRed(c) + 8; }).isEmpty());
}

void TestWidgets::rotatedTextFont()
{
    const QFont bold = RotatedTextFont("Arial", 11, true, false);
    const QFont plain = RotatedTextFont("Arial", -20, false, true);
    QCOMPARE((QList<int>{bold.weight(), bold.italic(), plain.weight(), plain.italic(), plain.pixelSize()}),
             (QList<int>{700, false, 400, true, 20}));
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
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
        QVERIFY(QFileInfo::exists(path) && QFileInfo(path).isFile() != listens); // a socket, or the file
        QVERIFY(listens || control.errorString().contains("is not a socket"));
        QFile file(path);
        QVERIFY(listens || (file.open(QIODevice::ReadOnly) && file.readAll() == "keep me\n"));
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
    const double ratio = ContrastRatio(text, ground); // the stock hint must fail
    QVERIFY2((ratio >= MinimumTextContrast) != (pair == "stock"), qPrintable(QString::number(ratio, 'f', 2)));
}

void TestWidgets::lookFollowsTheDesktop_data()
{
    QTest::addColumn<bool>("darkDesktop"); // light text on a dark window
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("dark");
    QTest::newRow("light desktop") << false << QString() << false;
    QTest::newRow("dark desktop") << true << QString() << true;
    QTest::newRow("chosen dark") << false << QStringLiteral("Dark") << true;
    QTest::newRow("chosen light") << true << QStringLiteral("light") << false;
    QTest::newRow("unknown choice") << true << QStringLiteral("blue") << true;
}

void TestWidgets::lookFollowsTheDesktop()
{
    QFETCH(bool, darkDesktop);
    QFETCH(QString, choice);
    QPalette desktop;
    desktop.setColor(QPalette::Window, darkDesktop ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white));
    desktop.setColor(QPalette::WindowText, darkDesktop ? QColor(Qt::white) : QColor(Qt::black));
    QTEST(ChooseLook(desktop, choice) == LookVariant::Dark, "dark");
}

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
