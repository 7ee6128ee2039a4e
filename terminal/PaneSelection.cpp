#include "terminal/PaneSelection.h"

#include "terminal/Cp437.h"
#include "terminal/TerminalText.h"

namespace kv7 {

namespace {

bool IsWordByte(char b)
{
    const QChar glyph = Cp437Glyph(static_cast<unsigned char>(b));
    return glyph.isLetterOrNumber() || glyph == QLatin1Char('_');
}

} // namespace

std::pair<qint64, qint64> WordAt(const TerminalText &text, qint64 pos)
{
    const qsizetype line = text.LineAt(pos);
    const qint64 lineStart = text.LineStart(line);
    const QByteArray bytes = text.Line(line);
    auto start = static_cast<qsizetype>(pos - lineStart);
    if (start < 0 || start >= bytes.size() || !IsWordByte(bytes[start]))
        return {pos, pos};
    qsizetype end = start;
    while (start > 0 && IsWordByte(bytes[start - 1]))
        --start;
    while (end < bytes.size() && IsWordByte(bytes[end]))
        ++end;
    return {lineStart + start, lineStart + end};
}

} // namespace kv7
