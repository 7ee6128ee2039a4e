#include "serial/StopSignals.h"

#include "serial/HeldLocks.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kv7 {

namespace {

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_first = 0;

// A program that has not ended this long after a stop signal is stuck
// (a blocked write, a hung device): it ends anyway, its port locks with it.
constexpr unsigned GraceSeconds = 10;

void OnSignal(int signal)
{
    if (g_first == 0) {
        g_first = signal;
        ::alarm(GraceSeconds);
    }
    // Non-blocking: a burst of signals must not hang the handler.
    const auto c = static_cast<unsigned char>(signal);
    (void)!::write(g_pipe[1], &c, 1);
}

void OnGraceOver(int)
{
    HeldLocks::ReleaseAll();
    ::_exit(128 + g_first);
}

} // namespace

bool StopSignals::Catch()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char c = 0;
        while (::read(g_pipe[0], &c, 1) == 1)
            emit Received(c);
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sa.sa_flags = SA_RESTART;
    ::sigemptyset(&sa.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        if (::sigaction(s, &sa, nullptr) != 0)
            return false;
    sa.sa_handler = OnGraceOver;
    return ::sigaction(SIGALRM, &sa, nullptr) == 0;
}

} // namespace kv7
