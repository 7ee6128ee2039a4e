#include "commands/SampleUpload.h"

#include "protocol/Hex.h"
#include "protocol/SampleLine.h"
#include "commands/UploadHost.h"
#include "serial/SerialControl.h"
#include "protocol/ReplyDecoder.h"

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

namespace {

// A status character as the reply line would show it.
QString Readable(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code >= 32 && code < 127 ? QString(QLatin1Char(c)) : QStringLiteral("<%1>").arg(code);
}

} // namespace

void SampleUpload::Upload(const QString &area, const QString &path)
{
    m_running = true;
    m_area = UploadArea(area);
    m_answered = m_rejected = 0;
    m_firstRejected = -1;
    m_host.Note(QStringLiteral("sample upload to area %1 from %2").arg(m_area, path));
    const bool whole = Run(area, path);
    m_host.Note(QStringLiteral("sample upload %1: %2 lines answered, %3 rejected%4")
                    .arg(whole ? QStringLiteral("done") : QStringLiteral("stopped"))
                    .arg(m_answered)
                    .arg(m_rejected)
                    .arg(m_rejected > 0 ? QStringLiteral(", the first at index ") + Hex4(m_firstRejected) : QString()));
    m_host.HideProgress();
    m_running = false;
}

SampleUpload::Wait SampleUpload::WaitForReply(StatusOf statusOf, char *status)
{
    QElapsedTimer clock;
    clock.start();
    // The reply timer's ticks wake the loop at least every 10 ms.
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (const std::optional<char> found = statusOf(m_decoder.LastReply())) {
            *status = *found;
            return Wait::Fitting;
        }
        // The loss has been reported; no reply can come.
        if (!m_serial.PortOpen())
            return Wait::PortLost;
        if (clock.elapsed() >= WaitLimitMs)
            return Wait::TimedOut;
    }
}

bool SampleUpload::Run(const QString &area, const QString &path)
{
    if (!m_send(SelectAreaFrame(area)))
        return false;
    m_decoder.ForgetLastReply();
    char status = 0;
    const Wait answered = WaitForReply(AreaStatus, &status);
    if (answered == Wait::PortLost)
        return false;
    if (answered == Wait::TimedOut)
        return Stop(QStringLiteral("The sample upload stopped because the device did not answer the area selection."));
    if (status != '0') {
        m_host.Report(QStringLiteral("The device refused sample area %1 (status %2); nothing was sent.")
                          .arg(m_area, Readable(status)));
        return false;
    }
    if (!SendLines(path))
        return false;
    if (m_rejected > 0)
        m_host.Report(Rejections());
    return true;
}

QString SampleUpload::Rejections() const
{
    if (m_rejected == 0)
        return {};
    return QStringLiteral("The device rejected %1 of %2 sample lines, the first at index %3. Sample area %4 may be "
                          "incomplete.")
        .arg(m_rejected)
        .arg(m_answered)
        .arg(Hex4(m_firstRejected), m_area);
}

bool SampleUpload::SendLines(const QString &path)
{
    const QString cannot = QStringLiteral("The sample file %1 cannot be read.").arg(path);
    const QFileInfo info(path);
    if (info.isDir())
        return Stop(cannot, QStringLiteral("It is a folder."));
    if (info.exists() && !info.isFile())
        return Stop(cannot, QStringLiteral("It is not a regular file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Stop(cannot, file.errorString());

    const qint64 size = file.size();
    const qint64 lines = size == 0 ? 0 : size / LineBytes + 1;
    m_host.ShowProgress(double(lines));

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
            return Stop(cannot, file.errorString());
        m_decoder.ForgetLastReply();
        if (!m_send(SampleLineFrame(HexLine, index)))
            return false;
        char status = 0;
        const Wait answered = WaitForReply(LineStatus, &status);
        if (answered == Wait::PortLost)
            return false;
        if (answered == Wait::TimedOut) {
            return Stop(QStringLiteral("The sample upload stopped because the device did not answer line %1 (index %2).")
                            .arg(index + 1)
                            .arg(Hex4(index)),
                        Rejections());
        }
        // Each line goes out once whatever the device said; a rejection is
        // counted, not retried.
        ++m_answered;
        if (status != '0' && m_rejected++ == 0)
            m_firstRejected = index;
        m_host.SetProgress(double(index + 1));
    }
    return true;
}

bool SampleUpload::Stop(const QString &text, const QString &detail)
{
    m_host.Report(text, detail);
    return false;
}

} // namespace kv7
