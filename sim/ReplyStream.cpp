#include "sim/ReplyStream.h"

#include "protocol/ControlChars.h"

#include <algorithm>

namespace kv7::sim {

ReplyStream::ReplyStream(Device &device, int bytesPerUnit, quint32 seed)
    : m_device(device), m_bytesPerUnit(bytesPerUnit), m_random(seed)
{
}

QByteArray ReplyStream::Noise(int size, bool withEot)
{
    QByteArray out;
    out.reserve(size);
    std::uniform_int_distribution<int> byte(0, 255);
    while (out.size() < size) {
        const char c = char(byte(m_random));
        if (c != SOH && (withEot || c != EOT))
            out += c;
    }
    return out;
}

QByteArray ReplyStream::GoodReply()
{
    // Gain reports and version replies in turn, as the device sends them.
    Frame frame;
    frame.hasParam = true;
    const int channel = int(m_units % 9);
    if (channel == 8) {
        frame.word = "GV ";
        frame.hasParam = false;
    } else {
        frame.word = "GAV";
        frame.param = QByteArray(1, char('1' + channel));
    }
    return m_device.Reply(frame);
}

QByteArray ReplyStream::BrokenFrame()
{
    std::uniform_int_distribution<int> high(0x80, 0xFF);
    std::uniform_int_distribution<int> length(0, 40);
    QByteArray body = QByteArray(1, char(high(m_random))) + Noise(length(m_random), false);
    return SOH + body + EOT;
}

QByteArray ReplyStream::NextUnit()
{
    // One good reply a unit and a broken frame every fourth one: with the
    // replies to commands that stays well under what the host takes.
    QByteArray unit = GoodReply();
    ++m_frames;
    const bool fourth = m_units % 4 == 3;
    if (fourth) {
        unit += BrokenFrame();
        ++m_frames;
    }
    // A stray EOT in the noise costs the host a tick, so only now and then.
    unit += Noise(std::max(0, m_bytesPerUnit - int(unit.size())), fourth);
    ++m_units;
    return unit;
}

} // namespace kv7::sim
