#pragma once

#include "sim/Device.h"

#include <QByteArray>

#include <random>

namespace kv7::sim {

// Replies, broken frames and noise at a line's byte rate, for long runs.
// Each unit is written whole, so the replies to commands go between units
// and stay intact. Noise never holds an SOH, so every frame in the stream
// is one the host can count; the broken frames start with a byte that is
// no status letter, so none of them passes for a real reply.
class ReplyStream {
public:
    static constexpr int UnitMs = 50;

    // `bytesPerUnit`: the line's bytes per second / (1000 / UnitMs).
    ReplyStream(Device &device, int bytesPerUnit, quint32 seed = 7);

    QByteArray NextUnit();

    qint64 Units() const { return m_units; }
    // Frames (SOH through EOT) in the units so far, good and broken.
    qint64 Frames() const { return m_frames; }

private:
    QByteArray Noise(int size, bool withEot);
    QByteArray GoodReply();
    QByteArray BrokenFrame();

    Device &m_device;
    int m_bytesPerUnit;
    std::mt19937 m_random;
    qint64 m_units = 0;
    qint64 m_frames = 0;
};

} // namespace kv7::sim
