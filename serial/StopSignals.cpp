#include "serial/StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kv7 {

namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int signal)
{
    // Non-blocking: a burst of signals must not hang the handler.
    const auto c = static_cast<unsigned char>(signal);
    (void)!::write(g_pipe[1], &c, 1);
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
    return true;
}

} // namespace kv7
