#include "serial/PortFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace kv7::PortFolder {

QString DefaultPath()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/kv7-ports");
    return QStringLiteral("/tmp/kv7-ports-%1").arg(::getuid());
}

bool IsTrusted(const QString &folder, QString *why)
{
    struct stat st {};
    const QByteArray path = QFile::encodeName(folder);
    if (::lstat(path.constData(), &st) != 0) {
        if (why)
            *why = qt_error_string(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (why)
            *why = QStringLiteral("not a folder");
        return false;
    }
    if (st.st_uid != ::getuid()) {
        if (why)
            *why = QStringLiteral("owned by another user");
        return false;
    }
    if (st.st_mode & (S_IWGRP | S_IWOTH)) {
        if (why)
            *why = QStringLiteral("writable by other users");
        return false;
    }
    return true;
}

QString Ensure(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create %1: %2").arg(folder, qt_error_string(errno));
    QString why;
    if (!IsTrusted(folder, &why))
        return QStringLiteral("port folder %1 is not usable: %2").arg(folder, why);
    return {};
}

QString LinkPath(const QString &folder, int n)
{
    return folder + QStringLiteral("/COM") + QString::number(n);
}

QString LinkTarget(const QString &link)
{
    char target[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), target, sizeof target);
    return n > 0 ? QFile::decodeName(QByteArray(target, int(n))) : QString();
}

} // namespace kv7::PortFolder
