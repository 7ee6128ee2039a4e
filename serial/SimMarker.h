#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The marker kv7-sim keeps beside each COM<n> link it makes, COM<n>.kv7-sim:
// its pid, the link's target and its start time, one a line. It tells the
// simulator's links from the user's own, and a link left by a simulator
// that has ended from one still served. A marker of two lines (from an
// older kv7-sim) is judged by its pid alone.
namespace kv7::SimMarker {

// The marker's path beside `link`.
QString PathOf(const QString &link);

// The start time of process `pid` in clock ticks since boot; none when the
// process does not run or the system does not say.
std::optional<quint64> StartTime(qint64 pid);

// The marker a process with `pid`, started at `startTime`, writes for a link
// to `target`.
QByteArray Text(qint64 pid, std::optional<quint64> startTime, const QByteArray &target);

struct Verdict {
    enum State {
        None, // no marker for this link: the link is the user's
        Live, // made by a kv7-sim that still runs
        Stale // left by one that no longer runs
    };
    State state = None;
    qint64 pid = 0;
};

// What the marker beside `link` says of it; `target` is the link's target
// as stored (see PortFolder::LinkTarget). A marker that names another
// target is not this link's.
Verdict Judge(const QString &link, const QString &target);

} // namespace kv7::SimMarker
