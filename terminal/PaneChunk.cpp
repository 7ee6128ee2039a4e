#include "terminal/PaneChunk.h"

#include "protocol/ControlChars.h"

namespace kv7 {

QByteArray PaneChunk(const QByteArray &chunk)
{
    const qsizetype eot = chunk.indexOf(EOT);
    if (eot < 0)
        return chunk;
    QByteArray out;
    out.reserve(chunk.size() + 2);
    out.append(chunk.constData(), eot + 1);
    out.append("\r\n", 2);
    out.append(chunk.constData() + eot + 1, chunk.size() - eot - 1);
    return out;
}

} // namespace kv7
