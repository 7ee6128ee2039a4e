#include "firmware/FirmwareUpload.h"

#include "commands/UploadHost.h"
#include "files/UploadFile.h"
#include "serial/SerialControl.h"

#include <QFileInfo>

#include <utility>

namespace kv7 {

FirmwareUpload::FirmwareUpload(SerialControl &serial, QTimer &timer2, UploadHost &host, QObject *parent)
    : QObject(parent), m_serial(serial), m_timer2(timer2), m_host(host)
{
    StallTimer.setSingleShot(true);
    StallTimer.setInterval(FirmwareTransfer::StallMs);
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
    QString why;
    const std::optional<QByteArray> read = ReadUploadFile(path, FirmwareTransfer::MaxImageBytes, &why);
    if (!read)
        return m_host.Report(QStringLiteral("File %1 cannot be uploaded. Aborting upload.").arg(path), why);
    const QByteArray &image = *read;
    if (image.isEmpty())
        return m_host.Report(QStringLiteral("File %1 is empty. Aborting upload.").arg(path));

    Transfer.Begin(image);
    m_host.ShowProgress(Transfer.Blocks());
    m_startNote = QStringLiteral("firmware upload of %1: %2 bytes").arg(path).arg(image.size());
    m_start = FirmwareStart();
    m_start.write = [this](const QByteArray &bytes) {
        SerialResult written = m_serial.Output(bytes);
        // The first write is the boot command: from here on the device is
        // the boot loader's.
        if (written.ok() && !m_startNote.isEmpty())
            m_host.Note(std::exchange(m_startNote, QString()));
        return written;
    };
    m_start.startLimit = [this](int) {
        // The window's own timer keeps the start limit.
        m_host.SetControlsEnabled(false);
        m_active = true;
        m_timer2.start();
    };
    const SerialResult done = m_start.Run(m_serial);
    if (done.ok())
        return;
    const QString text = FirmwareTransfer::EndText(FirmwareTransfer::Ending::NotStarted);
    if (m_active)
        return End({text, done.error, Ending::AfterEnable, true});
    Transfer.End();
    m_host.HideProgress();
    // A port that went away has been reported once already.
    if (!done.lost)
        m_host.Report(text, done.error);
}

void FirmwareUpload::OnReceive()
{
    const FirmwareTransfer::Step step = Transfer.Reply(m_serial.Input());
    if (!step.acted)
        return;
    m_timer2.stop();
    StallTimer.stop();
    if (step.finished)
        return End({FirmwareTransfer::EndText(FirmwareTransfer::Ending::Finished), {}, Ending::AfterRestore, true});
    if (!step.write.isEmpty()) {
        const SerialResult sent = m_serial.Output(step.write);
        if (!sent.ok())
            return End({FirmwareTransfer::EndText(FirmwareTransfer::Ending::Stopped), sent.error, Ending::AfterEnable,
                        true});
        StallTimer.start();
    }
    m_host.SetProgress(Transfer.Progress());
}

void FirmwareUpload::TimeOut()
{
    // The message comes while the port is still at the transfer speed.
    End({FirmwareTransfer::EndText(FirmwareTransfer::Ending::TimedOut), {}, Ending::BeforeRestore, true});
}

void FirmwareUpload::PortLost(const QString &port, const QString &why)
{
    End({QStringLiteral("The firmware upload stopped: the connection to %1 was lost.").arg(port), why,
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
    Transfer.End();
    m_timer2.stop();
    StallTimer.stop();
    m_host.Note(QStringLiteral("firmware upload ended: %1 %2 block frames sent, %3 NAKs seen")
                    .arg(ending.text)
                    .arg(Transfer.FramesSent())
                    .arg(Transfer.Naks()));
    // The time-out message comes while the port is still at the transfer speed.
    if (ending.messageAt == Ending::BeforeRestore)
        m_host.Report(ending.text, ending.detail);
    (void)m_serial.SetPortOpen(false);
    if (!m_start.saved.isEmpty()) // nothing to give back before the switch
        (void)m_serial.SetSettings(m_start.saved);
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
