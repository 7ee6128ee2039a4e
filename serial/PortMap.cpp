#include "serial/PortMap.h"

#include "serial/PortFolder.h"
#include "serial/SimMarker.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace kv7 {

namespace {

bool IsCharDevice(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace

PortMap::PortMap(QString linkFolder, bool fixedFamilies, SystemRoots roots)
    : m_linkFolder(std::move(linkFolder)), m_fixedFamilies(fixedFamilies), m_roots(std::move(roots))
{
}

QString PortMap::DevicePath(int n) const
{
    if (n < 1 || n > 255)
        return {};
    // Followed anew each time: one device has one name, for its lock too,
    // however the user spelled it.
    if (m_added.contains(n))
        return QFileInfo(m_added.value(n)).canonicalFilePath();
    QString linked = LinkTarget(n);
    if (!linked.isEmpty())
        return linked;
    return FamilyDevice(n);
}

QString PortMap::Name(int n) const
{
    return m_added.contains(n) ? m_added.value(n) : QStringLiteral("COM%1").arg(n);
}

int PortMap::NumberOf(const QString &path) const
{
    const QString device = QFileInfo(path).canonicalFilePath();
    for (int n = 1; n <= 255 && !device.isEmpty(); ++n)
        if (DevicePath(n) == device)
            return n;
    return 0;
}

int PortMap::AddDevice(const QString &path)
{
    for (int n = 1; n <= 255; ++n) {
        if (!PortExists(n)) {
            m_added.insert(n, path);
            return n;
        }
    }
    return 0;
}

QString PortMap::Absence(int n) const
{
    const QString link = n >= 1 && n <= 255 ? OwnLink(n) : QString();
    if (link.isEmpty() || PortExists(n))
        return {};
    const SimMarker::Verdict marker = SimMarker::Judge(link, PortFolder::LinkTarget(link));
    if (marker.state != SimMarker::Verdict::Stale)
        return {};
    return QStringLiteral("COM%1 was left by kv7-sim (process %2), which no longer runs").arg(n).arg(marker.pid);
}

QString PortMap::OwnLink(int n) const
{
    if (m_linkFolder.isEmpty() || !PortFolder::IsTrusted(m_linkFolder))
        return {};
    QString link = PortFolder::LinkPath(m_linkFolder, n);
    struct stat st {};
    // Only our own symbolic links count: anyone else's could point us at a
    // device we never meant to talk to.
    if (::lstat(QFile::encodeName(link).constData(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != ::getuid())
        return {};
    return link;
}

QString PortMap::LinkTarget(int n) const
{
    const QString link = OwnLink(n);
    if (link.isEmpty())
        return {};
    // A killed simulator's pty may since have gone to another program:
    // following its link would talk to that program.
    if (SimMarker::Judge(link, PortFolder::LinkTarget(link)).state == SimMarker::Verdict::Stale)
        return {};
    const QString target = QFileInfo(link).canonicalFilePath();
    return (!target.isEmpty() && IsCharDevice(target)) ? target : QString();
}

QString PortMap::FamilyDevice(int n) const
{
    if (!m_fixedFamilies || n > 96)
        return {};
    static const char *const families[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    const QString path = QString::fromLatin1(families[(n - 1) / 32]) + QString::number((n - 1) % 32);
    if (!m_listed) {
        m_listed = true;
        m_systemPorts.clear();
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            m_systemPorts.insert(info.systemLocation());
    }
    return m_systemPorts.contains(path) ? path : QString();
}

} // namespace kv7
