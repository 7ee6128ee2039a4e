#pragma once

#include "sim/FrameParser.h"

#include <QByteArray>
#include <array>

namespace kv7::sim {

// What the simulated KV7 answers to a command frame. Pure: no I/O, so the
// answers can be checked directly.
class Device {
public:
    // Status letter of every good reply; malformed gain commands get 'E'.
    char status = 'R';
    // Channels 1-8, 0..127.
    std::array<int, 8> gains{};

    // The one reply frame for a command frame.
    QByteArray Reply(const Frame &frame);

private:
    using Handler = QByteArray (Device::*)(const Frame &);
    static Handler HandlerFor(const Frame &frame);

    static QByteArray EchoBody(const Frame &frame);
    QByteArray Wrap(char statusLetter, const QByteArray &body) const;
    QByteArray Echo(const Frame &frame);
    QByteArray Refuse(const Frame &frame) const;
    QByteArray Version(const Frame &frame);
    QByteArray GetGain(const Frame &frame);
    QByteArray SetGain(const Frame &frame);
};

} // namespace kv7::sim
