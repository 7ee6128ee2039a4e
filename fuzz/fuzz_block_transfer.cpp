// The host side of the firmware block transfer against a device that
// answers anything: every write must be one the boot loader can take.
#include "fuzz/Require.h"

#include "commands/ControlChars.h"
#include "firmware/BlockTransfer.h"

using kv7::BlockTransfer;
using kv7fuzz::Require;

namespace {

// The image as the device should store it: 128-byte blocks, the last one
// (which is all padding when the image fills its blocks exactly) filled
// with the pad byte.
QByteArray Slice(const QByteArray &image, int index)
{
    QByteArray block = image.mid(qsizetype(index) * BlockTransfer::BlockSize, BlockTransfer::BlockSize);
    return block + QByteArray(BlockTransfer::BlockSize - block.size(), kv7::PadChar);
}

struct Device {
    QByteArray image;
    int lastIndex = 0;   // index of the last block
    int frameIndex = -1; // block of the last frame written since the sync, -1 for none
    int frameNumber = 0;
    bool synced = false;
    bool eotSent = false;
    bool finished = false;

    void CheckFrame(const QByteArray &frame, char reply)
    {
        Require(frame[0] == kv7::SOH, "block frame does not start with SOH", frame);
        const int n = static_cast<unsigned char>(frame[1]);
        Require(n >= 1 && n <= 255, "block number outside 1..255", frame);
        Require(static_cast<unsigned char>(frame[2]) == 255 - n, "block number complement wrong", frame);
        int sum = 0;
        for (qsizetype i = 0; i < BlockTransfer::FrameSize - 1; ++i)
            sum += static_cast<unsigned char>(frame[i]);
        Require(static_cast<unsigned char>(frame[131]) == sum % 256, "block checksum wrong", frame);
        Require(synced, "block frame before the sync", frame);

        int index;
        if (frameIndex < 0) {
            // Nothing sent yet that an ACK could have confirmed.
            Require(n == 1, "first block after the sync is not block 1", frame);
            index = 0;
        } else if (reply == kv7::NAK) {
            Require(n == frameNumber, "a NAK did not repeat the block", frame);
            index = frameIndex;
        } else {
            Require(reply == kv7::ACK && n == frameNumber % 255 + 1, "block number did not step after an ACK", frame);
            index = frameIndex + 1;
        }
        Require(index <= lastIndex, "block frame past the end of the image", frame);
        Require(frame.mid(3, BlockTransfer::BlockSize) == Slice(image, index),
                "block data is not the image's block for its number", frame);
        frameIndex = index;
        frameNumber = n;
    }

    void Check(const QByteArray &reply, const BlockTransfer::Step &step)
    {
        const char r = reply.size() == 1 ? reply[0] : 0;
        const bool known = r == kv7::SyncChar || r == kv7::ACK || r == kv7::NAK;
        if (finished) {
            Require(step.write.isEmpty() && !step.finished && !step.acted, "transfer acted after it finished", reply);
            return;
        }
        if (!known)
            Require(step.write.isEmpty() && !step.finished && !step.acted, "an unknown reply was acted on", reply);
        if (step.finished) {
            Require(eotSent && r == kv7::ACK && step.write.isEmpty(), "finished without an acknowledged EOT", reply);
            finished = true;
            return;
        }
        const QByteArray &w = step.write;
        if (w.isEmpty())
            return;
        Require(step.acted, "a write without acting", reply);
        if (w == QByteArray(1, kv7::SyncChar)) {
            Require(r == kv7::SyncChar, "sync sent back for something else than a sync", reply);
            synced = true;
            frameIndex = -1;
            eotSent = false;
        } else if (w == QByteArray(1, kv7::EOT)) {
            Require(frameIndex == lastIndex, "EOT before the last block was sent", reply);
            Require(r == kv7::ACK || (r == kv7::NAK && eotSent), "EOT for something else than an ACK or a NAK to it",
                    reply);
            eotSent = true;
        } else {
            Require(w.size() == BlockTransfer::FrameSize, "a write that is neither sync, EOT nor a block frame", w);
            Require(!eotSent, "block frame after the EOT", w);
            CheckFrame(w, r);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv7fuzz::Input in(data, size);
    // The image's length takes two bytes so that block numbers can wrap past
    // 255; its first bytes come from the input, the rest from a pattern.
    const int length = 1 + (in.Byte() | in.Byte() << 8) % 40000;
    QByteArray image = in.Bytes(std::min<size_t>(in.Byte(), size_t(length)));
    for (int i = int(image.size()); i < length; ++i)
        image += char(i * 7 + i / 251);

    Device device;
    device.image = image;
    device.lastIndex = length / BlockTransfer::BlockSize;
    BlockTransfer transfer;
    transfer.Begin(image);

    while (!in.AtEnd()) {
        // Top two bits pick the reply; for arbitrary text the rest is its length.
        const uint8_t head = in.Byte();
        QByteArray reply;
        switch (head >> 6) {
        case 0: reply = QByteArray(1, kv7::SyncChar); break;
        case 1: reply = QByteArray(1, kv7::ACK); break;
        case 2: reply = QByteArray(1, kv7::NAK); break;
        default: reply = in.Bytes(head & 0x3f); break;
        }
        device.Check(reply, transfer.Reply(reply));
    }
    return 0;
}
