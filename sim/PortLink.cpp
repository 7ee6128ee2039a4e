#include "sim/PortLink.h"

#include "serial/PortFolder.h"
#include "serial/SimMarker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv7::sim {

namespace {

std::atomic<const PortLink *> g_latest{nullptr};

// How long a simulator waits for another to finish claiming or removing.
constexpr int LockWaitMs = 5000;

// The folder's lock. QLockFile's own wait sleeps 100 ms and longer between
// tries, while another simulator holds it for a millisecond or so.
bool Lock(QLockFile &lock)
{
    const QDeadlineTimer deadline(LockWaitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

PortLink::~PortLink()
{
    Remove();
}

OpenError PortLink::Claim(const QString &folder, int n)
{
    const QString link = PortFolder::LinkPath(folder, n);
    const QByteArray name = QFile::encodeName(link);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return {};
    if (!S_ISLNK(st.st_mode))
        return {QStringLiteral("COM%1 is taken: %2 is not a link").arg(n).arg(link), true};
    const QString target = PortFolder::LinkTarget(link);
    const SimMarker::Verdict marker = SimMarker::Judge(link, target);
    if (marker.state == SimMarker::Verdict::Stale) {
        // Left by a simulator that was killed; its pty may since serve
        // another program, so the link goes even while its target is there.
        ::unlink(name.constData());
        return {};
    }
    if (marker.state == SimMarker::Verdict::Live || ::stat(name.constData(), &st) == 0)
        return {QStringLiteral("COM%1 is already served: %2 -> %3").arg(n).arg(link, target), true};
    return {QStringLiteral("COM%1 is a link kv7-sim did not make: %2 -> %3 (missing); it is left alone")
                .arg(n)
                .arg(link, target),
            true};
}

OpenError PortLink::Make(const QString &folder, int port, const QString &device)
{
    // Simulators started at once would otherwise all find the same number
    // free, and one's clean-up could take another's marker.
    m_lockPath = folder + QStringLiteral("/.kv7-sim.lock");
    QLockFile lock(m_lockPath);
    if (!Lock(lock))
        return {QStringLiteral("cannot lock %1: %2")
                    .arg(m_lockPath, lock.error() == QLockFile::LockFailedError
                                         ? QStringLiteral("another kv7-sim holds it")
                                         : QStringLiteral("it cannot be written")),
                false};
    int n = port;
    if (n > 0) {
        if (OpenError err = Claim(folder, n); err.Failed())
            return err;
    } else {
        for (n = 1; n <= 255 && Claim(folder, n).Failed(); ++n) {
        }
        if (n > 255)
            return {QStringLiteral("no free port number in %1").arg(folder), true};
    }
    const QString link = PortFolder::LinkPath(folder, n);
    m_link = QFile::encodeName(link);
    m_device = QFile::encodeName(device);
    m_marker = QFile::encodeName(SimMarker::PathOf(link));
    m_markerText = SimMarker::Text(::getpid(), SimMarker::StartTime(::getpid()), m_device);
    // The marker first: killed in between, we leave a marker without a link,
    // not a link that would pass for the user's.
    QSaveFile marker(QFile::decodeName(m_marker));
    if (!marker.open(QIODevice::WriteOnly) || marker.write(m_markerText) != m_markerText.size() || !marker.commit()) {
        const QString why = marker.errorString();
        m_marker.clear();
        return {QStringLiteral("cannot write %1: %2").arg(marker.fileName(), why), false};
    }
    if (::symlink(m_device.constData(), m_link.constData()) != 0) {
        OpenError err{QStringLiteral("cannot link %1: %2").arg(link, qt_error_string(errno)), false};
        Clear();
        return err;
    }
    m_port = n;
    g_latest = this;
    return {};
}

void PortLink::Remove()
{
    // Not while another simulator claims: it could take the number between
    // our link's removal and our marker's. Without the lock (held too long
    // by a hung one) only what is ours still goes.
    QLockFile lock(m_lockPath);
    if (!m_marker.isEmpty())
        (void)Lock(lock);
    Clear();
}

void PortLink::Clear()
{
    RemoveFiles();
    const PortLink *self = this;
    g_latest.compare_exchange_strong(self, nullptr);
    m_port = 0;
    m_link.clear();
    m_device.clear();
    m_marker.clear();
    m_markerText.clear();
}

void PortLink::RemoveLatest()
{
    if (const PortLink *link = g_latest.load())
        link->RemoveFiles();
}

void PortLink::RemoveFiles() const
{
    if (m_marker.isEmpty())
        return;
    char bytes[PATH_MAX + 32] = {};
    ssize_t n = -1;
    if (const int fd = ::open(m_marker.constData(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        n = ::read(fd, bytes, sizeof bytes);
        ::close(fd);
    }
    // Not our marker (gone, or another simulator's): nor is the link ours.
    if (n != m_markerText.size() || std::memcmp(bytes, m_markerText.constData(), size_t(n)) != 0)
        return;
    n = ::readlink(m_link.constData(), bytes, sizeof bytes);
    if (n == m_device.size() && std::memcmp(bytes, m_device.constData(), size_t(n)) == 0)
        ::unlink(m_link.constData());
    ::unlink(m_marker.constData());
}

} // namespace kv7::sim
