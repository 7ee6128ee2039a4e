#include "sim/LineFormat.h"

#include "sim/WirePacer.h"

// The kernel's own termios2 carries the speed as a number for any rate, so
// no table of B-codes is needed. It clashes with <termios.h>, which is why
// this lives in a file of its own.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace kv7::sim {

LineFormat ReadLineFormat(int fd)
{
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return {};
    const tcflag_t size = t.c_cflag & CSIZE;
    const int dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    return {int(t.c_ospeed),
            WirePacer::BitsPerByte(dataBits, (t.c_cflag & PARENB) != 0, (t.c_cflag & CSTOPB) != 0)};
}

} // namespace kv7::sim
