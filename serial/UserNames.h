#pragma once

#include <QString>

#include <sys/types.h>

namespace kv7 {

// The name of a user or group, or its number where the system has no name.
QString UserName(uid_t uid);
QString GroupName(gid_t gid);

} // namespace kv7
