// Received bytes in arbitrary chunks through the receive buffer and the
// reply decoder, with every frame taken also read as a gain report.
#include "fuzz/Require.h"

#include "protocol/ControlChars.h"
#include "protocol/GainReport.h"
#include "protocol/ReplyDecoder.h"
#include "protocol/RxBuffer.h"

using kv7fuzz::Require;

namespace {

// True when `text` holds an SOH with an EOT somewhere after it.
bool HoldsFrame(const QByteArray &text)
{
    const qsizetype s = text.indexOf(kv7::SOH);
    return s >= 0 && text.indexOf(kv7::EOT, s) >= 0;
}

// One tick, checked against the buffer before and after it. Returns
// whether the buffer changed.
bool TickOnce(kv7::ReplyDecoder &decoder, kv7::RxBuffer &rx)
{
    const QByteArray before = rx.Bytes();
    const std::optional<QByteArray> frame = decoder.Tick(rx);
    const QByteArray after = rx.Bytes();

    Require(before.endsWith(after), "decoding changed bytes it did not drop", before);
    const QByteArray dropped = before.left(before.size() - after.size());
    if (!frame) {
        Require(!HoldsFrame(dropped), "a complete frame was dropped", before);
        return after.size() != before.size();
    }
    Require(frame->startsWith(kv7::SOH) && frame->indexOf(kv7::EOT) == frame->size() - 1,
            "frame is not SOH up to its first EOT", *frame);
    Require(dropped.endsWith(*frame) && !HoldsFrame(dropped.chopped(frame->size())),
            "frame is not the first whole one in the buffer", before);
    if (const auto report = kv7::ParseGainReport(*frame))
        Require(report->channel >= 1 && report->channel <= 8 && report->gain >= 0 && report->gain <= 127,
                "gain report outside channel 1..8, gain 0..127", *frame);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv7fuzz::Input in(data, size);
    // A small bound lets short inputs reach the overflow path; 0 keeps the real one.
    const uint8_t limitByte = in.Byte();
    kv7::RxBuffer rx(limitByte == 0 ? kv7::RxBuffer::DefaultLimit : qsizetype(limitByte) * 4);
    kv7::ReplyDecoder decoder;
    decoder.Pause(in.Byte());
    // Repeating chunks lets a short input push enough bytes through a small
    // bound for the buffer to move its live bytes down.
    const int repeat = limitByte == 0 ? 1 : 1 + in.Byte() % 16;

    while (!in.AtEnd()) {
        // Low six bits: chunk length; top two: ticks before the next chunk.
        const uint8_t head = in.Byte();
        const QByteArray chunk = in.Bytes(head & 0x3f);
        for (int r = 0; r < repeat; ++r) {
            const QByteArray whole = rx.Bytes() + chunk;
            rx.Append(chunk);
            Require(rx.Bytes() == whole.right(rx.Limit()), "receive buffer is not the newest bytes within its bound",
                    chunk);
        }
        for (int t = 0; t < head >> 6; ++t)
            TickOnce(decoder, rx);
    }

    // Every complete frame comes out once the timer has run long enough.
    qsizetype rounds = rx.Size() + 2;
    while (TickOnce(decoder, rx))
        Require(--rounds > 0, "decoder makes no progress", rx.Bytes());
    Require(!HoldsFrame(rx.Bytes()), "a complete frame stays in the buffer", rx.Bytes());
    return 0;
}
