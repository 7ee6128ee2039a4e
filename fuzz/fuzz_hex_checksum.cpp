// The sample line checksum of arbitrary text.
#include "fuzz/Require.h"

#include "commands/Hex.h"

#include <cctype>

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

    // Pure hex of even length: Qt's own decoder gives the pairs.
    bool pureHex = raw.size() % 2 == 0;
    for (const char c : raw)
        pureHex = pureHex && std::isxdigit(static_cast<unsigned char>(c));
    if (!pureHex)
        return 0;
    int expected = 0;
    for (const char b : QByteArray::fromHex(raw))
        expected ^= static_cast<unsigned char>(b);
    Require(sum == expected, "HexChecksum is not the XOR of the hex pairs", raw);
    return 0;
}
