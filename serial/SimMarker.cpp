#include "serial/SimMarker.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <climits>
#include <csignal>

namespace kv7::SimMarker {

namespace {

struct ProcessState {
    char state = 0;
    quint64 startTime = 0;
};

// Fields 3 (state) and 22 (start time) of /proc/<pid>/stat; field 2, the
// name in parentheses, may hold blanks and parentheses of its own.
std::optional<ProcessState> ReadStat(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.read(4096);
    const qsizetype nameEnd = text.lastIndexOf(')');
    if (nameEnd < 0)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(nameEnd + 1).simplified().split(' ');
    if (fields.size() < 20 || fields[0].size() != 1)
        return std::nullopt;
    bool ok = false;
    const quint64 start = fields[19].toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return ProcessState{fields[0][0], start};
}

// False once the process has ended (a zombie has too), or its pid has gone
// to a process started at another time.
bool Runs(qint64 pid, std::optional<quint64> startTime)
{
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    // Unreadable (/proc mounted with hidepid, say): the pid alone decides.
    const std::optional<ProcessState> stat = ReadStat(pid);
    if (!stat)
        return true;
    if (stat->state == 'Z' || stat->state == 'X')
        return false;
    return !startTime || stat->startTime == *startTime;
}

} // namespace

QString PathOf(const QString &link)
{
    return link + QStringLiteral(".kv7-sim");
}

std::optional<quint64> StartTime(qint64 pid)
{
    const std::optional<ProcessState> stat = ReadStat(pid);
    return stat ? std::optional<quint64>(stat->startTime) : std::nullopt;
}

QByteArray Text(qint64 pid, std::optional<quint64> startTime, const QByteArray &target)
{
    QByteArray text = QByteArray::number(pid) + '\n' + target + '\n';
    if (startTime)
        text += QByteArray::number(*startTime) + '\n';
    return text;
}

Verdict Judge(const QString &link, const QString &target)
{
    QFile file(PathOf(link));
    if (target.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.read(PATH_MAX + 64).split('\n');
    if (lines.size() < 2 || QFile::decodeName(lines[1]) != target)
        return {};
    bool ok = false;
    const qint64 pid = lines[0].toLongLong(&ok);
    if (!ok || pid <= 0 || pid > INT_MAX)
        return {};
    std::optional<quint64> startTime;
    if (lines.size() > 2 && !lines[2].isEmpty()) {
        startTime = lines[2].toULongLong(&ok);
        if (!ok)
            return {};
    }
    return {Runs(pid, startTime) ? Verdict::Live : Verdict::Stale, pid};
}

} // namespace kv7::SimMarker
