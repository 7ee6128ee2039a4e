#include "commands/SampleUpload.h"

#include "commands/Hex.h"
#include "commands/SampleLine.h"
#include "commands/UploadHost.h"
#include "serial/SerialControl.h"
#include "terminal/ReplyDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace kv7 {

SampleUpload::SampleUpload(Sender send, ReplyDecoder &decoder, const SerialControl &serial, UploadHost &host,
                           QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_decoder(decoder), m_serial(serial), m_host(host)
{
}

void SampleUpload::Upload(const QString &area, const QString &path)
{
    m_running = true;
    Run(area, path);
    m_host.HideProgress();
    m_running = false;
}

SampleUpload::Wait SampleUpload::WaitForReply(const std::function<bool(const QByteArray &)> &fits)
{
    QElapsedTimer clock;
    clock.start();
    // The reply timer's ticks wake the loop at least every 10 ms.
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (fits(m_decoder.LastReply))
            return Wait::Fitting;
        // The loss has been reported; no reply can come.
        if (!m_serial.PortOpen())
            return Wait::PortLost;
        if (clock.elapsed() >= WaitLimitMs)
            return Wait::TimedOut;
    }
}

void SampleUpload::Run(const QString &area, const QString &path)
{
    QByteArray &lastReply = m_decoder.LastReply;
    if (!m_send(SelectAreaFrame(area)))
        return;
    lastReply.clear();
    std::optional<char> status;
    const Wait answered = WaitForReply([&status](const QByteArray &reply) {
        status = AreaStatus(reply);
        return status.has_value();
    });
    if (answered == Wait::PortLost)
        return;
    if (answered == Wait::TimedOut) {
        m_host.Report(QStringLiteral("The sample upload stopped because the device did not answer the area selection."));
        return;
    }
    if (*status != '0')
        return;
    SendLines(path);
}

void SampleUpload::SendLines(const QString &path)
{
    const QString cannot = QStringLiteral("The sample file %1 cannot be read.").arg(path);
    const QFileInfo info(path);
    if (info.isDir())
        return m_host.Report(cannot, QStringLiteral("It is a folder."));
    if (info.exists() && !info.isFile())
        return m_host.Report(cannot, QStringLiteral("It is not a regular file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return m_host.Report(cannot, file.errorString());

    const qint64 size = file.size();
    const qint64 lines = size == 0 ? 0 : size / LineBytes + 1;
    m_host.ShowProgress(double(lines));

    QByteArray &lastReply = m_decoder.LastReply;
    // Exhausted only once a read came back short; an empty file sends
    // nothing. Peeking, not the size, decides: files under /proc say 0.
    char first = 0;
    bool exhausted = file.peek(&first, 1) != 1;
    for (qint64 index = 0; !exhausted; ++index) {
        HexLine.clear();
        for (int i = 0; i < LineBytes; ++i) {
            if (!file.getChar(&FileByte)) {
                exhausted = true;
                FileByte = 0; // filler past the end of the file
            }
            HexLine += Hex2(static_cast<unsigned char>(FileByte));
        }
        if (file.error() != QFileDevice::NoError)
            return m_host.Report(cannot, file.errorString());
        lastReply.clear();
        if (!m_send(SampleLineFrame(HexLine, index)))
            return;
        const Wait answered = WaitForReply(IsLineReply);
        if (answered == Wait::PortLost)
            return;
        if (answered == Wait::TimedOut) {
            return m_host.Report(QStringLiteral("The sample upload stopped because the device did not answer line %1 (index %2).")
                                         .arg(index + 1)
                                         .arg(Hex4(index)));
        }
        m_host.SetProgress(double(index + 1));
    }
}

} // namespace kv7
