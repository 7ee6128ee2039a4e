#include "terminal/TerminalText.h"

#include <algorithm>
#include <cstring>

namespace kv7 {

TerminalText::TerminalText(qsizetype limit) : m_limit(std::max<qsizetype>(limit, 16))
{
    m_lineStarts.push_back(0);
}

void TerminalText::Append(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const qsizetype oldEnd = m_data.size();
    m_data.append(bytes);
    // A CR at the end of the previous text may pair with an LF now.
    qsizetype i = std::max(oldEnd, m_head + 1);
    const char *d = m_data.constData();
    const qsizetype end = m_data.size();
    while (i < end) {
        const void *hit = std::memchr(d + i, '\n', static_cast<size_t>(end - i));
        if (!hit)
            break;
        const qsizetype lf = static_cast<const char *>(hit) - d;
        if (d[lf - 1] == '\r') {
            m_longest = std::max(m_longest, LineLength(LineCount() - 1) - (end - lf + 1));
            m_lineStarts.push_back(m_base + lf + 1);
        }
        i = lf + 1;
    }
    if (Size() > m_limit)
        Trim();
}

void TerminalText::Clear()
{
    m_data.clear();
    m_head = 0;
    m_base = 0;
    m_lineStarts.assign(1, 0);
    m_longest = 0;
}

qsizetype TerminalText::LineEnd(qsizetype i) const
{
    if (i + 1 < LineCount())
        return Offset(m_lineStarts[static_cast<size_t>(i + 1)]) - 2;
    return m_data.size();
}

qsizetype TerminalText::LineLength(qsizetype i) const
{
    return LineEnd(i) - Offset(m_lineStarts[static_cast<size_t>(i)]);
}

QByteArray TerminalText::Line(qsizetype i, qsizetype from, qsizetype maxLen) const
{
    if (i < 0 || i >= LineCount())
        return {};
    const qsizetype start = Offset(m_lineStarts[static_cast<size_t>(i)]);
    const qsizetype len = LineEnd(i) - start;
    if (from >= len)
        return {};
    const qsizetype take = maxLen < 0 ? len - from : std::min(maxLen, len - from);
    return m_data.mid(start + from, take);
}

QByteArray TerminalText::Bytes(qint64 from, qint64 to) const
{
    from = std::max(from, Begin());
    to = std::min(to, End());
    return from < to ? m_data.mid(Offset(from), static_cast<qsizetype>(to - from)) : QByteArray();
}

qsizetype TerminalText::LineAt(qint64 pos) const
{
    const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), pos);
    return std::max<qsizetype>(0, static_cast<qsizetype>(after - m_lineStarts.begin()) - 1);
}

void TerminalText::Trim()
{
    const qsizetype target = m_limit - m_limit / 8;
    qsizetype cut = m_head + (Size() - target);
    // Never leave the LF of a CR LF pair at the front on its own.
    if (cut < m_data.size() && m_data[cut] == '\n' && m_data[cut - 1] == '\r')
        ++cut;
    m_head = cut;
    const qint64 absCut = m_base + cut;
    while (!m_lineStarts.empty() && m_lineStarts.front() < absCut)
        m_lineStarts.pop_front();
    if (m_lineStarts.empty() || m_lineStarts.front() != absCut)
        m_lineStarts.push_front(absCut);
    if (m_head >= Size()) {
        m_data.remove(0, m_head);
        m_base += m_head;
        m_head = 0;
    }
    m_longest = 0;
    for (qsizetype l = 0; l + 1 < LineCount(); ++l)
        m_longest = std::max(m_longest, LineLength(l));
}

qsizetype TerminalText::LongestLine() const
{
    // The open line is measured as it stands: a CR at its end may still
    // become half of a line break.
    return std::max(m_longest, LineLength(LineCount() - 1));
}

} // namespace kv7
