#include "firmware/FirmwareUpload.h"

#include "app/FileDialogs.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/RealProgressBar.h"
#include "commands/ControlChars.h"
#include "commands/Frame.h"
#include "serial/SerialControl.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QThread>

namespace kv7 {

namespace {

const char *const TransferSettings = "115200,n,8,1";

} // namespace

FirmwareUpload::FirmwareUpload(Form1 &form, SerialControl &serial, MessageBoxes &messages, FileDialogs &dialogs)
    : QObject(&form), m_form(form), m_serial(serial), m_messages(messages), m_dialogs(dialogs)
{
    StallTimer.setSingleShot(true);
    StallTimer.setInterval(StallMs);
    connect(&StallTimer, &QTimer::timeout, this, &FirmwareUpload::TimeOut);
}

void FirmwareUpload::Command5_Click()
{
    FileRequest request;
    request.title = QStringLiteral("Choose BIN file:");
    request.filter = QStringLiteral("Binary file (*.bin)|*.bin| All files (*.*)|*.*");
    request.initialDir = QFileInfo(m_form.Text5->text()).path();
    request.mustExist = true;
    const std::optional<QString> path = m_dialogs.ShowOpen(request);
    if (path && !path->isEmpty())
        m_form.Text5->setText(*path);
}

void FirmwareUpload::StartUpload()
{
    // The path exactly as typed; only the emptiness test ignores spaces.
    const QString path = m_form.Text5->text();
    if (path.trimmed().isEmpty())
        return;
    if (!m_messages.Ask(QStringLiteral("Are you sure you want to upload file %1?").arg(path), QStringLiteral("Send file")))
        return;
    if (!QFileInfo(path).isFile())
        return m_messages.Inform(QStringLiteral("File %1 does not exist. Aborting upload.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return m_messages.Inform(file.errorString());
    const QByteArray image = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return m_messages.Inform(file.errorString());
    file.close();
    if (image.isEmpty())
        return m_messages.Inform(QStringLiteral("File %1 is empty. Aborting upload.").arg(path));

    Transfer.Begin(image);
    m_form.ProgressBar1->setVisible(true);
    m_form.ProgressBar1->SetValue(0);
    m_form.ProgressBar1->SetMaximum(double(image.size()) / BlockTransfer::BlockSize);

    const SerialResult boot = m_serial.Output(CommandFrame(QStringLiteral("$BT"), QString()));
    if (!boot.ok()) {
        m_form.ProgressBar1->setVisible(false);
        return m_messages.Inform(QStringLiteral("The firmware upload did not start."), boot.error);
    }
    QThread::msleep(100);
    m_form.SetControlsEnabled(false);
    m_form.UploadActive = true;
    m_timingOut = false;
    m_form.Timer2->start();

    QString error;
    if (!SwitchToTransfer(&error))
        Abandon(QStringLiteral("The firmware upload did not start."), error);
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
    const BlockTransfer::Step step = Transfer.Reply(m_serial.Input());
    if (!step.acted)
        return;
    m_form.Timer2->stop();
    StallTimer.stop();
    if (step.finished)
        return Finish();
    if (!step.write.isEmpty()) {
        const SerialResult sent = m_serial.Output(step.write);
        if (!sent.ok())
            return Abandon(QStringLiteral("The firmware upload stopped."), sent.error);
        StallTimer.start();
    }
    m_form.ProgressBar1->SetValue(Transfer.Progress);
}

void FirmwareUpload::RestorePort()
{
    (void)m_serial.SetPortOpen(false);
    (void)m_serial.SetSettings(SavedSettings);
}

void FirmwareUpload::Finish()
{
    StallTimer.stop();
    m_form.Timer2->stop();
    RestorePort();
    m_messages.Inform(QStringLiteral("Finished uploading firmware and all is OK!"));
    m_form.SetControlsEnabled(true);
    m_form.Timer2->stop();
    m_form.ProgressBar1->setVisible(false);
    m_form.UploadActive = false;
    m_form.ReopenPort();
}

void FirmwareUpload::Timer2_Timer()
{
    TimeOut();
}

void FirmwareUpload::TimeOut()
{
    // Once per upload, even while its own message is open.
    if (!m_form.UploadActive || m_timingOut)
        return;
    m_timingOut = true;
    m_form.Timer2->stop();
    StallTimer.stop();
    m_messages.Inform(QStringLiteral("Firmware upload timeout."));
    RestorePort();
    m_form.SetControlsEnabled(true);
    m_form.ProgressBar1->setVisible(false);
    m_form.UploadActive = false;
    m_form.ReopenPort();
    m_form.Timer2->stop();
    StallTimer.stop();
}

void FirmwareUpload::PortLost(const QString &why)
{
    Abandon(QStringLiteral("The firmware upload stopped: the connection to COM%1 was lost.").arg(m_serial.CommPort()),
            why, false);
}

void FirmwareUpload::Abandon(const QString &text, const QString &why, bool reopen)
{
    StallTimer.stop();
    m_form.Timer2->stop();
    RestorePort();
    m_form.SetControlsEnabled(true);
    m_form.Timer2->stop();
    m_form.ProgressBar1->setVisible(false);
    m_form.UploadActive = false;
    m_messages.Inform(text, why);
    if (reopen)
        m_form.ReopenPort();
}

} // namespace kv7
