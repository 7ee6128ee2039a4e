#pragma once

#include <QtGlobal>

#include <algorithm>
#include <utility>

namespace kv7 {

class TerminalText;

// What the user selected in the terminal pane, as absolute offsets into its
// text: it stays on the same bytes while traffic arrives.
class PaneSelection {
public:
    bool IsEmpty() const { return m_anchor == m_cursor; }
    qint64 Start() const { return std::min(m_anchor, m_cursor); }
    qint64 End() const { return std::max(m_anchor, m_cursor); }

    void Set(qint64 anchor, qint64 cursor)
    {
        m_anchor = anchor;
        m_cursor = cursor;
    }
    void Extend(qint64 cursor) { m_cursor = cursor; }
    void Clear() { m_anchor = m_cursor = 0; }
    // The text before `begin` was dropped: keep only what is still there,
    // nothing when all of it went.
    void Keep(qint64 begin)
    {
        m_anchor = std::max(m_anchor, begin);
        m_cursor = std::max(m_cursor, begin);
    }

private:
    qint64 m_anchor = 0;
    qint64 m_cursor = 0;
};

// The word around `pos` as [start, end): letters, digits and "_" as the
// pane shows them. Empty at anything else.
std::pair<qint64, qint64> WordAt(const TerminalText &text, qint64 pos);

} // namespace kv7
