#pragma once

#include "firmware/BlockTransfer.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace kv7 {

class FileDialogs;
class Form1;
class MessageBoxes;
class SerialControl;

// The "Upload Firmware" button and its file chooser: checks and reads the
// image, puts the device into its boot loader, runs the block transfer on
// the replies and ends the upload either way with the window and the port
// as they were.
class FirmwareUpload : public QObject {
    Q_OBJECT
public:
    static constexpr int StallMs = 30000;

    FirmwareUpload(Form1 &form, SerialControl &serial, MessageBoxes &messages, FileDialogs &dialogs);

    void Command5_Click();
    void StartUpload();
    // The receive event while an upload runs.
    void OnReceive();
    // The wait for the device's first reply ran out.
    void Timer2_Timer();
    // The port went away in the middle of the upload.
    void PortLost(const QString &why);

    BlockTransfer Transfer;
    QString SavedSettings;
    // Bounds the wait for any reply once the device has answered; a silent
    // boot loader would otherwise leave the window disabled for good.
    QTimer StallTimer;

private:
    bool SwitchToTransfer(QString *error);
    void Finish();
    void TimeOut();
    // Puts everything back after a serial failure and says why.
    void Abandon(const QString &text, const QString &why, bool reopen = true);
    void RestorePort();

    Form1 &m_form;
    SerialControl &m_serial;
    MessageBoxes &m_messages;
    FileDialogs &m_dialogs;
    bool m_timingOut = false;
};

} // namespace kv7
