#include "uploads/FirmwareUpload.h"

#include "uploads/UploadHost.h"
#include "files/UploadFile.h"

#include <QFileInfo>

#include <utility>

namespace kv7 {

FirmwareUpload::FirmwareUpload(FirmwareRun &run, UploadHost &host, QObject *parent)
    : QObject(parent), m_run(run), m_host(host)
{
    connect(&m_run, &FirmwareRun::BootSent, this, [this] { m_host.Note(std::exchange(m_startNote, QString())); });
    connect(&m_run, &FirmwareRun::Holding, this, [this] {
        m_host.SetControlsEnabled(false);
        m_active = true;
    });
    connect(&m_run, &FirmwareRun::Advanced, this, [this] { m_host.SetProgress(m_run.Transfer().Progress()); });
    connect(&m_run, &FirmwareRun::Ended, this, &FirmwareUpload::End);
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

    m_host.ShowProgress(double(image.size()) / BlockTransfer::BlockSize);
    m_startNote = QStringLiteral("firmware upload of %1: %2 bytes").arg(path).arg(image.size());
    (void)m_run.Start(image);
}

void FirmwareUpload::PortLost(const QString &port, const QString &carryOn)
{
    m_lostDetail = carryOn;
    m_run.Stop(QStringLiteral("The firmware upload stopped: the connection to %1 was lost.").arg(port), true);
}

void FirmwareUpload::End()
{
    const FirmwareRun::Result &result = m_run.Outcome();
    using Ending = FirmwareTransfer::Ending;
    const FirmwareTransfer &transfer = m_run.Transfer();
    QString text = FirmwareTransfer::EndText(result.ending);
    QString detail = result.error;
    if (result.lost && result.ending == Ending::Stopped) {
        // Stopped by PortLost, with the window's own words.
        text = result.error;
        detail = m_lostDetail;
    }
    if (!m_active) {
        // Ended before the boot loader held the line: nothing to put back,
        // and a port that went away has been told of already.
        m_host.HideProgress();
        if (!result.lost)
            m_host.Report(text, detail);
        return;
    }
    m_host.Note(QStringLiteral("firmware upload ended: %1 %2 block frames sent, %3 NAKs seen")
                    .arg(text)
                    .arg(transfer.FramesSent())
                    .arg(transfer.Naks()));
    // The time-out message comes while the port is still at the transfer
    // speed, the success message once it has its settings back, the others
    // once the window is usable again.
    if (result.ending == Ending::TimedOut)
        m_host.Report(text, detail);
    (void)m_run.GiveBack(false);
    if (result.ending == Ending::Finished)
        m_host.Report(text, detail);
    m_host.SetControlsEnabled(true);
    m_host.HideProgress();
    m_active = false;
    if (result.ending != Ending::TimedOut && result.ending != Ending::Finished)
        m_host.Report(text, detail);
    // A lost port opens again by itself when its device is back.
    if (!result.lost)
        m_host.ReopenPort();
}

} // namespace kv7
