#pragma once

#include "serial/SerialResult.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace kv7 {

class SerialControl;

// A firmware upload's opening carried out on the line, move by move, for
// the window and kv7-run alike: the boot command, the pauses, the start of
// the limit for the device's first reply, the switch to the transfer speed
// and the sync bytes.
struct FirmwareStart {
    // How a move's bytes go out; the caller's own write (it may note or
    // drain what came before).
    std::function<SerialResult(const QByteArray &bytes)> write;
    // The limit for the device's first reply starts now.
    std::function<void(int ms)> startLimit;
    // The settings in force before the switch; empty while not switched.
    QString saved;

    // Every move in order; the first failure ends it.
    SerialResult Run(SerialControl &serial);
};

} // namespace kv7
