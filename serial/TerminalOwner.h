#pragma once

#include <QString>

#include <optional>

namespace kv7 {

struct TerminalUser {
    qint64 pid;
    QString name;
};

// The program whose controlling terminal the device at `path` is (the
// session's leader where it can be seen): a shell on a pty, a getty on a
// console. Writing frames there would type into that program. Nothing for
// a tty that is no one's terminal, as a serial line or kv7-sim's pty is.
std::optional<TerminalUser> ControllingProgram(const QString &path);

} // namespace kv7
