#pragma once

#include "log/SessionLog.h"

#include <QObject>

namespace kv7 {

class PortMap;
class SerialControl;

// The session log as the window keeps it: every write and every chunk read
// on the serial control, the port's opens, closes, losses and speed changes,
// and the events the window notes (uploads, messages shown).
class SessionRecorder : public QObject {
    Q_OBJECT
public:
    SessionRecorder(SerialControl &serial, const PortMap &ports, QObject *parent = nullptr);

    // Appends to `path`, with a header naming the program, the port and its
    // settings; the reason on failure, empty on success.
    QString Start(const QString &path);
    void Stop();
    bool Running() const { return m_log.IsOpen(); }
    QString Path() const { return m_log.Path(); }
    void Note(const QString &event) { m_log.Event(event); }

signals:
    // A write failed: the log has stopped, what was written stays.
    void Failed(const QString &path, const QString &why);

private:
    QString Port() const;

    SerialControl &m_serial;
    const PortMap &m_ports;
    SessionLog m_log;
};

} // namespace kv7
