#pragma once
// One look for every window: the colours of a dark and a light variant, the palette and the
// style sheet made from them, and the contrast rule every text colour keeps. The variant
// follows the desktop (a dark desktop palette gives the dark variant); ZOP_LOOK=dark or
// ZOP_LOOK=light chooses one.

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

class QApplication;

namespace zop {

enum class LookVariant { Dark, Light };

// The named colours of a variant. Every colour a window paints text with comes from here.
struct LookColours {
    QColor ground;      // window and panel ground
    QColor text;        // captions and labels
    QColor hint;        // secondary text: range hints, column heads, legends
    QColor border;      // frames and separators
    QColor field;       // entry boxes and lists
    QColor fieldText;
    QColor readOnlyField; // boxes that show but do not take input
    QColor key;         // push buttons
    QColor keyText;
    QColor accent;      // what a menu shows beside the displays; progress
    QColor focus;       // the focus ring
    QColor selection;
    QColor selectionText;
    QColor sent;        // commands in the transaction log
    QColor received;    // replies in the transaction log; a live link in the status line
    QColor error;       // errors in logs and status texts
    QColor display;     // the ground of the front panel's displays
    QColor displayText; // words on a display ("SIMULATED") and the typed entry
    QColor lampDark;    // an unlit lamp's caption; lamps sit on the display ground
    QColor digits;      // the readings of the voltage and current displays
    QColor memoryDigits; // the memory display
};

const LookColours &ColoursOf(LookVariant variant);
// The variant in use (set by ApplyLook; Light before it).
LookVariant CurrentLook();
const LookColours &Look();

// The variant for a desktop whose own palette is `desktop`, unless `choice` ("dark",
// "light") names one.
LookVariant ChooseLook(const QPalette &desktop, const QString &choice);
QPalette PaletteOf(LookVariant variant);
QString StyleSheetOf(LookVariant variant);
// Gives the application the look: the Fusion style (which follows the palette on every
// desktop), the palette and the style sheet.
void ApplyLook(QApplication &app, LookVariant variant);
// ApplyLook with the variant ChooseLook takes from the desktop and ZOP_LOOK.
void ApplyDesktopLook(QApplication &app);

// The contrast ratio of two colours (1 to 21), as the accessibility guidelines define it.
double ContrastRatio(const QColor &a, const QColor &b);
// Text below this ratio against its ground is hard to read.
constexpr double MinimumTextContrast = 4.5;

// The instrument's face (the virtual panels' front) is dark in both variants: its lamps light
// in the instrument's own bright colours, which only read on a dark ground.
const LookColours &FaceColours();
// The style of the face (its top widget named "frontPanel"): its ground, captions, keys (a
// locked key greyed, as on the instrument), value field and lamp chips.
QString FaceStyleSheet();

// Every pair of text and ground colour the look draws, named for a report.
struct ColourPair {
    QString name;
    QColor text;
    QColor ground;
};
QList<ColourPair> TextPairsOf(LookVariant variant);

} // namespace zop
