#pragma once

#include <QByteArray>
#include <QString>

namespace kv7 {

// Text that comes from outside the program (a reply, a lock file, a process
// name, a device path) as it may be shown or printed: control characters
// written as "<code>", as in the reply line, and cut to `cap` characters,
// so that nobody can reach a terminal's escape sequences or fill a message.
constexpr int OutsideTextCap = 200;
QString ShownText(const QString &text, int cap = OutsideTextCap);
// The same for bytes, in the session log's notation (every byte outside
// 32..126, and "<", as its code).
QString ShownBytes(const QByteArray &bytes, int cap = OutsideTextCap);

} // namespace kv7
