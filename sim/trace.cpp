#include "trace.h"

#include "clock.h"

namespace zopsim {

Trace::Trace(const Clock &clock) : m_clock(clock) {}

bool Trace::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    return true;
}

QString Trace::escape(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '\\': out += QLatin1String("\\\\"); break;
        default:
            if (c < 0x20 || c >= 0x7F)
                out += QLatin1String("\\x")
                       + QString::number(uint(c), 16).toUpper().rightJustified(2, QLatin1Char('0'));
            else
                out += QLatin1Char(char(c));
        }
    }
    return out;
}

QString Trace::formatLine(qint64 ms, const char *direction, QByteArrayView bytes)
{
    return QStringLiteral("%1.%2 %3 %4")
        .arg(ms / 1000)
        .arg(ms % 1000, 3, 10, QLatin1Char('0'))
        .arg(QLatin1String(direction), escape(bytes));
}

void Trace::write(const char *direction, QByteArrayView bytes)
{
    if (!m_file.isOpen())
        return;
    m_file.write(formatLine(m_clock.nowMs(), direction, bytes).toLatin1() + '\n');
    m_file.flush();
}

} // namespace zopsim
