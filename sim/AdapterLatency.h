#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

namespace kv7::sim {

// A USB serial adapter's latency timer on the way to the host, as an FTDI
// chip keeps it: received bytes wait in the adapter until `ms` have passed
// since the first of them came, or go at once, 62 at a time, as soon as 62
// are waiting (a full USB packet).
class AdapterLatency : public QObject {
    Q_OBJECT
public:
    static constexpr int PacketBytes = 62;
    using Deliver = std::function<void(const QByteArray &)>;
    AdapterLatency(int ms, Deliver deliver, QObject *parent = nullptr);

    void Push(const QByteArray &bytes);
    qsizetype Waiting() const { return m_waiting.size(); }

private:
    void Flush();

    Deliver m_deliver;
    QByteArray m_waiting;
    QTimer m_timer;
};

} // namespace kv7::sim
