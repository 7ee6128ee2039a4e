#include "serial/TerminalOwner.h"

#include <QDir>
#include <QFile>

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

std::optional<ProcessStat> ReadStat(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt; // gone meanwhile, or hidden from us
    const QByteArray line = file.readLine();
    // "pid (name) state ppid pgrp session tty_nr ..."; the name may hold
    // spaces and parentheses, so it ends at the last ")".
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    const QByteArrayList fields = line.mid(close + 1).simplified().split(' ');
    ProcessStat stat;
    bool numbers[3] = {};
    stat.pid = line.left(open).trimmed().toLongLong(&numbers[0]);
    stat.session = fields.value(3).toLongLong(&numbers[1]);
    stat.tty = static_cast<unsigned>(fields.value(4).toInt(&numbers[2]));
    stat.name = QString::fromLocal8Bit(line.mid(open + 1, close - open - 1));
    if (!numbers[0] || !numbers[1] || !numbers[2])
        return std::nullopt;
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
    std::optional<ProcessStat> found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[1-9]*")}, QDir::Dirs);
    for (const QString &pid : pids) {
        const std::optional<ProcessStat> process = ReadStat(pid);
        if (!process || process->tty == 0 || !SameDevice(process->tty, st.st_rdev))
            continue;
        found = process;
        if (process->pid == process->session)
            break; // the session's leader names it best
    }
    if (!found)
        return std::nullopt;
    return TerminalUser{found->pid, found->name};
}

} // namespace kv7
