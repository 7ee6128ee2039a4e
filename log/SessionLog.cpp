#include "log/SessionLog.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kv7 {

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
    // A header that cannot be written is the open's failure, not a later one.
    QString why = Append(LogLine({QDateTime::currentDateTime(), EventMark, header.toUtf8(), {}}));
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
    entry.when = QDateTime::currentDateTime();
    const QString why = Append(LogLine(entry));
    if (why.isEmpty())
        return;
    Close();
    if (onFailure)
        onFailure(m_path, why);
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
