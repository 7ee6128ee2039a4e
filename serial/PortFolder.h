#pragma once

#include <QString>

// The folder of COM<n> links that name a tty for a port number. Both the
// window and kv7-sim agree on it, so neither needs configuring.
namespace kv7::PortFolder {

// $XDG_RUNTIME_DIR/kv7-ports, or /tmp/kv7-ports-<uid> where that is unset.
QString DefaultPath();

// True when the folder exists, is a real directory owned by us and is not
// writable by group or others; anything else could let another user
// redirect our port numbers.
bool IsTrusted(const QString &folder, QString *why = nullptr);

// Creates the folder with mode 0700 if it is missing; returns an error text,
// empty on success.
QString Ensure(const QString &folder);

// Full path of the link for port n.
QString LinkPath(const QString &folder, int n);

// The target of a symbolic link as stored, empty when it is none.
QString LinkTarget(const QString &link);

} // namespace kv7::PortFolder
