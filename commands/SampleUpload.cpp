#include "commands/SampleUpload.h"

#include "app/FileDialogs.h"
#include "app/MessageBoxes.h"
#include "app/RealProgressBar.h"
#include "commands/Hex.h"
#include "commands/SampleLine.h"
#include "terminal/ReplyDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

namespace kv7 {

SampleUpload::SampleUpload(Controls controls, MessageBoxes &messages, FileDialogs &dialogs, QObject *parent)
    : QObject(parent), m_controls(std::move(controls)), m_messages(messages), m_dialogs(dialogs)
{
}

void SampleUpload::Command4_Click()
{
    FileRequest request;
    request.filter = QStringLiteral("Sound Samples (*.SSS)|*.SSS|All Files (*.*)|*.*|");
    request.initialDir = QStringLiteral("C:\\");
    request.mustExist = false;
    const std::optional<QString> path = m_dialogs.ShowOpen(request);
    if (path && !path->isEmpty())
        m_controls.file->setText(*path);
}

void SampleUpload::Upload()
{
    // One upload at a time: a second one would share the reply and the line.
    if (m_running)
        return;
    m_running = true;
    Run();
    m_controls.progress->setVisible(false);
    m_running = false;
}

SampleUpload::Wait SampleUpload::WaitForReply(const std::function<bool(const QByteArray &)> &fits)
{
    QElapsedTimer clock;
    clock.start();
    // The reply timer's ticks wake the loop at least every 10 ms.
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (fits(m_controls.decoder->LastReply))
            return Wait::Fitting;
        // The loss has been reported; no reply can come.
        if (!m_controls.portOpen())
            return Wait::PortLost;
        if (clock.elapsed() >= WaitLimitMs)
            return Wait::TimedOut;
    }
}

void SampleUpload::Run()
{
    QByteArray &lastReply = m_controls.decoder->LastReply;
    if (!m_controls.send(SelectAreaFrame(m_controls.area->text())))
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
        m_messages.Inform(QStringLiteral("The sample upload stopped because the device did not answer the area selection."));
        return;
    }
    if (*status != '0')
        return;
    SendLines(m_controls.file->text());
}

void SampleUpload::SendLines(const QString &path)
{
    const QString cannot = QStringLiteral("The sample file %1 cannot be read.").arg(path);
    const QFileInfo info(path);
    if (info.isDir())
        return m_messages.Inform(cannot, QStringLiteral("It is a folder."));
    if (info.exists() && !info.isFile())
        return m_messages.Inform(cannot, QStringLiteral("It is not a regular file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return m_messages.Inform(cannot, file.errorString());

    const qint64 size = file.size();
    const qint64 lines = size == 0 ? 0 : size / LineBytes + 1;
    m_controls.progress->SetMaximum(double(lines));
    m_controls.progress->SetValue(0);
    m_controls.progress->setVisible(true);

    QByteArray &lastReply = m_controls.decoder->LastReply;
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
            return m_messages.Inform(cannot, file.errorString());
        lastReply.clear();
        if (!m_controls.send(SampleLineFrame(HexLine, index)))
            return;
        const Wait answered = WaitForReply(IsLineReply);
        if (answered == Wait::PortLost)
            return;
        if (answered == Wait::TimedOut) {
            return m_messages.Inform(QStringLiteral("The sample upload stopped because the device did not answer line %1 (index %2).")
                                         .arg(index + 1)
                                         .arg(Hex4(index)));
        }
        m_controls.progress->SetValue(double(index + 1));
    }
}

} // namespace kv7
