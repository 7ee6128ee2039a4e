#pragma once

#include <QtGlobal>

namespace kv7::sim {

// One direction of a serial line, as arithmetic on nanosecond times: bytes
// leave one after another at the line's rate, so a byte written while the
// line is busy waits for the bytes ahead of it. A change of rate applies
// to bytes written after it; those already on the line keep their times.
class WirePacer {
public:
    // Bytes of one write on the line: byte k (from 0) has fully reached the
    // other side at DoneNs(k).
    struct Slot {
        qint64 startNs = 0;
        qint64 count = 0;
        int baud = 0;
        int bitsPerByte = 0;
        qint64 DoneNs(qint64 k) const;
        qint64 EndNs() const { return count > 0 ? DoneNs(count - 1) : startNs; }
    };

    // Start, data, parity and stop bits of one character: 10 for 8N1.
    static int BitsPerByte(int dataBits, bool parity, bool twoStopBits);

    // A rate of 0 or less (not known) is taken as 9600, 8N1.
    void SetFormat(int baud, int bitsPerByte);
    // Puts `count` bytes written at `nowNs` on the line.
    Slot Put(qint64 nowNs, qint64 count);
    // When the last byte put so far has crossed.
    qint64 FreeAtNs() const { return m_freeAtNs; }

private:
    int m_baud = 9600;
    int m_bits = 10;
    qint64 m_freeAtNs = 0;
};

} // namespace kv7::sim
