// Received chunks as the terminal pane gets them: PaneChunk, then the
// pane's text model, whose lines and bound are checked after every chunk.
#include "fuzz/Require.h"

#include "terminal/PaneChunk.h"
#include "terminal/TerminalText.h"

#include <algorithm>

using kv7fuzz::Require;

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
            continue;
        }
        const QByteArray chunk = in.Bytes(head & 0x7f);
        const QByteArray pane = kv7::PaneChunk(chunk);
        text.Append(pane);
        all += pane;
        Require(text.Size() <= text.Limit() && all.endsWith(text.Text()),
                "terminal text is not the newest text within its bound", chunk);
        Require(all.size() > text.Limit() || text.Text() == all, "text within the bound was dropped", chunk);

        // A byte picks the part of each line read as the pane paints it.
        const uint8_t from = in.Byte();
        const qsizetype part = from & 0x0f;
        const qsizetype partLen = (from >> 4) == 0 ? -1 : (from >> 4) - 1;
        // The lines, joined by CR LF, are the text; none holds a CR LF.
        QByteArray joined;
        qsizetype longest = 0;
        for (qsizetype i = 0; i < text.LineCount(); ++i) {
            const QByteArray line = text.Line(i);
            Require(!line.contains("\r\n") && line.size() == text.LineLength(i), "a line holds CR LF or is mismeasured",
                    chunk);
            Require(text.Line(i, part, partLen) == line.mid(part, partLen), "part of a line is not that part", chunk);
            longest = std::max(longest, line.size());
            joined += (i > 0 ? "\r\n" : "") + line;
        }
        Require(joined == text.Text(), "lines joined with CR LF are not the text", chunk);
        Require(text.LongestLine() == longest, "LongestLine is not the longest line", chunk);
    }
    return 0;
}
