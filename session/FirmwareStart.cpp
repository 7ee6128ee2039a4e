#include "session/FirmwareStart.h"

#include "protocol/FirmwareTransfer.h"
#include "serial/SerialControl.h"

#include <QThread>

namespace kv7 {

SerialResult FirmwareStart::Run(SerialControl &serial)
{
    using Move = FirmwareTransfer::Move;
    for (const Move &move : FirmwareTransfer::Opening()) {
        SerialResult done = SerialResult::Ok();
        switch (move.kind) {
        case Move::Write:
            done = write(move.bytes);
            break;
        case Move::Pause:
            // Slept, also on the window's thread: the boot loader counts on
            // these pauses, and nothing else may use the line meanwhile.
            QThread::msleep(static_cast<unsigned long>(move.ms));
            break;
        case Move::StartLimit:
            startLimit(move.ms);
            break;
        case Move::ToTransferSpeed:
            saved = serial.Settings();
            done = serial.ReopenAt(QString::fromLatin1(FirmwareTransfer::TransferSettings));
            break;
        }
        if (!done.ok())
            return done;
    }
    return SerialResult::Ok();
}

} // namespace kv7
