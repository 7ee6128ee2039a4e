#pragma once

#include <QString>

namespace kv7::test {

// lrzsz sx sending `image` to rx on a pseudo-terminal, in the mode our
// upload uses (XMODEM, 128-byte blocks, 8-bit checksum): the baseline an
// upload is measured against. rx runs behind the same bridge (and relay)
// as in the upload tests. rx writes `outFile` (the image padded with 0x1A
// to whole blocks); the caller compares it. Returns the seconds from the
// bridge's start until sx ended, or a negative value with `error` set.
// Gives up after `timeoutMs`.
double TimeSxToRx(const QString &image, const QString &outFile, QString *error = nullptr,
                  int timeoutMs = 120000);

} // namespace kv7::test
