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

    // The last frame taken, kept until the next one or until forgotten.
    const QByteArray &LastReply() const { return m_lastReply; }
    // A sender about to wait for the answer to its own frame.
    void ForgetLastReply() { m_lastReply.clear(); }
    // Paused for the next `ticks` ticks.
    void Pause(qint16 ticks) { m_waitTicks = ticks; }
    bool Paused() const { return m_waitTicks > 0; }
    // Frames taken since the start, for long-run checks.
    qint64 FramesTaken() const { return m_framesTaken; }

private:
    QByteArray m_lastReply;
    qint16 m_waitTicks = 0;
    qint64 m_framesTaken = 0;
};

} // namespace kv7
