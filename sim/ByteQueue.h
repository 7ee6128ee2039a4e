#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

namespace kv7::sim {

// Bytes that go out one at a time with a gap between them, so that the
// other side reads each on its own: a reply split into single bytes, or a
// boot reply kept apart from the text sent before it. The first byte of an
// idle queue waits `firstGapMs` (0: it goes at once).
class ByteQueue : public QObject {
    Q_OBJECT
public:
    using Transmit = std::function<void(const QByteArray &)>;
    ByteQueue(Transmit transmit, int firstGapMs, int gapMs, QObject *parent = nullptr);

    void Push(const QByteArray &bytes);
    bool IsEmpty() const { return m_bytes.isEmpty(); }

private:
    void SendNext();

    Transmit m_transmit;
    int m_firstGapMs;
    QByteArray m_bytes;
    QTimer m_timer;
};

} // namespace kv7::sim
