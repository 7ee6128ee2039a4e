// The sample line checksum of arbitrary text.
#include "fuzz/Require.h"

#include "commands/Hex.h"

using kv7fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const int sum = kv7::HexChecksum(QString::fromLatin1(raw));
    Require(sum >= 0 && sum <= 255, "HexChecksum outside 0..255", raw);

    // The same bytes as UTF-16 code units reach characters beyond Latin-1.
    const QString wide(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const int wideSum = kv7::HexChecksum(wide);
    Require(wideSum >= 0 && wideSum <= 255, "HexChecksum of wide text outside 0..255", raw);
    return 0;
}
