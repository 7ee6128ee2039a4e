// Received bytes in arbitrary chunks through the receive buffer and the
// reply decoder, with every frame taken also dumped and read as a gain
// report.
#include "fuzz/Require.h"

#include "commands/ControlChars.h"
#include "terminal/Dump.h"
#include "terminal/GainReport.h"
#include "terminal/ReplyDecoder.h"
#include "terminal/RxBuffer.h"

#include <algorithm>

using kv7fuzz::Require;

namespace {

// True when `text` holds an SOH with an EOT somewhere after it.
bool HoldsFrame(const QByteArray &text)
{
    const qsizetype s = text.indexOf(kv7::SOH);
    return s >= 0 && text.indexOf(kv7::EOT, s) >= 0;
}

void CheckDump(const QByteArray &frame)
{
    const QString dump = kv7::Dump(frame);
    qsizetype expected = 0;
    for (const char c : frame) {
        const auto code = static_cast<unsigned char>(c);
        expected += code < 10 ? 3 : code < 32 ? 4 : 1;
    }
    Require(dump.size() == expected, "Dump length does not match its bytes", frame);
    for (const QChar c : dump)
        Require(c.unicode() >= 32 && c.unicode() < 256, "Dump holds a control or non-Latin-1 character", frame);
    Require(dump.startsWith(QLatin1String("<1>")) && dump.endsWith(QLatin1String("<4>")),
            "Dump of a frame does not show SOH and EOT", frame);
}

void CheckGainReport(const QByteArray &frame)
{
    const auto report = kv7::ParseGainReport(frame);
    if (!report)
        return;
    Require(report->channel >= 1 && report->channel <= 8, "gain report channel outside 1..8", frame);
    Require(report->gain >= 0 && report->gain <= 127, "gain report gain outside 0..127", frame);
    Require(frame.size() >= 11 && frame[1] == 'R' && frame.mid(2, 3) == "GAV", "gain report from a frame without R GAV",
            frame);
    Require(report->channel == frame[6] - '0', "gain report channel is not the channel digit", frame);
    bool digits = true;
    int value = 0;
    for (int i = 7; i <= 9; ++i) {
        digits = digits && frame[i] >= '0' && frame[i] <= '9';
        value = value * 10 + (frame[i] - '0');
    }
    Require(digits && frame.indexOf(kv7::EOT) > 9, "gain report without three digits before the EOT", frame);
    Require(report->gain == std::min(value, 127), "gain report gain is not its three digits", frame);
}

// One TakeFrame through the decoder, checked against the buffer before and
// after it. Returns whether the buffer changed.
bool TickOnce(kv7::ReplyDecoder &decoder, kv7::RxBuffer &rx)
{
    const QByteArray before = rx.Bytes();
    const qint16 waitBefore = decoder.WaitTicks;
    const QByteArray lastBefore = decoder.LastReply;
    const std::optional<QByteArray> frame = decoder.Tick(rx);
    const QByteArray after = rx.Bytes();

    Require(decoder.WaitTicks == (waitBefore > 0 ? waitBefore - 1 : waitBefore), "WaitTicks did not count down by one",
            before);
    Require(after.size() <= before.size() && before.endsWith(after), "decoding changed bytes it did not drop", before);
    const QByteArray dropped = before.left(before.size() - after.size());
    if (!frame) {
        Require(decoder.LastReply == lastBefore, "LastReply changed without a frame", before);
        Require(!HoldsFrame(dropped), "a complete frame was dropped", before);
        return after.size() != before.size();
    }
    Require(decoder.LastReply == *frame, "LastReply is not the frame taken", before);
    Require(frame->size() >= 2 && frame->front() == kv7::SOH, "frame does not start with SOH", *frame);
    Require(frame->back() == kv7::EOT, "frame does not end with EOT", *frame);
    Require(frame->count(kv7::EOT) == 1, "frame holds more than one EOT", *frame);
    Require(dropped.endsWith(*frame), "bytes after the frame's EOT were dropped", before);
    Require(!HoldsFrame(dropped.left(dropped.size() - frame->size())), "a complete frame before this one was dropped",
            before);
    CheckDump(*frame);
    CheckGainReport(*frame);
    return true;
}

// One Append, checked against the newest bytes it should keep.
void AppendChecked(kv7::RxBuffer &rx, const QByteArray &chunk)
{
    const QByteArray before = rx.Bytes();
    const qint64 overflowedBefore = rx.Overflowed();
    rx.Append(chunk);
    // Raw text, not only whole frames, must never read as an impossible report.
    if (const auto raw = kv7::ParseGainReport(chunk))
        Require(raw->channel >= 1 && raw->channel <= 8 && raw->gain >= 0 && raw->gain <= 127,
                "gain report from raw text out of range", chunk);

    Require(rx.Size() <= rx.Limit(), "receive buffer above its limit", chunk);
    const QByteArray whole = before + chunk;
    Require(rx.Bytes() == whole.right(rx.Limit()), "receive buffer is not the newest bytes", chunk);
    Require(rx.Overflowed() - overflowedBefore == std::max<qsizetype>(0, whole.size() - rx.Limit()),
            "overflow count does not match the bytes dropped", chunk);
    Require(rx.Size() == rx.Bytes().size() && rx.IsEmpty() == (rx.Size() == 0), "receive buffer size disagrees", chunk);
    Require(rx.IndexOf(kv7::SOH) == rx.Bytes().indexOf(kv7::SOH), "IndexOf disagrees with the bytes", chunk);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv7fuzz::Input in(data, size);
    // A small bound lets short inputs reach the overflow path; 0 keeps the real one.
    const uint8_t limitByte = in.Byte();
    kv7::RxBuffer rx(limitByte == 0 ? kv7::RxBuffer::DefaultLimit : qsizetype(limitByte) * 4);
    kv7::ReplyDecoder decoder;
    decoder.WaitTicks = in.Byte();
    // Repeating chunks lets a short input push enough bytes through a small
    // bound for the buffer to move its live bytes down.
    const int repeat = limitByte == 0 ? 1 : 1 + in.Byte() % 16;

    while (!in.AtEnd()) {
        // Low six bits: chunk length; top two: ticks before the next chunk.
        const uint8_t head = in.Byte();
        const QByteArray chunk = in.Bytes(head & 0x3f);
        for (int r = 0; r < repeat; ++r)
            AppendChecked(rx, chunk);
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
