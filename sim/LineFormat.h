#pragma once

namespace kv7::sim {

struct LineFormat {
    int baud = 0;        // 0 when it cannot be read
    int bitsPerByte = 10; // start, data, parity and stop bits
};

// The output speed a terminal is set to, in bit/s, whether it was set with
// a standard rate or a custom one, and the bits each character takes.
LineFormat ReadLineFormat(int fd);

} // namespace kv7::sim
