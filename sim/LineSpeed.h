#pragma once

namespace kv7::sim {

// The output speed a terminal is set to, in bit/s, whether it was set with
// a standard rate or a custom one; 0 when it cannot be read.
int LineSpeed(int fd);

} // namespace kv7::sim
