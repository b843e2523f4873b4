#include "lineassembler.h"

namespace zopsim {

LineAssembler::LineAssembler(int maxLength) : m_maxLength(qMax(1, maxLength)) {}

void LineAssembler::clear()
{
    m_buffer.clear();
    m_discarding = false;
}

QList<LineAssembler::Line> LineAssembler::feed(QByteArrayView chunk)
{
    QList<Line> lines;
    qsizetype pos = 0;
    while (pos < chunk.size()) {
        const qsizetype lf = chunk.indexOf('\n', pos);
        const qsizetype end = lf < 0 ? chunk.size() : lf;
        if (!m_discarding) {
            m_buffer.append(chunk.sliced(pos, end - pos));
            // A carriage return right before the line feed does not count against the limit.
            qsizetype length = m_buffer.size();
            if (m_buffer.endsWith('\r'))
                --length;
            if (length > m_maxLength) {
                m_buffer.clear();
                m_discarding = true;
                lines.append({QByteArray(), true});
            }
        }
        if (lf < 0)
            break;
        if (!m_discarding)
            lines.append({m_buffer, false});
        m_buffer.clear();
        m_discarding = false;
        pos = lf + 1;
    }
    return lines;
}

} // namespace zopsim
