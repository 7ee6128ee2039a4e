#include "serial/HeldLocks.h"

#include <QFile>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kv7::HeldLocks {

namespace {

// Fixed slots, written before they are marked used, so that a signal
// handler reads them without a lock or an allocation.
constexpr int Slots = 256;
constexpr size_t PathBytes = 256;
enum State : int { Free, Writing, Used };
struct Slot {
    std::atomic<int> state{Free};
    char path[PathBytes] = {};
};
std::array<Slot, Slots> g_slots;

// True when the lock file's first line is this process's id, as QLockFile writes it.
bool Ours(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    char bytes[32] = {};
    const ssize_t n = ::read(fd, bytes, sizeof bytes - 1);
    ::close(fd);
    if (n <= 0)
        return false;
    long pid = 0;
    for (ssize_t i = 0; i < n && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
        pid = pid * 10 + (bytes[i] - '0');
    return pid == long(::getpid());
}

void OnFatalSignal(int signal)
{
    ReleaseAll();
    ::raise(signal);
}

} // namespace

void Add(const QString &lockFile)
{
    const QByteArray path = QFile::encodeName(lockFile);
    if (path.isEmpty() || size_t(path.size()) >= PathBytes)
        return;
    for (Slot &slot : g_slots) {
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Writing))
            continue;
        std::memcpy(slot.path, path.constData(), size_t(path.size()) + 1);
        slot.state.store(Used);
        return;
    }
}

void Remove(const QString &lockFile)
{
    const QByteArray path = QFile::encodeName(lockFile);
    for (Slot &slot : g_slots) {
        if (slot.state.load() == Used && path == slot.path) {
            slot.state.store(Free);
            return;
        }
    }
}

void ReleaseAll()
{
    for (Slot &slot : g_slots)
        if (slot.state.load() == Used && Ours(slot.path))
            ::unlink(slot.path);
}

void ReleaseOnExit()
{
    std::atexit(ReleaseAll);
    struct sigaction sa {};
    sa.sa_handler = OnFatalSignal;
    sa.sa_flags = SA_RESETHAND;
    ::sigemptyset(&sa.sa_mask);
    for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGQUIT})
        ::sigaction(s, &sa, nullptr);
}

} // namespace kv7::HeldLocks
