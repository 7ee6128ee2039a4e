#include "uploads/SampleUpload.h"

#include "uploads/UploadHost.h"
#include "files/UploadFile.h"
#include "protocol/SampleLine.h"
#include "session/LineSession.h"

#include <QCoreApplication>

namespace kv7 {

SampleUpload::SampleUpload(Sender send, LineSession &line, UploadHost &host, QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_line(line), m_run(line.Sample), m_host(host)
{
    m_run.write = [this](const QByteArray &frame) {
        // The reply to wait for comes after this frame.
        m_line.Decoder.ForgetLastReply();
        // A failed write has been reported where it happened.
        return m_send(frame) ? SerialResult::Ok() : SerialResult::Fail({});
    };
    connect(&m_run, &SampleRun::Advanced, this, [this] { m_host.SetProgress(double(m_run.Transfer().Answered())); });
}

void SampleUpload::Upload(const QString &area, const QString &path)
{
    m_running = true;
    m_run.data = [this, path] { return ReadFile(path); };
    m_host.Note(QStringLiteral("sample upload to area %1 from %2").arg(UploadArea(area), path));
    m_run.Start(area, WaitLimitMs);
    // The click returns when the upload has ended, and meanwhile the window
    // stays live: the reply timer's ticks bring the replies, and a button
    // pressed between two lines runs to its end inside the wait.
    while (m_run.Running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const SampleTransfer &transfer = m_run.Transfer();
    const SampleTransfer::Step &end = m_run.Outcome();
    // A failed write, a lost port or an unreadable file has been told.
    if (!m_run.ToldElsewhere() && !end.failure.isEmpty())
        m_host.Report(end.failure, end.detail);
    else if (!m_run.ToldElsewhere() && transfer.Rejected() > 0)
        m_host.Report(transfer.Rejections());
    m_host.Note(QStringLiteral("sample upload ") + transfer.Verdict());
    m_host.HideProgress();
    m_running = false;
}

void SampleUpload::PortLost()
{
    m_run.Fail({});
}

std::optional<QByteArray> SampleUpload::ReadFile(const QString &path)
{
    QString why;
    std::optional<QByteArray> read = ReadUploadFile(path, SampleTransfer::MaxFileBytes, &why);
    if (read)
        m_host.ShowProgress(double(SampleTransfer::LinesFor(read->size())));
    else
        m_host.Report(QStringLiteral("The sample file %1 cannot be read.").arg(path), why);
    return read;
}

} // namespace kv7
