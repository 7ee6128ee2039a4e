#include "sim/LineSpeed.h"

// The kernel's own termios2 carries the speed as a number for any rate, so
// no table of B-codes is needed. It clashes with <termios.h>, which is why
// this lives in a file of its own.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace kv7::sim {

int LineSpeed(int fd)
{
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return int(t.c_ospeed);
}

} // namespace kv7::sim
