#pragma once

#include "protocol/ReplyDecoder.h"
#include "protocol/RxBuffer.h"
#include "session/FirmwareRun.h"
#include "session/SampleRun.h"

#include <QByteArray>
#include <QObject>

#include <optional>

namespace kv7 {

class SerialControl;

// One serial line as the window and kv7-run use it: the serial control's
// receive events, the receive buffer and the reply decoder, and the two
// uploads that take the line over. The window shows what it says; kv7-run
// runs its steps on it.
class LineSession : public QObject {
    Q_OBJECT
public:
    explicit LineSession(SerialControl &serial, QObject *parent = nullptr);

    // What the device sent while no upload held the line, not yet taken.
    kv7::RxBuffer RxBuffer;
    // The last reply and the paced runs' countdown, at the reply timer's ticks.
    ReplyDecoder Decoder;
    FirmwareRun Firmware;
    SampleRun Sample;

    // The reply timer's tick: at most one frame out of the receive buffer
    // into the last reply, which a running sample upload is then offered.
    // The frame, when one was taken.
    std::optional<QByteArray> Tick();
    // Without a tick (kv7-run): the next whole frame at once.
    std::optional<QByteArray> NextFrame();
    // Before a write: what came before it answers nothing of it (also
    // what is still waiting in the serial control).
    void ForgetFrames();

signals:
    // Bytes the device sent while no upload held the line, now in RxBuffer.
    void Received(const QByteArray &chunk);

private:
    void OnComm();

    SerialControl &m_serial;
};

} // namespace kv7
