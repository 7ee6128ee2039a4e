#include "serial/PortLock.h"

#include "serial/UserNames.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
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

QString LockAdvice(const QString &device)
{
    const QString path = LockFilePath(device);
    QFile file(path);
    struct stat st {};
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || ::fstat(file.handle(), &st) != 0)
        return {};
    // QLockFile's content: the holder's pid, then its program name.
    const QList<QByteArray> lines = file.read(4096).split('\n');
    bool numeric = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&numeric);
    if (!numeric || pid <= 0)
        return {};
    const QString program = QString::fromUtf8(lines.value(1).trimmed());
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM) {
        return QStringLiteral("%1 is in use by another program: it is held by %2 (process %3).")
            .arg(device, program.isEmpty() ? QStringLiteral("a program") : program)
            .arg(pid);
    }
    return QStringLiteral("%1 is free, but the lock file %2 left by process %3, which no longer runs, belongs to %4 and "
                          "your user may not remove it. Remove it with \"sudo rm %2\", then choose the port again.")
        .arg(device, path)
        .arg(pid)
        .arg(UserName(st.st_uid));
}

} // namespace kv7
