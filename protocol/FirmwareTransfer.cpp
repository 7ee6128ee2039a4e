#include "protocol/FirmwareTransfer.h"

#include "protocol/ControlChars.h"
#include "protocol/Frame.h"

#include <QtMath>

namespace kv7 {

const char *const FirmwareTransfer::TransferSettings = "115200,n,8,1";

namespace {

constexpr int BootPauseMs = 100;
constexpr int Syncs = 10;
constexpr int SyncPauseMs = 10;

} // namespace

std::vector<FirmwareTransfer::Move> FirmwareTransfer::Opening()
{
    std::vector<Move> moves{
        {Move::Write, CommandFrame(QStringLiteral("$BT"), QString()), 0},
        {Move::Pause, {}, BootPauseMs},
        {Move::StartLimit, {}, StartLimitMs},
        {Move::ToTransferSpeed, {}, 0},
    };
    for (int i = 0; i < Syncs; ++i) {
        moves.push_back({Move::Pause, {}, SyncPauseMs});
        moves.push_back({Move::Write, QByteArray(1, SyncChar), 0});
    }
    return moves;
}

QString FirmwareTransfer::EndText(Ending ending)
{
    switch (ending) {
    case Ending::Finished:
        return QStringLiteral("Finished uploading firmware and all is OK!");
    case Ending::TimedOut:
        return QStringLiteral("Firmware upload timeout.");
    case Ending::NotStarted:
        return QStringLiteral("The firmware upload did not start.");
    case Ending::Stopped:
        break;
    }
    return QStringLiteral("The firmware upload stopped.");
}

void FirmwareTransfer::Begin(const QByteArray &image, int nakLimit)
{
    m_transfer.Begin(image);
    m_blocks = double(image.size()) / BlockTransfer::BlockSize;
    m_ended = m_answered = m_awaiting = false;
    m_framesSent = m_naks = m_refusals = 0;
    m_nakLimit = nakLimit;
}

FirmwareTransfer::Step FirmwareTransfer::Reply(const QByteArray &text)
{
    // An upload being ended (its message may still be open) is deaf: a late
    // reply must neither send a block nor arm a limit again.
    if (m_ended)
        return {};
    m_naks += int(text.count(NAK));
    const BlockTransfer::Step step = m_transfer.Reply(text);
    if (!step.acted)
        return {};
    m_answered = true;
    if (text == QByteArray(1, NAK) && m_awaiting) {
        if (m_nakLimit > 0 && ++m_refusals >= m_nakLimit) {
            m_ended = true;
            return {true, {}, false, true};
        }
    } else if (text == QByteArray(1, ACK)) {
        m_refusals = 0;
    }
    if (step.finished)
        m_ended = true;
    if (step.write.size() == BlockTransfer::FrameSize)
        ++m_framesSent;
    m_awaiting = m_awaiting || step.write.size() == BlockTransfer::FrameSize;
    return {true, step.write, step.finished};
}

FirmwareTransfer::Step FirmwareTransfer::Waited(qint64 ms)
{
    if (m_ended || ms < LimitMs())
        return {};
    m_ended = true;
    Step step;
    step.timedOut = true;
    return step;
}

QString FirmwareTransfer::WhyTimedOut() const
{
    if (!m_answered)
        return QStringLiteral("no answer within %1 s of the start").arg(StartLimitMs / 1000);
    return QStringLiteral("no answer for %1 s after %2 of %3 blocks")
        .arg(StallMs / 1000)
        .arg(Progress())
        .arg(qCeil(m_blocks));
}

QString FirmwareTransfer::WhyGaveUp() const
{
    const QString frame = m_transfer.UploadState == BlockTransfer::UploadEotSent
                              ? QStringLiteral("the end of the transfer (EOT)")
                              : QStringLiteral("block %1 of %2").arg(Progress() + 1).arg(qCeil(m_blocks));
    return QStringLiteral("the device refused %1 %2 times in a row").arg(frame).arg(m_refusals);
}

} // namespace kv7
