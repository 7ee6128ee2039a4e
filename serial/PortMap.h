#pragma once

#include <QSet>
#include <QString>

namespace kv7 {

// Resolves a port number 1..255 to a tty device: a COM<n> link in the port
// folder first, then the fixed device families (ttyS, ttyUSB, ttyACM) where
// the system lists the device. Never opens a device.
class PortMap {
public:
    PortMap(QString linkFolder, bool fixedFamilies);

    // The device path for port n, empty when the port does not exist.
    QString DevicePath(int n) const;
    bool PortExists(int n) const { return !DevicePath(n).isEmpty(); }

private:
    QString LinkTarget(int n) const;
    QString FamilyDevice(int n) const;

    QString m_linkFolder;
    bool m_fixedFamilies;
    // The system's serial port list, read once on first need.
    mutable bool m_listed = false;
    mutable QSet<QString> m_systemPorts;
};

} // namespace kv7
