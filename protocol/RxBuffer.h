#pragma once

#include <QByteArray>

namespace kv7 {

// Received bytes not yet decoded. Appending is amortised O(chunk) and
// dropping from the front is O(1); above its bound the oldest bytes go, so
// endless text without a frame cannot eat the machine.
class RxBuffer {
public:
    static constexpr qsizetype DefaultLimit = 1024 * 1024;

    explicit RxBuffer(qsizetype limit = DefaultLimit) : m_limit(limit) {}

    void Append(const QByteArray &bytes);
    // Removes the first n bytes (all when n exceeds the size).
    void DropFront(qsizetype n);
    void Clear();

    qsizetype Size() const { return m_data.size() - m_head; }
    bool IsEmpty() const { return Size() == 0; }
    qsizetype Limit() const { return m_limit; }
    // 0-based index of the first c, -1 when absent.
    qsizetype IndexOf(char c) const;
    QByteArray Mid(qsizetype pos, qsizetype len) const { return m_data.mid(m_head + pos, len); }
    QByteArray Bytes() const { return m_data.mid(m_head); }
    // Bytes dropped because of the bound since construction.
    qint64 Overflowed() const { return m_overflowed; }

private:
    void Compact();

    QByteArray m_data;
    qsizetype m_head = 0;
    qsizetype m_limit;
    qint64 m_overflowed = 0;
};

} // namespace kv7
