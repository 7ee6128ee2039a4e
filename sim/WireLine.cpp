#include "sim/WireLine.h"

#include "sim/PtyPort.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace kv7::sim {

namespace {

qint64 NowNs()
{
    timespec t {};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

QByteArray Us(qint64 ns)
{
    return QByteArray::number(ns / 1000);
}

// Bytes cross in slices of at most this much line time, each handed over
// whole once its last byte is across. A frame's last byte, the one the
// other side answers, keeps its exact time, and a fast line costs a
// wake-up a slice, not one a byte.
constexpr qint64 SliceNs = 1'000'000;
// Waking up takes tens of microseconds: wake this much early and wait out
// the rest on the clock.
constexpr qint64 SpinNs = 100'000;
// The client's bytes on the line beyond this are left unread, so its writes
// wait as on a real port, whose driver buffers a page.
constexpr qint64 MaxQueuedIn = 4096;

} // namespace

WireLine::WireLine(PtyPort &port, QObject *parent) : QObject(parent), m_port(port)
{
    m_timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timer < 0) {
        m_error = QStringLiteral("cannot create a timer: %1").arg(qt_error_string(errno));
        return;
    }
    m_notifier = new QSocketNotifier(m_timer, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WireLine::OnTimer);
    connect(&m_port, &PtyPort::Received, this, &WireLine::OnClientBytes);
}

WireLine::~WireLine()
{
    delete m_notifier;
    if (m_timer >= 0)
        ::close(m_timer);
}

void WireLine::Put(Direction &d, const QByteArray &bytes, qint64 nowNs)
{
    const LineFormat format = m_port.Format();
    d.pacer.SetFormat(format.baud, format.bitsPerByte);
    const WirePacer::Slot slot = d.pacer.Put(nowNs, bytes.size());
    d.queue.push_back({bytes, slot});
    d.queued += bytes.size();
    d.bytes += bytes.size();
    d.lineNs += slot.EndNs() - slot.startNs;
    Arm();
}

void WireLine::OnClientBytes(const QByteArray &bytes)
{
    const qint64 now = NowNs();
    if (m_awaitingClient) {
        const qint64 took = now - m_replyEndNs;
        ++m_turnarounds;
        m_turnaroundSumNs += took;
        m_turnaroundMaxNs = std::max(m_turnaroundMaxNs, took);
        m_awaitingClient = false;
    }
    Put(m_in, bytes, now);
    m_port.PauseReading(m_in.queued > MaxQueuedIn);
}

void WireLine::Send(const QByteArray &bytes)
{
    // Bounded like the port's own buffer: a client that never reads must
    // not grow our memory.
    if (bytes.isEmpty())
        return;
    if (m_out.queued + bytes.size() > PtyPort::MaxPending) {
        m_dropped += bytes.size();
        return;
    }
    m_awaitingClient = false;
    Put(m_out, bytes, NowNs());
}

// The last byte of the slice that starts at `p.next`.
qint64 WireLine::SliceEnd(const Pending &p)
{
    const qint64 perSlice = SliceNs * p.slot.baud / (p.slot.bitsPerByte * 1'000'000'000LL);
    return std::min(p.slot.count, p.next + std::max<qint64>(1, perSlice)) - 1;
}

QByteArray WireLine::TakeDue(Direction &d, qint64 nowNs)
{
    QByteArray due;
    while (!d.queue.empty()) {
        Pending &p = d.queue.front();
        const qint64 end = SliceEnd(p);
        const qint64 doneNs = p.slot.DoneNs(end);
        if (doneNs > nowNs)
            break;
        if (due.isEmpty()) {
            const qint64 late = nowNs - doneNs;
            m_lateMaxNs = std::max(m_lateMaxNs, late);
            m_lateSumNs += late;
            ++m_handovers;
        }
        due += p.bytes.mid(p.next, end + 1 - p.next);
        p.next = end + 1;
        if (p.next < p.slot.count)
            continue;
        if (&d == &m_out && d.queue.size() == 1) {
            // Our last byte is with the client: from here it is its turn.
            m_awaitingClient = true;
            m_replyEndNs = p.slot.EndNs();
        }
        d.queue.pop_front();
    }
    d.queued -= due.size();
    return due;
}

qint64 WireLine::NextDueNs() const
{
    qint64 next = 0;
    for (const Direction *d : {&m_in, &m_out}) {
        if (d->queue.empty())
            continue;
        const Pending &p = d->queue.front();
        const qint64 due = p.slot.DoneNs(SliceEnd(p));
        next = next == 0 ? due : std::min(next, due);
    }
    return next;
}

void WireLine::OnTimer()
{
    quint64 expirations = 0;
    (void)!::read(m_timer, &expirations, sizeof expirations);
    const qint64 due = NextDueNs();
    qint64 now = NowNs();
    if (due == 0 || due - now > SpinNs)
        return Arm();
    // Woken early on purpose: the rest on the clock.
    while (now < due)
        now = NowNs();
    // Bytes that arrived may make the device answer; the answer is queued
    // behind whatever it is still sending.
    if (const QByteArray in = TakeDue(m_in, now); !in.isEmpty()) {
        m_port.PauseReading(m_in.queued > MaxQueuedIn);
        emit Arrived(in);
    }
    if (const QByteArray out = TakeDue(m_out, now); !out.isEmpty())
        m_port.Write(out);
    Arm();
}

void WireLine::Arm()
{
    if (m_timer < 0)
        return;
    // All zero disarms; a time already past fires at once.
    const qint64 at = NextDueNs() > 0 ? std::max<qint64>(1, NextDueNs() - SpinNs) : 0;
    itimerspec deadline {};
    deadline.it_value.tv_sec = time_t(at / 1'000'000'000LL);
    deadline.it_value.tv_nsec = long(at % 1'000'000'000LL);
    ::timerfd_settime(m_timer, TFD_TIMER_ABSTIME, &deadline, nullptr);
}

QList<QByteArray> WireLine::Report() const
{
    const qint64 mean = m_handovers > 0 ? m_lateSumNs / m_handovers : 0;
    return {
        "wire in " + QByteArray::number(m_in.bytes) + " bytes " + Us(m_in.lineNs) + " us, out "
            + QByteArray::number(m_out.bytes) + " bytes " + Us(m_out.lineNs) + " us",
        "wire late max " + Us(m_lateMaxNs) + " us, mean " + Us(mean) + " us over "
            + QByteArray::number(m_handovers) + " handovers",
        "wire turnaround " + QByteArray::number(m_turnarounds) + " replies, total " + Us(m_turnaroundSumNs)
            + " us, max " + Us(m_turnaroundMaxNs) + " us",
    };
}

} // namespace kv7::sim
