#include "serial/PortPermission.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kv7 {

namespace {

QString GroupName(gid_t gid)
{
    const group *g = ::getgrgid(gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

} // namespace

QString PermissionAdvice(const QString &path)
{
    const QByteArray native = path.toLocal8Bit();
    if (::access(native.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return {};
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return {};
    const QString group = GroupName(st.st_gid);
    // Serial devices are shared through their group ("dialout" on Debian);
    // a membership only counts from the next login.
    return QStringLiteral("Your user may not use %1: it belongs to the group \"%2\", and you are not in that "
                          "group. Add yourself with \"sudo usermod -aG %2 $USER\", then log out and in again.")
        .arg(path, group);
}

} // namespace kv7
