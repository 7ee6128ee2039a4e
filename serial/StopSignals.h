#pragma once

#include <QObject>

class QSocketNotifier;

namespace kv7 {

// SIGINT, SIGTERM and SIGHUP (Ctrl+C, kill, a closed terminal, a logout) as
// an ordinary event, so that a program holding a port closes it, and so
// removes its lock file, before it ends. The handler itself only writes the
// signal's number into a pipe; a program still running 10 s later is ended
// there and then, with the same status (128 + the signal).
class StopSignals : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Installs the handlers (one instance a process); false, with errno
    // set, when that failed.
    bool Catch();

signals:
    void Received(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kv7
