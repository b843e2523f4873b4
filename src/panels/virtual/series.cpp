#include "panels/virtual/series.h"

#include "state/numbertext.h"

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
        /*truncatesDisplay*/ true, QStringLiteral("Error retrieving state information:")};
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
        return s;
    }();
    static const SeriesSpec tlb = SeriesSpec{
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
    switch (panel) {
    case PanelId::KM: return km;
    case PanelId::TW: return tw;
    case PanelId::GZ: return gz;
    default: return tlb;
    }
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

} // namespace zop
