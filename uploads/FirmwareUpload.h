#pragma once

#include "session/FirmwareRun.h"

#include <QObject>
#include <QString>

namespace kv7 {

class UploadHost;

// "Upload Firmware" in the window: checks and reads the image, runs it on
// the line, and shows the run to the user: the window disabled while the
// boot loader holds the line, the progress, and one message at the end,
// with the window and the port as they were.
class FirmwareUpload : public QObject {
    Q_OBJECT
public:
    FirmwareUpload(FirmwareRun &run, UploadHost &host, QObject *parent = nullptr);

    // The image at `path`, exactly as typed.
    void StartUpload(const QString &path);
    // The device did not answer in time (the limit timer's handler).
    void TimeOut() { m_run.LimitReached(); }
    // The port went away in the middle of the upload; `port` as the list
    // names it, `carryOn` what to do now.
    void PortLost(const QString &port, const QString &carryOn);

    // An upload is under way: the line belongs to the boot loader.
    bool UploadActive() const { return m_active; }
    const QString &SavedSettings() const { return m_run.SavedSettings(); }

private:
    // The run ended: the message, the port and the window, in their order.
    void End();

    FirmwareRun &m_run;
    UploadHost &m_host;
    bool m_active = false;
    // The session log's line once the boot command is out.
    QString m_startNote;
    // What to do about a lost port, set just before the run is stopped.
    QString m_lostDetail;
};

} // namespace kv7
