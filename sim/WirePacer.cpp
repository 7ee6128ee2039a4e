#include "sim/WirePacer.h"

#include <algorithm>

namespace kv7::sim {

qint64 WirePacer::Slot::DoneNs(qint64 k) const
{
    // From the start of the write, so rounding never adds up over a long one.
    return startNs + (k + 1) * bitsPerByte * 1'000'000'000LL / baud;
}

int WirePacer::BitsPerByte(int dataBits, bool parity, bool twoStopBits)
{
    return 1 + dataBits + (parity ? 1 : 0) + (twoStopBits ? 2 : 1);
}

void WirePacer::SetFormat(int baud, int bitsPerByte)
{
    m_baud = baud > 0 ? baud : 9600;
    m_bits = bitsPerByte > 0 ? bitsPerByte : 10;
}

WirePacer::Slot WirePacer::Put(qint64 nowNs, qint64 count)
{
    const Slot slot{std::max(nowNs, m_freeAtNs), count, m_baud, m_bits};
    m_freeAtNs = slot.EndNs();
    return slot;
}

} // namespace kv7::sim
