#pragma once

#include "protocol/FirmwareTransfer.h"
#include "serial/SerialResult.h"
#include "session/FirmwareStart.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace kv7 {

class SerialControl;
class UploadHost;

// A firmware upload: checks and reads the image, puts the device into its
// boot loader, runs the block transfer on the replies and ends the upload
// either way with the window and the port as they were.
class FirmwareUpload : public QObject {
    Q_OBJECT
public:
    // `timer2` bounds the wait for the device's first reply; its owner
    // calls TimeOut() when it fires.
    FirmwareUpload(SerialControl &serial, QTimer &timer2, UploadHost &host, QObject *parent = nullptr);

    // The image at `path`, exactly as typed.
    void StartUpload(const QString &path);
    // The receive event while an upload runs.
    void OnReceive();
    // The device did not answer in time.
    void TimeOut();
    // The port went away in the middle of the upload; `port` as the list names it.
    void PortLost(const QString &port, const QString &why);

    // An upload is under way: the line belongs to the boot loader.
    bool UploadActive() const { return m_active; }

    FirmwareTransfer Transfer;
    // The user's settings, given back at the end; empty before the switch.
    const QString &SavedSettings() const { return m_start.saved; }
    // Bounds the wait for any reply once the device has answered; a silent
    // boot loader would otherwise leave the window disabled for good.
    QTimer StallTimer;

private:
    // How an upload ends: its message, whether the message comes before the
    // port is restored or once the window is back, and whether the port is
    // opened again.
    struct Ending {
        QString text;
        QString detail;
        enum { BeforeRestore, AfterRestore, AfterEnable } messageAt;
        bool reopen;
    };
    // Once per upload, whichever way comes first.
    void End(const Ending &ending);

    SerialControl &m_serial;
    QTimer &m_timer2;
    UploadHost &m_host;
    FirmwareStart m_start;
    bool m_active = false;
    bool m_ending = false;
    // The session log's line once the boot command is out.
    QString m_startNote;
};

} // namespace kv7
