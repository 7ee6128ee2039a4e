#include "protocol/ReplyDecoder.h"

#include "protocol/ControlChars.h"

namespace kv7 {

std::optional<QByteArray> TakeFrame(RxBuffer &rx)
{
    if (rx.IsEmpty())
        return std::nullopt;
    const qsizetype s = rx.IndexOf(SOH);
    if (s < 0)
        return std::nullopt;
    const qsizetype e = rx.IndexOf(EOT);
    if (e < s) {
        rx.DropFront(s);
        return std::nullopt;
    }
    QByteArray frame = rx.Mid(s, e - s + 1);
    // Keep everything after the EOT: a reply sent right behind another
    // starts there.
    rx.DropFront(e + 1);
    return frame;
}

std::optional<QByteArray> ReplyDecoder::Tick(RxBuffer &rx)
{
    std::optional<QByteArray> frame = TakeFrame(rx);
    if (frame) {
        m_lastReply = *frame;
        ++m_framesTaken;
    }
    if (m_waitTicks > 0)
        --m_waitTicks;
    return frame;
}

} // namespace kv7
