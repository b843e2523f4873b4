#pragma once
// One "<>STA" reply as the virtual panel of a series shows it: the readings with the
// instrument's number formats, the lamps that are lit, the power state.

#include "engine/seriesspec.h"

#include <QString>
#include <QStringList>

namespace zop::cli {

struct StatusReading {
    double voltage = 0;
    double current = 0;
    QString voltageText; // as the panel's display shows it
    QString currentText;
    bool hasMemory = false; // the series shows the memory number (field 4)
    qint32 memory = 0;
    qint32 statusWord = 0; // word A, operation
    qint32 alarmWord = 0; // word B, alarms
    QStringList lamps; // lit lamps by caption, operation lamps first
    qint16 powerState = 0; // Power::Standby, On or OnArmed
};

// "standby", "on" or "on, armed".
QString PowerStateName(qint16 state);

// Decodes a reply. `previousPower` is the state before it (a reply with neither the STANDBY nor
// the POWER bit keeps it). `shortReplyDefaults`: a reply of fewer than four fields stands for
// the panel's defaults (Simulated mode), otherwise it is refused. Throws Failure (BadReply).
StatusReading DecodeStatus(const QString &reply, const SeriesSpec &spec, qint16 previousPower,
                           bool shortReplyDefaults, const QString &voltageFormat,
                           const QString &currentFormat);

} // namespace zop::cli
