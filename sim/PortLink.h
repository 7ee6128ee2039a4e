#pragma once

#include "sim/OpenError.h"

#include <QByteArray>
#include <QString>

namespace kv7::sim {

// The simulator's COM<n> link in the port folder, with its marker beside it
// (see SimMarker): that tells the simulator's links from the user's own. A
// link whose marker names a process that no longer runs (a simulator that
// was killed) is stale and replaced, whether its device is still there or
// not; a link without such a marker is the user's, an unplugged adapter say,
// and is left alone. Simulators started at once take turns on the folder's
// lock, so that each takes a number of its own.
class PortLink {
public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    // Links `device` as COM<port> in `folder`; `port` 0 takes the lowest
    // number that is free or a stale link of the simulator's.
    OpenError Make(const QString &folder, int port, const QString &device);
    // Removes the marker while it is ours, and the link while the marker
    // is ours and the link still names our device.
    void Remove();
    int Port() const { return m_port; }

    // Remove() for the link made last, from a fatal signal's handler.
    static void RemoveLatest();

private:
    // Readies port n for our link (nothing there, or a stale link of the
    // simulator's, removed here); otherwise says why it is not ours to use.
    static OpenError Claim(const QString &folder, int n);
    // Removes our files, as Remove(), without the folder's lock, and forgets
    // them.
    void Clear();
    // Only system calls on bytes prepared beforehand, so that a signal
    // handler may call it.
    void RemoveFiles() const;

    int m_port = 0;
    QString m_lockPath;
    QByteArray m_link;
    QByteArray m_device;
    QByteArray m_marker;
    QByteArray m_markerText;
};

} // namespace kv7::sim
