#pragma once

#include "log/SessionLog.h"

#include <QString>

#include <mutex>

namespace kv7::run {

// The session log of every port at once, each entry with its port's name;
// the ports' threads take turns.
class RunLog {
public:
    // The reason it cannot be opened, empty when it is.
    QString Open(const QString &path, const QString &header);

    void Sent(const QString &port, const QByteArray &bytes);
    void Received(const QString &port, const QByteArray &bytes);
    void Event(const QString &port, const QString &text);

    // Told once, from the port's thread, when a write fails: the log stops.
    std::function<void(const QString &path, const QString &why)> onFailure;

private:
    std::mutex m_mutex;
    SessionLog m_log;
};

} // namespace kv7::run
