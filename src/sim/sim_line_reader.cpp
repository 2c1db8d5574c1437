#include "sim_line_reader.h"

QList<SimLineReader::Line> SimLineReader::feed(QByteArrayView bytes)
{
    QList<Line> lines;
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView piece = end < 0 ? bytes : bytes.first(end);
        if (!m_skipping) {
            m_pending += piece;
            if (m_pending.size() > m_maxLength) {
                lines.append({{}, true}); // said once, as soon as it is too long
                m_pending.clear();
                m_skipping = true;
            }
        }
        if (end < 0)
            break;
        if (!m_skipping) {
            if (m_pending.endsWith('\r'))
                m_pending.chop(1);
            lines.append({std::exchange(m_pending, {}), false});
        }
        m_skipping = false;
        bytes = bytes.sliced(end + 1);
    }
    return lines;
}

QList<SimLineReader::Line> SimLineReader::finish()
{
    QList<Line> lines = feed("\n");
    if (!lines.isEmpty() && lines.last().text.isEmpty() && !lines.last().tooLong)
        lines.removeLast();
    return lines;
}
