#include "log/SessionLog.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv7 {

namespace {

// Whether the file behind `fd` (opened from `path` for writing only) has
// bytes and its last one is not a line feed: a line cut short, by a full
// disk or a size limit. Only a regular file can tell; anything else, or a
// file we may not read, is taken to end well.
bool EndsMidLine(int fd, const QString &path)
{
    struct stat written = {};
    if (::fstat(fd, &written) != 0 || !S_ISREG(written.st_mode) || written.st_size == 0)
        return false;
    // O_NONBLOCK: should a FIFO have taken the name meanwhile, not wait on it.
    const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader < 0)
        return false;
    struct stat opened = {};
    char last = '\n';
    // Only the same file, not one renamed into its place meanwhile.
    const bool read = ::fstat(reader, &opened) == 0 && opened.st_dev == written.st_dev &&
                      opened.st_ino == written.st_ino && ::pread(reader, &last, 1, written.st_size - 1) == 1;
    ::close(reader);
    return read && last != '\n';
}

} // namespace

SessionLog::~SessionLog()
{
    Close();
}

QString SessionLog::Open(const QString &path, const QString &header)
{
    Close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return qt_error_string(errno);
    m_fd = fd;
    m_path = path;
    // The header starts a line of its own even after a cut one; a header
    // that cannot be written is the open's failure, not a later one.
    const QByteArray start = EndsMidLine(fd, path) ? QByteArray("\n") : QByteArray();
    QString why = Append(start + LogLine({Now(), EventMark, header.toUtf8(), {}}));
    if (!why.isEmpty())
        Close();
    return why;
}

void SessionLog::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void SessionLog::Write(LogEntry entry)
{
    if (m_fd < 0)
        return;
    entry.when = Now();
    const QString why = Append(LogLine(entry));
    if (why.isEmpty())
        return;
    Close();
    if (onFailure)
        onFailure(m_path, why);
}

QDateTime SessionLog::Now()
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (ms >= m_offsetUntil) {
        m_offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
        m_offsetUntil = (ms / 60000 + 1) * 60000;
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, m_offset);
}

QString SessionLog::Append(const QByteArray &line)
{
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? qt_error_string(errno) : QStringLiteral("nothing could be written");
        done += n;
    }
    return {};
}

} // namespace kv7
