#pragma once

#include <QString>

namespace kv7 {

// When the user may not read and write the device at `path`: what to do
// about it (the group to join, where one may use it, or a udev rule where
// none may). Empty when access is allowed or refused for another reason.
QString PermissionAdvice(const QString &path);

} // namespace kv7
