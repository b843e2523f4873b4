#include "engine/seriesspec.h"

#include "engine/panellogic.h"
#include "core/numbertext.h"

namespace zop {

namespace {

QList<LampSpec> StatusLamps()
{
    return {{QStringLiteral("INT CTL"), 3, 3}, {QStringLiteral("EXT CTL"), 4, 4},
            {QStringLiteral("STANDBY"), 6, 6}, {QStringLiteral("POWER"), 7, 7},
            {QStringLiteral("CTL"), 8, 8},     {QStringLiteral("REM SEN"), 9, 9},
            {QStringLiteral("CTL"), 10, 10}};
}

SeriesSpec KmTw(Series series, PanelId panel, const QString &name)
{
    return SeriesSpec{
        series, panel, name,
        /*memoryDisplay*/ false, /*tripKnobs*/ false, /*setpointButtons*/ true,
        /*typedEntry*/ false, /*armAndMemoryKeys*/ false,
        QStringLiteral("V/I DIS"), QStringLiteral("TRIP DIS"),
        series == Series::KM ? QStringList{QStringLiteral("CONFIGURATION"), QStringLiteral("MODE")}
                             : QStringList{},
        /*rotatedCaptions*/ false,
        {{QStringLiteral("OVT"), 0, 0}, {QStringLiteral("OCT"), 1, 1}, {QStringLiteral("PHL"), 2, 2},
         {QStringLiteral("PGL"), 3, 3}, {QStringLiteral("THL"), 4, 4}, {QStringLiteral("LOC"), 8, 8}},
        {{QStringLiteral("ROTARY"), 0, 6}, {QStringLiteral("EXT PGM"), 1, 3},
         {QStringLiteral("REMOTE"), 2, 9}},
        StatusLamps(),
        /*armLamp*/ false, /*modulationEntry*/ true,
        /*idleLevel*/ 4, /*tripDisplayLevel*/ 3, /*configLevel*/ 9, {0, 1, 2, 6},
        /*calibrationLevel*/ 10, /*menuTimeoutLevel*/ 10,
        /*directAdjust*/ false, /*replyLetterCheck*/ false, /*readsMemoryField*/ false,
        /*truncatesDisplay*/ true, QStringLiteral("Error retrieving state information:"),
        /*menuLevel*/ 7, /*menuLevelWhenOn*/ 7,
        [](qint16 level, qint16 power) { return NextSeriesMenuLevel(level, power, false); }};
}

} // namespace

const SeriesSpec &SeriesSpecFor(PanelId panel)
{
    static const SeriesSpec km = KmTw(Series::KM, PanelId::KM, QStringLiteral("frmKM"));
    static const SeriesSpec tw = KmTw(Series::TW, PanelId::TW, QStringLiteral("frmTW"));
    static const SeriesSpec gz = [] {
        SeriesSpec s = KmTw(Series::GZ, PanelId::GZ, QStringLiteral("frmGZ"));
        s.tripKnobs = true;
        s.visetCaption = QStringLiteral("V/I SET");
        s.tripCaption = QStringLiteral("TRIP SET");
        s.groupCaptions = {QStringLiteral("ALARMS"), QStringLiteral("CONFIGURATION"),
                           QStringLiteral("MODE")};
        s.alarmLamps = {{QStringLiteral("OVT"), 0, 0},    {QStringLiteral("OCT"), 1, 1},
                        {QStringLiteral("PHASE"), 2, 2},  {QStringLiteral("PGM LN"), 3, 3},
                        {QStringLiteral("THERM"), 4, 4},  {QStringLiteral("FUSE"), 5, 5},
                        {QStringLiteral("LOCK"), 8, 8}};
        s.modulationEntry = false;
        s.menuLevel = 9;
        s.menuLevelWhenOn = 10;
        s.nextMenuLevel = [](qint16 level, qint16 power) {
            return NextSeriesMenuLevel(level, power, true);
        };
        return s;
    }();
    static const SeriesSpec tlb = [] {
        SeriesSpec s{
        Series::TLB, PanelId::TLB, QStringLiteral("frmTLB"),
        /*memoryDisplay*/ true, /*tripKnobs*/ false, /*setpointButtons*/ false,
        /*typedEntry*/ true, /*armAndMemoryKeys*/ true, QString(), QString(),
        {QStringLiteral("MODE"), QStringLiteral("SETUP"), QStringLiteral("SET POINT")},
        /*rotatedCaptions*/ true,
        {{QStringLiteral("OVT"), 0, 0}, {QStringLiteral("OCT"), 1, 1}, {QStringLiteral("PHL"), 2, 2},
         {QStringLiteral("PGL"), 3, 3}, {QStringLiteral("THL"), 4, 4}, {QStringLiteral("FSE"), 5, 5},
         {QStringLiteral("LOC"), 8, 8}},
        {{QStringLiteral("ROTARY"), 0, 0}, {QStringLiteral("EXT PGM"), 1, 1},
         {QStringLiteral("REMOTE"), 2, 9}, {QStringLiteral("KEYPAD"), 3, 3}},
        StatusLamps(),
        /*armLamp*/ true, /*modulationEntry*/ true,
        /*idleLevel*/ 3, /*tripDisplayLevel*/ -1, /*configLevel*/ 10, {0, 1, 2, 7},
        /*calibrationLevel*/ 11, /*menuTimeoutLevel*/ 11,
        /*directAdjust*/ true, /*replyLetterCheck*/ true, /*readsMemoryField*/ true,
        /*truncatesDisplay*/ false, QStringLiteral("Error retrieving scale information:")};
        s.menuLevel = s.menuLevelWhenOn = 5;
        s.nextMenuLevel = NextTlbMenuLevel;
        s.roles = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        s.clearHold = s.entryEcho = s.codeEntry = s.menuBlanksCurrent = true;
        s.sharedKeyRow = s.pollsEachStep = false;
        s.periodLevel = 9;
        return s;
    }();
    switch (panel) {
    case PanelId::KM: return km;
    case PanelId::TW: return tw;
    case PanelId::GZ: return gz;
    default: return tlb;
    }
}

QList<const SeriesSpec *> AllSeriesSpecs()
{
    QList<const SeriesSpec *> all;
    for (PanelId id : {PanelId::TLB, PanelId::KM, PanelId::TW, PanelId::GZ})
        all << &SeriesSpecFor(id);
    return all;
}

namespace {
// One row per key: what it does on the TLB, on the KM and TW, and on the GZ; an empty text
// where the series has no such key, "=" where the text is that of the column before.
struct KeyTip {
    const char *key;
    const char *tlb;
    const char *kmTw;
    const char *gz;
};
constexpr KeyTip KeyTips[] = {
    {"cmdStart", "START: turn the output on (armed when ARM is lit)", "START: turn the output on",
     "="},
    {"cmdStop", "STOP: turn the output off (standby)", "=", "="},
    {"cmdMenu",
     "MENU: open the menu at the voltage setpoint; ITEM goes on to the next value, ENTER sets "
     "it, CLEAR leaves",
     "MENU: open the menu at the over-voltage trip; ITEM goes on, ENTER saves, CLEAR leaves",
     "MENU: open the configuration menu (with the output on, the calibration level); ENTER "
     "saves, CLEAR leaves"},
    {"cmdItem",
     "ITEM: the next menu (voltage, current, OVT, OCT, period, configuration, calibration), or "
     "the next item of the open one",
     "ITEM: the next menu (OVT, OCT, configuration, calibration), or the next item of the open "
     "one",
     "ITEM: the next menu (configuration, calibration), or the next item of the open one"},
    {"cmdUp",
     "UP: raise the value shown, faster while held; at rest, the value last set with ENTER",
     "UP: raise the value of the open menu, faster while held", "="},
    {"cmdDn",
     "DN: lower the value shown, faster while held; at rest, the value last set with ENTER",
     "DN: lower the value of the open menu, faster while held", "="},
    {"cmdEnter",
     "ENTER: set the value shown or typed and leave the menu; in the configuration menu, "
     "choose an item, then turn it on",
     "ENTER: save the value of the open menu; in the configuration menu, choose an item, then "
     "turn it on",
     "="},
    {"cmdClear",
     "CLEAR: leave the menu and go back to the setpoints in force; at rest, clear a latched "
     "protection trip. In a value menu, held 5 s and 10 s it resets the instrument in two "
     "steps",
     "CLEAR: leave the menu and go back to the setpoints in force; at rest, clear a latched "
     "protection trip",
     "="},
    {"cmdDsply", "DISPLAY: show the setpoints and memory location while held", "", ""},
    {"cmdMem", "MEM: choose a memory location (0 to 9) with UP, DN or a digit; ENTER recalls it",
     "", ""},
    {"cmdArm", "ARM: arm or disarm the output (in standby, with no menu open)", "", ""},
    {"cmdVISet", "", "V/I DIS: show the voltage and current setpoints while held",
     "V/I SET: show the voltage and current setpoints while held"},
    {"cmdTRIP", "", "TRIP DIS: show the over-voltage and over-current trips while held",
     "TRIP SET: show the over-voltage and over-current trips while held"},
    {"cmdCal", "", "CAL: hold for 10 seconds to open the calibration level", "="},
    {"cmdVolt", "", "VOLTAGE: type a new voltage setpoint", "="},
    {"cmdCurr", "", "CURRENT: type a new current setpoint", "="},
    {"cmdOVT", "", "OVT: type a new over-voltage trip", "="},
    {"cmdOCT", "", "OCT: type a new over-current trip", "="},
    {"txtInput", "Type a value (digits and one point), then ENTER", "", ""},
    {"cmdPause", "Stop or resume drawing the trend (the readings are still recorded)", "=", "="},
    {"cmdExport", "Save the readings of the last hour to a CSV file", "=", "="},
};
} // namespace

QString KeyToolTip(Series series, const QString &key)
{
    for (const KeyTip &tip : KeyTips) {
        if (key != QLatin1String(tip.key))
            continue;
        const char *texts[] = {tip.tlb, tip.kmTw, tip.gz};
        int column = series == Series::TLB ? 0 : series == Series::GZ ? 2 : 1;
        while (column > 0 && qstrcmp(texts[column], "=") == 0)
            --column;
        return QString::fromLatin1(texts[column]);
    }
    return QString();
}

QString DisplayText(double value, const QString &format, bool truncate)
{
    // Without a format (a rating above 8000) there are no decimals to cut: the value is shown
    // in its general form, never with its last digit dropped.
    if (!truncate || format.isEmpty())
        return FormatNumber(value, format);
    QString text = FormatNumber(value, format + QLatin1Char('0'));
    text.chop(1);
    return text;
}

QStringList LitLamps(const SeriesSpec &spec, qint32 wordA, qint32 wordB)
{
    const StatusBits a = UnpackBits(wordA);
    const StatusBits b = UnpackBits(wordB);
    QStringList lit;
    if (spec.armLamp && a[StatusBit::Arm])
        lit << QStringLiteral("ARM");
    for (const LampSpec &lamp : spec.statusLamps) {
        if (!a[lamp.tag])
            continue;
        if (lamp.tag == StatusBit::VoltageControl)
            lit << QStringLiteral("CTL (voltage)");
        else if (lamp.tag == StatusBit::CurrentControl)
            lit << QStringLiteral("CTL (current)");
        else
            lit << lamp.caption;
    }
    for (const LampSpec &lamp : spec.alarmLamps) {
        if (b[lamp.tag])
            lit << lamp.caption;
    }
    // The last alarm lamp, "REMOTE", sits with the configuration lamps (lblDisabled(2)).
    for (const LampSpec &lamp : spec.disabledLamps) {
        if (lamp.index == 2 && b[lamp.tag])
            lit << lamp.caption;
    }
    return lit;
}

ReadingLook LookOf(const ReadingRow &row, const SeriesSpec &spec, const QString &voltageFormat,
                   const QString &currentFormat)
{
    const StatusBits a = UnpackBits(row.wordA);
    return {DisplayText(row.volts, voltageFormat, spec.truncatesDisplay),
            DisplayText(row.amps, currentFormat, spec.truncatesDisplay),
            a[StatusBit::Power] && !a[StatusBit::Standby], LitLamps(spec, row.wordA, row.wordB)};
}

} // namespace zop
