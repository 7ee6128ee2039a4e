// The host side of the firmware block transfer against a device that
// answers anything: every write must be one the boot loader can take.
#include "fuzz/Require.h"

#include "protocol/ControlChars.h"
#include "protocol/BlockTransfer.h"

using kv7::BlockTransfer;
using kv7fuzz::Require;

namespace {

int Byte(const QByteArray &bytes, qsizetype i)
{
    return static_cast<unsigned char>(bytes[i]);
}

// The k-th block frame (from 1) as the wire format has it: number, its
// complement, the image's k-th 128 bytes filled up with the pad byte, and
// the sum of all bytes before the checksum.
void CheckFrame(const QByteArray &frame, int k, const QByteArray &image)
{
    const QByteArray data = image.mid(qsizetype(k - 1) * 128, 128);
    Require(frame[0] == kv7::SOH && Byte(frame, 1) == (k - 1) % 255 + 1 && Byte(frame, 2) == 255 - Byte(frame, 1),
            "block frame's start, number or complement wrong", frame);
    Require(frame.mid(3, 128) == data + QByteArray(128 - data.size(), kv7::PadChar),
            "block data is not the image's block for its number", frame);
    int sum = 0;
    for (qsizetype i = 0; i < BlockTransfer::FrameSize - 1; ++i)
        sum += Byte(frame, i);
    Require(Byte(frame, 131) == sum % 256, "block checksum wrong", frame);
}

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
    // The last block is the rest filled up, all padding when there is no rest.
    const int blocks = length / 128 + 1;

    BlockTransfer transfer;
    transfer.Begin(image);
    int sent = 0; // the block whose frame went out last
    bool eotSent = false;
    bool finished = false;
    while (!in.AtEnd()) {
        // Top two bits pick the reply; for arbitrary text the rest is its length.
        const uint8_t head = in.Byte();
        const QByteArray reply = head >> 6 == 3 ? in.Bytes(head & 0x3f) : QByteArray(1, "{\x06\x15"[head >> 6]);
        const char r = reply.size() == 1 ? reply[0] : 0;
        const BlockTransfer::Step step = transfer.Reply(reply);
        const QByteArray &w = step.write;
        if (finished || (r != kv7::SyncChar && r != kv7::ACK && r != kv7::NAK)) {
            Require(!step.acted && w.isEmpty() && !step.finished, "acted after the end or on no single reply", reply);
        } else if (step.finished) {
            Require(eotSent && r == kv7::ACK && w.isEmpty(), "finished without an acknowledged EOT", reply);
            finished = true;
        } else if (w == QByteArray(1, kv7::SyncChar)) {
            // Once blocks go out, a sync answered again would restart the numbering.
            Require(r == kv7::SyncChar && sent == 0, "sync sent back for something else or after a block", reply);
        } else if (w == QByteArray(1, kv7::EOT)) {
            Require(sent == blocks && (r == kv7::ACK || (r == kv7::NAK && eotSent)), "EOT out of turn", reply);
            eotSent = true;
        } else if (!w.isEmpty()) {
            // The first frame answers a NAK; then an ACK asks for the next, a NAK for the same again.
            Require(w.size() == BlockTransfer::FrameSize && !eotSent && (r == kv7::NAK || (r == kv7::ACK && sent > 0)),
                    "a write that is no block frame, or one out of turn", w);
            sent = r == kv7::ACK ? sent + 1 : std::max(sent, 1);
            Require(sent <= blocks, "block frame past the end of the image", w);
            CheckFrame(w, sent, image);
        }
    }
    return 0;
}
