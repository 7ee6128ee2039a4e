#pragma once

#include <QMap>
#include <QSet>
#include <QString>

#include "serial/SystemRoots.h"

namespace kv7 {

// Resolves a port number 1..255 to a tty device: a COM<n> link in the port
// folder first, then the fixed device families (ttyS, ttyUSB, ttyACM) where
// the system lists the device. Never opens a device.
class PortMap {
public:
    PortMap(QString linkFolder, bool fixedFamilies, SystemRoots roots = {});

    const SystemRoots &Roots() const { return m_roots; }

    // The device path for port n, links and "." resolved; empty when the
    // port does not exist.
    QString DevicePath(int n) const;
    bool PortExists(int n) const { return !DevicePath(n).isEmpty(); }
    // Whether a COM<n> link of the port folder leads to port n's device.
    bool Linked(int n) const { return !LinkTarget(n).isEmpty(); }
    // Why port n does not exist, where a stale link of kv7-sim's is the
    // reason ("COM5 was left by kv7-sim (process 123), which no longer
    // runs"); empty otherwise.
    QString Absence(int n) const;
    // "COM<n>", or the path of a device added by its path.
    QString Name(int n) const;
    // The number that leads to the device at `path`, 0 when none does.
    int NumberOf(const QString &path) const;
    // A device given by its path that no number leads to gets the lowest
    // free one, under its own path as name; 0 when all 255 are taken.
    int AddDevice(const QString &path);
    // Reads the system's port list again: an adapter plugged in since may
    // have a number now.
    void Rescan() { m_listed = false; }

private:
    // The COM<n> link when it is ours to follow (a symbolic link of this
    // user's in a trusted folder), else empty.
    QString OwnLink(int n) const;
    QString LinkTarget(int n) const;
    QString FamilyDevice(int n) const;

    QMap<int, QString> m_added;
    QString m_linkFolder;
    bool m_fixedFamilies;
    SystemRoots m_roots;
    // The system's serial port list, read once on first need.
    mutable bool m_listed = false;
    mutable QSet<QString> m_systemPorts;
};

} // namespace kv7
