#include "firmware/FirmwareUpload.h"

#include "protocol/ControlChars.h"
#include "protocol/Frame.h"
#include "commands/UploadHost.h"
#include "serial/SerialControl.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace kv7 {

namespace {

const char *const TransferSettings = "115200,n,8,1";

} // namespace

FirmwareUpload::FirmwareUpload(SerialControl &serial, QTimer &timer2, UploadHost &host, QObject *parent)
    : QObject(parent), m_serial(serial), m_timer2(timer2), m_host(host)
{
    StallTimer.setSingleShot(true);
    StallTimer.setInterval(StallMs);
    connect(&StallTimer, &QTimer::timeout, this, &FirmwareUpload::TimeOut);
}

void FirmwareUpload::StartUpload(const QString &path)
{
    // The path exactly as typed; only the emptiness test ignores spaces.
    if (path.trimmed().isEmpty())
        return;
    if (!m_host.Confirm(QStringLiteral("Are you sure you want to upload file %1?").arg(path), QStringLiteral("Send file")))
        return;
    if (!QFileInfo(path).isFile())
        return m_host.Report(QStringLiteral("File %1 does not exist. Aborting upload.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return m_host.Report(file.errorString());
    const QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return m_host.Report(file.errorString());
    file.close();
    if (image.isEmpty())
        return m_host.Report(QStringLiteral("File %1 is empty. Aborting upload.").arg(path));

    Transfer.Begin(image);
    m_host.ShowProgress(double(image.size()) / BlockTransfer::BlockSize);

    const SerialResult boot = m_serial.Output(CommandFrame(QStringLiteral("$BT"), QString()));
    if (!boot.ok()) {
        m_host.HideProgress();
        // A port that went away has been reported once already.
        if (!boot.lost)
            m_host.Report(QStringLiteral("The firmware upload did not start."), boot.error);
        return;
    }
    m_framesSent = m_naks = 0;
    m_host.Note(QStringLiteral("firmware upload of %1: %2 bytes").arg(path).arg(image.size()));
    QThread::msleep(100);
    m_host.SetControlsEnabled(false);
    m_active = true;
    m_timer2.start();

    QString error;
    if (!SwitchToTransfer(&error))
        End({QStringLiteral("The firmware upload did not start."), error, Ending::AfterEnable, true});
}

bool FirmwareUpload::SwitchToTransfer(QString *error)
{
    (void)m_serial.SetPortOpen(false);
    SavedSettings = m_serial.Settings();
    SerialResult result = m_serial.SetSettings(QString::fromLatin1(TransferSettings));
    if (result.ok())
        result = m_serial.SetPortOpen(true);
    for (int i = 0; result.ok() && i < 10; ++i) {
        QThread::msleep(10);
        result = m_serial.Output(QByteArray(1, SyncChar));
    }
    *error = result.error;
    return result.ok();
}

void FirmwareUpload::OnReceive()
{
    const QByteArray reply = m_serial.Input();
    // An upload being ended (its message may still be open) is deaf: a late
    // reply must neither send a block nor arm the stall timer again.
    if (m_ending)
        return;
    m_naks += int(reply.count(NAK));
    const BlockTransfer::Step step = Transfer.Reply(reply);
    if (!step.acted)
        return;
    m_timer2.stop();
    StallTimer.stop();
    if (step.finished)
        return End({QStringLiteral("Finished uploading firmware and all is OK!"), {}, Ending::AfterRestore, true});
    if (!step.write.isEmpty()) {
        const SerialResult sent = m_serial.Output(step.write);
        if (!sent.ok())
            return End({QStringLiteral("The firmware upload stopped."), sent.error, Ending::AfterEnable, true});
        StallTimer.start();
        if (step.write.size() == BlockTransfer::FrameSize)
            ++m_framesSent;
    }
    m_host.SetProgress(Transfer.Progress);
}

void FirmwareUpload::TimeOut()
{
    // The message comes while the port is still at the transfer speed.
    End({QStringLiteral("Firmware upload timeout."), {}, Ending::BeforeRestore, true});
}

void FirmwareUpload::PortLost(const QString &why)
{
    End({QStringLiteral("The firmware upload stopped: the connection to COM%1 was lost.").arg(m_serial.CommPort()), why,
         Ending::AfterEnable, false});
}

void FirmwareUpload::End(const Ending &ending)
{
    // One ending per upload, whichever comes first: a loss noticed inside a
    // write ends it there, and the write's own failure has nothing left to
    // end; a success while the time-out message is open changes nothing.
    if (!m_active || m_ending)
        return;
    m_ending = true;
    m_timer2.stop();
    StallTimer.stop();
    m_host.Note(QStringLiteral("firmware upload ended: %1 %2 block frames sent, %3 NAKs seen")
                    .arg(ending.text)
                    .arg(m_framesSent)
                    .arg(m_naks));
    // The time-out message comes while the port is still at the transfer speed.
    if (ending.messageAt == Ending::BeforeRestore)
        m_host.Report(ending.text, ending.detail);
    (void)m_serial.SetPortOpen(false);
    (void)m_serial.SetSettings(SavedSettings);
    if (ending.messageAt == Ending::AfterRestore)
        m_host.Report(ending.text, ending.detail);
    m_host.SetControlsEnabled(true);
    // Enabling the window starts every timer; this one only runs at the start.
    m_timer2.stop();
    m_host.HideProgress();
    m_active = false;
    m_ending = false;
    if (ending.messageAt == Ending::AfterEnable)
        m_host.Report(ending.text, ending.detail);
    if (ending.reopen)
        m_host.ReopenPort();
}

} // namespace kv7
