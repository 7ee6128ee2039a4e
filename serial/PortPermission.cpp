#include "serial/PortPermission.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace kv7 {

namespace {

QString GroupName(gid_t gid)
{
    group entry {};
    group *found = nullptr;
    std::vector<char> buffer(std::max<long>(::sysconf(_SC_GETGR_R_SIZE_MAX), 16384));
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QString::number(gid);
    return QString::fromLocal8Bit(found->gr_name);
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
