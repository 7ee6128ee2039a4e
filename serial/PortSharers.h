#pragma once

#include <QList>
#include <QString>

namespace kv7 {

struct PortSharer {
    qint64 pid;
    QString name;
};

// The other processes that hold the tty `device` (a canonical path) open:
// ModemManager probing it, brltty, a forgotten screen. They read from the
// same stream, so replies may go to them; none of them need take a lock.
// On a pseudo-terminal the process that holds its master side is the
// device's end (kv7-sim, socat), not a rival, and is left out. Processes
// whose descriptors we may not read are left out too. Sorted by pid.
QList<PortSharer> OtherHolders(const QString &device, const QString &procRoot = QStringLiteral("/proc"));

// The warning for the user when `others` is not empty; empty otherwise.
QString SharedWarning(const QString &device, const QList<PortSharer> &others);

} // namespace kv7
