// Received chunks as the terminal pane gets them: PaneChunk, then the
// pane's text model, whose lines and bound are checked after every chunk.
#include "fuzz/Require.h"

#include "commands/ControlChars.h"
#include "terminal/ReceivePath.h"
#include "terminal/TerminalText.h"

#include <algorithm>

using kv7fuzz::Require;

namespace {

void CheckPaneChunk(const QByteArray &chunk, const QByteArray &pane)
{
    const qsizetype eot = chunk.indexOf(kv7::EOT);
    if (eot < 0) {
        Require(pane == chunk, "PaneChunk changed a chunk without EOT", chunk);
        return;
    }
    Require(pane == chunk.left(eot + 1) + "\r\n" + chunk.mid(eot + 1), "PaneChunk did not put CR LF after the first EOT",
            chunk);
}

void CheckLines(const kv7::TerminalText &text, const QByteArray &chunk, qsizetype from, qsizetype maxLen)
{
    Require(text.LineCount() >= 1, "terminal text without a line", chunk);
    QByteArray joined;
    qsizetype longest = 0;
    for (qsizetype i = 0; i < text.LineCount(); ++i) {
        const QByteArray line = text.Line(i);
        Require(line.size() == text.LineLength(i), "Line and LineLength disagree", chunk);
        Require(!line.contains("\r\n"), "a line holds CR LF", chunk);
        Require(text.Line(i, from, maxLen) == line.mid(from, maxLen), "part of a line is not that part", chunk);
        longest = std::max(longest, line.size());
        if (i > 0)
            joined += "\r\n";
        joined += line;
    }
    Require(joined == text.Text(), "lines joined with CR LF are not the text", chunk);
    Require(text.LongestLine() == longest, "LongestLine is not the longest line", chunk);
    Require(text.Line(-1).isEmpty() && text.Line(text.LineCount()).isEmpty(), "a line outside the text is not empty",
            chunk);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kv7fuzz::Input in(data, size);
    // Small bounds make trimming happen within short inputs.
    const qsizetype limit = 16 + qsizetype(in.Byte()) * 2;
    kv7::TerminalText text(limit);
    QByteArray all; // everything appended since the last Clear

    while (!in.AtEnd()) {
        // 0xff clears; otherwise the low seven bits are the chunk length.
        const uint8_t head = in.Byte();
        if (head == 0xff) {
            text.Clear();
            all.clear();
            Require(text.Size() == 0 && text.LineCount() == 1 && text.LongestLine() == 0, "Clear left text behind");
            continue;
        }
        const QByteArray chunk = in.Bytes(head & 0x7f);
        const QByteArray pane = kv7::PaneChunk(chunk);
        CheckPaneChunk(chunk, pane);
        text.Append(pane);
        all += pane;

        Require(text.Size() <= text.Limit(), "terminal text above its limit", chunk);
        Require(text.Size() == text.Text().size(), "Size is not the text's size", chunk);
        Require(all.endsWith(text.Text()), "terminal text is not the newest text", chunk);
        if (all.size() <= text.Limit())
            Require(text.Text() == all, "text within the limit was dropped", chunk);
        else
            Require(text.Size() >= std::min(all.size(), text.Limit() - text.Limit() / 8 - 1),
                    "trimming dropped more than down to seven eighths", chunk);
        const uint8_t from = in.Byte();
        CheckLines(text, chunk, from & 0x0f, (from >> 4) == 0 ? -1 : (from >> 4) - 1);
    }
    return 0;
}
