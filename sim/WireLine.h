#pragma once

#include "sim/WirePacer.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <deque>

class QSocketNotifier;

namespace kv7::sim {

class PtyPort;

// The port as a real serial line (--wire): a byte the client writes reaches
// the device only once its last bit would have, and what the device sends
// reaches the client byte by byte at the line's rate, at the speed and
// framing the client set. The two directions are independent. Wakes on a
// timerfd with nanosecond deadlines: a millisecond timer would add up to a
// millisecond to every round trip.
class WireLine : public QObject {
    Q_OBJECT
public:
    explicit WireLine(PtyPort &port, QObject *parent = nullptr);
    ~WireLine() override;

    // Why the line cannot run; empty when it can.
    QString Error() const { return m_error; }
    // Puts `bytes` on the line towards the client; drops them (and counts
    // them) where more than PtyPort::MaxPending would wait.
    void Send(const QByteArray &bytes);
    qint64 Dropped() const { return m_dropped; }
    // The "wire ..." lines for the end of a run: bytes and line time each
    // way, how late we handed bytes over against the line's times, and how
    // long the client took to answer each of our replies.
    QList<QByteArray> Report() const;

signals:
    // Bytes from the client, once they have crossed the line.
    void Arrived(const QByteArray &bytes);

private:
    struct Pending {
        QByteArray bytes;
        WirePacer::Slot slot;
        qint64 next = 0; // first byte not yet handed over
    };
    struct Direction {
        WirePacer pacer;
        std::deque<Pending> queue;
        qint64 queued = 0;
        qint64 bytes = 0;
        qint64 lineNs = 0;
    };

    void OnClientBytes(const QByteArray &bytes);
    void Put(Direction &d, const QByteArray &bytes, qint64 nowNs);
    static qint64 SliceEnd(const Pending &p);
    // The slices of `d` whose time has come by `nowNs`.
    QByteArray TakeDue(Direction &d, qint64 nowNs);
    // When the next slice is due either way; 0 when nothing is on the line.
    qint64 NextDueNs() const;
    void OnTimer();
    void Arm();

    PtyPort &m_port;
    QString m_error;
    int m_timer = -1;
    QSocketNotifier *m_notifier = nullptr;
    Direction m_in;  // client to device
    Direction m_out; // device to client
    qint64 m_dropped = 0;
    qint64 m_lateMaxNs = 0;
    qint64 m_lateSumNs = 0;
    qint64 m_handovers = 0;
    // Set when our last byte has reached the client and nothing came since.
    bool m_awaitingClient = false;
    qint64 m_replyEndNs = 0;
    qint64 m_turnarounds = 0;
    qint64 m_turnaroundSumNs = 0;
    qint64 m_turnaroundMaxNs = 0;
};

} // namespace kv7::sim
