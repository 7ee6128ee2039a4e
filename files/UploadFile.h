#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv7 {

// The whole of a sample or firmware file, read before any byte of it is
// sent. Only a regular file of at most `maxBytes` is read: a FIFO, a device
// such as /dev/zero or a file too large for the protocol to address would
// hang the upload or fill the memory. Otherwise nothing, and `why` says
// why ("It is not a regular file.", or the system's reason).
std::optional<QByteArray> ReadUploadFile(const QString &path, qint64 maxBytes, QString *why);

} // namespace kv7
