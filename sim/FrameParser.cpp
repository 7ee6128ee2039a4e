#include "sim/FrameParser.h"

#include "protocol/ControlChars.h"

namespace kv7::sim {

namespace {

Frame Split(const QByteArray &body)
{
    Frame f;
    if (body.size() == 3 && body[0] == DC4) {
        f.isShort = true;
        f.word = body.mid(1);
        return f;
    }
    const qsizetype stx = body.indexOf(STX);
    if (stx < 0) {
        f.word = body;
    } else {
        f.word = body.left(stx);
        f.param = body.mid(stx + 1);
        f.hasParam = true;
    }
    return f;
}

} // namespace

QList<Frame> FrameParser::Feed(const QByteArray &bytes)
{
    QList<Frame> frames;
    for (const char c : bytes) {
        if (c == SOH) {
            m_inFrame = true;
            m_pending.clear();
        } else if (!m_inFrame) {
            continue;
        } else if (c == EOT) {
            frames.append(Split(m_pending));
            m_pending.clear();
            m_inFrame = false;
        } else if (m_pending.size() >= MaxFrame) {
            // Endless input without EOT must not grow memory.
            ++m_discarded;
            m_pending.clear();
            m_inFrame = false;
        } else {
            m_pending.append(c);
        }
    }
    return frames;
}

} // namespace kv7::sim
