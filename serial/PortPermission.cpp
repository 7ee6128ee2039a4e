#include "serial/PortPermission.h"

#include <grp.h>
#include <pwd.h>
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

QString UserName(uid_t uid)
{
    passwd entry {};
    passwd *found = nullptr;
    std::vector<char> buffer(std::max<long>(::sysconf(_SC_GETPW_R_SIZE_MAX), 16384));
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QString::number(uid);
    return QString::fromLocal8Bit(found->pw_name);
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
    // Serial devices are shared through a group ("dialout" on Debian); a
    // membership only counts from the next login. A group that may not read
    // and write the device is no way in, and naming it would mislead.
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        const QString group = GroupName(st.st_gid);
        return QStringLiteral("Your user may not use %1: only members of the group \"%2\" may. Add yourself with "
                              "\"sudo usermod -aG %2 $USER\", then log out and in again.")
            .arg(path, group);
    }
    return QStringLiteral("Your user may not use %1: only %2 may (mode %3). A udev rule can give it to the group "
                          "\"dialout\"; see \"Serial ports and permissions\" in the README.")
        .arg(path, UserName(st.st_uid), QString::number(st.st_mode & 0777, 8));
}

} // namespace kv7
