#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace zopsim {

class Clock;

// The byte trace: one line per received chunk and per sent reply,
//   "<seconds since start, 3 decimals> RX|TX <bytes>"
// with line feed, carriage return, tab and backslash written as \n, \r, \t, \\ and every
// other byte outside printable ASCII as \xHH. A serial front end adds BAUD and NOTE lines.
// Each line is flushed at once, so a test can read the file while the emulator runs.
class Trace
{
public:
    explicit Trace(const Clock &clock);

    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_file.isOpen(); }

    void received(QByteArrayView bytes) { write("RX", bytes); }
    void sent(QByteArrayView bytes) { write("TX", bytes); }
    // A serial line's speed, written before the first chunk received at a new speed:
    //   "<seconds> BAUD <rate>"
    void lineSpeed(qint32 baud) { write("BAUD", QByteArray::number(baud)); }
    // What the emulator made of a serial frame ("selected", "ignored ..."), as plain text:
    //   "<seconds> NOTE <text>"
    void note(QByteArrayView text) { write("NOTE", text); }
    // A change of the instrument's setpoints, output or alarms ("volt 2.000", "trip OVT"):
    //   "<seconds> CHG <text>"
    void change(QByteArrayView text) { write("CHG", text); }

    static QString escape(QByteArrayView bytes);
    static QString formatLine(qint64 ms, const char *direction, QByteArrayView bytes);

private:
    void write(const char *direction, QByteArrayView bytes);

    const Clock &m_clock;
    QFile m_file;
};

} // namespace zopsim
