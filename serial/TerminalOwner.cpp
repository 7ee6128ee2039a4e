#include "serial/TerminalOwner.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace kv7 {

namespace {

struct ProcessStat {
    qint64 pid = 0;
    qint64 session = 0;
    unsigned tty = 0; // the kernel's encoding: minor bits 0-7 and 20-31, major 8-19
    QString name;
};

std::optional<ProcessStat> ReadStat(const char *pid)
{
    char path[300]; // a d_name has at most 255 bytes
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    std::FILE *file = std::fopen(path, "re");
    if (!file)
        return std::nullopt; // gone meanwhile, or hidden from us
    char line[1024];
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    // "pid (name) state ppid pgrp session tty_nr ..."; the name may hold
    // spaces and parentheses, so it ends at the last ")".
    const char *open = read ? std::strchr(line, '(') : nullptr;
    const char *close = read ? std::strrchr(line, ')') : nullptr;
    ProcessStat stat;
    long long pidValue = 0;
    long long session = 0;
    int tty = 0;
    if (!open || !close || close < open || std::sscanf(line, "%lld", &pidValue) != 1 ||
        std::sscanf(close + 1, " %*c %*d %*d %lld %d", &session, &tty) != 2)
        return std::nullopt;
    stat.pid = pidValue;
    stat.session = session;
    stat.tty = static_cast<unsigned>(tty);
    stat.name = QString::fromLocal8Bit(open + 1, int(close - open - 1));
    return stat;
}

bool SameDevice(unsigned tty, dev_t device)
{
    const unsigned ttyMajor = (tty >> 8) & 0xfffU;
    const unsigned ttyMinor = (tty & 0xffU) | ((tty >> 12) & 0xfff00U);
    return ttyMajor == major(device) && ttyMinor == minor(device);
}

} // namespace

std::optional<TerminalUser> ControllingProgram(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return std::nullopt;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return std::nullopt;
    std::optional<ProcessStat> found;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const std::optional<ProcessStat> process = ReadStat(entry->d_name);
        if (!process || process->tty == 0 || !SameDevice(process->tty, st.st_rdev))
            continue;
        found = process;
        if (process->pid == process->session)
            break; // the session's leader names it best
    }
    ::closedir(proc);
    if (!found)
        return std::nullopt;
    return TerminalUser{found->pid, found->name};
}

} // namespace kv7
