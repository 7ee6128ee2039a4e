#pragma once

#include "protocol/LogFormat.h"

#include <QString>

#include <functional>

namespace kv7 {

// The session log file: appended to, one line an entry (see LogFormat.h),
// each handed to the system at once, so that after a kill -9 everything up
// to the last entry is in the file. A write that fails closes the log, keeps
// what was written, and is reported once through `onFailure`.
class SessionLog {
public:
    SessionLog() = default;
    ~SessionLog();
    SessionLog(const SessionLog &) = delete;
    SessionLog &operator=(const SessionLog &) = delete;

    // Opens `path` for appending and writes `header` as its first event;
    // the reason on failure, empty on success.
    QString Open(const QString &path, const QString &header);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    QString Path() const { return m_path; }

    // `port` names the port on each entry when one log serves several.
    void Sent(const QByteArray &bytes, const QByteArray &port = {}) { Write({{}, SentMark, bytes, port}); }
    void Received(const QByteArray &bytes, const QByteArray &port = {}) { Write({{}, ReceivedMark, bytes, port}); }
    void Event(const QString &text, const QByteArray &port = {}) { Write({{}, EventMark, text.toUtf8(), port}); }

    std::function<void(const QString &path, const QString &why)> onFailure;

private:
    // The entry at the current time.
    void Write(LogEntry entry);
    // Now, at the local zone's offset.
    QDateTime Now();
    // The whole line to the file; the reason it failed, empty when it went through.
    QString Append(const QByteArray &line);

    int m_fd = -1;
    QString m_path;
    // The local zone's offset from UTC, and until when it holds: looking it
    // up reads the zone's file, too slow for every byte that crosses a line
    // at speed, and offsets change only on a minute's boundary.
    int m_offset = 0;
    qint64 m_offsetUntil = 0;
};

} // namespace kv7
