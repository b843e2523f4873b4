#pragma once
// What differs between the four series' front panels, as data: the front-panel engine
// (FrontPanel) takes a series' behaviour, and the virtual panel its controls, from its row here.
// A new series is a new row (and its key layout in the virtual panel).

#include "app/panelids.h"
#include "engine/readinglog.h"

#include <QList>
#include <array>
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

    // Keys and menus (the KM's values; the rows of the other series change what differs).
    qint16 menuLevel = 7;          // the level MENU opens
    qint16 menuLevelWhenOn = 7;    // the level MENU opens while the output is on
    // ITEM with no item selected: the next menu level for a power state.
    qint16 (*nextMenuLevel)(qint16 level, qint16 powerState) = nullptr;
    // What each menu level means, in the TLB's numbering (2 setpoints, 3 trips, 4 memory, 5 to
    // 9 the values, 10 configuration, 11 potentiometers or the code entry, 12 scales); -1: no
    // menu.
    std::array<qint16, 13> roles{-1, -1, -1, -1, -1, -1, -1, 7, 8, 10, 11, -1, -1};
    bool clearHold = false;        // CLEAR acts on press and release; held 5 s and 10 s it resets
    bool entryEcho = false;        // the instrument is told the entry mode ("<>TYP")
    bool codeEntry = false;        // calibration opens with a typed code (else a 10 s key hold)
    bool sharedKeyRow = true;      // UP and DN share their row with the display keys
    bool menuBlanksCurrent = false; // MENU blanks the current display
    bool pollsEachStep = true;     // every UP/DN step reads the status (else only when adjusting)
    qint16 periodLevel = -1;       // the period menu, stepped in its own units
};

const SeriesSpec &SeriesSpecFor(PanelId panel);
// Every series' row, in the order their panels are registered.
QList<const SeriesSpec *> AllSeriesSpecs();

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
