#pragma once

#include <QByteArray>
#include <QString>

namespace kv7 {

// Text to line bytes, one byte per character; what Latin-1 cannot hold
// becomes "?".
QByteArray WireBytes(const QString &text);

// SOH word EOT.
QByteArray CommandFrame(const QString &word);
// SOH word STX parameter EOT (the parameter may be empty).
QByteArray CommandFrame(const QString &word, const QString &param);
// SOH DC4 code EOT, for the two-letter codes.
QByteArray ShortFrame(const char *code);
// SOH "AV " STX channel ggg EOT, channel 1..8 and gain 0..127.
QByteArray SetGainFrame(int channel, int gain);

} // namespace kv7
