#pragma once

namespace kv7 {

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed.
// Called first thing in main(): otherwise the next pipe, port or log opened
// takes that number, and a message printed to stderr lands in it.
void EnsureStandardStreams();

} // namespace kv7
