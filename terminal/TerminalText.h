#pragma once

#include <QByteArray>

#include <deque>

namespace kv7 {

// The terminal pane's text as bytes, split into lines at CR LF. Appending
// costs in proportion to the bytes appended; above the bound the oldest
// text is dropped, down to seven eighths, so trimming is rare.
class TerminalText {
public:
    static constexpr qsizetype DefaultLimit = 1024 * 1024;

    explicit TerminalText(qsizetype limit = DefaultLimit);

    void Append(const QByteArray &bytes);
    void Clear();

    QByteArray Text() const { return m_data.mid(m_head); }
    qsizetype Size() const { return m_data.size() - m_head; }
    qsizetype Limit() const { return m_limit; }

    // Absolute offsets count every byte ever appended since the last Clear,
    // so a position keeps naming the same byte while older text is dropped.
    qint64 Begin() const { return m_base + m_head; }
    qint64 End() const { return m_base + m_data.size(); }
    // The kept bytes in [from, to), clamped to what is kept.
    QByteArray Bytes(qint64 from, qint64 to) const;

    qsizetype LineCount() const { return static_cast<qsizetype>(m_lineStarts.size()); }
    qint64 LineStart(qsizetype i) const { return m_lineStarts[static_cast<size_t>(i)]; }
    // The line that holds the absolute offset `pos` (its end included).
    qsizetype LineAt(qint64 pos) const;
    // Line i without its CR LF; only `maxLen` bytes from `from` on.
    QByteArray Line(qsizetype i, qsizetype from = 0, qsizetype maxLen = -1) const;
    qsizetype LineLength(qsizetype i) const;
    // Length of the longest line, for the horizontal scroll range.
    qsizetype LongestLine() const;

private:
    void Trim();
    qsizetype LineEnd(qsizetype i) const; // index in m_data past the line's text
    qsizetype Offset(qint64 absolute) const { return static_cast<qsizetype>(absolute - m_base); }

    QByteArray m_data;
    qsizetype m_head = 0;
    qint64 m_base = 0; // absolute position of m_data[0]
    qsizetype m_limit;
    std::deque<qint64> m_lineStarts; // absolute positions
    qsizetype m_longest = 0; // of the lines already ended by CR LF
};

} // namespace kv7
