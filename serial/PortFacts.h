#pragma once

#include <QString>

namespace kv7 {

struct SystemRoots;

// What the driver was asked for: low latency, so that an adapter hands
// received bytes over at once instead of holding them for its timer.
enum class LowLatency { NotOffered, Set, Refused };

// Asks the driver of the open tty `fd` for low latency. A pty, or a
// driver without the call, is not offered it and says nothing.
LowLatency AskLowLatency(int fd);

// What the system says of an open port: its stable name, its driver and
// the adapter's latency timer, for the log and the user.
struct PortFacts {
    QString device; // the device opened, canonical
    QString stableName;
    QString driver;          // empty for a pty
    int latencyTimerMs = -1; // -1 where the driver has no timer
    LowLatency lowLatency = LowLatency::NotOffered;

    // "/dev/serial/by-id/..., ftdi_sio, latency timer 1 ms", or with
    // ": low latency refused"; empty when nothing is known.
    QString Describe() const;
    // The same as " (...)" to follow a log's "opened", or empty.
    QString AfterOpened() const;
    // While the adapter holds replies longer than 1 ms: what that costs
    // and how to set it right; empty otherwise.
    QString LatencyAdvice(const QString &port) const;
};

// The facts of `device` (canonical path), as the tree under `roots` has them.
PortFacts ReadPortFacts(const QString &device, LowLatency lowLatency, const SystemRoots &roots);

} // namespace kv7
