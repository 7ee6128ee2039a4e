#pragma once

#include "sim/AdapterLatency.h"
#include "sim/LineFormat.h"
#include "sim/OpenError.h"
#include "sim/PortLink.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

namespace kv7::sim {

// The device side of a pseudo-terminal, linked as COM<n> in a port folder.
// Holds the terminal side open itself, so a client that closes and reopens
// the port never hangs the line up. Writes never block.
class PtyPort : public QObject {
    Q_OBJECT
public:
    // Output not yet taken by the client beyond this is dropped (and
    // counted), so a client that writes but never reads cannot grow our
    // memory.
    static constexpr qsizetype MaxPending = 1 << 20;

    explicit PtyPort(QObject *parent = nullptr);
    ~PtyPort() override;

    // Opens the pseudo-terminal and links it; `port` 0 takes the lowest
    // free number.
    OpenError Open(const QString &folder, int port);
    // Removes the link (only while it is still ours) and closes.
    void Close();

    int Port() const { return m_link.Port(); }
    QString Device() const { return m_device; }
    // Speed and framing the client set, as last seen.
    LineFormat Format() const { return m_format; }

    void Write(const QByteArray &bytes);
    // From now on, what Write gets waits in a USB adapter's latency timer
    // of `ms` before it reaches the client.
    void SetLatency(int ms);
    // Bytes Write dropped.
    qint64 Dropped() const { return m_dropped; }
    // While paused nothing is read, so the client's writes back up in the
    // terminal as they would on a full line.
    void PauseReading(bool paused);

signals:
    void Received(const QByteArray &bytes);
    // The client set a new line speed.
    void SpeedChanged(int baud);

private:
    OpenError OpenTerminal();
    // To the client, in order, without blocking.
    void Hand(const QByteArray &bytes);
    void Watch();
    void OnReadable();
    void OnWritable();
    void PollSpeed();

    int m_master = -1;
    int m_slave = -1;
    QString m_device;
    PortLink m_link;
    QByteArray m_out;
    qint64 m_dropped = 0;
    LineFormat m_format;
    QSocketNotifier *m_read = nullptr;
    bool m_readPaused = false;
    QSocketNotifier *m_write = nullptr;
    QTimer *m_poll = nullptr;
    AdapterLatency *m_latency = nullptr;
};

} // namespace kv7::sim
