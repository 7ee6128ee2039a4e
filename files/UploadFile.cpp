#include "files/UploadFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv7 {

std::optional<QByteArray> ReadUploadFile(const QString &path, qint64 maxBytes, QString *why)
{
    // Opened without blocking, so that a FIFO cannot hold us up, and judged
    // by what was opened, not by the name.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = qt_error_string(errno);
        return std::nullopt;
    }
    QFile file;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = S_ISDIR(st.st_mode) ? QStringLiteral("It is a folder.") : QStringLiteral("It is not a regular file.");
        ::close(fd);
        return std::nullopt;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = file.errorString();
        return std::nullopt;
    }
    // To the end, not by the size: files under /proc say 0, and a file may
    // grow while it is read.
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return std::nullopt;
    }
    if (bytes.size() > maxBytes) {
        *why = QStringLiteral("It is larger than %1 bytes, the most this upload can take.").arg(maxBytes);
        return std::nullopt;
    }
    return bytes;
}

} // namespace kv7
