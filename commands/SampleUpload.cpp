#include "commands/SampleUpload.h"

#include "commands/UploadHost.h"
#include "files/UploadFile.h"
#include "protocol/ReplyDecoder.h"
#include "serial/SerialControl.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace kv7 {

SampleUpload::SampleUpload(Sender send, ReplyDecoder &decoder, const SerialControl &serial, UploadHost &host,
                           QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_decoder(decoder), m_serial(serial), m_host(host)
{
}

void SampleUpload::Upload(const QString &area, const QString &path)
{
    m_running = true;
    SampleTransfer transfer(area, WaitLimitMs);
    m_host.Note(QStringLiteral("sample upload to area %1 from %2").arg(transfer.Area(), path));
    (void)Run(transfer, path);
    m_host.Note(QStringLiteral("sample upload ") + transfer.Verdict());
    m_host.HideProgress();
    m_running = false;
}

bool SampleUpload::Run(SampleTransfer &transfer, const QString &path)
{
    SampleTransfer::Step step = transfer.Begin();
    while (!step.ended) {
        if (step.wantsData) {
            QByteArray bytes;
            if (!ReadFile(path, &bytes))
                return false;
            m_host.ShowProgress(double(SampleTransfer::LinesFor(bytes.size())));
            step = transfer.Data(bytes);
            continue;
        }
        m_decoder.ForgetLastReply();
        // A failed write, like a lost port below, has been reported where it happened.
        if (!m_send(step.write))
            return transfer.LineFailed({}).ok;
        const qint64 answered = transfer.Answered();
        const std::optional<SampleTransfer::Step> next = Await(transfer);
        if (!next)
            return transfer.LineFailed({}).ok;
        step = *next;
        if (transfer.Answered() != answered)
            m_host.SetProgress(double(transfer.Answered()));
    }
    if (!step.failure.isEmpty())
        m_host.Report(step.failure, step.detail);
    else if (transfer.Rejected() > 0)
        m_host.Report(transfer.Rejections());
    return step.ok;
}

std::optional<SampleTransfer::Step> SampleUpload::Await(SampleTransfer &transfer)
{
    QElapsedTimer clock;
    clock.start();
    // The reply timer's ticks wake the loop at least every 10 ms.
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        SampleTransfer::Step step = transfer.Reply(m_decoder.LastReply());
        if (step.Moves())
            return step;
        // The loss has been reported; no reply can come.
        if (!m_serial.PortOpen())
            return std::nullopt;
        step = transfer.Waited(clock.elapsed());
        if (step.ended)
            return step;
    }
}

bool SampleUpload::ReadFile(const QString &path, QByteArray *bytes)
{
    QString why;
    std::optional<QByteArray> read = ReadUploadFile(path, SampleTransfer::MaxFileBytes, &why);
    if (read) {
        *bytes = std::move(*read);
        return true;
    }
    m_host.Report(QStringLiteral("The sample file %1 cannot be read.").arg(path), why);
    return false;
}

} // namespace kv7
