#pragma once

#include <QByteArray>

namespace kv7::test {

// The single-byte replies and markers of the firmware transfer, spelled
// out as on the wire so the tests do not reuse the program's constants.
inline const QByteArray Sync(1, '{');
inline const QByteArray Ack(1, '\x06');
inline const QByteArray Nak(1, '\x15');
inline const QByteArray Eot(1, '\x04');

} // namespace kv7::test
