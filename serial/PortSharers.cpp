#include "serial/PortSharers.h"

#include "protocol/OutsideText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <algorithm>
#include <unistd.h>

namespace kv7 {

namespace {

const QString PtsFolder = QStringLiteral("/dev/pts/");

// The pty index that a master descriptor serves, as its fdinfo gives it.
int MasterIndex(const QString &fdinfo)
{
    QFile file(fdinfo);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // A /proc file has no size, so atEnd() holds from the start: read it whole.
    const QByteArrayList lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("tty-index:")) {
            bool ok = false;
            const int index = line.mid(10).trimmed().toInt(&ok);
            return ok ? index : -1;
        }
    }
    return -1;
}

QString LinkTarget(const QString &path)
{
    char target[4096];
    const ssize_t size = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return size > 0 ? QFile::decodeName(QByteArray(target, size)) : QString();
}

bool IsMaster(const QString &target)
{
    return target == QLatin1String("/dev/ptmx") || target == QLatin1String("/dev/pts/ptmx");
}

} // namespace

QList<PortSharer> OtherHolders(const QString &device, const QString &procRoot)
{
    // For /dev/pts/N, the holders of master N are the device's own end.
    int ptyIndex = -1;
    if (device.startsWith(PtsFolder)) {
        bool ok = false;
        ptyIndex = device.mid(PtsFolder.size()).toInt(&ok);
        if (!ok)
            ptyIndex = -1;
    }
    const qint64 self = ::getpid();
    QList<PortSharer> found;
    const QDir root(procRoot);
    const QStringList pids = root.entryList({QStringLiteral("[1-9]*")}, QDir::Dirs, QDir::Unsorted);
    for (const QString &name : pids) {
        bool numeric = false;
        const qint64 pid = name.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        const QString fdPath = root.filePath(name + QStringLiteral("/fd"));
        bool holds = false;
        bool master = false;
        // System: a descriptor whose link cannot be followed is listed too.
        // Another user's descriptors list nothing: nothing to see there.
        QDirIterator fds(fdPath, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        while (fds.hasNext() && !master && !(holds && ptyIndex < 0)) {
            const QString target = LinkTarget(fds.next());
            if (target == device)
                holds = true;
            else if (ptyIndex >= 0 && IsMaster(target))
                master = MasterIndex(root.filePath(name + QStringLiteral("/fdinfo/") + fds.fileName())) == ptyIndex;
        }
        if (!holds || master)
            continue;
        QFile comm(root.filePath(name + QStringLiteral("/comm")));
        const QByteArray program = comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
        found.append({pid, QString::fromLocal8Bit(program)});
    }
    std::sort(found.begin(), found.end(), [](const PortSharer &a, const PortSharer &b) { return a.pid < b.pid; });
    return found;
}

QString SharedWarning(const QString &device, const QList<PortSharer> &others)
{
    if (others.isEmpty())
        return {};
    QStringList named;
    for (const PortSharer &other : others)
        // One arg() call: a "%2" in the name stays as it is.
        named.append(QStringLiteral("%1 (process %2)").arg(ShownText(other.name), QString::number(other.pid)));
    const QString last = named.takeLast();
    const QString all = named.isEmpty() ? last : named.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
    return QStringLiteral("%1 is also open in %2: replies may go to %3 instead.")
        .arg(ShownText(device), all, others.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

} // namespace kv7
