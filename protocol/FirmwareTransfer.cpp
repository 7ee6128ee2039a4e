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

void FirmwareTransfer::Begin(const QByteArray &image)
{
    m_transfer.Begin(image);
    m_blocks = double(image.size()) / BlockTransfer::BlockSize;
    m_ended = m_answered = false;
    m_framesSent = m_naks = 0;
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
    if (step.finished)
        m_ended = true;
    if (step.write.size() == BlockTransfer::FrameSize)
        ++m_framesSent;
    return {true, step.write, step.finished};
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

} // namespace kv7
