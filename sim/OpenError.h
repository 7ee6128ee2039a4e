#pragma once

#include <QString>

namespace kv7::sim {

// Why the port could not be opened: `portTaken` for a port number that is
// not ours to use (or no free number), otherwise a system error.
struct OpenError {
    QString text;
    bool portTaken = false;
    bool Failed() const { return !text.isEmpty(); }
};

} // namespace kv7::sim
