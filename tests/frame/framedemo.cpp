// zop-frame-demo: a front-panel-like window on the shared panel frame, to look at the frame,
// the knob, the lamps and rotated captions on a screen. Every View entry opens another demo
// panel; nothing talks to an instrument (the link is Simulated).
//
//   zop-frame-demo [window name, default frmTLB]

#include "app/frame/panelregistry.h"
#include "app/frame/panelwindow.h"
#include "app/moddata.h"
#include "link/linkkind.h"
#include "setup/programversion.h"
#include "ui/knob.h"
#include "ui/lamp.h"
#include "ui/messageprompter.h"
#include "ui/rotatedtext.h"
#include "ui/transactionlog.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QTimer>
#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace zop;

namespace {

// Draws the vertical captions of the key frame after the frame has painted itself.
class CaptionPainter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            auto *frame = static_cast<QWidget *>(watched);
            frame->removeEventFilter(this);
            QCoreApplication::sendEvent(frame, event);
            frame->installEventFilter(this);
            // Each caption centred on its half of the frame, running upward.
            const QFont font = RotatedTextFont(QStringLiteral("Arial"), 11, true, false);
            const int half = frame->height() / 2;
            int top = 0;
            for (const QString &caption : {QStringLiteral("MODE"), QStringLiteral("SET POINT")}) {
                const int width = QFontMetrics(font).horizontalAdvance(caption);
                DrawRotatedText(frame, caption, 8, top + (half + width) / 2, 900,
                                QStringLiteral("Arial"), 11, true, false);
                top += half;
            }
            return true;
        }
        return false;
    }
};

QLineEdit *Display(const QString &name, const QString &text)
{
    auto *display = new QLineEdit(text);
    display->setObjectName(name);
    display->setReadOnly(true);
    display->setAlignment(Qt::AlignRight);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(26);
    font.setBold(true);
    display->setFont(font);
    display->setStyleSheet(
        QStringLiteral("QLineEdit { background: #101410; color: #5cff7a; border: 2px inset #555; }"));
    display->setMinimumWidth(130);
    return display;
}

class DemoFrontPanel : public PanelWindow {
public:
    explicit DemoFrontPanel(const QString &name) : PanelWindow(name)
    {
        auto *fraKnobs = new QGroupBox;
        fraKnobs->setObjectName(QStringLiteral("fraKnobs"));
        auto *knobs = new QGridLayout(fraKnobs);
        const struct {
            const char *name, *caption, *display;
            float maximum, value;
        } dials[] = {{"knbVolt", "VOLTAGE", "txtVolt", 60, 12.5f}, {"knbCurr", "CURRENT", "txtCurr", 20, 3.2f}};
        int column = 0;
        for (const auto &d : dials) {
            auto *display = Display(QString::fromLatin1(d.display), QString::number(d.value, 'f', 2));
            auto *knob = new Knob;
            knob->setObjectName(QString::fromLatin1(d.name));
            knob->setAccessibleName(QString::fromLatin1(d.caption).toLower() + QStringLiteral(" knob"));
            knob->setMaximum(d.maximum);
            knob->setValue(d.value);
            knob->setBackColour(fraKnobs->palette().color(QPalette::Window));
            knob->setMinimumSize(120, 120);
            connect(knob, &Knob::turning, display,
                    [display](float v) { display->setText(QString::number(v, 'f', 2)); });
            connect(knob, &Knob::turnEnded, this, [this, d](float v) {
                rtbTranx->appendLogText(QString::fromLatin1(d.caption).left(4)
                                        + QStringLiteral(" ") + QString::number(v, 'f', 2)
                                        + QStringLiteral("\r\n"));
            });
            auto *caption = new QLabel(QString::fromLatin1(d.caption));
            caption->setAlignment(Qt::AlignCenter);
            knobs->addWidget(display, 0, column);
            knobs->addWidget(knob, 1, column, Qt::AlignCenter);
            knobs->addWidget(caption, 2, column);
            ++column;
        }

        auto *fraLamps = new QGroupBox;
        fraLamps->setObjectName(QStringLiteral("fraLamps"));
        fraLamps->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        auto *lamps = new QHBoxLayout(fraLamps);
        const struct {
            const char *caption;
            int tag;
            quint32 colour;
            bool lit;
        } rows[] = {{"ARM", 0, LampColour::Yellow, false}, {"STANDBY", 6, LampColour::Orange, true},
                    {"POWER", 7, LampColour::Green, false}, {"CTL", 8, LampColour::Green, true},
                    {"REM SEN", 9, LampColour::Green, false}, {"OVT", 0, LampColour::Red, true},
                    {"OCT", 1, LampColour::Red, false}};
        for (const auto &r : rows) {
            auto *lamp = new Lamp(QString::fromLatin1(r.caption));
            lamp->setTag(r.tag);
            QFont bold = lamp->font();
            bold.setBold(true);
            lamp->setFont(bold);
            if (r.lit)
                lamp->setLit(r.colour);
            lamps->addWidget(lamp);
        }

        auto *fraButtons = new QGroupBox;
        fraButtons->setObjectName(QStringLiteral("fraButtons"));
        fraButtons->installEventFilter(new CaptionPainter(fraButtons));
        auto *keys = new QGridLayout(fraButtons);
        keys->setContentsMargins(28, 10, 10, 10);
        const char *captions[] = {"MENU", "ITEM", "UP", "DN", "VOLTAGE", "CURRENT", "START", "STOP"};
        for (int i = 0; i < 8; ++i) {
            auto *key = new QPushButton(QString::fromLatin1(captions[i]));
            key->setAutoDefault(false);
            keys->addWidget(key, i / 2, i % 2);
        }

        auto *front = new QVBoxLayout;
        front->addWidget(fraKnobs);
        front->addWidget(fraLamps);
        front->addWidget(fraButtons);

        auto *centre = new QWidget;
        auto *layout = new QHBoxLayout(centre);
        layout->addLayout(front, 0);
        layout->addWidget(fraIn, 1);
        setCentralWidget(centre);
        rtbTranx->setLogText(QStringLiteral("Simulated - Initialized\r\n<>STA\n9.999\r\n"));
        resize(900, 560);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZOP Panel"));
    QApplication::setApplicationVersion(ProgramVersionText());
    ModData &data = modData();
    data.ProgramFolder = QApplication::applicationDirPath();
    data.prompter = std::make_shared<MessagePrompter>();
    data.CommKind = LinkKind::Simulated;
    data.SystemType = 2;
    data.FirmwareVersion = QStringLiteral("4.70");
    data.HardwareVersion = QStringLiteral("1.30");

    for (const char *name : {"frmGZ", "frmTLB", "frmKM", "frmTW", "frmCommand", "frmRegisters",
                                "frmCalibration", "frmModulation", "FrmLoader"})
        RegisterPanel(QString::fromLatin1(name), [name] { return new DemoFrontPanel(QString::fromLatin1(name)); });

    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("frmTLB");
    PanelWindow *panel = OpenPanel(first);
    if (!panel)
        return 1;
    data.CurrentPanel = panel;
    panel->activateWindow();
    if (Knob *knob = panel->findChild<Knob *>(QStringLiteral("knbVolt")))
        knob->setFocus();
    if (argc > 2 && QByteArray(argv[2]) == "about")
        QTimer::singleShot(300, panel, [panel] { panel->mnuAbout->trigger(); });
    const int result = app.exec();
    ShutDownModData();
    return result;
}
