#include "serial/PortPermission.h"

#include "serial/UserNames.h"

#include "protocol/OutsideText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kv7 {

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
            .arg(ShownText(path), group);
    }
    return QStringLiteral("Your user may not use %1: only %2 may (mode %3). A udev rule can give it to the group "
                          "\"dialout\"; see \"Serial ports and permissions\" in the README.")
        .arg(ShownText(path), UserName(st.st_uid), QString::number(st.st_mode & 0777, 8));
}

} // namespace kv7
