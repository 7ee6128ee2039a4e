#include "serial/UserNames.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace kv7 {

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

} // namespace kv7
