#pragma once

#include "serial/PortLock.h"

#include <QFile>
#include <QString>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace kv7::test {

// A pty whose number has no lock file: one left by an earlier run that was
// killed must not decide the outcome. Masters passed over stay open until
// the end, so the kernel hands out other numbers.
struct FreshPty {
    FreshPty()
    {
        for (int tries = 0; tries < 512 && master < 0; ++tries) {
            const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
            if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0)
                break;
            device = QString::fromLocal8Bit(::ptsname(fd));
            if (QFile::exists(LockFilePath(device)))
                skipped.push_back(fd);
            else
                master = fd;
        }
    }
    ~FreshPty()
    {
        for (int fd : skipped)
            ::close(fd);
        if (master >= 0)
            ::close(master);
    }
    FreshPty(const FreshPty &) = delete;
    FreshPty &operator=(const FreshPty &) = delete;

    int master = -1;
    QString device;
    std::vector<int> skipped;
};

} // namespace kv7::test
