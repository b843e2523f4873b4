#include "ui/look.h"

#include "ui/lamp.h"

#include <QApplication>
#include <QStyleFactory>
#include <cmath>

namespace zop {

namespace {

LookVariant g_current = LookVariant::Light;

const LookColours DarkColours{
    .ground = QColor(0x2b, 0x2f, 0x33), .text = QColor(0xe4, 0xe7, 0xea),
    .hint = QColor(0xae, 0xb6, 0xbd), .border = QColor(0x4b, 0x52, 0x57),
    .field = QColor(0x1d, 0x20, 0x23), .fieldText = QColor(0xf2, 0xf4, 0xf5),
    .readOnlyField = QColor(0x33, 0x38, 0x3c), .key = QColor(0x4a, 0x51, 0x57),
    .keyText = QColor(0xf2, 0xf4, 0xf5), .accent = QColor(0xf5, 0xc5, 0x42),
    .focus = QColor(0x5a, 0x9b, 0xd8), .selection = QColor(0x5a, 0x9b, 0xd8),
    .selectionText = QColor(0x0b, 0x0d, 0x0c), .sent = QColor(0x8a, 0xb4, 0xf8),
    .received = QColor(0x81, 0xc9, 0x95), .error = QColor(0xff, 0x8a, 0x80),
    .display = QColor(0x0b, 0x0d, 0x0c), .displayText = QColor(0xf5, 0xc5, 0x42),
    .lampDark = QColor(0x76, 0x7e, 0x85), .digits = QColor(0xff, 0x4a, 0x3d),
    .memoryDigits = QColor(0xff, 0xb3, 0x47)};

const LookColours LightColours{
    .ground = QColor(0xec, 0xef, 0xf1), .text = QColor(0x1d, 0x20, 0x23),
    .hint = QColor(0x4f, 0x5a, 0x63), .border = QColor(0x9a, 0xa3, 0xaa),
    .field = QColor(0xff, 0xff, 0xff), .fieldText = QColor(0x11, 0x14, 0x16),
    .readOnlyField = QColor(0xdd, 0xe2, 0xe6), .key = QColor(0xd5, 0xdb, 0xe0),
    .keyText = QColor(0x11, 0x14, 0x16), .accent = QColor(0x7a, 0x4f, 0x00),
    .focus = QColor(0x1f, 0x5f, 0xa8), .selection = QColor(0x1f, 0x5f, 0xa8),
    .selectionText = QColor(0xff, 0xff, 0xff), .sent = QColor(0x0d, 0x47, 0xa1),
    .received = QColor(0x1b, 0x5e, 0x20), .error = QColor(0xb3, 0x26, 0x1e),
    .display = QColor(0x0b, 0x0d, 0x0c), .displayText = QColor(0xf5, 0xc5, 0x42),
    .lampDark = QColor(0x76, 0x7e, 0x85), .digits = QColor(0xff, 0x4a, 0x3d),
    .memoryDigits = QColor(0xff, 0xb3, 0x47)};

double Channel(double c)
{
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor &c)
{
    return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

} // namespace

const LookColours &ColoursOf(LookVariant variant)
{
    return variant == LookVariant::Dark ? DarkColours : LightColours;
}

LookVariant CurrentLook() { return g_current; }
const LookColours &FaceColours() { return DarkColours; }

QString FaceStyleSheet()
{
    const LookColours &face = FaceColours();
    return QStringLiteral(
        "#frontPanel { background: %1; }"
        "#frontPanel QLabel[caption=\"true\"] { color: %2; }"
        "#frontPanel QGroupBox { color: %2; border: 1px solid %3; border-radius: 6px;"
        " margin-top: 14px; padding: 6px; font-weight: bold; }"
        "#frontPanel QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }"
        "#frontPanel QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 %4, stop:1 %5); color: %6; border: 1px solid %7;"
        " border-radius: 5px; font-weight: bold; padding: 4px 10px; }"
        "#frontPanel QPushButton:pressed { background: %7; }"
        // Keys a menu locks out are greyed, as on the instrument.
        "#frontPanel QPushButton:disabled { background: %8; color: %9;"
        " border: 1px dashed %3; }"
        "#frontPanel QProgressBar { background: %7; border: 1px solid %3;"
        " border-radius: 3px; max-height: 6px; }"
        "#frontPanel QProgressBar::chunk { background: %10; }"
        "#frontPanel QPushButton:focus { border: 2px solid %11; }"
        "#frontPanel QCheckBox { color: %2; }"
        "#frontPanel QPushButton#cmdStart { background: #2f7d3a; }"
        "#frontPanel QPushButton#cmdStop { background: #a33a32; }"
        // START locked (a menu, a running sequence) looks locked like every other key.
        "#frontPanel QPushButton#cmdStart:disabled { background: %8; }"
        "#frontPanel QLineEdit { background: %12; color: %13; border: 1px solid %3;"
        " font-weight: bold; }"
        "#frontPanel zop--Lamp { background: %12; border-radius: 3px; padding: 1px 4px; }")
        .arg(face.ground.name(), face.text.name(), face.border.name(),
             face.key.lighter(125).name(), face.key.darker(125).name(), face.keyText.name(),
             face.field.name(), face.readOnlyField.name(), face.hint.name(), face.accent.name(),
             face.focus.name())
        .arg(face.display.name(), face.displayText.name());
}

const LookColours &Look() { return ColoursOf(g_current); }

LookVariant ChooseLook(const QPalette &desktop, const QString &choice)
{
    if (choice.compare(QLatin1String("dark"), Qt::CaseInsensitive) == 0)
        return LookVariant::Dark;
    if (choice.compare(QLatin1String("light"), Qt::CaseInsensitive) == 0)
        return LookVariant::Light;
    const QColor window = desktop.color(QPalette::Active, QPalette::Window);
    const QColor text = desktop.color(QPalette::Active, QPalette::WindowText);
    return window.lightness() < text.lightness() ? LookVariant::Dark : LookVariant::Light;
}

QPalette PaletteOf(LookVariant variant)
{
    const LookColours &c = ColoursOf(variant);
    QPalette p;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, c.ground);
        p.setColor(group, QPalette::WindowText, c.text);
        p.setColor(group, QPalette::Base, c.field);
        p.setColor(group, QPalette::AlternateBase, c.readOnlyField);
        p.setColor(group, QPalette::Text, c.fieldText);
        p.setColor(group, QPalette::Button, c.key);
        p.setColor(group, QPalette::ButtonText, c.keyText);
        p.setColor(group, QPalette::Highlight, c.selection);
        p.setColor(group, QPalette::HighlightedText, c.selectionText);
        p.setColor(group, QPalette::ToolTipBase, c.field);
        p.setColor(group, QPalette::ToolTipText, c.fieldText);
        p.setColor(group, QPalette::PlaceholderText, c.hint);
        p.setColor(group, QPalette::Link, c.sent);
        p.setColor(group, QPalette::Mid, c.border);
        p.setColor(group, QPalette::Dark, c.hint);
        p.setColor(group, QPalette::Light, c.readOnlyField);
        p.setColor(group, QPalette::Midlight, c.readOnlyField);
        p.setColor(group, QPalette::Shadow, c.border.darker(150));
        p.setColor(group, QPalette::BrightText, c.error);
    }
    // Keys and boxes that cannot be used now are plainly fainter.
    p.setColor(QPalette::Disabled, QPalette::WindowText, c.hint);
    p.setColor(QPalette::Disabled, QPalette::Text, c.hint);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, c.hint);
    p.setColor(QPalette::Disabled, QPalette::Base, c.readOnlyField);
    p.setColor(QPalette::Disabled, QPalette::Button, c.readOnlyField);
    return p;
}

QString StyleSheetOf(LookVariant variant)
{
    const LookColours &c = ColoursOf(variant);
    return QStringLiteral(
               "QGroupBox { font-weight: bold; border: 1px solid %1; border-radius: 5px;"
               " margin-top: 12px; padding: 8px 6px 6px 6px; }"
               "QGroupBox::title { subcontrol-origin: margin; left: 9px; padding: 0 3px; }"
               "QGroupBox QLabel, QGroupBox QPushButton, QGroupBox QLineEdit,"
               " QGroupBox QRadioButton, QGroupBox QCheckBox { font-weight: normal; }"
               "QLabel[columnHead=\"true\"], QLabel[head=\"true\"] { font-weight: bold; color: %2;"
               " border-bottom: 1px solid %1; padding: 0 2px 1px 2px; }"
               "QLabel[hint=\"true\"] { color: %2; }"
               "QLineEdit:read-only { background: %3; }")
        .arg(c.border.name(), c.hint.name(), c.readOnlyField.name());
}

void ApplyLook(QApplication &app, LookVariant variant)
{
    g_current = variant;
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setPalette(PaletteOf(variant));
    app.setStyleSheet(StyleSheetOf(variant));
}

void ApplyDesktopLook(QApplication &app)
{
    ApplyLook(app, ChooseLook(QApplication::palette(), qEnvironmentVariable("ZOP_LOOK")));
}

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QList<ColourPair> TextPairsOf(LookVariant variant)
{
    const LookColours &c = ColoursOf(variant);
    return {
        {QStringLiteral("text on ground"), c.text, c.ground},
        {QStringLiteral("hint on ground"), c.hint, c.ground},
        {QStringLiteral("hint on field"), c.hint, c.field},
        {QStringLiteral("hint on read-only field"), c.hint, c.readOnlyField},
        {QStringLiteral("field text"), c.fieldText, c.field},
        {QStringLiteral("read-only field text"), c.fieldText, c.readOnlyField},
        {QStringLiteral("key text"), c.keyText, c.key},
        {QStringLiteral("disabled key text"), c.hint, c.readOnlyField},
        {QStringLiteral("accent on ground"), c.accent, c.ground},
        {QStringLiteral("selection"), c.selectionText, c.selection},
        {QStringLiteral("sent in log"), c.sent, c.field},
        {QStringLiteral("received in log"), c.received, c.field},
        {QStringLiteral("live link on ground"), c.received, c.ground},
        {QStringLiteral("error in log"), c.error, c.field},
        {QStringLiteral("error on ground"), c.error, c.ground},
        {QStringLiteral("text on a display"), c.displayText, c.display},
        {QStringLiteral("readings"), c.digits, c.display},
        {QStringLiteral("memory"), c.memoryDigits, c.display},
        {QStringLiteral("unlit lamp"), c.lampDark, c.display},
        {QStringLiteral("green lamp"), ColourFromBgr(LampColour::Green), c.display},
        {QStringLiteral("red lamp"), ColourFromBgr(LampColour::Red), c.display},
        {QStringLiteral("yellow lamp"), ColourFromBgr(LampColour::Yellow), c.display},
        {QStringLiteral("orange lamp"), ColourFromBgr(LampColour::Orange), c.display},
    };
}

} // namespace zop
