#pragma once

#include "sim/FrameParser.h"
#include "sim/SampleArea.h"

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
    // What the area reply tells of the sample store; '0' lets the host go on.
    char sampleStatus = '0';
    SampleArea samples;

    // SOH "$BT" [STX] EOT: no reply, the line belongs to the boot loader.
    static bool EntersBootLoader(const Frame &frame);
    // The one reply frame for any other command frame.
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
    QByteArray SelectArea(const Frame &frame);
    QByteArray SampleLine(const Frame &frame);
};

} // namespace kv7::sim
