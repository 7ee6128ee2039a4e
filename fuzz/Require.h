#pragma once

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

namespace kv7fuzz {

// A broken invariant stops the run with its reason, so libFuzzer keeps the
// input as a crash instead of only catching memory faults.
inline void Require(bool ok, const char *what, const QByteArray &detail = {})
{
    if (ok)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  at: %s\n", detail.toHex(' ').constData());
    std::abort();
}

// Reads the fuzz input front to back; past the end every byte reads as 0.
class Input {
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool AtEnd() const { return m_pos >= m_size; }
    size_t Left() const { return m_size - m_pos; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    QByteArray Bytes(size_t n)
    {
        n = n < Left() ? n : Left();
        QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), static_cast<qsizetype>(n));
        m_pos += n;
        return out;
    }
    QByteArray Rest() { return Bytes(Left()); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace kv7fuzz
