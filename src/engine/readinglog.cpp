#include "engine/readinglog.h"

#include "core/regularfile.h"
#include "engine/eventlog.h"
#include "engine/sequence.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace zop {

QString IsoTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc() / 60;
    const int hours = std::abs(offset) / 60;
    const int minutes = std::abs(offset) % 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
         + QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(hours, 2, 10, QLatin1Char('0'))
               .arg(minutes, 2, 10, QLatin1Char('0'));
}

namespace {

QString Hex(qint32 word) { return QString::number(quint32(word), 16).toUpper(); }

// A CSV field: quoted when it holds a comma, a quote or a line end.
QString Field(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString Step(int step) { return step < 0 ? QString() : QString::number(step + 1); }

} // namespace

QString ReadingCsvLine(const ReadingRow &row, const ReadingLook &look)
{
    return QStringList{IsoTime(row.time),
                       look.voltage,
                       look.current,
                       row.voltSet ? SetpointText(*row.voltSet) : QString(),
                       row.currSet ? SetpointText(*row.currSet) : QString(),
                       look.outputOn ? QStringLiteral("on") : QStringLiteral("off"),
                       Hex(row.wordA),
                       Hex(row.wordB),
                       Field(look.lamps.join(QLatin1Char(';'))),
                       Step(row.step),
                       QString()}
        .join(QLatin1Char(','));
}

QString EventCsvLine(const LogEvent &event)
{
    return IsoTime(event.time) + QStringLiteral(",,,,,,,,,") + Step(event.step)
         + QLatin1Char(',') + Field(EventKindName(event.kind) + QStringLiteral(": ") + event.text);
}

bool LogFile::open(const QString &path, QString *problem)
{
    close();
    if (!OpenRegularForWriting(m_file, path, QIODevice::Append, problem))
        return false;
    if (m_file.size() == 0)
        return append(ReadingCsvHeader, problem);
    QFile reader(path);
    if (reader.open(QIODevice::ReadOnly)
        && reader.readLine(ReadingCsvHeader.size() + 3).trimmed() != ReadingCsvHeader.toLatin1()) {
        close();
        if (problem)
            *problem = QStringLiteral("It holds rows of another layout; choose a new file.");
        return false;
    }
    return true;
}

bool LogFile::append(const QString &line, QString *problem)
{
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    if (m_file.write(bytes) != bytes.size()) {
        if (problem)
            *problem = m_file.error() != QFileDevice::NoError
                ? m_file.errorString()
                : QStringLiteral("only part of a row went in (is the disk full?)");
        return false;
    }
#ifdef Q_OS_UNIX
    ::fdatasync(m_file.handle());
#endif
    return true;
}

} // namespace zop
