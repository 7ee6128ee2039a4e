#include "protocol/RxBuffer.h"

#include <cstring>

namespace kv7 {

void RxBuffer::Append(const QByteArray &bytes)
{
    if (bytes.size() >= m_limit) {
        m_overflowed += Size() + bytes.size() - m_limit;
        m_data = bytes.right(m_limit);
        m_head = 0;
        return;
    }
    const qsizetype excess = Size() + bytes.size() - m_limit;
    if (excess > 0) {
        m_overflowed += excess;
        m_head += excess;
    }
    Compact();
    m_data.append(bytes);
}

void RxBuffer::DropFront(qsizetype n)
{
    if (n >= Size()) {
        Clear();
        return;
    }
    if (n > 0)
        m_head += n;
    Compact();
}

void RxBuffer::Clear()
{
    m_data.clear();
    m_head = 0;
}

qsizetype RxBuffer::IndexOf(char c) const
{
    const char *begin = m_data.constData() + m_head;
    const void *hit = std::memchr(begin, static_cast<unsigned char>(c), static_cast<size_t>(Size()));
    return hit ? static_cast<const char *>(hit) - begin : -1;
}

void RxBuffer::Compact()
{
    // Move the live bytes down only when the dead prefix outweighs them, so
    // each byte is moved a bounded number of times.
    if (m_head > 4096 && m_head >= Size()) {
        m_data.remove(0, m_head);
        m_head = 0;
    }
}

} // namespace kv7
