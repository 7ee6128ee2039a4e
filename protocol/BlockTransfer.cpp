#include "protocol/BlockTransfer.h"

#include "protocol/ControlChars.h"

namespace kv7 {

int calcChecksum(const QByteArray &text)
{
    int sum = 0;
    for (const char c : text)
        sum = (sum + static_cast<unsigned char>(c)) % 256;
    return sum;
}

void BlockTransfer::Begin(const QByteArray &image)
{
    ImageData = image;
    UploadState = UploadSending;
    BlockNumber = 0;
    CurrentBlock.clear();
    Progress = 0;
    m_frameSent = false;
}

void BlockTransfer::LoadNextBlock()
{
    if (ImageData.size() < BlockSize) {
        UploadState = UploadLastBlock;
        CurrentBlock = QByteArray(BlockSize, PadChar);
        CurrentBlock.replace(0, ImageData.size(), ImageData);
        return;
    }
    CurrentBlock = ImageData.left(BlockSize);
    ImageData.remove(0, BlockSize);
}

QByteArray BlockTransfer::BlockFrame() const
{
    QByteArray frame;
    frame.reserve(FrameSize);
    frame += SOH;
    frame += static_cast<char>(BlockNumber);
    frame += static_cast<char>(255 - BlockNumber);
    frame += CurrentBlock;
    frame += static_cast<char>(calcChecksum(frame));
    return frame;
}

BlockTransfer::Step BlockTransfer::Reply(const QByteArray &text)
{
    if (text.isEmpty() || UploadState == UploadFinished)
        return {};
    if (text == QByteArray(1, SyncChar))
        return OnSync();
    if (text == QByteArray(1, ACK))
        return OnAck();
    if (text == QByteArray(1, NAK))
        return OnNak();
    return {};
}

BlockTransfer::Step BlockTransfer::OnSync()
{
    // Once blocks are on their way a stray sync would skip or mislabel one.
    if (m_frameSent)
        return {};
    // A repeated sync before the first block is answered again, but block 1
    // stays the one loaded.
    if (!CurrentBlock.isEmpty())
        return {true, QByteArray(1, SyncChar), false};
    BlockNumber = 1;
    LoadNextBlock();
    return {true, QByteArray(1, SyncChar), false};
}

BlockTransfer::Step BlockTransfer::OnAck()
{
    // Until a block has gone out there is nothing an ACK could confirm.
    if (!m_frameSent)
        return {};
    switch (UploadState) {
    case UploadSending:
        ++Progress;
        BlockNumber = BlockNumber == 255 ? 1 : BlockNumber + 1;
        LoadNextBlock();
        return {true, BlockFrame(), false};
    case UploadLastBlock:
        UploadState = UploadEotSent;
        return {true, QByteArray(1, EOT), false};
    case UploadEotSent:
        UploadState = UploadFinished;
        return {true, {}, true};
    default:
        return {};
    }
}

BlockTransfer::Step BlockTransfer::OnNak()
{
    if (CurrentBlock.isEmpty())
        return {};
    // A NAK after EOT asks for the end marker again; repeating the last
    // block would let the next ACK pass for the device's confirmation.
    if (UploadState == UploadEotSent)
        return {true, QByteArray(1, EOT), false};
    m_frameSent = true;
    return {true, BlockFrame(), false};
}

} // namespace kv7
