#pragma once
// The reading log: one CSV row per reading, in one column layout shared by the panel's log,
// the trend's "Export CSV", `zopctl monitor --csv` and `zopctl run --log`:
//
//   time,voltage,current,voltage_set,current_set,output,status_word,alarm_word,lamps,step,event
//
// time is ISO 8601 with milliseconds and the offset from UTC (2026-12-08T10:15:02.125+01:00);
// the readings in the instrument's display formats; the setpoints in force (empty when not
// known); output "on" or "off" (word A's POWER bit); the two status words in hexadecimal as
// the instrument sends them; the lit lamps by name, separated by ";"; the sequence step
// (1-based, empty when none runs). Event rows (engine/eventlog.h) fill only time, step and
// event ("trip: OVT").
//
// LogFile appends to a file and writes each row whole and at once, straight to the system
// (and to the disk), so a killed program or a pulled plug loses at most the row being written.

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

namespace zop {

struct LogEvent;

struct ReadingRow {
    QDateTime time;
    double volts = 0;
    double amps = 0;
    std::optional<double> voltSet;
    std::optional<double> currSet;
    qint32 wordA = 0;
    qint32 wordB = 0;
    int step = -1; // 0-based; -1: no sequence runs
};

inline const QString ReadingCsvHeader = QStringLiteral(
    "time,voltage,current,voltage_set,current_set,output,status_word,alarm_word,lamps,step,event");

// ISO 8601 with milliseconds and the offset: "2026-12-08T10:15:02.125+01:00".
QString IsoTime(const QDateTime &time);

// How a series' panel shows a reading (LookOf in engine/seriesspec.h fills it): the
// display texts, the output, the lit lamps.
struct ReadingLook {
    QString voltage;
    QString current;
    bool outputOn = false;
    QStringList lamps;
};

// One row, without its line end.
QString ReadingCsvLine(const ReadingRow &row, const ReadingLook &look);
QString EventCsvLine(const LogEvent &event);

class LogFile {
public:
    // Opens `path` for appending (made when missing; never a link, FIFO or device); a new or
    // empty file gets the header. A file that starts with another header is refused, so rows
    // of two layouts never mix. False with the reason in `problem`.
    bool open(const QString &path, QString *problem = nullptr);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    // Appends one line and its line end (CR LF) in one write, then syncs it to the disk.
    bool append(const QString &line, QString *problem = nullptr);

private:
    QFile m_file;
};

} // namespace zop
