#pragma once

#include "sim/FrameParser.h"

#include <QByteArray>
#include <array>

namespace kv7::sim {

// What the simulated KV7 answers to a command frame. Pure: no I/O, so the
// answers can be checked directly. The sample area and the boot loader
// plug in here as further commands.
class Device {
public:
    char status = 'R';
    std::array<int, 8> gains{};

    QByteArray Reply(const Frame &frame);

private:
    QByteArray Wrap(char statusLetter, const QByteArray &body) const;
    QByteArray Echo(char statusLetter, const Frame &frame) const;
    QByteArray GetGain(const Frame &frame);
    QByteArray SetGain(const Frame &frame);
};

} // namespace kv7::sim
