#pragma once

#include <QString>

namespace kv7 {

class PortMap;

// A port as a user names it on a command line: "COM5" (any case), a device
// path (/dev/ttyUSB0, /dev/serial/by-id/..., a link to a tty), or a stable
// name's part: "by-id:SERIAL", "by-path:PATH".
struct PortChoice {
    // The number that leads to it in the map. A COM name keeps its number
    // while missing, so that opening it says why; a missing path has 0.
    int number = 0;
    QString device; // the device it leads to, links and "." resolved; empty when missing
    QString why;    // why it is missing, in a sentence; empty when found
    // One device has one key, however it was spelled; a missing port keys
    // by its number or its cleaned path.
    QString Key(const QString &given) const;
};

// Resolves `given` in `ports`; a device that no number leads to is added
// to the map under its own path (for a stable name's part, the link's).
PortChoice ChoosePort(PortMap &ports, const QString &given);

} // namespace kv7
