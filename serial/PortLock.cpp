#include "serial/PortLock.h"

#include "serial/UserNames.h"

#include "protocol/OutsideText.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv7 {

QString LockFilePath(const QString &device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                               "/var/lock/lockdev", "/run/lock"}) {
        const QFileInfo info(QString::fromLatin1(folder));
        if (info.isReadable() && info.isWritable())
            return info.filePath() + QStringLiteral("/LCK..") + name;
    }
    return {};
}

QString LockPathProblem(const QString &device)
{
    const QString path = LockFilePath(device);
    struct stat st {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("%1 cannot be opened: its lock file %2 is not a regular file. Remove it with \"sudo rm %2\", "
                          "then choose the port again.")
        .arg(ShownText(device), ShownText(path));
}

QString LockAdvice(const QString &device)
{
    const QString path = LockFilePath(device);
    QFile file;
    struct stat st {};
    // Never blocks, and reads only a plain file: anyone may plant one here.
    const int fd =
        path.isEmpty() ? -1 : ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    // QLockFile's content: the holder's pid, then its program name.
    const QList<QByteArray> lines = file.read(4096).split('\n');
    bool numeric = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&numeric);
    if (!numeric || pid <= 0)
        return {};
    const QString program = ShownText(QString::fromUtf8(lines.value(1).trimmed()));
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM) {
        return QStringLiteral("%1 is in use by another program: it is held by %2 (process %3).")
            .arg(ShownText(device), program.isEmpty() ? QStringLiteral("a program") : program, QString::number(pid));
    }
    return QStringLiteral("%1 is free, but the lock file %2 left by process %3, which no longer runs, belongs to %4 and "
                          "your user may not remove it. Remove it with \"sudo rm %2\", then choose the port again.")
        .arg(ShownText(device), ShownText(path), QString::number(pid), UserName(st.st_uid));
}

} // namespace kv7
