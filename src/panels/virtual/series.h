#pragma once
// What differs between the four virtual control panels, as data: one panel class builds the
// controls and behaviour of a series from its row here.

#include "app/panelids.h"
#include "engine/readinglog.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zop {

enum class Series { KM, TW, GZ, TLB };

// A lamp label: its caption, its control array and index, and the bit number in its tag.
struct LampSpec {
    QString caption;
    int index;
    int tag;
};

struct SeriesSpec {
    Series series;
    PanelId panel;
    QString windowName; // compared with CurrentPanel by the poll

    // Controls.
    bool memoryDisplay;    // txtMEM
    bool tripKnobs;        // knbOVP, knbOCP
    bool setpointButtons;  // VOLTAGE, CURRENT, OVT, OCT with the Enter Value dialog
    bool typedEntry;       // txtInput
    bool armAndMemoryKeys; // cmdArm, cmdMem (otherwise cmdCal)
    QString visetCaption;  // cmdVISet ("" when the series has cmdDsply instead)
    QString tripCaption;   // cmdTRIP
    QStringList groupCaptions;
    bool rotatedCaptions; // drawn vertically on the key frame
    QList<LampSpec> alarmLamps;    // lblErrors
    QList<LampSpec> disabledLamps; // lblDisabled
    QList<LampSpec> statusLamps;   // lblStatus
    bool armLamp;                  // lblArm(0)
    bool modulationEntry;

    // Menu levels.
    qint16 idleLevel;
    qint16 tripDisplayLevel; // -1: none
    qint16 configLevel;
    QList<qint16> configItems;
    qint16 calibrationLevel; // the first calibration level
    qint16 menuTimeoutLevel; // the poll leaves menus at this level or above after 60 s
    bool directAdjust;       // UP/DN from idle adjust the last confirmed value
    bool replyLetterCheck;   // a poll reply with "b" or "j" is refused
    bool readsMemoryField;   // reply field 4 is the memory number
    bool truncatesDisplay;   // values are cut, not rounded, to the format
    QString pollErrorFirstLine;
};

const SeriesSpec &SeriesSpecFor(PanelId panel);

// What a key of a virtual panel does, for its tool tip: `key` is the key's objectName
// ("cmdMenu", "cmdPause"); the text differs by series where the key does. Empty for a name
// that is not a key of that series' panel.
QString KeyToolTip(Series series, const QString &key);

// The text a display shows for a value: rounded to the format on the TLB, cut to the format's
// decimals on the other series (12.349 with "0.00" shows 12.34).
QString DisplayText(double value, const QString &format, bool truncate);

// The captions of the lamps the two status words light on a series' panel, operation lamps
// first. The two "CTL" lamps under the displays are told apart as "CTL (voltage)" and
// "CTL (current)".
QStringList LitLamps(const SeriesSpec &spec, qint32 wordA, qint32 wordB);

// A reading as the series' panel shows it, in the display formats (for the reading log).
ReadingLook LookOf(const ReadingRow &row, const SeriesSpec &spec, const QString &voltageFormat,
                   const QString &currentFormat);

} // namespace zop
