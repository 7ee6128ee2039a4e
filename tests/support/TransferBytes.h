#pragma once

#include <QByteArray>
#include <QRandomGenerator>

namespace kv7::test {

// The single-byte replies and markers of the firmware transfer, spelled
// out as on the wire so the tests do not reuse the program's constants.
inline const QByteArray Sync(1, '{');
inline const QByteArray Ack(1, '\x06');
inline const QByteArray Nak(1, '\x15');
inline const QByteArray Eot(1, '\x04');

// Bytes of every value, the same for the same seed.
inline QByteArray RandomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

// A firmware image as the device keeps it: its last block filled up with
// the pad byte 0x1A.
inline QByteArray Padded(const QByteArray &image)
{
    return image + QByteArray(128 - image.size() % 128, '\x1A');
}

} // namespace kv7::test
