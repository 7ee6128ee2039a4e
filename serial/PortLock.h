#pragma once

#include <QString>

namespace kv7 {

// The UUCP lock file QSerialPort takes for a device, in the first lock
// folder it may write, as it chooses: /var/lock/LCK..ttyUSB0 for
// /dev/ttyUSB0, LCK..pts_3 for /dev/pts/3.
QString LockFilePath(const QString &device);

// Why the lock of `device` must not be tried: something other than a plain
// file at the lock's path (a FIFO there would block every open for good).
// Empty when there is no lock file or a regular one.
QString LockPathProblem(const QString &device);

// Why the lock of `device` could not be taken: the program that holds it,
// or, for one left by a process that no longer runs and that this user may
// not remove, whose it is and how to remove it. Empty without a lock file.
QString LockAdvice(const QString &device);

} // namespace kv7
