#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv7 {

// One line of a sample upload from the hexadecimal text of its 32 data
// bytes: checksum, ":20:", line index, ":" and that text (75 characters).
QString SampleLine(const QString &hexLine, qint64 index);
// SOH "&HX" STX line EOT.
QByteArray SampleLineFrame(const QString &hexLine, qint64 index);
// SOH "&PF" STX area EOT, the area zero-filled to two characters.
QByteArray SelectAreaFrame(const QString &area);

// The status character of an area reply (the one after its first ";"),
// or nothing while the reply does not have that shape.
std::optional<char> AreaStatus(const QByteArray &reply);
// The status character of a line reply (the one after its first STX, "0"
// when the device took the line), or nothing while the reply does not have
// the shape that ends a line wait.
std::optional<char> LineStatus(const QByteArray &reply);
// The area as the selection sends it: zero-filled to two characters.
QString UploadArea(const QString &area);

} // namespace kv7
