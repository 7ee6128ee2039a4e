#include "sim/ByteQueue.h"

namespace kv7::sim {

ByteQueue::ByteQueue(Transmit transmit, int firstGapMs, int gapMs, QObject *parent)
    : QObject(parent), m_transmit(std::move(transmit)), m_firstGapMs(firstGapMs)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(gapMs);
    connect(&m_timer, &QTimer::timeout, this, &ByteQueue::SendNext);
}

void ByteQueue::Push(const QByteArray &bytes)
{
    const bool idle = m_bytes.isEmpty();
    m_bytes += bytes;
    if (!idle || m_bytes.isEmpty())
        return;
    if (m_firstGapMs > 0)
        QTimer::singleShot(m_firstGapMs, Qt::PreciseTimer, this, &ByteQueue::SendNext);
    else
        SendNext();
}

void ByteQueue::SendNext()
{
    if (m_bytes.isEmpty()) {
        m_timer.stop();
        return;
    }
    const QByteArray next = m_bytes.left(1);
    m_bytes.remove(0, 1);
    m_transmit(next);
    if (m_bytes.isEmpty())
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

} // namespace kv7::sim
