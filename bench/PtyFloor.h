#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace kv7::bench {

// What a turnaround cannot beat on this machine at this moment: one byte
// there and back over a pseudo-terminal between two processes, each woken
// by poll, with no program in between. A window's or kv7-run's turnaround
// above it is their own.
inline double PtyRoundTripUs(int rounds = 1000)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0)
        return -1;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    const pid_t echo = fork();
    if (echo == 0) {
        char c = 0;
        for (int i = 0; i < rounds; ++i) {
            pollfd in{master, POLLIN, 0};
            if (poll(&in, 1, -1) < 0 || read(master, &c, 1) != 1 || write(master, &c, 1) != 1)
                _exit(1);
        }
        _exit(0);
    }
    double total = 0;
    char c = 'x';
    for (int i = 0; i < rounds && echo > 0; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pollfd in{slave, POLLIN, 0};
        if (write(slave, &c, 1) != 1 || poll(&in, 1, -1) < 0 || read(slave, &c, 1) != 1)
            break;
        total += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        usleep(1000); // as on a line, each byte after a pause
    }
    if (echo > 0)
        waitpid(echo, nullptr, 0);
    ::close(slave);
    ::close(master);
    return total / rounds;
}

inline void PrintPtyFloor()
{
    std::printf("  the machine's floor now: a pty round trip between two processes, nothing else, %.0f us\n",
                PtyRoundTripUs());
}

} // namespace kv7::bench
