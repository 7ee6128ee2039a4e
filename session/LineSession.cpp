#include "session/LineSession.h"

#include "serial/SerialControl.h"

namespace kv7 {

LineSession::LineSession(SerialControl &serial, QObject *parent)
    : QObject(parent), Firmware(serial), m_serial(serial)
{
    connect(&serial, &SerialControl::OnComm, this, &LineSession::OnComm);
}

void LineSession::OnComm()
{
    // While the boot loader holds the line, its bytes are the upload's.
    if (Firmware.HoldsLine())
        return Firmware.Take(m_serial.Input());
    if (m_serial.InBufferCount() <= 0)
        return;
    const QByteArray chunk = m_serial.Input();
    RxBuffer.Append(chunk);
    emit Received(chunk);
}

std::optional<QByteArray> LineSession::Tick()
{
    std::optional<QByteArray> frame = Decoder.Tick(RxBuffer);
    if (frame)
        Sample.Offer(Decoder.LastReply());
    return frame;
}

std::optional<QByteArray> LineSession::NextFrame()
{
    // Nothing waits for a tick here: text a stray EOT left in front is
    // dropped and the frame behind it taken at once.
    for (;;) {
        const qsizetype before = RxBuffer.Size();
        std::optional<QByteArray> frame = TakeFrame(RxBuffer);
        if (frame || RxBuffer.Size() == before)
            return frame;
    }
}

void LineSession::ForgetFrames()
{
    // Not told as received: nobody is to act on them.
    if (!Firmware.HoldsLine() && m_serial.InBufferCount() > 0)
        RxBuffer.Append(m_serial.Input());
    while (NextFrame()) {
    }
}

} // namespace kv7
