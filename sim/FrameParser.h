#pragma once

#include <QByteArray>
#include <QList>

namespace kv7::sim {

// A command frame as the window sends it: SOH word [STX param] EOT, or the
// short form SOH DC4 two-letters EOT.
struct Frame {
    QByteArray word;
    QByteArray param;
    bool hasParam = false;
    bool isShort = false;
};

// Collects frames from bytes that arrive in any split. Bytes outside a
// frame are ignored; an SOH inside an unfinished frame starts over.
class FrameParser {
public:
    static constexpr qsizetype MaxFrame = 4096;

    QList<Frame> Feed(const QByteArray &bytes);
    // Frames thrown away for exceeding MaxFrame.
    int Discarded() const { return m_discarded; }

private:
    QByteArray m_pending;
    bool m_inFrame = false;
    int m_discarded = 0;
};

} // namespace kv7::sim
