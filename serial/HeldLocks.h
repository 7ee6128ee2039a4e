#pragma once

#include <QString>

namespace kv7::HeldLocks {

// The lock files of the ports this process holds open, so that they go
// with it however it ends short of SIGKILL: exit() called from inside Qt
// (a display that went away), a fatal error's abort, or a stop signal that
// found the program stuck. The serial control adds and removes them.
void Add(const QString &lockFile);
void Remove(const QString &lockFile);

// Removes every lock still held that names this process. Safe to call
// from a signal handler.
void ReleaseAll();

// Calls ReleaseAll at exit() and on the fatal signals (SIGABRT, SIGSEGV,
// SIGBUS, SIGFPE, SIGILL, SIGQUIT), which then take their default course.
// Called once from a program's main().
void ReleaseOnExit();

} // namespace kv7::HeldLocks
