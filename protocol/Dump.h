#pragma once

#include <QByteArray>
#include <QString>

namespace kv7 {

// Readable form of a reply: bytes below 32 as "<code>", the rest as their
// Latin-1 characters.
QString Dump(const QByteArray &text);

} // namespace kv7
