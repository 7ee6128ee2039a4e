#pragma once

#include "protocol/RxBuffer.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace kv7 {

// Takes at most one frame (SOH through the first EOT) out of the front of
// the buffer. Text before an SOH is dropped once a frame or a stray EOT
// shows it can never belong to one; text without any SOH waits.
std::optional<QByteArray> TakeFrame(RxBuffer &rx);

// What one tick of the reply timer does apart from the display: the frame
// taken, the last reply, and the pacing countdown.
class ReplyDecoder {
public:
    std::optional<QByteArray> Tick(RxBuffer &rx);

    QByteArray LastReply;
    qint16 WaitTicks = 0;
    // Frames taken since the start, for long-run checks.
    qint64 FramesTaken = 0;
};

} // namespace kv7
