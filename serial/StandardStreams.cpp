#include "serial/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kv7 {

void EnsureStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor: this very one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened > 2)
            ::close(opened);
    }
}

} // namespace kv7
