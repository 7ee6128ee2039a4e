#include "sim/AdapterLatency.h"

namespace kv7::sim {

AdapterLatency::AdapterLatency(int ms, Deliver deliver, QObject *parent)
    : QObject(parent), m_deliver(std::move(deliver))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(ms);
    connect(&m_timer, &QTimer::timeout, this, &AdapterLatency::Flush);
}

void AdapterLatency::Push(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const bool wasIdle = m_waiting.isEmpty();
    m_waiting.append(bytes);
    bool sent = false;
    while (m_waiting.size() >= PacketBytes) {
        m_deliver(m_waiting.left(PacketBytes));
        m_waiting.remove(0, PacketBytes);
        sent = true;
    }
    // The timer runs from the first byte that waits: a new one after a
    // packet went, or the one that found the adapter empty.
    if (m_waiting.isEmpty())
        m_timer.stop();
    else if (wasIdle || sent)
        m_timer.start();
}

void AdapterLatency::Flush()
{
    if (m_waiting.isEmpty())
        return;
    const QByteArray bytes = m_waiting;
    m_waiting.clear();
    m_deliver(bytes);
}

} // namespace kv7::sim
