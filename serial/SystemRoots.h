#pragma once

#include <QString>

namespace kv7 {

// Where the system describes its serial devices: sysfs (drivers, latency
// timers) and udev's stable names. A test points them at a fake tree; so
// may the environment (KV7_SYSFS_ROOT, KV7_SERIAL_NAMES_ROOT).
struct SystemRoots {
    QString sys = QStringLiteral("/sys");
    QString serialNames = QStringLiteral("/dev/serial");

    static SystemRoots FromEnvironment()
    {
        SystemRoots roots;
        roots.sys = qEnvironmentVariable("KV7_SYSFS_ROOT", roots.sys);
        roots.serialNames = qEnvironmentVariable("KV7_SERIAL_NAMES_ROOT", roots.serialNames);
        return roots;
    }
};

} // namespace kv7
